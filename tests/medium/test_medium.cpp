// The medium's folder tree, text streams and value conversions.

#include <QDir>
#include <QtTest>
#include <functional>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "medium/CommandLineOptions.h"
#include "medium/Convert.h"
#include "medium/Paths.h"
#include "medium/Picture.h"
#include "medium/Report.h"
#include "medium/TextStream.h"
#include "presentation/MediumFolder.h"
#include "presentation/MediumLayout.h"
#include "presentation/Model.h"
#include "tests/support/RecordingReporter.h"
#include "tests/support/TempMedium.h"

using namespace medium;

namespace {
// Runs f and returns the error number it raised, 0 when it raised none.
template <class F>
int ErrorOf(F&& f) {
  try {
    f();
  } catch (const AppError& e) {
    return e.number();
  }
  return 0;
}

QStringList ReadAll(TextStream& ts) {
  QStringList lines;
  while (!ts.AtEndOfStream()) lines << ts.ReadLine();
  return lines;
}

// The error a call raised, as "number: description"; empty when it raised none.
template <class F>
QString FailureOf(F&& f) {
  try {
    f();
  } catch (const AppError& e) {
    return QStringLiteral("%1: %2").arg(e.number()).arg(e.description());
  }
  return {};
}

// Makes what stands at a place of the medium: a file, a folder, a pipe, a link.
using Setup = std::function<void(TempMedium& m, const QString& relative)>;

// Runs f as an ordinary user when the tests run as root (who may open anything), so that a
// refused permission can be seen; f's result is the exit status of that process.
int AsOrdinaryUser(const std::function<int()>& f) {
#ifdef Q_OS_UNIX
  if (::geteuid() != 0) return f();
  const pid_t child = ::fork();
  if (child == 0) {
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(99);
    ::_exit(f());
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 98;
#else
  return f();
#endif
}
}  // namespace

Q_DECLARE_METATYPE(Setup)

class MediumTest : public QObject {
  Q_OBJECT
 private slots:
  void repair_data() {
    QTest::addColumn<QString>("in");
    QTest::addColumn<QString>("out");
    QTest::newRow("root folder") << R"(D:\\Data\config.txt)"
                                 << R"(D:\Data\config.txt)";
    QTest::newRow("empty name") << R"(C:\m\Data\\database.txt)"
                                << R"(C:\m\Data\database.txt)";
    QTest::newRow("three") << R"(a\\\b)"
                           << R"(a\\b)";
    QTest::newRow("four") << R"(a\\\\b)"
                          << R"(a\\b)";
    QTest::newRow("five") << R"(a\\\\\b)"
                          << R"(a\\\b)";
    QTest::newRow("share prefix") << R"(\\server\x)"
                                  << R"(\server\x)";
    QTest::newRow("nothing") << "abc"
                             << "abc";
  }
  void repair() {
    QFETCH(QString, in);
    QFETCH(QString, out);
    QCOMPARE(RepairBackslashes(in), out);
  }

  void buildPathFromRootAndEmptyName() {
    QCOMPARE(BuildPath({"D:\\", "\\Data\\", "P", "\\database.txt"}), "D:\\Data\\P\\database.txt");
    QCOMPARE(BuildPath({"C:\\m", "\\Data\\", "", "\\database.txt"}), "C:\\m\\Data\\database.txt");
  }

  void mediumFormOfFolders() {
    QCOMPARE(ToMediumForm("/"), "\\");
    QCOMPARE(ToMediumForm("/media/cdrom/"), "\\media\\cdrom");
    QCOMPARE(ToMediumForm("D:/"), "D:\\");
    QCOMPARE(ToMediumForm("D:\\x\\"), "D:\\x");
    // A root application folder still gives well-formed paths after the repair.
    QCOMPARE(NativePath(BuildPath({ToMediumForm("/"), "\\Data\\config.txt"})),
             QDir::toNativeSeparators("/Data/config.txt"));
  }

  void applicationFolderFollowsMediumOption() {
    const ProgramOptions o =
        ParseProgramOptions({"--medium", "/mnt/disc/", "--probe", "--medium=/x", "-p", "Q1"});
    QCOMPARE(*o.medium, "/x");
    QVERIFY(o.probe);
    QCOMPARE(ArgumentText(o.rest), "-p Q1");
    TempMedium m;
    QCOMPARE(NativePath(ApplicationFolder()), QDir::cleanPath(m.Root()));
  }

