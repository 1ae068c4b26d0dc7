// The pieces of the export that need no recording: WebVTT times, escaping, cue ends and the
// Windows-1252 texts of the medium arriving as UTF-8; the mark colours, language tags, package
// names, ffmpeg's progress and the page templates.

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include "exporter/ExportCommand.h"
#include "exporter/Exporter.h"
#include "exporter/FfmpegLog.h"
#include "exporter/PresentationContent.h"
#include "exporter/Transcoder.h"
#include "exporter/WebVtt.h"
#include "tests/support/TempMedium.h"

using namespace exporter;

using TimedList = std::vector<TimedText>;
using CueList = std::vector<VttCue>;
Q_DECLARE_METATYPE(TimedList)
Q_DECLARE_METATYPE(CueList)
Q_DECLARE_METATYPE(std::optional<QString>)
Q_DECLARE_METATYPE(std::optional<int>)

namespace {

QString Cues(const CueList& cues) {
  QStringList out;
  for (const VttCue& c : cues) {
    out << QStringLiteral("%1-%2:%3").arg(c.startMs).arg(c.endMs).arg(c.text);
  }
  return out.join(u'|');
}

}  // namespace

class ExportUnitsTest : public QObject {
  Q_OBJECT

 private slots:
  void vttTime_data() {
    QTest::addColumn<double>("ms");
    QTest::addColumn<QString>("expected");
    QTest::newRow("zero") << 0.0 << "00:00:00.000";
    QTest::newRow("one ms") << 1.0 << "00:00:00.001";
    QTest::newRow("rounds down") << 0.4 << "00:00:00.000";
    QTest::newRow("rounds up into a second") << 999.6 << "00:00:01.000";
    QTest::newRow("minute") << 61001.0 << "00:01:01.001";
    QTest::newRow("hours") << 3723004.0 << "01:02:03.004";
    QTest::newRow("a hundred hours") << 360000000.0 << "100:00:00.000";
    QTest::newRow("negative counts as zero") << -5.0 << "00:00:00.000";
  }
  void vttTime() {
    QFETCH(double, ms);
    QFETCH(QString, expected);
    QCOMPARE(FormatVttTime(ms), expected);
  }

