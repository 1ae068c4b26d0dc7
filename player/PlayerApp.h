#pragma once
// The whole player program, so that each build's main.cpp stays one line and tests link the same
// code.

#include "medium/PlayerBuild.h"

int RunPlayer(PlayerBuild build, int argc, char** argv);
