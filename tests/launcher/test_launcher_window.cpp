// The launcher window with fakes for the probes, the process start and the browser: its designed
// state, start-up in both displays, the button rule, player start, hover pictures, EXIT and the
// web link.

#include <QComboBox>
#include <QFile>
#include <QFontInfo>
#include <QScopeGuard>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <memory>

#include "launcher/Ambrel_frm.h"
#include "medium/Paths.h"
#include "medium/Picture.h"
#include "presentation/ConfigReader.h"
#include "tests/launcher/LauncherFakes.h"
#include "tests/support/TempMedium.h"
#include "ui/DesignFonts.h"

using namespace launcher;

namespace {

const QString kNoEngine =
    QStringLiteral("Please Install Real Player or Windows Media Player Before Running");
const QString kSelect = QStringLiteral("Please Select a Presentation to View");

// Records every message and whether the window was on screen when it came.
class WindowReporter : public medium::Reporter {
 public:
  WindowReporter() : medium::Reporter(QStringLiteral("Ambrel")) {}
  void Show(const medium::Message& message) override {
    messages.push_back(message);
    texts << message.text;
    shownAfterWindow << (window != nullptr && window->isVisible());
  }
  QWidget* window = nullptr;
  std::vector<medium::Message> messages;
  QStringList texts;
  QList<bool> shownAfterWindow;
};

// Each picture of the medium in a colour of its own.
struct HoverPicture {
  const char* name;
  int width;
  int height;
  unsigned rgb;
};
const HoverPicture kPictures[] = {
    {"button1", 96, 68, 0xff0000},  {"button1b", 96, 68, 0x00ff00},  {"button2", 96, 69, 0x0000ff},
    {"button2b", 96, 69, 0xffff00}, {"button3", 60, 60, 0x00ffff},   {"button3b", 60, 60, 0xff00ff},
    {"button4", 228, 24, 0xffffff}, {"button4b", 228, 24, 0x808080},
};

unsigned ColourOf(const char* name) {
  for (const auto& p : kPictures) {
    if (qstrcmp(p.name, name) == 0) return p.rgb;
  }
  return 0;
}

bool Shows(const QImage& picture, const char* name) {
  if (picture.isNull()) return false;
  const QColor c = picture.pixelColor(picture.width() / 2, picture.height() / 2);
  const QColor e = QColor::fromRgb(ColourOf(name));
  return qAbs(c.red() - e.red()) < 40 && qAbs(c.green() - e.green()) < 40 &&
         qAbs(c.blue() - e.blue()) < 40;
}

struct Rig {
  TempMedium medium;
  WindowReporter reporter;
  FakeProbe probe;
  FakeStarter starter;
  FakeWeb web;
  WebOpener* opener = nullptr;  // in place of the fake one when set
  QStringList loads;            // file name of every picture loaded, in order
  int ended = 0;
  std::unique_ptr<Ambrel_frm> frm;

  Ambrel_frm& Make(std::optional<QString> mediumFolder = std::nullopt, bool fakeEnd = true) {
    LauncherServices s;
    s.reporter = &reporter;
    s.probe = &probe;
    s.starter = &starter;
    s.web = opener ? opener : &web;
    s.loadPicture = [this](const QString& path) {
      loads << path.section(u'\\', -1);
      return medium::LoadPicture(path);
    };
    if (fakeEnd) s.endProgram = [this] { ++ended; };
    s.programFolder = QStringLiteral("\\opt\\az");
    s.mediumFolder = std::move(mediumFolder);
    s.webAddress = QStringLiteral("https://maker.example/");
    frm = std::make_unique<Ambrel_frm>(s);
    reporter.window = frm.get();
    return *frm;
  }
  Ambrel_frm& Load(std::optional<QString> mediumFolder = std::nullopt) {
    Make(std::move(mediumFolder));
    frm->Form_Load();
    return *frm;
  }
  void WritePictures() {
    for (const auto& p : kPictures) {
      medium.WriteJpeg(QStringLiteral("Images/%1.jpg").arg(QLatin1String(p.name)), p.width,
                       p.height, p.rgb);
    }
  }
  void Pick(int index) {
    frm->Presentation_cmb->setCurrentIndex(index);
    emit frm->Presentation_cmb->activated(index);
  }
  // Three presentations: A with both kinds of recording, B with none, C with RealMedia only.
  void WriteThree() {
    medium.WriteLines(QStringLiteral("Data/config.txt"),
                      {"Presentations 3", "Talk A", "DirA", "Talk B", "DirB", "Talk C", "DirC"});
    medium.Write(QStringLiteral("Media/DirA/media.wma"), "x");
    medium.Write(QStringLiteral("Media/DirA/media.rm"), "x");
    medium.MakeDir(QStringLiteral("Media/DirB"));
    medium.Write(QStringLiteral("Media/DirC/media.rm"), "x");
  }
};

}  // namespace

class LauncherWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { ui::InstallDesignFonts(); }
  void designedState();
  void designedPlaces_data();
  void designedPlaces();
  void tabOrder();
  void multiMode();
  void singleMode_data();
  void singleMode();
  void missingConfig();
  void pickRunsTheButtonRule();
  void clickBeforePickAsksToPick();
  void thirdEntryStartsWithItsFolder();
  void singleModeStartPassesMediumOn();
  void doubledSeparatorReachesThePlayerOnce();
  void failedStartKeepsTheLauncher();
  void noEngineMessageAfterShow();
  void probesAnswerWhileTheWindowIsShown();
  void aClickBeforeTheAnswersWaitsForThem();
  void noEngineInMultiMode();
  void hoverSwapsAndReloads();
  void moveOverLabelChangesNothing();
  void moveOverDisabledButtonIsOverTheWindow();
  void missingHoverPictureKeepsPicture();
  void exitEndsTheLauncher();
  void exitEndsTheEventLoop();
  void webLink();
  void webLinkAnswerComesLater();
  void darkDesktopThemeKeepsTheDesignedColours();
  void focusStartsOnCommand1_data();
  void focusStartsOnCommand1();
  void pictureButtonsShowTheirFocus();
};