  void caseBlindLookup() {
    TempMedium m;
    m.Write("Data/P1/EVENTS.TXT", "0~0~D~1~x\r\n");
    m.WriteJpeg("SLIDES/Deck/Slide7.JPG");
    m.Write("Data/P1/.hidden", "x");
    const Resolved exact = Resolve(BuildPath({ApplicationFolder(), "\\Data\\P1\\EVENTS.TXT"}));
    QVERIFY(exact.exists);
    QVERIFY(!exact.caseBlind);
    const Resolved blind = Resolve(BuildPath({ApplicationFolder(), "\\Data\\P1\\events.txt"}));
    QVERIFY(blind.exists);
    QVERIFY(blind.caseBlind);
    QCOMPARE(blind.path, m.Path("Data/P1/EVENTS.TXT"));
    // Every component may differ in case, the folders included.
    const QString slide = BuildPath({ApplicationFolder(), "\\Slides\\deck\\Slide7.jpg"});
    QVERIFY(FileExists(slide));
    QCOMPARE(LoadPicture(slide).size(), QSize(80, 65));
    QVERIFY(!FileExists(BuildPath({ApplicationFolder(), "\\Slides\\deck\\Slide8.jpg"})));
    // A folder is not a file, nor is a hidden file.
    QVERIFY(!FileExists(BuildPath({ApplicationFolder(), "\\Data\\P1"})));
    QVERIFY(!FileExists(BuildPath({ApplicationFolder(), "\\Data\\P1\\.hidden"})));
    QCOMPARE(ListOrdinaryFiles(BuildPath({ApplicationFolder(), "\\data\\p1"})),
             QStringList{"EVENTS.TXT"});
    QVERIFY(ListOrdinaryFiles(BuildPath({ApplicationFolder(), "\\nothere"})).isEmpty());
  }

  void listingIsByNameIgnoringCase() {
    TempMedium m;
    m.Write("t/french.html", "");
    m.Write("t/ENGLISH.html", "");
    m.Write("t/Dutch.html", "");
    m.MakeDir("t/sub.html");
    QCOMPARE(ListOrdinaryFiles(BuildPath({ApplicationFolder(), "\\t"})),
             (QStringList{"Dutch.html", "ENGLISH.html", "french.html"}));
  }

  void pictureErrors() {
    TempMedium m;
    // A JPEG start marker and then text: the literal's own 22 bytes, no more.
    const char notAJpeg[] = "\xFF\xD8\xFF\xE0 not really a jpeg";
    m.Write("bad.jpg", QByteArray(notAJpeg, sizeof notAJpeg - 1));
    QCOMPARE(ErrorOf([&] {
               LoadPicture(BuildPath({ApplicationFolder(), "\\none.jpg"}));
             }),
             int(kFileNotFound));
    QCOMPARE(ErrorOf([&] {
               LoadPicture(BuildPath({ApplicationFolder(), "\\bad.jpg"}));
             }),
             int(kInvalidPicture));
  }

