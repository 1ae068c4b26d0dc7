#pragma once
// The whole launcher program, so that main.cpp stays one line and tests link the same code.

int RunLauncher(int argc, char** argv);