void LauncherWindowTest::designedState() {
  Rig rig;
  Ambrel_frm& f = rig.Make();
  QCOMPARE(f.windowTitle(), QStringLiteral("Archived zENTO"));
  QCOMPARE(f.size(), QSize(777, 499));
  QVERIFY(!f.Multi_lbl->isHidden());
  QVERIFY(!f.Presentation_cmb->isHidden());
  QVERIFY(f.Single_lbl->isHidden());
  QVERIFY(f.Presentation_lbl->isHidden());
  QVERIFY(f.Command1->isEnabled());
  QVERIFY(f.Command2->isEnabled());
  QCOMPARE(f.Presentation_cmb->count(), 0);
  QVERIFY(!f.Presentation_cmb->isEditable());
  QCOMPARE(f.Command1->text(), QString());
  QCOMPARE(f.Presentation_lbl->text(), QString());
  QCOMPARE(f.Single_lbl->text(), QStringLiteral("This CD contains the following presentation:"));
  QCOMPARE(f.Multi_lbl->text(), QStringLiteral("Please choose from one of the following:"));
  QCOMPARE(f.Label1->text(), QStringLiteral("Welcome to your archived zENTO."));
  QCOMPARE(f.Label3->text(), QStringLiteral("Please click on an icon below to hear your zENTO or "
                                            "click EXIT to close this program."));
  // The design pictures, until the pointer first moves.
  QCOMPARE(f.Command1->Picture().size(), QSize(96, 68));
  QCOMPARE(f.Command2->Picture().size(), QSize(96, 69));
  QCOMPARE(f.Image1->Picture().size(), QSize(60, 60));
  QCOMPARE(f.Image2->Picture().size(), QSize(228, 24));
  QVERIFY(rig.loads.isEmpty());
  QVERIFY(!f.windowIcon().isNull());
  QVERIFY(f.windowIcon().availableSizes().contains(QSize(32, 32)));
  QVERIFY(f.windowIcon().availableSizes().contains(QSize(16, 16)));

  // Fonts: white text on the black panel, the caption label black on white and bold.
  QCOMPARE(f.Label1->font().family(), QStringLiteral("Arial"));
  QCOMPARE(f.Label1->font().pointSizeF(), 14.25);
  QCOMPARE(f.Multi_lbl->font().pointSizeF(), 12.0);
  QCOMPARE(f.Label3->font().family(), QStringLiteral("MS Sans Serif"));
  QCOMPARE(f.Presentation_lbl->font().pointSizeF(), 8.25);
  QVERIFY(f.Presentation_lbl->font().bold());
  QCOMPARE(QFontInfo(f.Label1->font()).family(), QStringLiteral("Liberation Sans"));
  QCOMPARE(QFontInfo(f.Label3->font()).family(), QStringLiteral("Liberation Sans"));
  QCOMPARE(f.Label1->palette().color(QPalette::WindowText), QColor(Qt::white));
  QCOMPARE(f.Label1->palette().color(QPalette::Window), QColor(Qt::black));
  QCOMPARE(f.Presentation_lbl->palette().color(QPalette::Window), QColor(Qt::white));
  QCOMPARE(f.Presentation_lbl->palette().color(QPalette::WindowText), QColor(Qt::black));
  QCOMPARE(f.palette().color(QPalette::Window), QColor(Qt::black));

  // The background: the picture from the top-left corner, black below it.
  const QImage shot = f.grab().toImage();
  QCOMPARE(shot.pixelColor(5, 5), QColor(Qt::black));
  QVERIFY(shot.pixelColor(560, 100) != QColor(Qt::black));
  QCOMPARE(shot.pixelColor(560, 495), QColor(Qt::black));
}

void LauncherWindowTest::designedPlaces_data() {
  QTest::addColumn<QString>("control");
  QTest::addColumn<QRect>("pixels");
  QTest::newRow("Presentation_cmb") << "Presentation_cmb" << QRect(8, 152, 273, 21);
  QTest::newRow("Command2") << "Command2" << QRect(168, 280, 97, 65);
  QTest::newRow("Command1") << "Command1" << QRect(24, 280, 97, 65);
  QTest::newRow("Presentation_lbl") << "Presentation_lbl" << QRect(8, 152, 273, 17);
  QTest::newRow("Single_lbl") << "Single_lbl" << QRect(48, 88, 185, 49);
  QTest::newRow("Label3") << "Label3" << QRect(16, 192, 257, 81);
  QTest::newRow("Multi_lbl") << "Multi_lbl" << QRect(48, 88, 185, 49);
  QTest::newRow("Label1") << "Label1" << QRect(64, 16, 153, 49);
  QTest::newRow("Image2") << "Image2" << QRect(32, 448, 228, 24);
  QTest::newRow("Image1") << "Image1" << QRect(112, 368, 60, 60);
}

void LauncherWindowTest::designedPlaces() {
  QFETCH(QString, control);
  QFETCH(QRect, pixels);
  Rig rig;
  Ambrel_frm& f = rig.Make();
  auto* w = f.findChild<QWidget*>(control);
  QVERIFY(w);
  QCOMPARE(w->geometry(), pixels);
}