  // Names from the medium's own files (config.txt, the command line, events.txt) never lead a
  // path outside the medium; every path of a presentation refuses them.
  void namesLeavingTheMediumAreRefused_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("reason");  // empty: the name stays inside
    QTest::newRow("climbs with slashes") << "../../etc"
                                         << "a \"..\" part";
    QTest::newRow("climbs with backslashes") << R"(..\..\..\home\user\Pictures)"
                                             << "a \"..\" part";
    QTest::newRow("climbs halfway") << R"(Talks\..\..\x)"
                                    << "a \"..\" part";
    QTest::newRow("only dots") << ".."
                               << "a \"..\" part";
    QTest::newRow("root") << "/etc"
                          << "an absolute path";
    QTest::newRow("backslash root") << R"(\Windows)"
                                    << "an absolute path";
    QTest::newRow("drive") << R"(C:\Windows)"
                           << "an absolute path";
    QTest::newRow("plain") << "Launch2004"
                           << "";
    QTest::newRow("sub-folder") << R"(Talks\2004)"
                                << "";
    QTest::newRow("dots inside a name") << "a..b"
                                        << "";
    QTest::newRow("three dots") << "..."
                                << "";
    QTest::newRow("empty") << ""
                           << "";
  }
  void namesLeavingTheMediumAreRefused() {
    QFETCH(QString, name);
    QFETCH(QString, reason);
    TempMedium m;
    Slide_cls slide;
    slide.SlidePres = name;
    slide.SlideNum = 1;
    const std::vector<std::pair<const char*, std::function<QString()>>> paths = {
        {"settings", [&] { return layout::Current().SettingsPath(name); }},
        {"timeline", [&] { return layout::Current().TimelinePath(name); }},
        {"details", [&] { return layout::Current().DetailsPath(name); }},
        {"transcripts", [&] { return layout::Current().TranscriptsFolderPath(name); }},
        {"still picture", [&] { return layout::Current().StillPicturePath(name); }},
        {"audio picture", [&] { return layout::Current().AudioPicturePath(name); }},
        {"media folder", [&] { return layout::Current().MediaFolderPath(name); }},
        {"Tavisco recording",
         [&] { return layout::Current().RecordingPath(PlayerBuild::Tavisco, name); }},
        {"Norvanta recording",
         [&] { return layout::Current().RecordingPath(PlayerBuild::Norvanta, name); }},
        {"slide picture", [&] { return layout::Current().SlidePicturePath(slide); }},
        {"thumbnail", [&] { return layout::Current().ThumbnailPath(slide); }},
    };
    for (const auto& [what, path] : paths) {
      const QString failure = FailureOf(path);
      if (reason.isEmpty()) {
        QVERIFY2(failure.isEmpty(), qPrintable(QString(what) + ": " + failure));
        QVERIFY(path().startsWith(ApplicationFolder()));
      } else {
        QVERIFY2(failure.startsWith("52: Bad file name: "),
                 qPrintable(QString(what) + ": " + failure));
        QVERIFY2(failure.contains("\"" + name + "\" leads outside the medium: it has " + reason) ||
                     failure.contains("\"" + name + "\" leads outside the medium: it is " + reason),
                 qPrintable(failure));
        QVERIFY(failure.contains(what == QLatin1String("slide picture") ||
                                         what == QLatin1String("thumbnail")
                                     ? "slide deck"
                                     : "presentation folder"));
      }
    }
  }

  // A refused folder holds no recording, and nothing is looked for at the root instead.
  void refusedMediaFolderHoldsNoRecording() {
    TempMedium m;
    QVERIFY(!layout::HasRecording(PlayerBuild::Tavisco, QString()));
    QVERIFY(!layout::HasRecording(PlayerBuild::Norvanta, QString()));
  }

