// The readers of a presentation's files, without a window: settings, transcript languages and
// sections, details and the timeline.

#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QtTest>

#include "medium/Error.h"
#include "medium/Paths.h"
#include "presentation/PresentationLoader.h"
#include "presentation/Readers.h"
#include "tests/support/RecordingReporter.h"
#include "tests/support/TempMedium.h"

namespace {

// The scan from the top, done the slow way, as the reference the index must agree with.
QString NaiveSection(const QString& mediumPath, int section) {
  medium::TextStream s;
  s.Open(mediumPath);
  const QString marker = QStringLiteral("SECTION") + QString::number(section);
  while (!s.AtEndOfStream()) {
    if (s.ReadLine().contains(marker)) break;
  }
  return s.ReadLine();
}

// "text" or "!<error number>".
template <class F>
QString Outcome(F&& f) {
  try {
    return f();
  } catch (const medium::AppError& e) {
    return QStringLiteral("!%1").arg(e.number());
  }
}

struct RecordingSink : TimelineSink {
  QStringList titles;
  QList<int> ks;
  void AddSlideTitle(const QString& title) override { titles << title; }
  void SlideAppended(const Slide_cls& slide, int16_t k) override {
    ks << k;
    lastNum = slide.SlideNum;
  }
  int lastNum = -1;
};

// Answers "<language>:<section>"; a language listed in missing has no sections.
struct FakeTexts : TranscriptTexts {
  QStringList names;
  QSet<int> missing;
  QString GetTranscriptText(int16_t position, int16_t section) override {
    if (missing.contains(position)) throw medium::AppError(medium::kInputPastEnd, "past end");
    return names.value(position) + u':' + QString::number(section);
  }
};

struct Timeline {
  Slides_cls slides;
  Anns_cls anns;
  Trans_cls trans;
  RecordingSink sink;
  medium::RecordingReporter reporter{"Tavisco"};
  void Read(const QByteArray& bytes, int16_t slideMode, TranscriptTexts& texts, int languages) {
    medium::TextStream s;
    s.OpenBytes(bytes);
    ReadTimeline(s, reporter, slideMode, texts, languages, slides, anns, trans, sink);
  }
};

QByteArray Lines(const QStringList& lines) {
  return lines.join("\r\n").toLatin1() + "\r\n";
}

}  // namespace