void LauncherWindowTest::tabOrder() {
  Rig rig;
  rig.WriteThree();
  Ambrel_frm& f = rig.Load();
  QVERIFY(QTest::qWaitForWindowExposed(&f));
  // Opens in the middle of the screen.
  const QPoint offset =
      f.geometry().center() - QGuiApplication::primaryScreen()->availableGeometry().center();
  QVERIFY2(offset.manhattanLength() <= 4,
           qPrintable(QStringLiteral("%1,%2").arg(offset.x()).arg(offset.y())));
  f.activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&f));
  f.Command1->setFocus();
  QTRY_VERIFY(f.Command1->hasFocus());
  QTest::keyClick(&f, Qt::Key_Tab);
  QVERIFY(f.Command2->hasFocus());
  QTest::keyClick(&f, Qt::Key_Tab);
  QVERIFY(f.Presentation_cmb->hasFocus());
  QTest::keyClick(&f, Qt::Key_Tab);
  QVERIFY(f.Command1->hasFocus());
  for (QWidget* w : {static_cast<QWidget*>(f.Image1), static_cast<QWidget*>(f.Image2),
                     static_cast<QWidget*>(f.Label1), static_cast<QWidget*>(f.Label3),
                     static_cast<QWidget*>(f.Multi_lbl)}) {
    QCOMPARE(w->focusPolicy(), Qt::NoFocus);
  }
}

void LauncherWindowTest::multiMode() {
  Rig rig;
  rig.medium.WriteLines(QStringLiteral("Data/config.txt"),
                        {"Presentations 2", "Talk A", "DirA", "Talk B", "DirB"});
  Ambrel_frm& f = rig.Load();
  QCOMPARE(rig.probe.asked,
           (QStringList{"MediaPlayer.MediaPlayer.1", "rmocx.RealPlayer G2 Control"}));
  QVERIFY(rig.reporter.texts.isEmpty());
  QCOMPARE(f.Presentation_cmb->count(), 2);
  QCOMPARE(f.Presentation_cmb->itemText(0), QStringLiteral("Talk A"));
  QCOMPARE(f.Presentation_cmb->itemText(1), QStringLiteral("Talk B"));
  QCOMPARE(f.Presentation_cmb->currentIndex(), -1);
  QVERIFY(f.Presentation_cmb->isVisible());
  QVERIFY(f.Multi_lbl->isVisible());
  QVERIFY(!f.Single_lbl->isVisible());
  QVERIFY(!f.Presentation_lbl->isVisible());
  // Nothing picked yet: the buttons stay as laid out.
  QVERIFY(f.Command1->isEnabled());
  QVERIFY(f.Command2->isEnabled());
  QCOMPARE(f.PresList.arr.Count(), 2);
  QCOMPARE(f.PresList.arr.Item(2).PresDir, QStringLiteral("DirB"));
  QVERIFY(f.WinMediaFound);
  QVERIFY(f.RealFound);
  QVERIFY(!f.Cmd1Hover && !f.Cmd2Hover && !f.Img1Hover && !f.Img2Hover);
  QVERIFY(f.isVisible());
}

void LauncherWindowTest::singleMode_data() {
  QTest::addColumn<QStringList>("files");
  QTest::addColumn<bool>("winMedia");
  QTest::addColumn<bool>("real");
  QTest::addColumn<bool>("command1");
  QTest::addColumn<bool>("command2");
  QTest::newRow("wmv only, both engines")
      << QStringList{"media.wmv"} << true << true << true << false;
  QTest::newRow("wma and rm, no Windows Media engine")
      << QStringList{"media.wma", "media.rm"} << false << true << false << true;
  QTest::newRow("rm, no RealMedia engine")
      << QStringList{"media.rm"} << true << false << false << false;
  QTest::newRow("both recordings, both engines")
      << QStringList{"media.wma", "media.rm"} << true << true << true << true;
  QTest::newRow("no recording") << QStringList{} << true << true << false << false;
}

void LauncherWindowTest::singleMode() {
  QFETCH(QStringList, files);
  QFETCH(bool, winMedia);
  QFETCH(bool, real);
  QFETCH(bool, command1);
  QFETCH(bool, command2);
  Rig rig;
  rig.probe.answers = {winMedia, real};
  rig.medium.WriteLines(QStringLiteral("Data/config.txt"),
                        {"Presentations 1", "The only talk", "Only", "Ignored", "Ignored"});
  rig.medium.MakeDir(QStringLiteral("Media/Only"));
  for (const QString& file : files) rig.medium.Write("Media/Only/" + file, "x");
  Ambrel_frm& f = rig.Load();
  QVERIFY(rig.reporter.texts.isEmpty());
  QCOMPARE(f.Command1->isEnabled(), command1);
  QCOMPARE(f.Command2->isEnabled(), command2);
  QCOMPARE(f.Presentation_cmb->count(), 0);
  QVERIFY(!f.Presentation_cmb->isVisible());
  QVERIFY(f.Presentation_lbl->isVisible());
  QCOMPARE(f.Presentation_lbl->text(), QStringLiteral("The only talk"));
  QVERIFY(!f.Multi_lbl->isVisible());
  QVERIFY(f.Single_lbl->isVisible());
  QCOMPARE(f.PresList.arr.Count(), 1);
}