  // What stands where a text file or picture belongs decides the message; nothing but a regular
  // file is opened, so a pipe or a device neither blocks nor floods the program.
  void whatStandsInAFilesPlace_data() {
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("text");  // after the path
    QTest::newRow("missing") << Setup([](TempMedium&, const QString&) {}) << int(kFileNotFound)
                             << "";
    QTest::newRow("folder") << Setup([](TempMedium& m, const QString& r) { m.MakeDir(r); })
                            << int(kPathAccess) << " is a folder, not a file";
#ifdef Q_OS_UNIX
    QTest::newRow("named pipe") << Setup([](TempMedium& m, const QString& r) {
      m.MakeDir("Data/P");
      QCOMPARE(::mkfifo(QFile::encodeName(m.Path(r)).constData(), 0644), 0);
    }) << int(kPathAccess) << " is a named pipe, not a file";
    QTest::newRow("link to a device") << Setup([](TempMedium& m, const QString& r) {
      m.MakeDir("Data/P");
      QVERIFY(QFile::link("/dev/zero", m.Path(r)));
    }) << int(kPathAccess) << " is a device, not a file";
    QTest::newRow("broken link") << Setup([](TempMedium& m, const QString& r) {
      m.MakeDir("Data/P");
      QVERIFY(QFile::link(m.Path("Data/P/gone"), m.Path(r)));
    }) << int(kFileNotFound) << " (a broken link)";
    QTest::newRow("read error") << Setup([](TempMedium& m, const QString& r) {
      // A process's own memory cannot be read from its start: the read fails as on a bad disc.
      m.MakeDir("Data/P");
      QVERIFY(QFile::link("/proc/self/mem", m.Path(r)));
    }) << int(kDeviceIO) << " cannot be read (";
#endif
    QTest::newRow("far too large") << Setup([](TempMedium& m, const QString& r) {
      m.Write(r, "");
      QFile f(m.Path(r));
      QVERIFY(f.open(QIODevice::ReadWrite));
      QVERIFY(f.resize(kMaxMediumFileBytes + 1));  // sparse: takes no room on the disk
    }) << int(kPathAccess) << " is larger than 64 MiB, far larger than any file of a medium";
  }
  void whatStandsInAFilesPlace() {
    QFETCH(Setup, setup);
    QFETCH(int, number);
    QFETCH(QString, text);
    for (const char* file : {"Data/P/events.txt", "Data/P/picture.jpg"}) {
      TempMedium m;
      setup(m, file);
      const QString path = BuildPath({ApplicationFolder(), "\\", QString(file).replace('/', '\\')});
      const QString expected = QStringLiteral("%1: %2").arg(number).arg(
          QString(number == kFileNotFound ? "File not found: "
                  : number == kDeviceIO   ? "Device I/O error: "
                                          : "Path/File access error: ") +
          NativePath(path) + text);
      if (QString(file).endsWith(".txt")) {
        TextStream ts;
        const QString failure = FailureOf([&] { ts.Open(path); });
        QVERIFY2(failure.startsWith(expected), qPrintable(failure));
        QVERIFY(!ts.IsOpen());
      } else {
        const QString failure = FailureOf([&] { LoadPicture(path); });
        QVERIFY2(failure.startsWith(expected), qPrintable(failure));
      }
    }
  }

  // A file the user may not read is named as such, not as missing.
  void permissionRefused() {
#ifdef Q_OS_UNIX
    TempMedium m;
    m.Write("Data/P/events.txt", "0~0~Deck~1~Title\r\n");
    m.WriteJpeg("Images/P/slide.jpg");
    for (const char* f : {"Data/P/events.txt", "Images/P/slide.jpg"}) {
      QVERIFY(::chmod(QFile::encodeName(m.Path(f)).constData(), 0) == 0);
    }
    for (const char* d : {"", "/Data", "/Data/P", "/Images", "/Images/P"}) {
      QVERIFY(::chmod(QFile::encodeName(m.Root() + d).constData(), 0755) == 0);
    }
    const QString events = layout::Current().TimelinePath("P");
    const QString still = layout::Current().StillPicturePath("P");
    const int status = AsOrdinaryUser([&] {
      TextStream ts;
      const QString text = FailureOf([&] { ts.Open(events); });
      const QString picture = FailureOf([&] { LoadPicture(still); });
      if (text != "70: Permission denied: " + NativePath(events)) return 1;
      if (picture != "70: Permission denied: " + NativePath(still)) return 2;
      return 0;
    });
    QCOMPARE(status, 0);
#else
    QSKIP("needs file modes");
#endif
  }

  // The regular file beside them all still reads.
  void regularFileReads() {
    TempMedium m;
    m.Write("Data/P/events.txt", "one\r\ntwo\r\n");
    TextStream ts;
    ts.Open(layout::Current().TimelinePath("P"));
    QCOMPARE(ReadAll(ts), (QStringList{"one", "two"}));
    QCOMPARE(ReadRegularFile(layout::Current().TimelinePath("P")), QByteArray("one\r\ntwo\r\n"));
    QCOMPARE(ErrorOf([&] { ReadRegularFile(layout::Current().TimelinePath("P"), 4); }),
             int(kPathAccess));
  }

