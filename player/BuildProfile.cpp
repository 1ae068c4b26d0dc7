#include "player/BuildProfile.h"

namespace {

BuildProfile MakeTavisco() {
  BuildProfile p;
  p.build = PlayerBuild::Tavisco;
  p.programTitle = QStringLiteral("Tavisco");
  p.windowName = QStringLiteral("WinMedia_frm");
  p.caption = QStringLiteral(" ");
  p.engineControlName = QStringLiteral("MediaPlayer1");
  p.backgroundResource = QStringLiteral(":/player/background-770.jpg");
  p.label2WidthTwips = 735;
  p.audioOnlyTopPx = 305;
  p.controlPanelOnlyForAudio = false;
  p.showWindowBeforeMedia = true;
  p.focusEngineFirst = true;
  p.tabIndexes = {
      {QStringLiteral("HScroll1"), 0},      {QStringLiteral("OuterFrame"), 1},
      {QStringLiteral("InnerFrame"), 2},    {QStringLiteral("Command1"), 3},
      {QStringLiteral("Slides_cmb"), 4},    {QStringLiteral("Details_txt"), 5},
      {QStringLiteral("Slide_img"), 6},     {QStringLiteral("Slide_txt"), 7},
      {QStringLiteral("Trans_txt"), 8},     {QStringLiteral("Transcript_cmb"), 9},
      {QStringLiteral("UserDef1_txt"), 10}, {QStringLiteral("Label1"), 11},
      {QStringLiteral("Label2"), 12},       {QStringLiteral("Audio_img"), 13},
      {QStringLiteral("MediaPlayer1"), 14},
  };
  return p;
}

BuildProfile MakeNorvanta() {
  BuildProfile p;
  p.build = PlayerBuild::Norvanta;
  p.programTitle = QStringLiteral("Norvanta");
  p.windowName = QStringLiteral("RealMedia_frm");
  // Designed empty; but given an empty title the window system shows the program's name, so the
  // caption is one zero-width space, which shows as nothing.
  p.caption = QStringLiteral("\u200B");
  p.engineControlName = QStringLiteral("RealAudio1");
  p.backgroundResource = QStringLiteral(":/player/background-813.jpg");
  p.label2WidthTwips = 1335;
  p.audioOnlyTopPx = 304;
  p.controlPanelOnlyForAudio = true;
  p.showWindowBeforeMedia = false;
  p.focusEngineFirst = false;
  p.tabIndexes = {
      {QStringLiteral("HScroll1"), 0},        {QStringLiteral("OuterFrame"), 1},
      {QStringLiteral("InnerFrame"), 2},      {QStringLiteral("Command1"), 3},
      {QStringLiteral("Slides_cmb"), 4},      {QStringLiteral("Details_txt"), 5},
      {QStringLiteral("Slide_img"), 6},       {QStringLiteral("Slide_txt"), 7},
      {QStringLiteral("RealAudio1"), 8},      {QStringLiteral("Trans_txt"), 9},
      {QStringLiteral("Transcript_cmb"), 10}, {QStringLiteral("Audio_img"), 11},
      {QStringLiteral("UserDef1_txt"), 12},   {QStringLiteral("Label1"), 13},
      {QStringLiteral("Label2"), 14},
  };
  return p;
}

}  // namespace

const BuildProfile& ProfileFor(PlayerBuild build) {
  static const BuildProfile tavisco = MakeTavisco();
  static const BuildProfile norvanta = MakeNorvanta();
  return build == PlayerBuild::Norvanta ? norvanta : tavisco;
}