void LauncherWindowTest::missingConfig() {
  Rig rig;
  rig.medium.Write(QStringLiteral("Media/stray.rm"), "x");
  Ambrel_frm& f = rig.Load();
  const QString shown = medium::NativePath(layout::Current().ConfigPath());
  QCOMPARE(rig.reporter.texts,
           (QStringList{"File not found: " + shown, "No open file", "Subscript out of range",
                        "No open file", "No open file"}));
  for (const auto& m : rig.reporter.messages) {
    QCOMPARE(m.caption, QStringLiteral("Ambrel"));
    QCOMPARE(m.icon, medium::MessageIcon::None);
  }
  QVERIFY(f.Presentation_lbl->isVisible());
  QCOMPARE(f.Presentation_lbl->text(), QString());
  QVERIFY(f.Single_lbl->isVisible());
  QCOMPARE(f.PresList.arr.Count(), 1);
  // Judged on \Media\ itself, which holds no recording of either name.
  QVERIFY(!f.Command1->isEnabled());
  QVERIFY(!f.Command2->isEnabled());
  QVERIFY(f.isVisible());
}

void LauncherWindowTest::pickRunsTheButtonRule() {
  Rig rig;
  rig.WriteThree();
  Ambrel_frm& f = rig.Load();
  rig.Pick(1);
  QVERIFY(!f.Command1->isEnabled());
  QVERIFY(!f.Command2->isEnabled());
  rig.Pick(0);
  QVERIFY(f.Command1->isEnabled());
  QVERIFY(f.Command2->isEnabled());
  rig.Pick(2);
  QVERIFY(!f.Command1->isEnabled());
  QVERIFY(f.Command2->isEnabled());
  // A later pick enables again what an earlier one disabled.
  rig.Pick(0);
  QVERIFY(f.Command1->isEnabled());
  QVERIFY(rig.reporter.texts.isEmpty());
  QCOMPARE(rig.ended, 0);
}

void LauncherWindowTest::clickBeforePickAsksToPick() {
  Rig rig;
  rig.WriteThree();
  Ambrel_frm& f = rig.Load();
  QTest::mouseClick(f.Command1, Qt::LeftButton);
  QCOMPARE(rig.reporter.texts, QStringList{kSelect});
  QCOMPARE(rig.reporter.messages[0].caption, QStringLiteral("Ambrel"));
  QCOMPARE(rig.starter.calls, 0);
  QCOMPARE(rig.ended, 0);
  QVERIFY(f.isVisible());
}

void LauncherWindowTest::thirdEntryStartsWithItsFolder() {
  Rig rig;
  rig.WriteThree();
  Ambrel_frm& f = rig.Load();
  rig.Pick(2);
  QTest::mouseClick(f.Command2, Qt::LeftButton);
  QCOMPARE(rig.starter.calls, 1);
  QCOMPARE(rig.starter.program,
           medium::NativePath("\\opt\\az\\" + ProgramFileName(PlayerBuild::Norvanta)));
  QCOMPARE(rig.starter.arguments, (QStringList{"--", "-p", "DirC"}));
  // The command line as the player was always started, for the arguments above.
  QCOMPARE(
      PlayerCommandLine(PlayerBuild::Norvanta, medium::ApplicationFolder(),
                        rig.starter.arguments.last()),
      medium::ApplicationFolder() + u'\\' + ProgramFileName(PlayerBuild::Norvanta) + " -p DirC");
  QCOMPARE(rig.ended, 1);
  QVERIFY(rig.reporter.texts.isEmpty());
}

void LauncherWindowTest::singleModeStartPassesMediumOn() {
  Rig rig;
  rig.medium.WriteLines(QStringLiteral("Data/config.txt"), {"P 1", "Talk", "Dir With Blank"});
  rig.medium.Write(QStringLiteral("Media/Dir With Blank/media.wma"), "x");
  Ambrel_frm& f = rig.Load(QStringLiteral("/discs/one"));
  QVERIFY(f.Command1->isEnabled());
  QTest::mouseClick(f.Command1, Qt::LeftButton);
  QCOMPARE(rig.starter.program,
           medium::NativePath("\\opt\\az\\" + ProgramFileName(PlayerBuild::Tavisco)));
  QCOMPARE(rig.starter.arguments,
           (QStringList{"--medium", "/discs/one", "--", "-p", "Dir With Blank"}));
  QCOMPARE(rig.ended, 1);
}

void LauncherWindowTest::doubledSeparatorReachesThePlayerOnce() {
  Rig rig;
  rig.medium.WriteLines(QStringLiteral("Data/config.txt"), {"P 1", "Talk", "Year\\\\Q1"});
  rig.medium.Write(QStringLiteral("Media/Year/Q1/media.wmv"), "x");
  Ambrel_frm& f = rig.Load();
  QVERIFY(f.Command1->isEnabled());
  f.Command1_Click();
  QCOMPARE(rig.starter.arguments, (QStringList{"--", "-p", "Year\\Q1"}));
  // The command line as the player was always started, from the folder as config.txt has it.
  const QString line =
      PlayerCommandLine(PlayerBuild::Tavisco, medium::ApplicationFolder(), "Year\\\\Q1");
  QVERIFY(line.endsWith(" -p Year\\Q1"));
  QVERIFY(!line.contains("\\\\"));
}

void LauncherWindowTest::failedStartKeepsTheLauncher() {
  Rig rig;
  rig.WriteThree();
  rig.starter.failing = true;
  Ambrel_frm& f = rig.Load();
  rig.Pick(0);
  QTest::mouseClick(f.Command1, Qt::LeftButton);
  QCOMPARE(rig.starter.calls, 1);
  QCOMPARE(rig.ended, 0);
  QCOMPARE(rig.reporter.texts.size(), 1);
  QVERIFY2(rig.reporter.texts[0].contains(rig.starter.program), qPrintable(rig.reporter.texts[0]));
  QCOMPARE(rig.reporter.messages[0].caption, QStringLiteral("Ambrel"));
  QVERIFY(f.isVisible());
  // The other player can still be chosen.
  rig.starter.failing = false;
  QTest::mouseClick(f.Command2, Qt::LeftButton);
  QCOMPARE(rig.starter.calls, 2);
  QCOMPARE(rig.ended, 1);
}

