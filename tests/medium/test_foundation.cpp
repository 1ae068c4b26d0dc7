// The player's command line, the programs' options, field splitting and the model's lists.

#include <QtTest>

#include "medium/CommandLineOptions.h"
#include "medium/LocalNames.h"
#include "medium/Report.h"
#include "presentation/CommandLine.h"
#include "presentation/Fields.h"
#include "presentation/Model.h"
#include "presentation/Readers.h"
#include "tests/support/RecordingReporter.h"

using medium::ArgumentText;
using medium::ArgumentWords;
using medium::OptionProgram;
using medium::OptionsHelp;
using medium::ParseProgramOptions;
using medium::ProgramOptions;

class FoundationTest : public QObject {
  Q_OBJECT
 private slots:
  void commandLine_data() {
    QTest::addColumn<QString>("args");
    QTest::addColumn<QString>("presFolder");
    QTest::addColumn<QStringList>("messages");
    const QStringList none;
    QTest::newRow("-p") << "-p Q1Results"
                        << "Q1Results" << none;
    QTest::newRow("/p") << "/p Q1Results"
                        << "Q1Results" << none;
    QTest::newRow("-P") << "-P Q1Results"
                        << "Q1Results" << none;
    QTest::newRow("/P") << "/P Q1Results"
                        << "Q1Results" << none;
    QTest::newRow("switch alone") << "-p"
                                  << "ABB"
                                  << QStringList{"Filename not specified, using default value."};
    QTest::newRow("trailing blank") << "-p "
                                    << "" << none;
    QTest::newRow("two blanks") << "-p  Name"
                                << "Name" << none;
    QTest::newRow("two names") << "-p First Second"
                               << "Second" << none;
    QTest::newRow("no switch") << "Q1Results"
                               << "" << QStringList{"Invalid argument: Q1Results"};
    QTest::newRow("case kept in message") << "-X y"
                                          << "" << QStringList{"Invalid argument: -X"};
    QTest::newRow("empty") << ""
                           << "" << QStringList{"Subscript out of range", "Subscript out of range"};
    // Formed from arguments of which one holds a blank: each argument is one word.
    QTest::newRow("argument with a blank") << ArgumentText({"-p", "My Talk"}) << "My Talk" << none;
    QTest::newRow("argument with blanks at its ends")
        << ArgumentText({"-p", " Talk "}) << " Talk " << none;
    QTest::newRow("whole arguments, last kept") << ArgumentText({"-p", "A B", "C"}) << "C" << none;
    QTest::newRow("whole arguments, no switch")
        << ArgumentText({"My Talk"}) << "" << QStringList{"Invalid argument: My Talk"};
    QTest::newRow("whole arguments, empty folder") << ArgumentText({"/P", "x y", ""}) << "" << none;
    // Typed without quotes, a name still splits at its blanks.
    QTest::newRow("typed words") << ArgumentText({"-p", "My", "Talk"}) << "Talk" << none;
    QTest::newRow("typed switch alone")
        << ArgumentText({"-p"}) << "ABB"
        << QStringList{"Filename not specified, using default value."};
    QTest::newRow("typed empty folder") << ArgumentText({"-p", ""}) << "" << none;
    QTest::newRow("no arguments") << ArgumentText({}) << ""
                                  << QStringList{"Subscript out of range",
                                                 "Subscript out of range"};
  }
  void commandLine() {
    QFETCH(QString, args);
    QFETCH(QString, presFolder);
    QFETCH(QStringList, messages);
    medium::RecordingReporter r("Tavisco");
    QCOMPARE(ReadCommandLine(args, r), presFolder);
    QCOMPARE(r.Texts(), messages);
    for (const auto& m : r.messages) QCOMPARE(m.caption, "Tavisco");
  }

