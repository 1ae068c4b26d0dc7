#pragma once
// The whole Ambrel program: its options read into one command, and that command run (the
// launcher's window, the library's window, or a job on the terminal). Above every window and
// every command, so that main.cpp stays one line and tests link the same code.

int RunAmbrel(int argc, char** argv);