void LauncherWindowTest::noEngineMessageAfterShow() {
  Rig rig;
  rig.probe.answers = {false, false};
  rig.medium.WriteLines(QStringLiteral("Data/config.txt"), {"P 1", "Talk", "Dir"});
  rig.medium.Write(QStringLiteral("Media/Dir/media.wma"), "x");
  rig.medium.Write(QStringLiteral("Media/Dir/media.rm"), "x");
  Ambrel_frm& f = rig.Load();
  QCOMPARE(rig.reporter.texts, QStringList{kNoEngine});
  QCOMPARE(rig.reporter.shownAfterWindow, QList<bool>{true});
  QVERIFY(!f.Command1->isEnabled());
  QVERIFY(!f.Command2->isEnabled());
  QCOMPARE(rig.ended, 0);

  // One engine is enough to stay quiet; a short answer counts as not installed.
  Rig one;
  one.probe.answers = {true};
  one.medium.WriteLines(QStringLiteral("Data/config.txt"), {"P 1", "Talk", "Dir"});
  one.medium.Write(QStringLiteral("Media/Dir/media.wma"), "x");
  one.medium.Write(QStringLiteral("Media/Dir/media.rm"), "x");
  Ambrel_frm& g = one.Load();
  QVERIFY(one.reporter.texts.isEmpty());
  QVERIFY(g.Command1->isEnabled());
  QVERIFY(!g.Command2->isEnabled());
}

void LauncherWindowTest::probesAnswerWhileTheWindowIsShown() {
  // One presentation with both recordings; the Windows Media engine turns out to be missing.
  Rig rig;
  rig.probe.late = true;
  rig.probe.answers = {false, true};
  rig.medium.WriteLines(QStringLiteral("Data/config.txt"), {"P 1", "Talk", "Dir"});
  rig.medium.Write(QStringLiteral("Media/Dir/media.wma"), "x");
  rig.medium.Write(QStringLiteral("Media/Dir/media.rm"), "x");
  Ambrel_frm& f = rig.Load();
  // The window is there before the answers, its buttons by the recordings alone.
  QVERIFY(f.isVisible());
  QVERIFY(f.Command1->isEnabled());
  QVERIFY(f.Command2->isEnabled());
  rig.probe.Answer();
  QVERIFY(!f.WinMediaFound);
  QVERIFY(!f.Command1->isEnabled());
  QVERIFY(f.Command2->isEnabled());
  QVERIFY(rig.reporter.texts.isEmpty());

  // No engine at all: the message comes with the answers, after the window.
  Rig none;
  none.probe.late = true;
  none.probe.answers = {false, false};
  none.medium.WriteLines(QStringLiteral("Data/config.txt"), {"P 1", "Talk", "Dir"});
  none.medium.Write(QStringLiteral("Media/Dir/media.wma"), "x");
  Ambrel_frm& g = none.Load();
  QVERIFY(none.reporter.texts.isEmpty());
  none.probe.Answer();
  QCOMPARE(none.reporter.texts, QStringList{kNoEngine});
  QCOMPARE(none.reporter.shownAfterWindow, QList<bool>{true});
  QVERIFY(!g.Command1->isEnabled());
}

void LauncherWindowTest::aClickBeforeTheAnswersWaitsForThem() {
  Rig rig;
  rig.probe.late = true;
  rig.probe.answers = {false, true};
  rig.medium.WriteLines(QStringLiteral("Data/config.txt"), {"P 1", "Talk", "Dir"});
  rig.medium.Write(QStringLiteral("Media/Dir/media.wma"), "x");
  rig.medium.Write(QStringLiteral("Media/Dir/media.rm"), "x");
  Ambrel_frm& f = rig.Load();
  // Tavisco's button still stands enabled; the click waits for the answer, which disables it.
  f.Command1_Click();
  QCOMPARE(rig.probe.settled, 1);
  QVERIFY(!f.Command1->isEnabled());
  QCOMPARE(rig.starter.calls, 0);
  QCOMPARE(rig.ended, 0);
  f.Command2_Click();
  QCOMPARE(rig.starter.calls, 1);
  QVERIFY(rig.starter.program.endsWith(QStringLiteral("Norvanta")));

  // A pick in a list waits for them too, and the rule then uses them.
  Rig three;
  three.probe.late = true;
  three.probe.answers = {false, true};
  three.WriteThree();
  Ambrel_frm& g = three.Load();
  three.Pick(0);
  QCOMPARE(three.probe.settled, 1);
  QVERIFY(!g.Command1->isEnabled());
  QVERIFY(g.Command2->isEnabled());
}

void LauncherWindowTest::noEngineInMultiMode() {
  Rig rig;
  rig.probe.answers = {false, false};
  rig.WriteThree();
  Ambrel_frm& f = rig.Load();
  QCOMPARE(rig.reporter.texts, QStringList{kNoEngine});
  QVERIFY(f.Command1->isEnabled());
  QTest::mouseClick(f.Command1, Qt::LeftButton);
  QCOMPARE(rig.reporter.texts, (QStringList{kNoEngine, kSelect}));
  rig.Pick(0);
  QVERIFY(!f.Command1->isEnabled());
  QVERIFY(!f.Command2->isEnabled());
}

