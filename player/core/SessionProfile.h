#pragma once
// What start-up needs to know of the build it runs in; BuildProfile holds the rest of what
// Tavisco and Norvanta differ in.

#include "medium/PlayerBuild.h"

// What the session needs to know of its build (BuildProfile has the whole of it).
struct SessionProfile {
  PlayerBuild build = PlayerBuild::Tavisco;
  int audioOnlyTopPx = 305;               // engine strip for audio-only recordings
  bool controlPanelOnlyForAudio = false;  // Norvanta hides its picture window for audio only
  bool showWindowBeforeMedia = true;      // Tavisco shows its window, then opens the recording
  bool focusEngineFirst = true;           // Tavisco focuses the engine control before Slide_img
};