  void lineEnds_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("CR LF") << QByteArray("a\r\nb\r\n") << QStringList{"a", "b"};
    QTest::newRow("LF") << QByteArray("a\nb") << QStringList{"a", "b"};
    QTest::newRow("lone CR") << QByteArray("a\rb\r") << QStringList{"a", "b"};
    QTest::newRow("empty lines") << QByteArray("a\r\n\r\n\nb") << QStringList{"a", "", "", "b"};
    QTest::newRow("CR CR LF") << QByteArray("a\r\r\nb") << QStringList{"a", "", "b"};
    QTest::newRow("NUL byte") << QByteArray("a\0b\n", 4)
                              << QStringList{QString("a") + QChar(0) + "b"};
    QTest::newRow("empty file") << QByteArray() << QStringList{};
  }
  void lineEnds() {
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, lines);
    TextStream ts;
    ts.OpenBytes(bytes);
    QCOMPARE(ReadAll(ts), lines);
    QCOMPARE(ErrorOf([&] { ts.ReadLine(); }), int(kInputPastEnd));
  }

  void atEndOfLineBeforeEmptyLineAndAtEnd() {
    TextStream ts;
    ts.OpenBytes("one\r\n\r\nthree\r\n");
    QVERIFY(!ts.AtEndOfLine());
    QCOMPARE(ts.ReadLine(), "one");
    QVERIFY(ts.AtEndOfLine());  // an empty line follows
    QVERIFY(!ts.AtEndOfStream());
    QCOMPARE(ts.ReadLine(), "");
    QCOMPARE(ts.LineNumber(), 3);
    QCOMPARE(ts.ReadLine(), "three");
    QVERIFY(ts.AtEndOfLine());
    QVERIFY(ts.AtEndOfStream());
  }

  void windows1252() {
    QByteArray all;
    for (int b = 0; b < 256; ++b) all += char(b);
    const QString s = DecodeWindows1252(all);
    QCOMPARE(s.size(), 256);
    QCOMPARE(s[0x80], QChar(0x20AC));
    QCOMPARE(s[0x92], QChar(0x2019));
    QCOMPARE(s[0x9F], QChar(0x0178));
    for (int undefined : {0x81, 0x8D, 0x8F, 0x90, 0x9D}) QCOMPARE(s[undefined], QChar(undefined));
    QCOMPARE(s[0xE9], QChar(0xE9));
    QCOMPARE(s[0x41], QChar('A'));
  }

  void openFailsWithPathAndNeverCreates() {
    TempMedium m;
    TextStream ts;
    const QString path = BuildPath({ApplicationFolder(), "\\Data\\none.txt"});
    try {
      ts.Open(path);
      QFAIL("open of a missing file succeeded");
    } catch (const AppError& e) {
      QCOMPARE(e.number(), int(kFileNotFound));
      QCOMPARE(e.description(), "File not found: " + NativePath(path));
    }
    QVERIFY(!QFile::exists(m.Path("Data/none.txt")));
    QCOMPARE(ErrorOf([&] { ts.ReadLine(); }), int(kNoOpenFile));
    ts.Close();  // closing what never opened is harmless
  }

  void toInt16_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("error");
    QTest::newRow("plain") << "2" << 2 << 0;
    QTest::newRow("blanks and sign") << "  -17 " << -17 << 0;
    QTest::newRow("plus") << "+5" << 5 << 0;
    QTest::newRow("1.5 to even") << "1.5" << 2 << 0;
    QTest::newRow("2.5 to even") << "2.5" << 2 << 0;
    QTest::newRow("0.5 to even") << "0.5" << 0 << 0;
    QTest::newRow("-2.5 to even") << "-2.5" << -2 << 0;
    QTest::newRow("2.51 up") << "2.51" << 3 << 0;
    QTest::newRow("max") << "32767" << 32767 << 0;
    QTest::newRow("min") << "-32768" << -32768 << 0;
    QTest::newRow("32767.5 rounds over") << "32767.5" << 0 << int(kOverflow);
    QTest::newRow("overflow") << "40000" << 0 << int(kOverflow);
    QTest::newRow("empty") << "" << 0 << int(kTypeMismatch);
    QTest::newRow("blank") << " " << 0 << int(kTypeMismatch);
    QTest::newRow("word") << "abc" << 0 << int(kTypeMismatch);
    QTest::newRow("inner blank") << "1 2" << 0 << int(kTypeMismatch);
    QTest::newRow("comma decimal") << "1,5" << 0 << int(kTypeMismatch);
    QTest::newRow("hex") << "0x10" << 0 << int(kTypeMismatch);
  }
  void toInt16() {
    QFETCH(QString, text);
    QFETCH(int, value);
    QFETCH(int, error);
    int got = 0;
    QCOMPARE(ErrorOf([&] { got = ToInt16(text); }), error);
    if (error == 0) QCOMPARE(got, value);
  }

  void toDoubleAndBool() {
    QCOMPARE(ToDouble(" 61500.25 "), 61500.25);
    QCOMPARE(ToDouble("1e3"), 1000.0);
    QCOMPARE(ErrorOf([] { ToDouble("12ms"); }), int(kTypeMismatch));
    QCOMPARE(ErrorOf([] { ToDouble("nan"); }), int(kTypeMismatch));
    QVERIFY(ToBool("TRUE"));
    QVERIFY(!ToBool(" false"));
    QVERIFY(ToBool("-1"));
    QVERIFY(!ToBool("0"));
    QCOMPARE(ErrorOf([] { ToBool("Yes"); }), int(kTypeMismatch));
    QCOMPARE(ErrorOf([] { ToBool(""); }), int(kTypeMismatch));
  }

  void conversionsIgnoreLocale() {
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German));
    QCOMPARE(ToDouble("1.5"), 1.5);
    QCOMPARE(ToInt16("1.5"), int16_t(2));
    QLocale::setDefault(saved);
  }

  void splitPieces() {
    QCOMPARE(SplitPieces("", u' ').size(), 0);
    QCOMPARE(SplitPieces("a  b", u' '), (QStringList{"a", "", "b"}));
    QCOMPARE(SplitPieces("a=b=c", u'='), (QStringList{"a", "b", "c"}));
    QCOMPARE(ErrorOf([] { PieceAt({"one"}, 1); }), int(kSubscriptOutOfRange));
  }

  void reportAndContinue() {
    RecordingReporter r("Tavisco");
    int after = 0;
    QVERIFY(!ReportAndContinue(r, [] { ToInt16("x"); }));
    QVERIFY(ReportAndContinue(r, [&] { after = 1; }));
    QCOMPARE(after, 1);
    QCOMPARE(r.messages.size(), size_t(1));
    QCOMPARE(r.messages[0].caption, "Tavisco");
    QVERIFY(r.messages[0].text.startsWith("Type mismatch"));
    QVERIFY(!RunWithLastResort(r, [] { throw AppError(53, "File not found: x"); }));
    QCOMPARE(r.messages[1].text, "Run-time error '53':\n\nFile not found: x");
  }

  void mediumChoice() {
    struct Chooser : FolderChooser {
      std::optional<QString> answer;
      int asked = 0;
      std::optional<QString> Choose() override {
        ++asked;
        return answer;
      }
    };
    using Kind = MediumChoice::Kind;
    TempMedium own;  // the program's own folder, no medium in it yet
    TempMedium other;
    Chooser chooser;

    // Given on the command line: used, or refused when it cannot be read; never asks.
    QCOMPARE(int(ChooseMedium(other.Root(), &chooser).kind), int(Kind::Folder));
    const MediumChoice missing = ChooseMedium(other.Root() + "/gone", &chooser);
    QCOMPARE(int(missing.kind), int(Kind::Unreadable));
    QVERIFY(UnreadableMediumText(missing.folder).contains("gone"));
    QCOMPARE(chooser.asked, 0);

    // Not given, no medium here: the user is asked; a cancel or a vanished folder is said so.
    medium::SetApplicationFolder(own.Root());
    chooser.answer = other.Root();
    const MediumChoice picked = ChooseMedium(std::nullopt, &chooser);
    QCOMPARE(int(picked.kind), int(Kind::Folder));
    QCOMPARE(picked.folder, other.Root());
    chooser.answer.reset();
    QCOMPARE(int(ChooseMedium(std::nullopt, &chooser).kind), int(Kind::Cancelled));
    chooser.answer = own.Root() + "/not there";
    QCOMPARE(int(ChooseMedium(std::nullopt, &chooser).kind), int(Kind::Unreadable));
    QCOMPARE(chooser.asked, 3);

    // The program stands on a medium (config.txt in any case): no question.
    own.Write("DATA/Config.TXT", "Presentations 0\r\n");
    QCOMPARE(int(ChooseMedium(std::nullopt, &chooser).kind), int(Kind::OwnFolder));
    QCOMPARE(chooser.asked, 3);
  }
};

QTEST_GUILESS_MAIN(MediumTest)
#include "test_medium.moc"