void LauncherWindowTest::hoverSwapsAndReloads() {
  Rig rig;
  rig.WriteThree();
  rig.WritePictures();
  Ambrel_frm& f = rig.Load();
  QVERIFY(QTest::qWaitForWindowExposed(&f));
  const QStringList normal{"button1.jpg", "button2.jpg", "button3.jpg", "button4.jpg"};

  QTest::mouseMove(f.Command1, QPoint(10, 10));
  QTRY_COMPARE(rig.loads,
               (QStringList{"button1b.jpg", "button2.jpg", "button3.jpg", "button4.jpg"}));
  QVERIFY(Shows(f.Command1->Picture(), "button1b"));
  QVERIFY(Shows(f.Command2->Picture(), "button2"));
  QVERIFY(Shows(f.Image1->Picture(), "button3"));
  QVERIFY(Shows(f.Image2->Picture(), "button4"));
  QVERIFY(f.Cmd1Hover && !f.Cmd2Hover && !f.Img1Hover && !f.Img2Hover);

  // Further moves inside Command1 load nothing.
  QTest::mouseMove(f.Command1, QPoint(20, 30));
  QTest::mouseMove(f.Command1, QPoint(40, 30));
  QCOMPARE(rig.loads.size(), 4);

  // Straight onto Command2: Command1 goes back to its normal picture.
  rig.loads.clear();
  QTest::mouseMove(f.Command2, QPoint(10, 10));
  QTRY_COMPARE(rig.loads,
               (QStringList{"button1.jpg", "button2b.jpg", "button3.jpg", "button4.jpg"}));
  QVERIFY(Shows(f.Command1->Picture(), "button1"));
  QVERIFY(Shows(f.Command2->Picture(), "button2b"));
  QVERIFY(!f.Cmd1Hover && f.Cmd2Hover);
  QTest::mouseMove(f.Command2, QPoint(30, 30));
  QCOMPARE(rig.loads.size(), 4);

  rig.loads.clear();
  QTest::mouseMove(f.Image1, QPoint(30, 30));
  QTRY_COMPARE(rig.loads,
               (QStringList{"button1.jpg", "button2.jpg", "button3b.jpg", "button4.jpg"}));
  QVERIFY(Shows(f.Image1->Picture(), "button3b"));
  QVERIFY(f.Img1Hover && !f.Cmd2Hover);
  QTest::mouseMove(f.Image1, QPoint(20, 20));
  QCOMPARE(rig.loads.size(), 4);

  // Every move inside Image2 loads all four again.
  rig.loads.clear();
  QTest::mouseMove(f.Image2, QPoint(10, 10));
  QTRY_COMPARE(rig.loads.size(), 4);
  QTest::mouseMove(f.Image2, QPoint(50, 10));
  QTRY_COMPARE(rig.loads.size(), 8);
  QCOMPARE(rig.loads.mid(4),
           (QStringList{"button1.jpg", "button2.jpg", "button3.jpg", "button4b.jpg"}));
  QVERIFY(Shows(f.Image2->Picture(), "button4b"));
  QVERIFY(Shows(f.Image1->Picture(), "button3"));
  QVERIFY(f.Img2Hover && !f.Img1Hover);

  // The bare window: all normal, all flags down, and every move reloads.
  rig.loads.clear();
  QTest::mouseMove(&f, QPoint(500, 100));
  QTRY_COMPARE(rig.loads, normal);
  QTest::mouseMove(&f, QPoint(520, 120));
  QTRY_COMPARE(rig.loads, normal + normal);
  QVERIFY(Shows(f.Image2->Picture(), "button4"));
  QVERIFY(!f.Cmd1Hover && !f.Cmd2Hover && !f.Img1Hover && !f.Img2Hover);
  QVERIFY(rig.reporter.texts.isEmpty());
}

void LauncherWindowTest::moveOverLabelChangesNothing() {
  Rig rig;
  rig.WriteThree();
  rig.WritePictures();
  Ambrel_frm& f = rig.Load();
  QVERIFY(QTest::qWaitForWindowExposed(&f));
  QTest::mouseMove(f.Command1, QPoint(10, 10));
  QTRY_COMPARE(rig.loads.size(), 4);
  for (QWidget* w : {static_cast<QWidget*>(f.Label3), static_cast<QWidget*>(f.Multi_lbl),
                     static_cast<QWidget*>(f.Label1), static_cast<QWidget*>(f.Presentation_cmb)}) {
    QTest::mouseMove(w, QPoint(5, 5));
    QTest::mouseMove(w, QPoint(8, 6));
  }
  QTest::qWait(50);
  QCOMPARE(rig.loads.size(), 4);
  QVERIFY(Shows(f.Command1->Picture(), "button1b"));
  QVERIFY(f.Cmd1Hover);
}

void LauncherWindowTest::moveOverDisabledButtonIsOverTheWindow() {
  Rig rig;
  rig.WriteThree();
  rig.WritePictures();
  Ambrel_frm& f = rig.Load();
  QVERIFY(QTest::qWaitForWindowExposed(&f));
  rig.Pick(1);  // no recordings: both buttons disabled
  QVERIFY(!f.Command1->isEnabled());
  QTest::mouseMove(f.Image1, QPoint(30, 30));
  QTRY_VERIFY(f.Img1Hover);
  rig.loads.clear();
  QTest::mouseMove(f.Command1, QPoint(10, 10));
  QTRY_COMPARE(rig.loads,
               (QStringList{"button1.jpg", "button2.jpg", "button3.jpg", "button4.jpg"}));
  QVERIFY(!f.Cmd1Hover && !f.Img1Hover);
}

