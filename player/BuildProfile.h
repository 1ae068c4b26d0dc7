#pragma once
// Everything in which Tavisco and Norvanta differ, in one place. The window takes a profile at
// run time, so one executable can build either window (the tests build both).

#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

#include "player/PlayerApp.h"
#include "player/media/EngineFactory.h"

struct BuildProfile {
  PlayerBuild build;
  QString programTitle;       // caption of every message box
  QString windowName;         // objectName of the window
  QString caption;            // window title: one blank in Tavisco, shown empty in Norvanta
  QString engineControlName;  // objectName of the hosted engine control
  EngineKind engineKind;
  QString backgroundResource;     // the page picture, drawn unscaled from the top-left corner
  int backgroundWidthPx;          // 770 or 813 (cut at the window's right edge)
  int label2WidthTwips;           // 735 or 1335
  int audioOnlyTopPx;             // engine strip for audio-only recordings: 305 or 304
  bool controlPanelOnlyForAudio;  // Norvanta hides its picture window for audio-only media
  // Tavisco shows its window before it opens the recording; Norvanta opens and starts the
  // recording first and shows the window afterwards.
  bool showWindowBeforeMedia;
  // Tavisco gives the keyboard focus to the engine control before Slide_img.
  bool focusEngineFirst;
  // Tab index of every control by its name; the engine control is listed by its own name.
  std::vector<std::pair<QString, int>> tabIndexes;
};

const BuildProfile& ProfileFor(PlayerBuild build);
