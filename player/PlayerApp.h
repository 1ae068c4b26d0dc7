#pragma once
// The whole player program, so that each build's main.cpp stays one line and tests link the same
// code.

#include "medium/PlayerBuild.h"

class PlayerWindow;
namespace medium {
struct ProgramOptions;
}

int RunPlayer(PlayerBuild build, int argc, char** argv);

// Start-up of the window; then, with --at, play from that moment with its slide, marks, title,
// highlight and transcript section shown at once, as after a thumbnail click. Tavisco shows its
// window before it opens the recording and Norvanta after, so the jump waits for both to be done.
void StartPlayerWindow(PlayerWindow& window, const medium::ProgramOptions& options);