void LauncherWindowTest::missingHoverPictureKeepsPicture() {
  Rig rig;
  rig.WriteThree();
  rig.WritePictures();
  QVERIFY(QFile::remove(rig.medium.Path(QStringLiteral("Images/button1b.jpg"))));
  rig.medium.Write(QStringLiteral("Images/button2.jpg"), "not a picture");
  Ambrel_frm& f = rig.Load();
  QVERIFY(QTest::qWaitForWindowExposed(&f));
  const QImage design1 = f.Command1->Picture();
  const QImage design2 = f.Command2->Picture();
  QTest::mouseMove(f.Command1, QPoint(14, 12));
  QTRY_COMPARE(rig.loads.size(), 4);
  QCOMPARE(f.Command1->Picture(), design1);
  QCOMPARE(f.Command2->Picture(), design2);
  QVERIFY(Shows(f.Image1->Picture(), "button3"));
  QVERIFY(f.Cmd1Hover);
  QVERIFY(rig.reporter.texts.isEmpty());
  QCOMPARE(rig.ended, 0);
  // The flags went on as usual: the next move inside Command1 loads nothing.
  QTest::mouseMove(f.Command1, QPoint(30, 30));
  QCOMPARE(rig.loads.size(), 4);
}

void LauncherWindowTest::exitEndsTheLauncher() {
  Rig rig;
  rig.WriteThree();
  Ambrel_frm& f = rig.Load();
  QVERIFY(QTest::qWaitForWindowExposed(&f));
  QTest::mouseClick(f.Image1, Qt::LeftButton, {}, QPoint(30, 30));
  QCOMPARE(rig.ended, 1);
  QCOMPARE(rig.starter.calls, 0);
  QVERIFY(rig.reporter.texts.isEmpty());
}

void LauncherWindowTest::exitEndsTheEventLoop() {
  Rig rig;
  rig.WriteThree();
  rig.Make(std::nullopt, /*fakeEnd=*/false);
  Ambrel_frm& f = *rig.frm;
  f.Form_Load();
  QVERIFY(QTest::qWaitForWindowExposed(&f));
  QTimer::singleShot(0, &f,
                     [&f] { QTest::mouseClick(f.Image1, Qt::LeftButton, {}, QPoint(5, 5)); });
  QTimer::singleShot(5000, [] { QCoreApplication::exit(99); });
  QCOMPARE(QCoreApplication::exec(), 0);
  QVERIFY(!f.isVisible());
}

void LauncherWindowTest::webLink() {
  Rig rig;
  rig.WriteThree();
  Ambrel_frm& f = rig.Load();
  QVERIFY(QTest::qWaitForWindowExposed(&f));

  QTest::mouseClick(f.Image2, Qt::LeftButton, {}, QPoint(10, 10));
  QCOMPARE(rig.web.opened, QStringList{"https://maker.example/"});
  QCOMPARE(rig.web.owner, &f);
  QVERIFY(rig.reporter.texts.isEmpty());

  rig.web.result = 2;
  QTest::mouseClick(f.Image2, Qt::LeftButton, {}, QPoint(10, 10));
  QCOMPARE(rig.reporter.messages.size(), size_t(1));
  QCOMPARE(rig.reporter.messages[0].caption, QStringLiteral("Browser Unavailable"));
  QCOMPARE(rig.reporter.messages[0].icon, medium::MessageIcon::Exclamation);
  QCOMPARE(rig.reporter.messages[0].text,
           QStringLiteral("Ambrel had a problem running your web browser.Please check that your "
                          "browser is properly installed."));

  rig.web.result = 31;
  QTest::mouseClick(f.Image2, Qt::LeftButton, {}, QPoint(10, 10));
  QCOMPARE(rig.reporter.messages.size(), size_t(2));
  QCOMPARE(rig.reporter.messages[1].caption, QStringLiteral("Browser Unavailable"));
  QCOMPARE(rig.reporter.messages[1].text,
           QStringLiteral("Ambrel could not find a file association for https://maker.example/. "
                          "Please check that your browser is properly installedand associated "
                          "with this file type."));
  QCOMPARE(rig.ended, 0);
  QVERIFY(f.isVisible());
}

