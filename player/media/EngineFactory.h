#pragma once
// The engine each player build hosts, and the capability probe the launcher runs.

#include <memory>

#include "medium/PlayerBuild.h"
#include "player/media/MediaEngine.h"

class QWidget;

struct EngineOptions {
  bool headless = false;  // vo=null, ao=null: no picture, no sound (tests)
  bool untimed = false;   // play as fast as decoding allows (tests that need speed)
};

struct MpvCoreOptions;
// The playback core's settings for these options, after the environment overrides
// PRESENTATION_ENGINE_HEADLESS=1 (no picture, no sound) and PRESENTATION_ENGINE_AO=<output>.
MpvCoreOptions CoreOptionsFor(const EngineOptions& options);

// Creates the engine control as a child of parent, at its designed place (512, 88, 270 x 260),
// and the binding the player talks to.
std::unique_ptr<MediaEngine> CreateEngine(PlayerBuild kind, QWidget* parent,
                                          const EngineOptions& options = {});

// Creates the playback core and checks that it can demux and decode the formats of the player
// build: ASF with the WMA/WMV decoders, or RealMedia with the RealAudio/RealVideo decoders.
// Opens no window.
bool ProbeEngine(PlayerBuild kind);
