#pragma once
// Everything in which Tavisco and Norvanta differ, in one place. The window takes a profile at
// run time, so one executable can build either window (the tests build both).

#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

#include "player/core/SessionProfile.h"
#include "player/media/EngineFactory.h"

// Beside what start-up needs (SessionProfile: the build, the audio-only engine strip, the order
// of the last start-up steps), the window's own differences.
struct BuildProfile : SessionProfile {
  QString programTitle;       // caption of every message box
  QString windowName;         // objectName of the window
  QString caption;            // window title: one blank in Tavisco, shown empty in Norvanta
  QString engineControlName;  // objectName of the hosted engine control
  // The page picture, drawn unscaled from the top-left corner: 770 or 813 pixels wide, cut at
  // the window's right edge.
  QString backgroundResource;
  int label2WidthTwips;  // 735 or 1335
  // Tab index of every control by its name; the engine control is listed by its own name.
  std::vector<std::pair<QString, int>> tabIndexes;
};

const BuildProfile& ProfileFor(PlayerBuild build);