void LauncherWindowTest::webLinkAnswerComesLater() {
  // A real opener answers after the click handler has returned; the window stays usable.
  QTemporaryDir dir;
  const QString opener = dir.path() + QStringLiteral("/opener");
  {
    QFile f(opener);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("#!/bin/sh\nsleep 0.2; exit 3\n");
  }
  QVERIFY(QFile::setPermissions(opener, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
  DesktopWebOpener web(opener);
  Rig rig;
  rig.WriteThree();
  rig.opener = &web;
  rig.Load();
  rig.frm->Image2_Click();
  QVERIFY(rig.reporter.texts.isEmpty());
  QTRY_COMPARE_WITH_TIMEOUT(rig.reporter.texts.size(), 1, 5000);
  QVERIFY(rig.reporter.texts[0].startsWith(
      QStringLiteral("Ambrel could not find a file association for https://maker.example/")));
  QCOMPARE(rig.ended, 0);
}

void LauncherWindowTest::darkDesktopThemeKeepsTheDesignedColours() {
  const QPalette before = QApplication::palette();
  // A dark desktop theme: light text on dark ground everywhere.
  QPalette dark(QColor(230, 230, 230), QColor(53, 53, 53));
  dark.setColor(QPalette::Base, QColor(30, 30, 30));
  dark.setColor(QPalette::Text, QColor(230, 230, 230));
  dark.setColor(QPalette::ButtonText, QColor(240, 240, 240));
  dark.setColor(QPalette::HighlightedText, QColor(20, 20, 20));
  dark.setColor(QPalette::Highlight, QColor(90, 160, 255));
  QApplication::setPalette(dark);
  const auto restore = qScopeGuard([&] { QApplication::setPalette(before); });

  Rig rig;
  rig.medium.WriteLines(QStringLiteral("Data/config.txt"), {"P 1", "Talk", "Dir"});
  Ambrel_frm& f = rig.Load();
  QVERIFY(QTest::qWaitForWindowExposed(&f));
  // White text on the black panel.
  for (QLabel* label : {f.Label1, f.Label3, f.Single_lbl}) {
    QCOMPARE(label->palette().color(QPalette::WindowText), QColor(Qt::white));
    QCOMPARE(label->palette().color(QPalette::Window), QColor(Qt::black));
    const QImage shot = label->grab().toImage();
    QCOMPARE(shot.pixelColor(0, shot.height() - 1), QColor(Qt::black));
    int light = 0;
    for (int y = 0; y < shot.height(); ++y) {
      for (int x = 0; x < shot.width(); ++x) light += qGray(shot.pixel(x, y)) > 200 ? 1 : 0;
    }
    QVERIFY2(light > 20, qPrintable(label->objectName()));
  }
  // The presentation's name black on white.
  QCOMPARE(f.Presentation_lbl->palette().color(QPalette::Window), QColor(Qt::white));
  QCOMPARE(f.Presentation_lbl->palette().color(QPalette::WindowText), QColor(Qt::black));
  QCOMPARE(f.Presentation_lbl->grab().toImage().pixelColor(4, 3), QColor(Qt::white));
  // The list as in the classic scheme, and the window's own ground black.
  QCOMPARE(f.Presentation_cmb->palette().color(QPalette::Base), QColor(Qt::white));
  QCOMPARE(f.Presentation_cmb->palette().color(QPalette::Text), QColor(Qt::black));
  QCOMPARE(f.Presentation_cmb->palette().color(QPalette::ButtonText), QColor(Qt::black));
  QCOMPARE(f.palette().color(QPalette::Window), QColor(Qt::black));
  QCOMPARE(f.grab().toImage().pixelColor(5, 5), QColor(Qt::black));
}

void LauncherWindowTest::focusStartsOnCommand1_data() {
  QTest::addColumn<QStringList>("config");
  QTest::addColumn<QStringList>("recordings");
  QTest::addColumn<QString>("focused");
  QTest::newRow("several presentations")
      << QStringList{"P 2", "A", "DirA", "B", "DirB"} << QStringList{} << "Command1";
  QTest::newRow("one, both recordings")
      << QStringList{"P 1", "A", "DirA"} << QStringList{"media.wma", "media.rm"} << "Command1";
  QTest::newRow("one, RealMedia only")
      << QStringList{"P 1", "A", "DirA"} << QStringList{"media.rm"} << "Command2";
}

void LauncherWindowTest::focusStartsOnCommand1() {
  QFETCH(QStringList, config);
  QFETCH(QStringList, recordings);
  QFETCH(QString, focused);
  Rig rig;
  rig.medium.WriteLines(QStringLiteral("Data/config.txt"), config);
  rig.medium.MakeDir(QStringLiteral("Media/DirA"));
  for (const QString& r : recordings) rig.medium.Write(QStringLiteral("Media/DirA/") + r, "x");
  Ambrel_frm& f = rig.Load();
  f.activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&f));
  QVERIFY(QApplication::focusWidget());
  QCOMPARE(QApplication::focusWidget()->objectName(), focused);
}

void LauncherWindowTest::pictureButtonsShowTheirFocus() {
  Rig rig;
  rig.WriteThree();
  Ambrel_frm& f = rig.Load();
  f.activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&f));
  f.Command2->setFocus(Qt::TabFocusReason);
  QTRY_VERIFY(f.Command2->hasFocus());
  const QImage unfocused = f.Command1->grab().toImage();
  f.Command1->setFocus(Qt::TabFocusReason);
  QTRY_VERIFY(f.Command1->hasFocus());
  const QImage focused = f.Command1->grab().toImage();
  QCOMPARE(focused.size(), unfocused.size());
  // A frame inside the border, over the picture, on all four sides.
  const int w = focused.width();
  const int h = focused.height();
  const QPoint sides[] = {{w / 2, 3}, {w / 2, h - 4}, {3, h / 2}, {w - 4, h / 2}};
  for (const QPoint& at : sides) {
    bool differs = false;
    for (int d = -2; d <= 2 && !differs; ++d) {
      const QPoint p = at.x() == w / 2 ? at + QPoint(d, 0) : at + QPoint(0, d);
      differs = focused.pixel(p) != unfocused.pixel(p);
    }
    QVERIFY2(differs, qPrintable(QStringLiteral("%1,%2").arg(at.x()).arg(at.y())));
  }
  // The mark shows dark and light parts, so it stands out on any picture.
  int darkDots = 0;
  int lightDots = 0;
  for (int x = 4; x < w - 4; ++x) {
    const int g = qGray(focused.pixel(x, 3));
    darkDots += g < 60 ? 1 : 0;
    lightDots += g > 200 ? 1 : 0;
  }
  QVERIFY(darkDots > 5);
  QVERIFY(lightDots > 5);
}

QTEST_MAIN(LauncherWindowTest)
#include "test_launcher_window.moc"
