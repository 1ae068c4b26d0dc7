// The launcher's parts that need no window: the configuration file, the button rule, the
// player's command line and arguments (and how the player reads them), the web link with its
// opener and messages, the probes, the starter and the desktop entry.

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "launcher/Ambrel_frm.h"
#include "launcher/EngineProbe.h"
#include "launcher/PlayerLaunch.h"
#include "launcher/ProcessStarter.h"
#include "launcher/WebLink.h"
#include "medium/CommandLineOptions.h"
#include "medium/Paths.h"
#include "medium/Report.h"
#include "presentation/CommandLine.h"
#include "presentation/ConfigReader.h"
#include "tests/support/RecordingReporter.h"
#include "tests/support/TempMedium.h"

using namespace launcher;

namespace {

struct Reading {
  bool multi = false;
  QStringList entries;  // names given to the list control
  QStringList names;
  QStringList dirs;
  QStringList messages;
};

Reading ReadList() {
  medium::RecordingReporter reporter(QStringLiteral("Ambrel"));
  ConfigReader reader(layout::Current(), reporter);
  reader.ReadCount();
  PresArr_cls list;
  Reading r;
  r.multi =
      FillPresentationList(reporter, reader, list, [&](const QString& name) { r.entries << name; });
  reader.Release();
  for (int k = 1; k <= list.arr.Count(); ++k) {
    r.names << list.arr.Item(k).PresName;
    r.dirs << list.arr.Item(k).PresDir;
  }
  r.messages = reporter.Texts();
  return r;
}

// A small script standing in for a player program: it answers --probe as told.
void WriteProgram(const QString& folder, const QString& name, const QByteArray& body) {
  const QString path = folder + u'/' + name;
  QFile f(path);
  QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write("#!/bin/sh\n" + body + "\n");
  f.close();
  QVERIFY(f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
}

}  // namespace

class LauncherLogicTest : public QObject {
  Q_OBJECT

