// The medium's folder tree, text streams and value conversions.

#include <QDir>
#include <QtTest>

#include "medium/CommandLineOptions.h"
#include "medium/Convert.h"
#include "medium/Paths.h"
#include "medium/Picture.h"
#include "medium/Report.h"
#include "medium/TextStream.h"
#include "presentation/MediumFolder.h"
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
}  // namespace

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
        ParseProgramOptions({"--medium", "/mnt/disc/", "-p", "Q1", "--probe", "--medium=/x"});
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