class ReadersTest : public QObject {
  Q_OBJECT
 private slots:
  void settings_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("slideMode");
    QTest::addColumn<int>("mediaMode");
    QTest::addColumn<QString>("userDef");  // "<none>": the fourth line could not be read
    QTest::addColumn<QStringList>("messages");
    const QStringList none;
    QTest::newRow("all valid") << Lines({"SlideMode=2", "MediaMode=1", "Flag=True", "Text= Hi "})
                               << 2 << 1 << " Hi " << none;
    QTest::newRow("name not looked at")
        << Lines({"x=2", "y=2", "z=0", "w=a"}) << 2 << 2 << "a" << none;
    QTest::newRow("second = ends the value")
        << Lines({"a=2=9", "b=1", "c=false", "d=one=two"}) << 2 << 1 << "one" << none;
    QTest::newRow("fraction rounds half to even")
        << Lines({"a=2.5", "b= 3.5 ", "c=-1", "d="}) << 2 << 4 << "" << none;
    QTest::newRow("flag neither word nor number")
        << Lines({"a=2", "b=2", "c=maybe", "d=x"}) << 2 << 2 << "x"
        << QStringList{"Type mismatch: \"maybe\" is not a number"};
    QTest::newRow("two lines only")
        << Lines({"a=2", "b=2"}) << 2 << 2 << "<none>"
        << QStringList{"Input past end of file", "Input past end of file"};
    QTest::newRow("no =") << Lines({"SlideMode 2", "b=2", "c=1", "d=t"}) << 0 << 2 << "t"
                          << QStringList{"Subscript out of range"};
    QTest::newRow("not a number") << Lines({"a=two", "b=", "c=1", "d=t"}) << 0 << 0 << "t"
                                  << QStringList{"Type mismatch: \"two\" is not a number",
                                                 "Type mismatch: \"\" is not a number"};
    QTest::newRow("overflow") << Lines({"a=40000", "b=-32768", "c=1", "d=t"}) << 0 << -32768 << "t"
                              << QStringList{"Overflow: 40000 is out of range"};
    QTest::newRow("lines after the fourth are not read")
        << Lines({"a=1", "b=1", "c=1", "d=t", "garbage", "more"}) << 1 << 1 << "t" << none;
    QTest::newRow("empty file") << QByteArray() << 0 << 0 << "<none>"
                                << QStringList(4, "Input past end of file");
  }
  void settings() {
    QFETCH(QByteArray, file);
    QFETCH(int, slideMode);
    QFETCH(int, mediaMode);
    QFETCH(QString, userDef);
    QFETCH(QStringList, messages);
    TempMedium m;
    m.Write("Data/P/database.txt", file);
    medium::RecordingReporter r("Tavisco");
    medium::TextStream s;
    Settings settings;
    ReadSettings(s, layout::Current().PresentationDataPath("P", "\\database.txt"), r, settings);
    QCOMPARE(int(settings.SlideMode), slideMode);
    QCOMPARE(int(settings.MediaMode), mediaMode);
    QCOMPARE(settings.UserDef1.value_or("<none>"), userDef);
    QCOMPARE(r.Texts(), messages);
    QVERIFY(!s.IsOpen());
  }

  void settingsMissingFile() {
    TempMedium m;
    medium::RecordingReporter r("Norvanta");
    medium::TextStream s;
    Settings settings;
    const QString path = layout::Current().PresentationDataPath("Nowhere", "\\database.txt");
    ReadSettings(s, path, r, settings);
    QCOMPARE(r.Texts(), (QStringList{"File not found: " + medium::NativePath(path), "No open file",
                                     "No open file", "No open file", "No open file"}));
    QCOMPARE(int(settings.SlideMode), 0);
    QCOMPARE(int(settings.MediaMode), 0);
    QVERIFY(!settings.UserDef1);
    for (const auto& msg : r.messages) QCOMPARE(msg.caption, "Norvanta");
  }

  void languages_data() {
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<int>("selected");
    QTest::addColumn<int>("messages");
    QTest::newRow("english and french")
        << QStringList{"ENGLISH.html", "FRENCH.html"} << QStringList{"ENGLISH", "FRENCH"} << 0 << 0;
    QTest::newRow("lower case english, listing order")
        << QStringList{"german.html", "english.html"} << QStringList{"english", "german"} << 0 << 0;
    QTest::newRow("first dot") << QStringList{"ENGLISH.old.html"} << QStringList{"ENGLISH"} << 0
                               << 0;
    QTest::newRow("no english") << QStringList{"FRENCH.html"} << QStringList{"FRENCH"} << -1 << 0;
    QTest::newRow("last match stays selected") << QStringList{"English.html", "ENGLISH.txt"}
                                               << QStringList{"English", "ENGLISH"} << 1 << 0;
    QTest::newRow("no dot repeats the previous")
        << QStringList{"ARABIC.html", "README"} << QStringList{"ARABIC", "ARABIC"} << -1 << 1;
    QTest::newRow("no dot first gives empty")
        << QStringList{"NOTES", "ZULU.html"} << QStringList{"", "ZULU"} << -1 << 1;
    QTest::newRow("empty folder") << QStringList{} << QStringList{} << -1 << 0;
  }
  void languages() {
    QFETCH(QStringList, files);
    QFETCH(QStringList, names);
    QFETCH(int, selected);
    QFETCH(int, messages);
    TempMedium m;
    m.MakeDir("Data/P/transcripts");
    for (const QString& f : files) m.Write("Data/P/transcripts/" + f, "x\r\n");
    m.MakeDir("Data/P/transcripts/ENGLISH.dir");  // a sub-folder is no language
    m.Write("Data/P/transcripts/.ENGLISH.html", "hidden");
    medium::RecordingReporter r;
    const LanguageList list =
        ListTranscriptLanguages(layout::Current().TranscriptsFolderPath("P"), r);
    QCOMPARE(list.names, names);
    QCOMPARE(list.selected, selected);
    QCOMPARE(int(r.messages.size()), messages);
    if (messages) QVERIFY(r.messages[0].text.contains("has no \".\""));
  }

  void languagesMissingFolder() {
    TempMedium m;
    medium::RecordingReporter r;
    const LanguageList list =
        ListTranscriptLanguages(layout::Current().TranscriptsFolderPath("P"), r);
    QVERIFY(list.names.isEmpty());
    QCOMPARE(list.selected, -1);
    QVERIFY(r.messages.empty());
  }

  void transcriptSections_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("section");
    QTest::addColumn<QString>("outcome");
    const QByteArray page =
        "<html><body>\r\n<p id=SECTION1>\r\nOne\r\n<p>SECTION2</p>\r\nTwo <b>bold</b>\r\n"
        "<!-- SECTION3 -->\r\n\r\n<p>SECTION10\r\nTen\r\nSECTION12\r\n";
    QTest::newRow("first") << page << 1 << "One";
    QTest::newRow("markup around the marker") << page << 2 << "Two <b>bold</b>";
    QTest::newRow("empty line after the marker") << page << 3 << "";
    QTest::newRow("ten") << page << 10 << "Ten";
    QTest::newRow("marker is the last line") << page << 12 << "!62";
    QTest::newRow("missing section") << page << 4 << "!62";
    QTest::newRow("section 1 found in SECTION10")
        << QByteArray("SECTION10\r\nTen\r\nSECTION1\r\nOne\r\n") << 1 << "Ten";
    QTest::newRow("section 2 found in SECTION25")
        << QByteArray("a SECTION25 b\r\nx\r\nSECTION2\r\ny\r\n") << 2 << "x";
    QTest::newRow("case matters") << QByteArray("section1\r\nno\r\nSECTION1\r\nyes\r\n") << 1
                                  << "yes";
    QTest::newRow("leading zero is another number")
        << QByteArray("SECTION05\r\nfive?\r\nSECTION5\r\nfive\r\n") << 5 << "five";
    QTest::newRow("section 0 found in SECTION05")
        << QByteArray("SECTION05\r\nzero\r\n") << 0 << "zero";
    QTest::newRow("last line without line end") << QByteArray("SECTION7\r\nSeven") << 7 << "Seven";
    QTest::newRow("NUL byte kept")
        << QByteArray("SECTION1\r\na\0b\r\n", 15) << 1 << QString::fromLatin1("a\0b", 3);
    QTest::newRow("negative section") << QByteArray("SECTION-3\r\nminus\r\n") << -3 << "minus";
  }
  void transcriptSections() {
    QFETCH(QByteArray, file);
    QFETCH(int, section);
    QFETCH(QString, outcome);
    TempMedium m;
    m.Write("Data/P/transcripts/ENGLISH.html", file);
    const QString folder = layout::Current().TranscriptsFolderPath("P");
    TranscriptIndex index(folder, {"ENGLISH"});
    QCOMPARE(Outcome([&] { return index.GetTranscriptText(0, int16_t(section)); }), outcome);
    QCOMPARE(Outcome([&] { return NaiveSection(folder + "ENGLISH.html", section); }), outcome);
  }

  // Random pages full of look-alike markers: the index answers as the scan from the top does.
  void indexAgreesWithScan() {
    TempMedium m;
    QRandomGenerator rng(4711);
    const QString folder = layout::Current().TranscriptsFolderPath("P");
    for (int round = 0; round < 6; ++round) {
      QStringList lines;
      const int count = 20 + int(rng.bounded(60));
      for (int i = 0; i < count; ++i) {
        switch (rng.bounded(5)) {
          case 0:
            lines << QStringLiteral("<a>SECTION%1</a>").arg(rng.bounded(130));
            break;
          case 1:
            lines
                << QStringLiteral("SECTION%1 SECTION%2").arg(rng.bounded(20)).arg(rng.bounded(200));
            break;
          case 2:
            lines << QString();
            break;
          default:
            lines << QStringLiteral("text %1").arg(i);
        }
      }
      const QString name = QStringLiteral("L%1").arg(round);
      m.Write("Data/P/transcripts/" + name + ".html", lines.join("\r\n").toLatin1());
      TranscriptIndex index(folder, {name});
      for (int section = -2; section < 210; ++section) {
        QCOMPARE(Outcome([&] { return index.GetTranscriptText(0, int16_t(section)); }),
                 Outcome([&] { return NaiveSection(folder + name + ".html", section); }));
      }
    }
  }

  void transcriptFileIsReadOnce() {
    TempMedium m;
    m.Write("Data/P/transcripts/ENGLISH.html", "SECTION1\r\nOne\r\nSECTION2\r\nTwo\r\n");
    TranscriptIndex index(layout::Current().TranscriptsFolderPath("P"), {"ENGLISH"});
    QCOMPARE(index.GetTranscriptText(0, 1), "One");
    QVERIFY(QFile::remove(m.Path("Data/P/transcripts/ENGLISH.html")));
    QCOMPARE(index.GetTranscriptText(0, 2), "Two");
  }

  void transcriptFileMissingFailsEveryTime() {
    TempMedium m;
    m.MakeDir("Data/P/transcripts");
    TranscriptIndex index(layout::Current().TranscriptsFolderPath("P"), {"ENGLISH"});
    for (int i = 0; i < 2; ++i) {
      try {
        index.GetTranscriptText(0, 1);
        QFAIL("a missing file gave a text");
      } catch (const medium::AppError& e) {
        QCOMPARE(e.number(), int(medium::kFileNotFound));
        QVERIFY(e.description().endsWith("transcripts/ENGLISH.html"));
      }
    }
    QCOMPARE(Outcome([&] { return index.GetTranscriptText(1, 1); }), "!9");
  }

  void transcriptNamedByFirstDot() {
    TempMedium m;
    m.Write("Data/P/transcripts/ENGLISH.old.html", "SECTION1\r\nold\r\n");
    m.Write("Data/P/transcripts/ENGLISH.html", "SECTION1\r\nnew\r\n");
    medium::RecordingReporter r;
    const LanguageList list =
        ListTranscriptLanguages(layout::Current().TranscriptsFolderPath("P"), r);
    QCOMPARE(list.names, (QStringList{"ENGLISH", "ENGLISH"}));
    TranscriptIndex index(layout::Current().TranscriptsFolderPath("P"), list.names);
    QCOMPARE(index.GetTranscriptText(0, 1), "new");
    QCOMPARE(index.GetTranscriptText(1, 1), "new");
  }

  void bigTranscriptAndLongLine() {
    TempMedium m;
    QByteArray page;
    for (int i = 1; i <= 30000; ++i)
      page += "<p>SECTION" + QByteArray::number(i) + "</p>\r\n" + QByteArray(100, 'x') + "\r\n";
    page += "SECTION-1\r\n" + QByteArray(100 * 1024, 'L') + "\r\n";
    m.Write("Data/P/transcripts/BIG.html", page);
    TranscriptIndex index(layout::Current().TranscriptsFolderPath("P"), {"BIG"});
    QElapsedTimer t;
    t.start();
    for (int i = 1; i <= 30000; i += 7)
      QCOMPARE(index.GetTranscriptText(0, int16_t(i)).size(), 100);
    QCOMPARE(index.GetTranscriptText(0, -1).size(), 100 * 1024);
    QVERIFY2(t.elapsed() < 5000, qPrintable(QString::number(t.elapsed())));
  }

  void details() {
    TempMedium m;
    m.Write("Data/P/details.txt", "Speaker: A. Person\r\n\r\nRecorded 2003\r\n");
    medium::RecordingReporter r;
    medium::TextStream s;
    QString text;
    ReadDetails(s, layout::Current().PresentationDataPath("P", "\\details.txt"), r, text);
    QCOMPARE(text, "Speaker: A. Person\r\n\r\nRecorded 2003\r\n");
    QVERIFY(r.messages.empty());
    QVERIFY(!s.IsOpen());
  }

  void detailsMissing() {
    TempMedium m;
    medium::RecordingReporter r;
    medium::TextStream s;
    QString text = "kept";
    ReadDetails(s, layout::Current().PresentationDataPath("P", "\\details.txt"), r, text);
    QCOMPARE(text, "kept");
    QCOMPARE(int(r.messages.size()), 1);
    QVERIFY(r.messages[0].text.startsWith("File not found: "));
  }

  void timelineInterleaved() {
    Timeline t;
    FakeTexts texts;
    texts.names = {"EN"};
    t.Read(Lines({"0~0~Deck~1~Title one", "2~500~1", "0~60000~Deck~2~Title two",
                  "1~0~3~1~2~10~300~20~400~255~0~0", "0~120000~Other~7~Seven"}),
           0, texts, 1);
    QVERIFY(t.reporter.messages.empty());
    QCOMPARE(int(t.slides.Slides.Count()), 3);
    QCOMPARE(int(t.trans.Trans.Count()), 1);
    QCOMPARE(int(t.anns.Anns.Count()), 1);
    QCOMPARE(t.slides.Slides.Item(2).SlideTime, 60000.0);
    QCOMPARE(t.slides.Slides.Item(3).SlidePres, "Other");
    QCOMPARE(int(t.slides.Slides.Item(3).SlideNum), 7);
    QCOMPARE(t.sink.titles, (QStringList{"Title one", "Title two", "Seven"}));
    QCOMPARE(t.sink.ks, (QList<int>{1, 2, 3}));
    const Tran_cls& cue = t.trans.Trans.Item(1);
    QCOMPARE(cue.TranTime, 500.0);
    QCOMPARE(int(cue.TranNum), 1);
    QCOMPARE(cue.Languages.Item(1), "EN:1");
    const Ann_cls& a = t.anns.Anns.Item(1);
    QCOMPARE(int(a.AnnType), 3);
    QCOMPARE(a.AnnTime, 0.0);
    QCOMPARE(int(a.AnnShape), 1);
    QCOMPARE(int(a.AnnStyle), 2);
    QCOMPARE(int(a.AnnX), 10);
    QCOMPARE(int(a.AnnWidth), 300);
    QCOMPARE(int(a.AnnY), 20);
    QCOMPARE(int(a.AnnHeight), 400);
    QCOMPARE(a.AnnRed + a.AnnGreen + a.AnnBlue, "25500");
  }

  void timelineTextAnnotation() {
    Timeline t;
    FakeTexts texts;
    t.Read(Lines({"1~99999~2~15~25~0~128~255~Look here", "1~5~7~1~2~3"}), 0, texts, 0);
    QVERIFY(t.reporter.messages.empty());
    const Ann_cls& a = t.anns.Anns.Item(1);
    QCOMPARE(int(a.AnnType), 2);
    QCOMPARE(a.AnnTime, 0.0);  // field 1 is not read
    QCOMPARE(int(a.AnnX), 15);
    QCOMPARE(int(a.AnnY), 25);
    QCOMPARE(a.AnnGreen, "128");
    QCOMPARE(a.AnnText, "Look here");
    QCOMPARE(int(a.AnnWidth), 0);
    const Ann_cls& other = t.anns.Anns.Item(2);
    QCOMPARE(int(other.AnnType), 7);
    QCOMPARE(int(other.AnnX), 0);
    QVERIFY(other.AnnRed.isEmpty());
  }

  void timelineStillPicture() {
    Timeline t;
    FakeTexts texts;
    texts.names = {"EN", "FR"};
    t.Read(Lines({"0~0~Deck~1~One", "5~10~3", "1~0~4"}), 2, texts, 2);
    QCOMPARE(int(t.slides.Slides.Count()), 0);
    QVERIFY(t.sink.titles.isEmpty());
    QVERIFY(t.sink.ks.isEmpty());
    QCOMPARE(int(t.anns.Anns.Count()), 1);
    QCOMPARE(int(t.trans.Trans.Count()), 1);  // kind 5 is a cue
    QCOMPARE(t.trans.Trans.Item(1).Languages.Item(2), "FR:3");
  }

  void timelineBlankLineEnds() {
    Timeline t;
    FakeTexts texts;
    t.Read("0~0~D~1~A\r\n0~1~D~2~B\r\n\r\n0~2~D~3~C\r\n", 0, texts, 0);
    QCOMPARE(int(t.slides.Slides.Count()), 2);
    Timeline first;
    first.Read("\r\n0~0~D~1~A\r\n", 0, texts, 0);
    QCOMPARE(int(first.slides.Slides.Count()), 0);
    QVERIFY(first.reporter.messages.empty());
  }

  void timelineShortAndBadFields() {
    Timeline t;
    FakeTexts texts;
    t.Read(Lines({"0~0~Deck~3", "0~x~Deck~y~Bad"}), 0, texts, 0);
    QCOMPARE(int(t.slides.Slides.Count()), 2);
    QCOMPARE(t.slides.Slides.Item(1).SlideName, "");
    QCOMPARE(t.sink.titles, (QStringList{"", "Bad"}));
    QCOMPARE(t.slides.Slides.Item(2).SlideTime, 0.0);
    QCOMPARE(int(t.slides.Slides.Item(2).SlideNum), 0);
    QCOMPARE(t.reporter.Texts(), (QStringList{"Type mismatch: \"x\" is not a number",
                                              "Type mismatch: \"y\" is not a number"}));
  }

  void timelineUnreadableKindTakesPrevious() {
    Timeline t;
    FakeTexts texts;
    t.Read(Lines({"?~0~Deck~1~First", "2~100~1", "two~200~2", "1~0~3~1~1~1~1~1~1~1~1~1",
                  "x~0~3~1~1~1~1~1~1~1~1~1"}),
           0, texts, 0);
    QCOMPARE(int(t.slides.Slides.Count()), 1);  // the first line reads as a slide
    QCOMPARE(int(t.trans.Trans.Count()), 2);
    QCOMPARE(int(t.trans.Trans.Item(2).TranNum), 2);
    QCOMPARE(int(t.anns.Anns.Count()), 2);
    QCOMPARE(int(t.reporter.messages.size()), 3);
  }

  void timelineMissingSectionShiftsLanguages() {
    Timeline t;
    FakeTexts texts;
    texts.names = {"EN", "DE", "FR"};
    texts.missing = {1};
    t.Read(Lines({"2~0~4"}), 0, texts, 3);
    const Tran_cls& cue = t.trans.Trans.Item(1);
    QCOMPARE(int(cue.Languages.Count()), 2);
    QCOMPARE(cue.Languages.Item(1), "EN:4");
    QCOMPARE(cue.Languages.Item(2), "FR:4");
    QCOMPARE(t.reporter.Texts(), QStringList{"past end"});
  }

  void timelineCueWithoutLanguages() {
    Timeline t;
    FakeTexts texts;
    t.Read(Lines({"2~0~1"}), 0, texts, 0);
    QCOMPARE(int(t.trans.Trans.Item(1).Languages.Count()), 0);
  }

  void timelineNotOpenReadsNothing() {
    Slides_cls slides;
    Anns_cls anns;
    Trans_cls trans;
    RecordingSink sink;
    FakeTexts texts;
    medium::RecordingReporter r;
    medium::TextStream s;
    ReadTimeline(s, r, 0, texts, 0, slides, anns, trans, sink);
    QVERIFY(r.messages.empty());
    QCOMPARE(int(slides.Slides.Count()), 0);
  }

  // Tens of thousands of lines, past what a 16-bit list holds: each append beyond is reported,
  // nothing crashes and the reading ends.
  void timelineHuge() {
    Timeline t;
    FakeTexts texts;
    QByteArray bytes;
    for (int i = 0; i < 33000; ++i)
      bytes += "1~" + QByteArray::number(i) + "~3~1~1~1~1~1~1~0~0~0\r\n";
    bytes += "0~0~D~1~" + QByteArray(100 * 1024, 'T') + "\r\n";
    QElapsedTimer timer;
    timer.start();
    t.Read(bytes, 0, texts, 0);
    QCOMPARE(int(t.anns.Anns.Count()), 32767);
    QCOMPARE(int(t.reporter.messages.size()), 33000 - 32767);
    QVERIFY(t.reporter.messages.back().text.startsWith("Overflow"));
    QCOMPARE(t.slides.Slides.Item(1).SlideName.size(), 100 * 1024);
    QVERIFY(timer.elapsed() < 10000);
  }

  // The one reading sequence: its steps reach the listener in order, and each language keeps its
  // own sections where another lacks one.
  void loaderSequence() {
    TempMedium m;
    m.WriteLines("Data/Talk/database.txt",
                 {"SlideMode=0", "MediaMode=1", "Spare=0", "UserDef1=Free text"});
    m.WriteLines("Data/Talk/transcripts/ENGLISH.html", {"SECTION1", "one", "SECTION2", "two"});
    m.WriteLines("Data/Talk/transcripts/FRENCH.html", {"SECTION1", "un"});
    m.WriteLines("Data/Talk/events.txt", {"0~0~D~1~Title", "2~0~1", "2~1000~2"});
    m.WriteLines("Data/Talk/details.txt", {"By me"});
    struct Steps : PresentationListener {
      QStringList seen;
      void Reading(const QString& path, const medium::TextStream*) override {
        seen << "read " + path.section(u'\\', -1, -1, QString::SectionSkipEmpty);
      }
      void SettingsRead(const Settings& s) override { seen << "settings " + *s.UserDef1; }
      void LanguagesListed(const LanguageList& l) override { seen << l.names.join(','); }
      void AddSlideTitle(const QString& title) override { seen << "title " + title; }
      void TimelineRead(const LoadedPresentation& p) override {
        seen << QStringLiteral("timeline %1").arg(p.trans->Trans.Count());
      }
      void DetailsRead(const QString& text) override { seen << "details " + text.trimmed(); }
    } steps;
    medium::RecordingReporter reporter;
    PresentationLoader loader(layout::Current(), reporter, steps);
    LoadedPresentation p;
    loader.Load("Talk", p);
    QCOMPARE(steps.seen, (QStringList{"read database.txt", "settings Free text", "read events.txt",
                                      "read transcripts", "ENGLISH,FRENCH", "title Title",
                                      "timeline 2", "read details.txt", "details By me"}));
    QCOMPARE(p.SectionTexts(0), (std::vector<std::optional<QString>>{"one", "two"}));
    QCOMPARE(p.SectionTexts(1), (std::vector<std::optional<QString>>{"un", std::nullopt}));

    // A folder that leads off the medium is refused at every file and nothing throws.
    reporter.Clear();
    const LoadedPresentation refused = LoadPresentation(layout::Current(), "..\\Talk");
    QVERIFY(refused.slides && refused.slides->Slides.IsEmpty());
    PresentationListener nobody;
    PresentationLoader quiet(layout::Current(), reporter, nobody);
    LoadedPresentation q;
    quiet.Load("..\\Talk", q);
    QCOMPARE(int(reporter.messages.size()), 4);  // settings, timeline, transcripts, details
    QVERIFY(reporter.Texts().join('|').contains("Bad file name"));
  }
};

QTEST_GUILESS_MAIN(ReadersTest)
#include "test_readers.moc"