  void argumentWords_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QStringList>("words");
    QTest::newRow("plain") << QStringList{"-p", "Q1"} << QStringList{"-p", "Q1"};
    QTest::newRow("blank inside") << QStringList{"-p", "My Talk"} << QStringList{"-p", "My Talk"};
    QTest::newRow("blank alone") << QStringList{"-p", " "} << QStringList{"-p", " "};
    QTest::newRow("empty last") << QStringList{"-p", "A B", ""} << QStringList{"-p", "A B", ""};
    QTest::newRow("empty middle, typed")
        << QStringList{"-p", "", "N"} << QStringList{"-p", "", "N"};
    QTest::newRow("one argument with a blank") << QStringList{"x y"} << QStringList{"x y"};
    QTest::newRow("none") << QStringList{} << QStringList{};
  }
  void argumentWords() {
    QFETCH(QStringList, args);
    QFETCH(QStringList, words);
    QCOMPARE(ArgumentWords(ArgumentText(args)), words);
  }

  void programOptions_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("launcher");
    QTest::addColumn<QString>("medium");  // "-" for none
    QTest::addColumn<QString>("flags");   // h v p c j for help, version, probe, check, json
    QTest::addColumn<QStringList>("rest");
    QTest::addColumn<QString>("error");
    const QStringList none;
    // The player: its options come first; the switch or "--" ends them.
    QTest::newRow("player, medium and switch")
        << QStringList{"--medium", "/d", "-p", "Q1"} << false << "/d"
        << "" << QStringList{"-p", "Q1"} << "";
    QTest::newRow("player, as the launcher starts it")
        << QStringList{"--medium", "/d", "--", "-p", "My Talk"} << false << "/d"
        << "" << QStringList{"-p", "My Talk"} << "";
    QTest::newRow("player, folder --help") << QStringList{"-p", "--help"} << false << "-"
                                           << "" << QStringList{"-p", "--help"} << "";
    QTest::newRow("player, folder --version")
        << QStringList{"--", "-p", "--version"} << false << "-"
        << "" << QStringList{"-p", "--version"} << "";
    QTest::newRow("player, folder --probe") << QStringList{"/P", "--probe"} << false << "-"
                                            << "" << QStringList{"/P", "--probe"} << "";
    QTest::newRow("player, folder --medium=DIR") << QStringList{"-P", "--medium=/x"} << false << "-"
                                                 << "" << QStringList{"-P", "--medium=/x"} << "";
    QTest::newRow("player, nothing after the marker")
        << QStringList{"--probe", "--"} << false << "-"
        << "p" << none << "";
    QTest::newRow("player, bare word is the old argument text")
        << QStringList{"Talk", "--help"} << false << "-"
        << "" << QStringList{"Talk", "--help"} << "";
    QTest::newRow("player, flags") << QStringList{"--probe", "--help", "--version"} << false << "-"
                                   << "hvp" << none << "";
    QTest::newRow("player, later medium wins")
        << QStringList{"--medium", "/a", "--medium=/b", "-p", "X"} << false << "/b"
        << "" << QStringList{"-p", "X"} << "";
    QTest::newRow("player, --check is the launcher's")
        << QStringList{"--check", "-p", "X"} << false << "-"
        << "" << none << "--check is an option of the launcher, not of a player";
    QTest::newRow("player, --json is the launcher's")
        << QStringList{"--json"} << false << "-"
        << "" << none << "--json is an option of the launcher, not of a player";
    QTest::newRow("player, unknown option") << QStringList{"--bogus", "-p", "X"} << false << "-"
                                            << "" << none << "unknown option --bogus";
    QTest::newRow("player, unknown short option") << QStringList{"-x", "-p", "X"} << false << "-"
                                                  << "" << none << "unknown option -x";
    QTest::newRow("player, --medium without a value")
        << QStringList{"--medium"} << false << "-"
        << "" << none << "--medium needs a value: --medium DIR";
    QTest::newRow("player, --medium followed by an option")
        << QStringList{"--medium", "--probe"} << false << "-"
        << "" << none << "--medium needs a value: --medium DIR";
    QTest::newRow("player, --medium= empty")
        << QStringList{"--medium=", "-p", "X"} << false << "-"
        << "" << none << "--medium needs a value: --medium DIR";
    QTest::newRow("player, flag with a value") << QStringList{"--probe=yes"} << false << "-"
                                               << "" << none << "--probe takes no value";
    // The launcher: a bare folder is the medium.
    QTest::newRow("launcher, bare folder") << QStringList{"/media/cdrom"} << true << "/media/cdrom"
                                           << "" << none << "";
    QTest::newRow("launcher, check a bare folder") << QStringList{"--check", "/d"} << true << "/d"
                                                   << "c" << none << "";
    QTest::newRow("launcher, folder after the check")
        << QStringList{"/d", "--check", "--json"} << true << "/d"
        << "cj" << none << "";
    QTest::newRow("launcher, folder named like an option")
        << QStringList{"--", "--help"} << true << "--help"
        << "" << none << "";
    QTest::newRow("launcher, medium option")
        << QStringList{"--medium=/d", "--check"} << true << "/d"
        << "c" << none << "";
    QTest::newRow("launcher, two folders") << QStringList{"/a", "/b"} << true << "/a"
                                           << "" << none << "more than one medium given: /b";
    QTest::newRow("launcher, folder and medium option")
        << QStringList{"/a", "--medium", "/b"} << true << "/a"
        << "" << none << "more than one medium given: /b";
    QTest::newRow("launcher, medium option and folder")
        << QStringList{"--medium", "/a", "/b"} << true << "/a"
        << "" << none << "more than one medium given: /b";
    QTest::newRow("launcher, --medium without a value")
        << QStringList{"--check", "--medium"} << true << "-"
        << "c" << none << "--medium needs a value: --medium DIR";
    QTest::newRow("launcher, --probe is the players'")
        << QStringList{"--probe"} << true << "-"
        << "" << none << "--probe is an option of the players, not of the launcher";
    QTest::newRow("launcher, the player's switch is unknown")
        << QStringList{"-p", "Talk"} << true << "-"
        << "" << none << "unknown option -p";
    QTest::newRow("launcher, unknown option") << QStringList{"--force-it"} << true << "-"
                                              << "" << none << "unknown option --force-it";
    // Folders after --verify are bags, never a medium; --preserve takes the medium as --check.
    QTest::newRow("launcher, bags to verify") << QStringList{"/a", "--verify", "/b"} << true << "-"
                                              << "" << QStringList{"/a", "/b"} << "";
    QTest::newRow("launcher, preserve a bare folder")
        << QStringList{"--preserve", "/out", "--masters", "/d"} << true << "/d"
        << "" << none << "";
  }
  void programOptions() {
    QFETCH(QStringList, args);
    QFETCH(bool, launcher);
    QFETCH(QString, medium);
    QFETCH(QString, flags);
    QFETCH(QStringList, rest);
    QFETCH(QString, error);
    const ProgramOptions o =
        ParseProgramOptions(args, launcher ? OptionProgram::Launcher : OptionProgram::Player);
    QCOMPARE(o.error, error);
    if (!error.isEmpty()) return;  // the program stops at the error
    QCOMPARE(o.medium.value_or(QStringLiteral("-")), medium);
    QCOMPARE(o.help, flags.contains(u'h'));
    QCOMPARE(o.version, flags.contains(u'v'));
    QCOMPARE(o.probe, flags.contains(u'p'));
    QCOMPARE(o.check, flags.contains(u'c'));
    QCOMPARE(o.json, flags.contains(u'j'));
    QCOMPARE(o.rest, rest);
  }

  // One command a run: two commands, or an option that goes with none of the command given, is
  // a usage error that names both, never a command dropped in silence.
  void launcherCommand_data() {
    using C = medium::LauncherCommand;
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("command");
    QTest::addColumn<QString>("error");
    auto row = [](const char* name, QStringList args, C command, const char* error = "") {
      QTest::newRow(name) << args << int(command) << QString::fromUtf8(error);
    };
    row("the window", {"/d"}, C::Window);
    row("check", {"--check", "/d"}, C::Check);
    row("check of a library", {"--check", "--library", "/s"}, C::LibraryCheck);
    row("export of a library", {"--export", "/o", "--library", "/s", "--force"}, C::LibraryExport);
    row("preserve a library with masters", {"--preserve", "/o", "--masters", "--library", "/s"},
        C::LibraryPreserve);
    row("search with json", {"--search", "q", "--json", "/s"}, C::Search);
    row("the library", {"--library"}, C::Library);
    row("verify", {"--verify", "/b1", "/b2"}, C::Verify);
    row("help wins", {"--help", "--check", "--search", "q"}, C::Window);
    row("search and check", {"--search", "q", "--check"}, C::Window,
        "--check and --search cannot be given together: one command at a time");
    row("verify and preserve", {"--verify", "--preserve", "/o", "/b"}, C::Window,
        "--preserve and --verify cannot be given together: one command at a time");
    row("export and check", {"--export", "/o", "--check"}, C::Window,
        "--check and --export cannot be given together: one command at a time");
    row("verify of a library", {"--verify", "--library", "/s"}, C::Window,
        "--verify takes bags, not a library: --verify BAG...");
    row("masters without preserve", {"--masters", "/d"}, C::Window,
        "--masters goes with --preserve");
    row("masters with check", {"--check", "--masters"}, C::Window,
        "--masters goes with --preserve, not with --check");
    row("json with export", {"--export", "/o", "--json"}, C::Window,
        "--json goes with --check or --search, not with --export");
    row("json with the library", {"--library", "--json"}, C::Window,
        "--json goes with --check or --search, not with --library");
    row("force alone", {"--force"}, C::Window, "--force goes with --export or --preserve");
  }
  void launcherCommand() {
    QFETCH(QStringList, args);
    QFETCH(int, command);
    QFETCH(QString, error);
    const ProgramOptions o = ParseProgramOptions(args, OptionProgram::Launcher);
    QCOMPARE(o.error, error);
    if (error.isEmpty()) QCOMPARE(int(o.command), command);
  }

  // --at: seconds, m:ss or h:mm:ss, never negative; a player's option like the others.
  void startAt_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<double>("ms");  // -1: no --at
    QTest::addColumn<QString>("error");
    QTest::newRow("seconds") << QStringList{"--at", "75", "-p", "X"} << 75000.0 << "";
    QTest::newRow("seconds with a fraction")
        << QStringList{"--at=12.5", "-p", "X"} << 12500.0 << "";
    QTest::newRow("m:ss") << QStringList{"--at", "1:15", "-p", "X"} << 75000.0 << "";
    QTest::newRow("minutes beyond an hour") << QStringList{"--at", "75:10.25"} << 4510250.0 << "";
    QTest::newRow("h:mm:ss") << QStringList{"--at", "1:02:03"} << 3723000.0 << "";
    QTest::newRow("zero") << QStringList{"--at", "0:00", "-p", "X"} << 0.0 << "";
    QTest::newRow("with the medium, after --")
        << QStringList{"--medium", "/d", "--at", "5", "--", "-p", "X"} << 5000.0 << "";
    QTest::newRow("after -p it is the folder") << QStringList{"-p", "--at", "5"} << -1.0 << "";
    QTest::newRow("negative") << QStringList{"--at", "-5", "-p", "X"} << -1.0
                              << "--at cannot be negative: -5";
    QTest::newRow("negative m:ss")
        << QStringList{"--at=-1:00"} << -1.0 << "--at cannot be negative: -1:00";
    QTest::newRow("seconds past 59")
        << QStringList{"--at", "1:75"} << -1.0 << "--at needs a time in seconds or m:ss: 1:75";
    QTest::newRow("words") << QStringList{"--at", "soon", "-p", "X"} << -1.0
                           << "--at needs a time in seconds or m:ss: soon";
    QTest::newRow("blank inside") << QStringList{"--at", "1: 05"} << -1.0
                                  << "--at needs a time in seconds or m:ss: 1: 05";
    QTest::newRow("digits of another script")
        << QStringList{"--at", "\u0661\u0662"} << -1.0
        << "--at needs a time in seconds or m:ss: \u0661\u0662";
    QTest::newRow("too large") << QStringList{"--at", "1e400"} << -1.0
                               << "--at needs a time in seconds or m:ss: 1e400";
    QTest::newRow("no value") << QStringList{"--at", "-p", "X"} << -1.0
                              << "--at needs a value: --at TIME";
    QTest::newRow("launcher") << QStringList{"--at", "5"} << -1.0
                              << "--at is an option of the players, not of the launcher";
  }
  void startAt() {
    QFETCH(QStringList, args);
    QFETCH(double, ms);
    QFETCH(QString, error);
    const bool launcher = QByteArray(QTest::currentDataTag()) == "launcher";
    const ProgramOptions o =
        ParseProgramOptions(args, launcher ? OptionProgram::Launcher : OptionProgram::Player);
    QCOMPARE(o.error, error);
    if (error.isEmpty()) QCOMPARE(o.atMs.value_or(-1.0), ms);
  }

  void optionsHelpListsEachProgramsOwn() {
    const QString launcher = OptionsHelp(OptionProgram::Launcher);
    const QString player = OptionsHelp(OptionProgram::Player);
    for (const char* both : {"--medium DIR", "--help", "--version"}) {
      QVERIFY2(launcher.contains(QLatin1String(both)), both);
      QVERIFY2(player.contains(QLatin1String(both)), both);
    }
    QVERIFY(launcher.contains("--check") && launcher.contains("--json"));
    QVERIFY(!launcher.contains("--probe"));
    QVERIFY(player.contains("--probe") && player.contains("--at TIME"));
    QVERIFY(!launcher.contains("--at"));
    QVERIFY(!player.contains("--check") && !player.contains("--json"));
    for (const QString& line : (launcher + player).split(u'\n')) {
      QVERIFY2(line.size() < 80, qPrintable(line));
    }
  }

  // A folder's name as bytes: text and back without a byte lost, what is UTF-8 read as such.
  void localNames_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");  // what is expected of NameFromBytes
    QTest::addColumn<bool>("raw");      // holds bytes that are no UTF-8
    const auto raw = [](const char* head, int byte, const char* tail = "") {
      return QString::fromUtf8(head) + QChar(char16_t(0xDC00 + byte)) + QString::fromUtf8(tail);
    };
    QTest::newRow("plain") << QByteArray("/media/disc1") << QString("/media/disc1") << false;
    QTest::newRow("UTF-8 accents and beyond the BMP")
        << QByteArray("/caf\xc3\xa9/\xf0\x9f\x8e\xa4") << QString::fromUtf8("/café/🎤") << false;
    QTest::newRow("Latin-1 byte") << QByteArray("/disc\xff") << raw("/disc", 0xff) << true;
    QTest::newRow("a sequence cut short") << QByteArray("/a\xc3") << raw("/a", 0xc3) << true;
    QTest::newRow("overlong slash")
        << QByteArray("/\xc0\xaf") << raw("/", 0xc0) + QChar(char16_t(0xDCAF)) << true;
    QTest::newRow("an encoded surrogate")
        << QByteArray("\xed\xa0\x80x")
        << raw("", 0xed) + QChar(char16_t(0xDCA0)) + QChar(char16_t(0xDC80)) + "x" << true;
    QTest::newRow("beyond U+10FFFF") << QByteArray("\xf4\x90\x80\x80")
                                     << raw("", 0xf4) + QChar(char16_t(0xDC90)) +
                                            QChar(char16_t(0xDC80)) + QChar(char16_t(0xDC80))
                                     << true;
    QTest::newRow("a raw byte between valid ones")
        << QByteArray("\xc3\xa9\xe9\xc3\xa9") << QString::fromUtf8("é") + raw("", 0xe9, "é")
        << true;
  }
  void localNames() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QFETCH(bool, raw);
    const QString name = medium::NameFromBytes(bytes);
    QCOMPARE(name, text);
    QCOMPARE(medium::BytesOfName(name), bytes);
    QCOMPARE(medium::HasRawBytes(name), raw);
  }

  void fields_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("field");
    QTest::newRow("five fields, first") << "a~b~c~d~e" << 4 << 0 << "a";
    QTest::newRow("five fields, last") << "a~b~c~d~e" << 4 << 4 << "e";
    QTest::newRow("five fields, beyond") << "a~b~c~d~e" << 4 << 5 << "";
    QTest::newRow("no separator, 0") << "whole" << 0 << 0 << "whole";
    QTest::newRow("no separator, 1") << "whole" << 0 << 1 << "";
    QTest::newRow("empty line") << "" << 0 << 0 << "";
    QTest::newRow("ends with ~") << "0~5~" << 2 << 2 << "";
    QTest::newRow("two in a row") << "a~~c" << 2 << 1 << "";
    QTest::newRow("not shifted") << "a~~c" << 2 << 2 << "c";
    QTest::newRow("negative index") << "a~b" << 1 << -1 << "a";
    QTest::newRow("blanks kept") << "0~ 12 ~x" << 2 << 1 << " 12 ";
  }
  void fields() {
    QFETCH(QString, line);
    QFETCH(int, count);
    QFETCH(int, index);
    QFETCH(QString, field);
    QCOMPARE(int(GetNumFields(line)), count);
    QCOMPARE(GetField(int16_t(index), line), field);
  }

  // The last "~" whose following position still fits in 16 bits is at character 32766.
  void fieldsOfLongLines_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("field");
    QTest::addColumn<bool>("overflow");
    const QString a32765(32765, u'a');
    QTest::newRow("~ at 32766") << a32765 + "~b" << 1 << "b" << false;
    QTest::newRow("~ at 32766, field 0") << a32765 + "~b" << 0 << a32765 << false;
    QTest::newRow("~ at 32767") << a32765 + "a~b" << 1 << "" << true;
    QTest::newRow("~ at 32767, field 0") << a32765 + "a~b" << 0 << "" << true;
    QTest::newRow("~ far beyond") << "0~" + QString(40000, u'x') + "~7" << 1 << "" << true;
    // Without a "~" beyond 32766 a long field is no problem: only separators take positions.
    QTest::newRow("long last field")
        << "0~" + QString(40000, u'x') << 1 << QString(40000, u'x') << false;
    QTest::newRow("many short fields") << QString("1~").repeated(16383) << 16382 << "1" << false;
  }
  void fieldsOfLongLines() {
    QFETCH(QString, line);
    QFETCH(int, index);
    QFETCH(QString, field);
    QFETCH(bool, overflow);
    try {
      const QString got = GetField(int16_t(index), line);
      QVERIFY2(!overflow, "a field past a \"~\" beyond character 32766 was returned");
      QCOMPARE(got, field);
    } catch (const medium::AppError& e) {
      QVERIFY2(overflow, qPrintable(e.description()));
      QCOMPARE(e.number(), int(medium::kOverflow));
      QVERIFY2(e.description().startsWith("Overflow"), qPrintable(e.description()));
    }
  }

  void separatorCountAndStartOfLongLines() {
    const QString fits = QString(32765, u'a') + "~b";
    QCOMPARE(int(GetNumFields(fits)), 1);
    QCOMPARE(int(FieldStart(fits, 1)), 32767);
    const QString beyond = QString(32766, u'a') + "~b";
    QVERIFY_THROWS_EXCEPTION(medium::AppError, GetNumFields(beyond));
    QVERIFY_THROWS_EXCEPTION(medium::AppError, FieldStart(beyond, 1));
    // Before the separator that overflows, the start of field 0 is still known.
    QCOMPARE(int(FieldStart(beyond, 0)), 1);
  }

  // In the timeline each step that needs a field of such a line reports the overflow; the
  // record keeps its initial values instead of taking a wrong field, and the next line reads.
  void timelineLineWithFarSeparator() {
    struct NoTexts : TranscriptTexts {
      QString GetTranscriptText(int16_t, int16_t) override { return {}; }
    } texts;
    struct NoSink : TimelineSink {
      void AddSlideTitle(const QString&) override {}
      void SlideAppended(const Slide_cls&, int16_t) override {}
    } sink;
    const QByteArray far = "0~1000~Deck~2~" + QByteArray(32760, 'T') + "~9~Wrong";
    medium::TextStream stream;
    stream.OpenBytes(far + "\r\n0~2000~Deck~3~Next\r\n");
    medium::RecordingReporter reporter;
    Slides_cls slides;
    Anns_cls anns;
    Trans_cls trans;
    ReadTimeline(stream, reporter, 0, texts, 0, slides, anns, trans, sink);
    // The kind, then time, deck, number and title of the far line.
    QCOMPARE(int(reporter.messages.size()), 5);
    for (const medium::Message& m : reporter.messages)
      QVERIFY2(m.text.startsWith("Overflow"), qPrintable(m.text));
    QCOMPARE(int(slides.Slides.Count()), 2);
    QCOMPARE(slides.Slides.Item(1).SlideTime, 0.0);
    QCOMPARE(slides.Slides.Item(1).SlidePres, QString());
    QCOMPARE(int(slides.Slides.Item(1).SlideNum), 0);
    QCOMPARE(slides.Slides.Item(1).SlideName, QString());
    QCOMPARE(slides.Slides.Item(2).SlideName, QString("Next"));
  }

  void fieldStart() {
    QCOMPARE(int(FieldStart("ab~cd~e", 0)), 1);
    QCOMPARE(int(FieldStart("ab~cd~e", 2)), 7);
    QCOMPARE(int(FieldStart("ab~cd~e", -3)), 1);
  }

  void listsAreOneBasedAndGuarded() {
    Slides_cls holder;
    QCOMPARE(int(holder.Slides.Count()), 0);
    auto s = std::make_unique<Slide_cls>();
    s->SetAttribs(60000, "Deck", 7, "Seven");
    holder.Slides.Add(std::move(s));
    Slide_cls second;
    second.SlideNum = 8;
    holder.Slides.Add(second);
    QCOMPARE(holder.Slides.Item(1).SlideNum, int16_t(7));
    QCOMPARE(holder.Slides.Item(2).SlideNum, int16_t(8));
    QVERIFY(&holder.Slides.Item(1) != &holder.Slides.Item(2));
    for (int k : {0, 3, -1}) {
      try {
        holder.Slides.Item(k);
        QFAIL("fetch outside 1..count succeeded");
      } catch (const medium::AppError& e) {
        QCOMPARE(e.number(), int(medium::kSubscriptOutOfRange));
      }
    }
  }

  void listStopsAtSixteenBits() {
    OneBasedList<int> list;
    for (int i = 0; i < 32767; ++i) list.Add(i);
    QCOMPARE(int(list.Count()), 32767);
    bool raised = false;
    try {
      list.Add(0);
    } catch (const medium::AppError& e) {
      raised = e.number() == medium::kOverflow;
    }
    QVERIFY(raised);
    QCOMPARE(int(list.Count()), 32767);
  }
};

QTEST_GUILESS_MAIN(FoundationTest)
#include "test_foundation.moc"