 private slots:
  void readsTheList_data();
  void readsTheList();
  void missingConfigGivesFiveMessagesAndOneEmptyPresentation();
  void configPathAtTheRoot();
  void buttonRule_data();
  void buttonRule();
  void buttonRuleIgnoresFoldersAndHiddenFiles();
  void commandLine_data();
  void commandLine();
  void launchArguments();
  void folderArrivesWholeAtThePlayer_data();
  void folderArrivesWholeAtThePlayer();
  void momentArrivesAtThePlayer_data();
  void momentArrivesAtThePlayer();
  void webLinkMessages();
  void desktopOpenerExitStatus_data();
  void desktopOpenerExitStatus();
  void desktopOpenerAnswerIsDroppedWithItsWindow();
  void desktopEntryNamesTheWindowClass();
  void probeAnswersPerProgram();
  void probesRunSideBySideAndTimeOut();
  void starterNamesAMissingProgram();
};

void LauncherLogicTest::readsTheList_data() {
  QTest::addColumn<QStringList>("lines");
  QTest::addColumn<bool>("multi");
  QTest::addColumn<QStringList>("names");
  QTest::addColumn<QStringList>("dirs");
  QTest::addColumn<QStringList>("messages");

  const QStringList twoPairs{"Alpha talk", "Alpha", "Beta talk", "Beta"};
  const QStringList none;
  QTest::newRow("count 0: one pair") << (QStringList{"Presentations 0"} + twoPairs) << false
                                     << QStringList{"Alpha talk"} << QStringList{"Alpha"} << none;
  QTest::newRow("count 1: one pair") << (QStringList{"Presentations 1"} + twoPairs) << false
                                     << QStringList{"Alpha talk"} << QStringList{"Alpha"} << none;
  QTest::newRow("negative count: one pair")
      << (QStringList{"Presentations -4"} + twoPairs) << false << QStringList{"Alpha talk"}
      << QStringList{"Alpha"} << none;
  QTest::newRow("count 2: two pairs in file order")
      << (QStringList{"Presentations 2"} + twoPairs + QStringList{"Gamma talk", "Gamma"}) << true
      << QStringList{"Alpha talk", "Beta talk"} << QStringList{"Alpha", "Beta"} << none;
  QTest::newRow("count 3, two pairs: two reads past the end")
      << (QStringList{"Presentations 3"} + twoPairs) << true
      << QStringList{"Alpha talk", "Beta talk", ""} << QStringList{"Alpha", "Beta", ""}
      << QStringList{"Input past end of file", "Input past end of file"};
  QTest::newRow("1.5 rounds to 2")
      << (QStringList{"Presentations 1.5"} + twoPairs) << true
      << QStringList{"Alpha talk", "Beta talk"} << QStringList{"Alpha", "Beta"} << none;
  QTest::newRow("2.5 rounds to 2")
      << (QStringList{"Presentations 2.5"} + twoPairs) << true
      << QStringList{"Alpha talk", "Beta talk"} << QStringList{"Alpha", "Beta"} << none;
  QTest::newRow("0.5 rounds to 0") << (QStringList{"Presentations 0.5"} + twoPairs) << false
                                   << QStringList{"Alpha talk"} << QStringList{"Alpha"} << none;
  QTest::newRow("a first line of one word")
      << (QStringList{"Presentations"} + twoPairs) << false << QStringList{"Alpha talk"}
      << QStringList{"Alpha"} << QStringList{"Subscript out of range"};
  QTest::newRow("two blanks make the second piece empty")
      << (QStringList{"Presentations  2"} + twoPairs) << false << QStringList{"Alpha talk"}
      << QStringList{"Alpha"} << QStringList{"Type mismatch: \"\" is not a number"};
  QTest::newRow("third piece ignored")
      << (QStringList{"Presentations 2 9"} + twoPairs) << true
      << QStringList{"Alpha talk", "Beta talk"} << QStringList{"Alpha", "Beta"} << none;
  QTest::newRow("count too large")
      << (QStringList{"Presentations 40000"} + twoPairs) << false << QStringList{"Alpha talk"}
      << QStringList{"Alpha"} << QStringList{"Overflow: 40000 is out of range"};
  QTest::newRow("names and folders taken whole")
      << QStringList{"P 2", "  Padded name ", "Dir With Blank", "", "Empty"} << true
      << QStringList{"  Padded name ", ""} << QStringList{"Dir With Blank", "Empty"} << none;
}

void LauncherLogicTest::readsTheList() {
  QFETCH(QStringList, lines);
  QFETCH(bool, multi);
  QFETCH(QStringList, names);
  QFETCH(QStringList, dirs);
  QFETCH(QStringList, messages);
  TempMedium medium;
  medium.WriteLines(QStringLiteral("Data/config.txt"), lines);
  const Reading r = ReadList();
  QCOMPARE(r.multi, multi);
  QCOMPARE(r.names, names);
  QCOMPARE(r.dirs, dirs);
  QCOMPARE(r.messages, messages);
  // Only the list of several presentations reaches the list control.
  QCOMPARE(r.entries, multi ? names : QStringList{});
}

void LauncherLogicTest::missingConfigGivesFiveMessagesAndOneEmptyPresentation() {
  TempMedium medium;
  const Reading r = ReadList();
  const QString shown = medium::NativePath(layout::Current().ConfigPath());
  QCOMPARE(r.messages, (QStringList{"File not found: " + shown, "No open file",
                                    "Subscript out of range", "No open file", "No open file"}));
  QVERIFY(!r.multi);
  QCOMPARE(r.names, QStringList{QString()});
  QCOMPARE(r.dirs, QStringList{QString()});
}

void LauncherLogicTest::configPathAtTheRoot() {
  medium::SetApplicationFolder(QStringLiteral("/"));
  QCOMPARE(layout::Current().ConfigPath(), QStringLiteral("\\Data\\config.txt"));
  QCOMPARE(layout::Current().MediaFolderPath(QStringLiteral("Q1")), QStringLiteral("\\Media\\Q1"));
}

void LauncherLogicTest::buttonRule_data() {
  QTest::addColumn<QStringList>("files");
  QTest::addColumn<bool>("winMedia");
  QTest::addColumn<bool>("real");
  QTest::addColumn<bool>("command1");
  QTest::addColumn<bool>("command2");
  const QStringList wma{"media.wma"}, wmv{"media.wmv"}, rm{"media.rm"};
  const QStringList all{"media.wma", "media.rm"};
  QTest::newRow("wmv only, both engines") << wmv << true << true << true << false;
  QTest::newRow("wma only, both engines") << wma << true << true << true << false;
  QTest::newRow("rm only, both engines") << rm << true << true << false << true;
  QTest::newRow("wma and rm, no Windows Media engine") << all << false << true << false << true;
  QTest::newRow("wma and rm, no RealMedia engine") << all << true << false << true << false;
  QTest::newRow("wma and rm, no engine") << all << false << false << false << false;
  QTest::newRow("no recording, both engines") << QStringList{} << true << true << false << false;
  QTest::newRow("wma, wmv and rm, both engines")
      << QStringList{"media.wma", "media.wmv", "media.rm"} << true << true << true << true;
  QTest::newRow("other files do not count")
      << QStringList{"media.mp3", "media.rm.txt"} << true << true << false << false;
}

void LauncherLogicTest::buttonRule() {
  QFETCH(QStringList, files);
  QFETCH(bool, winMedia);
  QFETCH(bool, real);
  QFETCH(bool, command1);
  QFETCH(bool, command2);
  TempMedium medium;
  medium.MakeDir(QStringLiteral("Media/Talk"));
  for (const QString& f : files) medium.Write("Media/Talk/" + f, "x");
  const ButtonStates states =
      ButtonRule(layout::Current().MediaFolderPath(QStringLiteral("Talk")), winMedia, real);
  QCOMPARE(states.command1, command1);
  QCOMPARE(states.command2, command2);
}

void LauncherLogicTest::buttonRuleIgnoresFoldersAndHiddenFiles() {
  TempMedium medium;
  medium.MakeDir(QStringLiteral("Media/Talk/media.wma"));
  medium.Write(QStringLiteral("Media/Talk/.media.rm"), "x");
  QCOMPARE(ButtonRule(layout::Current().MediaFolderPath(QStringLiteral("Talk")), true, true),
           ButtonStates{});
  // Recordings copied from a case-blind medium still count.
  medium.Write(QStringLiteral("Media/Talk/MEDIA.RM"), "x");
  QCOMPARE(ButtonRule(layout::Current().MediaFolderPath(QStringLiteral("Talk")), true, true),
           (ButtonStates{false, true}));
}

void LauncherLogicTest::commandLine_data() {
  QTest::addColumn<int>("player");
  QTest::addColumn<QString>("folder");
  QTest::addColumn<QString>("presDir");
  QTest::addColumn<QString>("expected");
  const QString t = ProgramFileName(PlayerBuild::Tavisco);
  const QString n = ProgramFileName(PlayerBuild::Norvanta);
  QTest::newRow("drive root") << 0 << "D:\\"
                              << "Q1Results"
                              << "D:\\" + t + " -p Q1Results";
  QTest::newRow("folder") << 1 << "D:\\Disc"
                          << "Q1Results"
                          << "D:\\Disc\\" + n + " -p Q1Results";
  QTest::newRow("root of this system") << 0 << "\\"
                                       << "Q1"
                                       << "\\" + t + " -p Q1";
  QTest::newRow("doubled separator in the folder name") << 0 << "D:\\Disc"
                                                        << "Year\\\\Q1"
                                                        << "D:\\Disc\\" + t + " -p Year\\Q1";
  QTest::newRow("empty folder name") << 1 << "D:\\Disc"
                                     << ""
                                     << "D:\\Disc\\" + n + " -p ";
}

void LauncherLogicTest::commandLine() {
  QFETCH(int, player);
  QFETCH(QString, folder);
  QFETCH(QString, presDir);
  QFETCH(QString, expected);
  const auto p = player == 0 ? PlayerBuild::Tavisco : PlayerBuild::Norvanta;
  QCOMPARE(PlayerCommandLine(p, folder, presDir), expected);
}

void LauncherLogicTest::launchArguments() {
  const PlayerLaunch plain =
      BuildPlayerLaunch(PlayerBuild::Tavisco, QStringLiteral("My Talk"),
                        QStringLiteral("\\media\\disc"), QStringLiteral("\\opt\\az"), std::nullopt);
  QCOMPARE(plain.program,
           medium::NativePath("\\opt\\az\\" + ProgramFileName(PlayerBuild::Tavisco)));
  // The folder is one argument, blanks and all, after the end of the options.
  QCOMPARE(plain.arguments, (QStringList{"--", "-p", "My Talk"}));

  const PlayerLaunch withMedium = BuildPlayerLaunch(
      PlayerBuild::Norvanta, QStringLiteral("A\\\\B"), QStringLiteral("\\media\\disc"),
      QStringLiteral("\\"), QStringLiteral("/media/disc"));
  QCOMPARE(withMedium.program, medium::NativePath("\\" + ProgramFileName(PlayerBuild::Norvanta)));
  QCOMPARE(withMedium.arguments, (QStringList{"--medium", "/media/disc", "--", "-p", "A\\B"}));
  QCOMPARE(withMedium.commandLine,
           "\\media\\disc\\" + ProgramFileName(PlayerBuild::Norvanta) + " -p A\\B");
}

// The library starts a player at a hit's moment: --at before the end of the options, in
// seconds with up to three decimals, read back by the player as the same milliseconds.
void LauncherLogicTest::momentArrivesAtThePlayer_data() {
  QTest::addColumn<double>("ms");
  QTest::addColumn<QString>("text");
  QTest::addColumn<double>("read");
  QTest::newRow("whole seconds") << 12000.0 << "12" << 12000.0;
  QTest::newRow("half a second") << 12500.0 << "12.5" << 12500.0;
  QTest::newRow("the start") << 0.0 << "0" << 0.0;
  QTest::newRow("below a millisecond") << 0.4 << "0" << 0.0;
  QTest::newRow("past an hour") << 3723456.7 << "3723.457" << 3723457.0;
}

void LauncherLogicTest::momentArrivesAtThePlayer() {
  QFETCH(double, ms);
  QFETCH(QString, text);
  QFETCH(double, read);
  const PlayerLaunch launch = BuildPlayerLaunch(
      PlayerBuild::Norvanta, QStringLiteral("--at 5"), QStringLiteral("\\media\\disc"),
      QStringLiteral("\\opt\\az"), QStringLiteral("/media/disc"), ms);
  QCOMPARE(launch.arguments,
           (QStringList{"--medium", "/media/disc", "--at", text, "--", "-p", "--at 5"}));
  const medium::ProgramOptions options =
      medium::ParseProgramOptions(launch.arguments, medium::OptionProgram::Player);
  QCOMPARE(options.error, QString());
  QCOMPARE(options.atMs.value_or(-1), read);
  QCOMPARE(options.rest, (QStringList{"-p", "--at 5"}));
}

void LauncherLogicTest::folderArrivesWholeAtThePlayer_data() {
  QTest::addColumn<QString>("presDir");
  QTest::addColumn<bool>("withMedium");
  QTest::newRow("blank") << "My Talk" << false;
  QTest::newRow("blanks, with medium") << "My  Quarterly Talk " << true;
  QTest::newRow("plain") << "Q1Results" << true;
  QTest::newRow("named --help") << "--help" << false;
  QTest::newRow("named --version") << "--version" << true;
  QTest::newRow("named --probe") << "--probe" << false;
  QTest::newRow("named --medium=DIR") << "--medium=/tmp" << false;
  QTest::newRow("named --") << "--" << true;
  QTest::newRow("named -p") << "-p" << false;
  QTest::newRow("named /P") << "/P" << false;
  QTest::newRow("blank, named like an option") << "--help me" << true;
}

void LauncherLogicTest::folderArrivesWholeAtThePlayer() {
  QFETCH(QString, presDir);
  QFETCH(bool, withMedium);
  const std::optional<QString> mediumFolder =
      withMedium ? std::optional<QString>(QStringLiteral("/media/my disc")) : std::nullopt;
  const PlayerLaunch launch =
      BuildPlayerLaunch(PlayerBuild::Tavisco, presDir, QStringLiteral("\\media\\disc"),
                        QStringLiteral("\\opt\\az"), mediumFolder);
  // What the player makes of the arguments it is started with.
  const medium::ProgramOptions options =
      medium::ParseProgramOptions(launch.arguments, medium::OptionProgram::Player);
  QCOMPARE(options.error, QString());
  QVERIFY(!options.help && !options.version && !options.probe);
  QCOMPARE(options.medium, mediumFolder);
  medium::RecordingReporter reporter(QStringLiteral("Tavisco"));
  QCOMPARE(ReadCommandLine(medium::ArgumentText(options.rest), reporter), presDir);
  QCOMPARE(reporter.Texts(), QStringList());
}

void LauncherLogicTest::webLinkMessages() {
  const QString address = QStringLiteral("https://maker.example/");
  const QString general =
      "Ambrel had a problem running your web browser.Please check that your browser is properly "
      "installed.";
  const QString noAssoc =
      "Ambrel could not find a file association for https://maker.example/. Please check that "
      "your browser is properly installedand associated with this file type.";
  for (int r : {0, 2, 5, 30, -1}) {
    const auto m = WebLinkMessage(r, QStringLiteral("Ambrel"), address);
    QVERIFY2(m.has_value(), qPrintable(QString::number(r)));
    QCOMPARE(m->caption, QStringLiteral("Browser Unavailable"));
    QCOMPARE(m->text, general);
    QCOMPARE(m->icon, medium::MessageIcon::Exclamation);
  }
  const auto m = WebLinkMessage(31, QStringLiteral("Ambrel"), address);
  QVERIFY(m.has_value());
  QCOMPARE(m->caption, QStringLiteral("Browser Unavailable"));
  QCOMPARE(m->text, noAssoc);
  QCOMPARE(m->icon, medium::MessageIcon::Exclamation);
  for (int r : {32, 33, kOpenSucceeded}) QVERIFY(!WebLinkMessage(r, "Ambrel", address));
  QCOMPARE(MakerWebAddress(), QStringLiteral(MAKER_WEB_ADDRESS));
}

void LauncherLogicTest::desktopOpenerExitStatus_data() {
  QTest::addColumn<QByteArray>("script");  // empty: no opener at all
  QTest::addColumn<int>("expected");
  QTest::addColumn<bool>("message");
  QTest::addColumn<bool>("noAssociation");
  QTest::newRow("opens") << QByteArray("exit 0") << kOpenSucceeded << false << false;
  QTest::newRow("no application for the address")
      << QByteArray("exit 3") << kNoAssociation << true << true;
  QTest::newRow("fails") << QByteArray("exit 4") << kOpenFailed << true << false;
  QTest::newRow("syntax error") << QByteArray("exit 1") << kOpenFailed << true << false;
  QTest::newRow("crashes") << QByteArray("kill -SEGV $$") << kOpenFailed << true << false;
  QTest::newRow("missing") << QByteArray() << kFileNotFound << true << false;
}

void LauncherLogicTest::desktopOpenerExitStatus() {
  QFETCH(QByteArray, script);
  QFETCH(int, expected);
  QFETCH(bool, message);
  QFETCH(bool, noAssociation);
  QTemporaryDir dir;
  const QString opener = dir.path() + QStringLiteral("/opener");
  // The stand-in opener notes the address it was given.
  if (!script.isEmpty()) WriteProgram(dir.path(), "opener", "echo \"$@\" > \"$0.args\"; " + script);
  DesktopWebOpener web(opener);
  const QString address = QStringLiteral("https://maker.example/page?a=1");
  QList<int> results;
  web.Open(address, nullptr, [&](int r) { results << r; });
  QTRY_COMPARE_WITH_TIMEOUT(results.size(), 1, 5000);
  QCOMPARE(results[0], expected);
  const auto m = WebLinkMessage(results[0], QStringLiteral("Ambrel"), address);
  QCOMPARE(m.has_value(), message);
  if (m)
    QCOMPARE(m->text.contains(QStringLiteral("could not find a file association")), noAssociation);
  if (!script.isEmpty()) {
    QFile args(opener + ".args");
    QVERIFY(args.open(QIODevice::ReadOnly));
    QCOMPARE(args.readAll().trimmed(), address.toUtf8());
  }
  // The answer comes once.
  QTest::qWait(50);
  QCOMPARE(results.size(), 1);
}

void LauncherLogicTest::desktopOpenerAnswerIsDroppedWithItsWindow() {
  QTemporaryDir dir;
  WriteProgram(dir.path(), "opener", "sleep 0.3; exit 4");
  DesktopWebOpener web(dir.path() + QStringLiteral("/opener"));
  const QString address = QStringLiteral("https://maker.example/");
  QList<int> results;
  auto* gone = new QWidget;
  web.Open(address, gone, [&](int r) { results << r; });
  delete gone;
  QTest::qWait(1000);
  QVERIFY(results.isEmpty());
  // With its window still there, the same opener's failure is answered.
  QWidget kept;
  web.Open(address, &kept, [&](int r) { results << r; });
  QTRY_COMPARE_WITH_TIMEOUT(results, QList<int>{kOpenFailed}, 5000);
}

void LauncherLogicTest::desktopEntryNamesTheWindowClass() {
  QFile entry(QStringLiteral(DESKTOP_ENTRY));
  QVERIFY2(entry.open(QIODevice::ReadOnly), DESKTOP_ENTRY);
  const QStringList lines = QString::fromUtf8(entry.readAll()).split(u'\n');
  QVERIFY(lines.contains(QStringLiteral("StartupWMClass=") + QLatin1String(kWindowClass)));
  // The library opens from the entry's action.
  QVERIFY(lines.contains(QStringLiteral("Actions=library;")));
  const qsizetype action = lines.indexOf(QStringLiteral("[Desktop Action library]"));
  QVERIFY(action > 0 && lines.mid(action).contains(QStringLiteral("Name=Library")));
  QVERIFY(lines.mid(action).filter(QStringLiteral("Exec=")).value(0).endsWith(" --library"));
  QVERIFY(QStringLiteral(DESKTOP_ENTRY).endsWith(QLatin1String(kDesktopEntryId) + ".desktop"));
}

void LauncherLogicTest::probeAnswersPerProgram() {
  QTemporaryDir dir;
  const QString folder = medium::ToMediumForm(dir.path());
  const QStringList ids{ProbeIdentifier(PlayerBuild::Tavisco),
                        ProbeIdentifier(PlayerBuild::Norvanta)};
  // Neither program there.
  QCOMPARE(ProcessEngineProbe(folder).Probe(ids), (QList<bool>{false, false}));

  // The answer is the probe's exit code, and only --probe is asked.
  WriteProgram(dir.path(), ProgramFileName(PlayerBuild::Tavisco),
               "[ \"$*\" = \"--probe\" ] && exit 0; exit 3");
  WriteProgram(dir.path(), ProgramFileName(PlayerBuild::Norvanta), "echo broken; exit 1");
  QCOMPARE(ProcessEngineProbe(folder).Probe(ids), (QList<bool>{true, false}));
  QCOMPARE(ProcessEngineProbe(folder).Probe({ids[1], ids[0], "Other.Control"}),
           (QList<bool>{false, true, false}));

  // A program that is there but cannot be run counts as not installed.
  QFile::setPermissions(dir.path() + u'/' + ProgramFileName(PlayerBuild::Tavisco),
                        QFile::ReadOwner | QFile::WriteOwner);
  QCOMPARE(ProcessEngineProbe(folder).Probe(ids), (QList<bool>{false, false}));
}

void LauncherLogicTest::probesRunSideBySideAndTimeOut() {
  QTemporaryDir dir;
  const QString folder = medium::ToMediumForm(dir.path());
  const QStringList ids{ProbeIdentifier(PlayerBuild::Tavisco),
                        ProbeIdentifier(PlayerBuild::Norvanta)};
  WriteProgram(dir.path(), ProgramFileName(PlayerBuild::Tavisco), "sleep 0.6; exit 0");
  WriteProgram(dir.path(), ProgramFileName(PlayerBuild::Norvanta), "sleep 0.6; exit 0");
  QElapsedTimer clock;
  clock.start();
  QCOMPARE(ProcessEngineProbe(folder).Probe(ids), (QList<bool>{true, true}));
  // One after the other would take 1.2 s at least.
  QVERIFY2(clock.elapsed() < 1100, qPrintable(QString::number(clock.elapsed())));

  // A probe that hangs is a no once the time is up, and does not hold the other one back.
  WriteProgram(dir.path(), ProgramFileName(PlayerBuild::Tavisco), "exec sleep 30");
  WriteProgram(dir.path(), ProgramFileName(PlayerBuild::Norvanta), "exit 0");
  clock.restart();
  QCOMPARE(ProcessEngineProbe(folder, 400).Probe(ids), (QList<bool>{false, true}));
  QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
}

void LauncherLogicTest::starterNamesAMissingProgram() {
  QTemporaryDir dir;
  const QString program = dir.path() + QStringLiteral("/Tavisco");
  DetachedProcessStarter starter;
  try {
    starter.StartDetached(program, {QStringLiteral("-p"), QStringLiteral("Talk")});
    QFAIL("a missing program was started");
  } catch (const medium::AppError& e) {
    QCOMPARE(e.number(), int(medium::kCannotStartProgram));
    QVERIFY2(e.description().contains(program), qPrintable(e.description()));
  }
  // A program that is there starts, with its arguments, and is not waited for.
  WriteProgram(dir.path(), QStringLiteral("Tavisco"), "echo \"$@\" > \"$0.args\"; sleep 0.2");
  starter.StartDetached(program, {QStringLiteral("-p"), QStringLiteral("My Talk")});
  QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(program + ".args"), 5000);
  QFile args(program + ".args");
  QTRY_VERIFY_WITH_TIMEOUT(args.size() > 0, 5000);
  QVERIFY(args.open(QIODevice::ReadOnly));
  QCOMPARE(args.readAll().trimmed(), QByteArray("-p My Talk"));
}

QTEST_MAIN(LauncherLogicTest)
#include "test_launcher_logic.moc"