  void vttEscape_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("plain") << "Slide one"
                           << "Slide one";
    QTest::newRow("ampersand") << "Q&A"
                               << "Q&amp;A";
    QTest::newRow("markup shown as written") << "<b>bold</b>"
                                             << "&lt;b&gt;bold&lt;/b&gt;";
    QTest::newRow("no arrow in a payload") << "a --> b"
                                           << "a --&gt; b";
    QTest::newRow("entity text stays text") << "&amp;"
                                            << "&amp;amp;";
    QTest::newRow("accents untouched")
        << QString::fromUtf8("déjà €") << QString::fromUtf8("déjà €");
    QTest::newRow("line break would end the cue") << "a\r\nb"
                                                  << "a  b";
  }
  void vttEscape() {
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(EscapeVttText(text), expected);
  }

  void cueEnds_data() {
    QTest::addColumn<TimedList>("entries");
    QTest::addColumn<double>("endMs");
    QTest::addColumn<QString>("expected");
    QTest::newRow("each to the next, the last to the end")
        << TimedList{{0, "a"}, {6000, "b"}, {12000, "c"}} << 48000.0
        << "0-6000:a|6000-12000:b|12000-48000:c";
    QTest::newRow("a missing text leaves a gap")
        << TimedList{{0, "a"}, {6000, std::nullopt}, {12000, "c"}} << 20000.0
        << "0-6000:a|12000-20000:c";
    QTest::newRow("equal times: the first never shows")
        << TimedList{{0, "a"}, {0, "b"}, {5000, "c"}} << 9000.0 << "0-5000:b|5000-9000:c";
    QTest::newRow("out of order: the one that cannot last is left out")
        << TimedList{{0, "a"}, {8000, "b"}, {4000, "c"}} << 9000.0 << "0-8000:a|4000-9000:c";
    QTest::newRow("last one past the end")
        << TimedList{{0, "a"}, {50000, "b"}} << 48000.0 << "0-50000:a";
    QTest::newRow("empty text is a cue") << TimedList{{0, ""}} << 1000.0 << "0-1000:";
    QTest::newRow("nothing") << TimedList{} << 1000.0 << "";
  }
  void cueEnds() {
    QFETCH(TimedList, entries);
    QFETCH(double, endMs);
    QFETCH(QString, expected);
    QCOMPARE(Cues(CuesFromTimeline(entries, endMs)), expected);
  }

  void vttFile() {
    const QByteArray file = WriteVtt({{0, 6000, QString::fromUtf8("Caf\u00e9 & <more>")},
                                      {6000, 61500.4, QString::fromUtf8("\u20ac 5")}});
    QCOMPARE(file, QByteArray("WEBVTT\n"
                              "\n1\n00:00:00.000 --> 00:00:06.000\nCaf\xC3\xA9 &amp; &lt;more&gt;\n"
                              "\n2\n00:00:06.000 --> 00:01:01.500\n\xE2\x82\xAC 5\n"));
    QCOMPARE(WriteVtt({}), QByteArray("WEBVTT\n"));
  }

  // The medium's transcripts are Windows-1252; the files the browser reads are UTF-8, escaped,
  // and a section one language lacks is left out of that language's file only.
  void transcriptsFromTheMedium() {
    TempMedium m;
    m.WriteLines("Data/config.txt", {"Presentations 1", "Talk", "Talk"});
    m.WriteLines("Data/Talk/database.txt",
                 {"SlideMode=0", "MediaMode=2", "Flag=True", "UserDef1=x"});
    m.Write("Data/Talk/events.txt", "0~0~Deck~1~R\xE9sum\xE9\r\n2~0~1\r\n2~4000~2\r\n");
    m.Write("Data/Talk/transcripts/ENGLISH.html",
            "<p>SECTION1</p>\r\n\x93Quoted\x94 costs \x80 5 & <more>\r\nSECTION2\r\nTwo\r\n");
    m.Write("Data/Talk/transcripts/FRENCH.html", "SECTION2\r\nDeux \xE9t\xE9\r\n");
    const PresentationContent c = ReadPresentationContent(layout::Current(), "Talk", "Talk");
    QCOMPARE(c.languages.size(), size_t(2));
    QCOMPARE(c.selectedLanguage, 0);
    QCOMPARE(c.languages[1].vttFile, QString("FRENCH.vtt"));

    const QByteArray english = TranscriptVtt(c, 0, 9000);
    QVERIFY2(english.contains(
                 "00:00:00.000 --> 00:00:04.000\n"
                 "\xE2\x80\x9CQuoted\xE2\x80\x9D costs \xE2\x82\xAC 5 &amp; &lt;more&gt;\n"),
             english.constData());
    QVERIFY(english.contains("00:00:04.000 --> 00:00:09.000\nTwo\n"));
    const QByteArray french = TranscriptVtt(c, 1, 9000);
    QCOMPARE(french,
             QByteArray("WEBVTT\n\n1\n00:00:04.000 --> 00:00:09.000\nDeux \xC3\xA9t\xC3\xA9\n"));
    QCOMPARE(ChaptersVtt(c, 9000),
             QByteArray("WEBVTT\n\n1\n00:00:00.000 --> 00:00:09.000\nR\xC3\xA9sum\xC3\xA9\n"));
  }

  void trackNamesStayApart() {
    TempMedium m;
    m.WriteLines("Data/T/events.txt", {"2~0~1"});
    m.Write("Data/T/transcripts/ENGLISH.html", "SECTION1\r\na\r\n");
    m.Write("Data/T/transcripts/english.old.html", "SECTION1\r\nb\r\n");
    const PresentationContent c = ReadPresentationContent(layout::Current(), "T", "T");
    QCOMPARE(c.languages.size(), size_t(2));
    QVERIFY(c.languages[0].vttFile.toLower() != c.languages[1].vttFile.toLower());
  }

  void markColour_data() {
    QTest::addColumn<QString>("red");
    QTest::addColumn<QString>("green");
    QTest::addColumn<QString>("blue");
    QTest::addColumn<std::optional<QString>>("expected");
    QTest::newRow("red") << "255"
                         << "0"
                         << "0" << std::optional<QString>("#ff0000");
    QTest::newRow("above 255 counts as 255") << "300"
                                             << "0"
                                             << "16" << std::optional<QString>("#ff0010");
    QTest::newRow("halves to even") << "1.5"
                                    << "2.5"
                                    << " 7 " << std::optional<QString>("#020207");
    QTest::newRow("empty") << ""
                           << "0"
                           << "0" << std::optional<QString>();
    QTest::newRow("negative") << "0"
                              << "-1"
                              << "0" << std::optional<QString>();
    QTest::newRow("not a number") << "0"
                                  << "0"
                                  << "blue" << std::optional<QString>();
    QTest::newRow("beyond 16 bits") << "70000"
                                    << "0"
                                    << "0" << std::optional<QString>();
  }
  void markColour() {
    QFETCH(QString, red);
    QFETCH(QString, green);
    QFETCH(QString, blue);
    QFETCH(std::optional<QString>, expected);
    Ann_cls ann;
    ann.AnnRed = red;
    ann.AnnGreen = green;
    ann.AnnBlue = blue;
    QCOMPARE(MarkColour(ann), expected);
  }

  // Each mark goes to the page resolved by the player's one rule; the page holds none of its own.
  void marksResolved_data() {
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("x2");
    QTest::addColumn<int>("y2");
    QTest::addColumn<QString>("red");
    QTest::addColumn<QJsonValue>("shape");
    QTest::newRow("line") << 0 << 110 << 20 << "255" << QJsonValue("line");
    QTest::newRow("kind 2 with a second corner")
        << 2 << 110 << 80 << "255" << QJsonValue("rectangle");
    QTest::newRow("text") << 2 << 0 << 0 << "255" << QJsonValue("text");
    QTest::newRow("shape record") << 3 << 110 << 80 << "255" << QJsonValue();
    QTest::newRow("unusable colour") << 0 << 110 << 20 << "" << QJsonValue();
    QTest::newRow("component above 255") << 0 << 110 << 20 << "300" << QJsonValue("line");
  }
  void marksResolved() {
    QFETCH(int, type);
    QFETCH(int, x2);
    QFETCH(int, y2);
    QFETCH(QString, red);
    QFETCH(QJsonValue, shape);
    PresentationContent content;
    Ann_cls& ann = content.anns.Anns.Add(Ann_cls());
    ann.AnnType = static_cast<int16_t>(type);
    ann.AnnX = 10;
    ann.AnnY = 20;
    ann.AnnWidth = static_cast<int16_t>(x2);
    ann.AnnHeight = static_cast<int16_t>(y2);
    ann.AnnRed = red;
    ann.AnnGreen = "0";
    ann.AnnBlue = "0";
    ann.AnnText = "Hi";
    const QJsonObject mark = PageData(content, RecordingOutput{})["marks"].toArray()[0].toObject();
    QCOMPARE(mark["shape"], shape);
    QCOMPARE(mark["x"].toInt(), 10);
    QCOMPARE(mark["y2"].toInt(), y2);
    if (!shape.isNull()) QCOMPARE(mark["colour"].toString(), QString("#ff0000"));
    QCOMPARE(mark.contains("size"), shape == QJsonValue("text"));
  }

  void languageCode_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("code");
    QTest::newRow("ENGLISH") << "ENGLISH"
                             << "en";
    QTest::newRow("lower case") << "english"
                                << "en";
    QTest::newRow("FRENCH") << "FRENCH"
                            << "fr";
    QTest::newRow("native spelling") << QString::fromUtf8("Fran\u00e7ais") << "fr";
    QTest::newRow("GERMAN") << "GERMAN"
                            << "de";
    QTest::newRow("unknown") << "KLINGON"
                             << "und";
    QTest::newRow("empty") << ""
                           << "und";
  }
  void languageCode() {
    QFETCH(QString, name);
    QFETCH(QString, code);
    QCOMPARE(LanguageCode(name), code);
  }

  // A sound track's language as the recording names it, for the page's list of tracks.
  void recordingLanguage_data() {
    QTest::addColumn<QString>("tag");
    QTest::addColumn<QString>("code");  // empty: no language
    QTest::addColumn<QString>("label");
    QTest::newRow("ISO 639-2") << "eng"
                               << "en"
                               << "English";
    QTest::newRow("bibliographic") << "fre"
                                   << "fr"
                                   << "French";
    QTest::newRow("terminological") << "deu"
                                    << "de"
                                    << "German";
    QTest::newRow("RFC 1766 as ASF has it") << "en-us"
                                            << "en"
                                            << "English";
    QTest::newRow("upper case") << "ES"
                                << "es"
                                << "Spanish";
    QTest::newRow("undetermined") << "und"
                                  << ""
                                  << "";
    QTest::newRow("none") << ""
                          << ""
                          << "";
    QTest::newRow("unknown") << "qqq"
                             << ""
                             << "";
  }
  void recordingLanguage() {
    QFETCH(QString, tag);
    QFETCH(QString, code);
    QFETCH(QString, label);
    const std::optional<AudioTrack> track = RecordingLanguage(tag);
    QCOMPARE(track.has_value(), !code.isEmpty());
    if (track) {
      QCOMPARE(track->language, code);
      QCOMPARE(track->label, label);
    }
  }

  void packageNames_data() {
    QTest::addColumn<QString>("deck");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("picture");
    QTest::addColumn<QString>("thumb");
    QTest::addColumn<QString>("url");
    QTest::newRow("deck") << "ZentoLaunch" << 3 << "Slides/ZentoLaunch/Slide3.jpg"
                          << "Slides/ZentoLaunch/thumbs/Slide3.jpg"
                          << "Slides/ZentoLaunch/Slide3.jpg";
    QTest::newRow("sub-folder") << "Spring\\Day1" << 12 << "Slides/Spring/Day1/Slide12.jpg"
                                << "Slides/Spring/Day1/thumbs/Slide12.jpg"
                                << "Slides/Spring/Day1/Slide12.jpg";
    QTest::newRow("names that are not URLs") << "My Deck#1?" << 1 << "Slides/My Deck#1?/Slide1.jpg"
                                             << "Slides/My Deck#1?/thumbs/Slide1.jpg"
                                             << "Slides/My%20Deck%231%3F/Slide1.jpg";
    QTest::newRow("climbing out") << "..\\..\\etc" << 1 << ""
                                  << ""
                                  << "";
    QTest::newRow("dot") << "." << 1 << ""
                         << ""
                         << "";
    QTest::newRow("empty") << "" << 1 << ""
                           << ""
                           << "";
  }
  void packageNames() {
    QFETCH(QString, deck);
    QFETCH(int, number);
    QFETCH(QString, picture);
    QFETCH(QString, thumb);
    QFETCH(QString, url);
    Slide_cls slide;
    slide.SlidePres = deck;
    slide.SlideNum = static_cast<int16_t>(number);
    const auto p = SlidePictureFile(layout::Current(), slide);
    const auto t = ThumbnailFile(layout::Current(), slide);
    QCOMPARE(p ? p->target : QString(), picture);
    QCOMPARE(t ? t->target : QString(), thumb);
    QCOMPARE(p ? p->url : QString(), url);
  }

  void progress_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<double>("duration");
    QTest::addColumn<std::optional<int>>("expected");
    QTest::newRow("microseconds") << "out_time_us=12000000" << 48.0 << std::optional<int>(25);
    QTest::newRow("the old name says microseconds too")
        << "out_time_ms=24000000" << 48.0 << std::optional<int>(50);
    QTest::newRow("not yet known") << "out_time_us=N/A" << 48.0 << std::optional<int>();
    QTest::newRow("end") << "progress=end" << 48.0 << std::optional<int>(100);
    QTest::newRow("still going") << "progress=continue" << 48.0 << std::optional<int>();
    QTest::newRow("other keys") << "frame=120" << 48.0 << std::optional<int>();
    QTest::newRow("no duration") << "out_time_us=1000000" << 0.0 << std::optional<int>();
    QTest::newRow("past the end stays below 100")
        << "out_time_us=50000000" << 48.0 << std::optional<int>(99);
  }
  void progress() {
    QFETCH(QString, line);
    QFETCH(double, duration);
    QFETCH(std::optional<int>, expected);
    QCOMPARE(jobs::ProgressPercent(line, duration), expected);
  }

  void encoding() {
    MediaInfo video;
    video.hasVideo = true;
    const QStringList v = EncodingArguments(video);
    QCOMPARE(OutputFileName(video), QString("media.mp4"));
    for (const char* a : {"libx264", "aac", "+faststart", "yuv420p"}) QVERIFY2(v.contains(a), a);
    // Every sound track, not only the first.
    QVERIFY(v.contains("0:a?") && !v.contains("0:a:0?"));
    MediaInfo audio;
    const QStringList a = EncodingArguments(audio);
    QCOMPARE(OutputFileName(audio), QString("media.m4a"));
    QVERIFY(a.contains("-vn") && a.contains("aac") && a.contains("+faststart"));
    QVERIFY(!a.contains("libx264"));
    QVERIFY(a.contains("0:a") && !a.contains("0:a:0"));
  }

  void templates() {
    // One pass: a value that looks like a key is not replaced again.
    QCOMPARE(FillTemplate("@A@ and @B@, a@b.c @X@", {{"A", "@B@"}, {"B", "x"}}),
             QString("@B@ and x, a@b.c @X@"));
    const QByteArray script = PageDataScript(QJsonObject{{"title", "</script><b>"}});
    QVERIFY(script.startsWith("window.presentationData = {"));
    QVERIFY(!script.contains("</script>"));
    const QByteArray json =
        script.mid(script.indexOf('{'), script.lastIndexOf('}') - script.indexOf('{') + 1);
    QCOMPARE(QJsonDocument::fromJson(json).object().value("title").toString(),
             QString("</script><b>"));
    for (const char* name : {"index.html", "page.js", "page.css", "list.html"}) {
      QVERIFY2(!PageResource(name).isEmpty(), name);
    }
  }

  // ffmpeg's standard error line by line: only what a decoder of the recording says is damage;
  // the demultiplexer's remarks on the container and the output side's words are not.
  void ffmpegLogLines_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("kinds");
    QTest::newRow("progress") << QByteArray("out_time_us=3400000") << "progress";
    QTest::newRow("index naming a stream the file lacks")
        << QByteArray("[rm @ 0x55ab8e32f440] Invalid stream index 1 for index at pos 772579")
        << "container";
    QTest::newRow("decoder") << QByteArray("[cook @ 0x5601] Invalid superframe") << "decoding";
    QTest::newRow("decoder under another name than the codec")
        << QByteArray("[real_144 @ 0x5601] Frame too small") << "decoding";
    QTest::newRow("ffmpeg on a packet the decoder refused")
        << QByteArray("Error while decoding stream #0:0: Invalid data found when processing input")
        << "decoding";
    QTest::newRow("newer ffmpeg names the input")
        << QByteArray("[in#0/rm @ 0x5601] Invalid stream") << "container";
    QTest::newRow("newer ffmpeg names the decoder's stream")
        << QByteArray("[aist#0:0/cook @ 0x5601] bad frame") << "decoding";
    QTest::newRow("encoder") << QByteArray("[libx264 @ 0x5601] something") << "other";
    QTest::newRow("muxer") << QByteArray("[ipod @ 0x5601] something") << "other";
    QTest::newRow("log line behind a progress value")
        << QByteArray("total_size=N/A[rm @ 0x55ab3b592480] Invalid stream index 1 for index")
        << "progress,container";
    QTest::newRow("decoder behind a progress value")
        << QByteArray("bitrate=N/A[cook @ 0x5601] bad") << "progress,decoding";
    QTest::newRow("a bracket in a progress value is no log line")
        << QByteArray("speed=[1x]") << "progress";
    QTest::newRow("blank") << QByteArray("  ") << "";
  }
  void ffmpegLogLines() {
    QFETCH(QByteArray, line);
    QFETCH(QString, kinds);
    const FfmpegLogSources sources{"rm", {"cook", "real_144"}};
    QStringList said;
    for (const FfmpegLine& part : ClassifyFfmpegLine(line, sources)) {
      switch (part.kind) {
        case FfmpegLineKind::Progress:
          said << "progress";
          break;
        case FfmpegLineKind::Decoding:
          said << "decoding";
          break;
        case FfmpegLineKind::Container:
          said << "container";
          break;
        case FfmpegLineKind::Other:
          said << "other";
          break;
      }
    }
    QCOMPARE(said.join(u','), kinds);
  }

  // On a terminal the percentage is written over itself; into a file or a pipe each
  // presentation is one plain line, and an interruption ends the line in the making.
  void progressLines_data() {
    QTest::addColumn<bool>("terminal");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("terminal") << true
                              << QByteArray(
                                     "\r[1/2] Talk: ...\r[1/2] Talk:   0%\r[1/2] Talk:  50%"
                                     "\r[1/2] Talk: exported (media.m4a)\n"
                                     "  Media/Talk/media.wma: recording: damaged\n"
                                     "\r[2/2] Next: ...\r[2/2] Next: interrupted\n");
    QTest::newRow("file") << false
                          << QByteArray(
                                 "[1/2] Talk: exported (media.m4a)\n"
                                 "  Media/Talk/media.wma: recording: damaged\n"
                                 "[2/2] Next: interrupted\n");
  }
  void progressLines() {
    QFETCH(bool, terminal);
    QFETCH(QByteArray, expected);
    std::FILE* file = std::tmpfile();
    QVERIFY(file);
    {
      ProgressLines lines(file, terminal);
      lines.Started(1, 2, "Talk", "A talk");
      lines.Progress(0);
      lines.Progress(50);
      lines.Progress(50);
      PresentationOutcome done;
      done.folder = "Talk";
      done.exported = true;
      done.mediaFile = "media.m4a";
      done.problems.push_back({"Media/Talk/media.wma", 0, "recording: damaged"});
      lines.Finished(done);
      lines.Started(2, 2, "Next", "Next");
      lines.Stopped();
      lines.Stopped();  // nothing more to end
    }
    std::rewind(file);
    QByteArray written(4096, '\0');
    written.resize(qsizetype(std::fread(written.data(), 1, size_t(written.size()), file)));
    std::fclose(file);
    QCOMPARE(written, expected);
  }
};

QTEST_GUILESS_MAIN(ExportUnitsTest)
#include "test_export_units.moc"
