// The generated sample medium, read the way the launcher and players read it: the list, every
// presentation's settings, timeline, transcripts and details, the pictures, and the recordings
// as ffprobe sees them.

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtTest>

#include "medium/Convert.h"
#include "medium/Error.h"
#include "medium/Paths.h"
#include "medium/Picture.h"
#include "medium/TextStream.h"
#include "presentation/Fields.h"
#include "presentation/Model.h"

using namespace medium;

namespace {

struct Entry {
  QString name;
  QString dir;
};

QString App() {
  return ApplicationFolder();
}

QString DataPath(const QString& pres, const QString& file) {
  return BuildPath({App(), QStringLiteral("\\Data\\"), pres, QStringLiteral("\\"), file});
}

// The second piece of a "name=value" line, as the settings reader takes it.
QString SettingValue(TextStream& ts) {
  return PieceAt(SplitPieces(ts.ReadLine(), u'='), 1);
}

struct Timeline {
  Slides_cls slides;
  Anns_cls anns;
  Trans_cls cues;
  int lines = 0;
  bool readToEnd = false;
};

// Reads a timeline by the players' rules: fields split at "~", the kind first, and a stop in
// front of an empty line. Any conversion that fails throws, which fails the test.
void ReadTimeline(const QString& path, int16_t slideMode, Timeline& t) {
  TextStream ts;
  ts.Open(path);
  while (!ts.AtEndOfLine()) {
    const QString line = ts.ReadLine();
    ++t.lines;
    const int16_t kind = ToInt16(GetField(0, line));
    if (kind <= 0) {
      if (slideMode == 2) continue;
      Slide_cls s;
      s.SlideTime = ToDouble(GetField(1, line));
      s.SlidePres = GetField(2, line);
      s.SlideNum = ToInt16(GetField(3, line));
      s.SlideName = GetField(4, line);
      t.slides.Slides.Add(std::move(s));
    } else if (kind == 1) {
      Ann_cls a;
      a.AnnType = ToInt16(GetField(2, line));
      if (a.AnnType == 2) {
        a.AnnX = ToInt16(GetField(3, line));
        a.AnnY = ToInt16(GetField(4, line));
        a.AnnRed = GetField(5, line);
        a.AnnGreen = GetField(6, line);
        a.AnnBlue = GetField(7, line);
        a.AnnText = GetField(8, line);
      } else if (a.AnnType == 3) {
        a.AnnTime = ToDouble(GetField(1, line));
        a.AnnShape = ToInt16(GetField(3, line));
        a.AnnStyle = ToInt16(GetField(4, line));
        a.AnnX = ToInt16(GetField(5, line));
        a.AnnWidth = ToInt16(GetField(6, line));
        a.AnnY = ToInt16(GetField(7, line));
        a.AnnHeight = ToInt16(GetField(8, line));
        a.AnnRed = GetField(9, line);
        a.AnnGreen = GetField(10, line);
        a.AnnBlue = GetField(11, line);
      }
      t.anns.Anns.Add(std::move(a));
    } else {
      auto cue = std::make_unique<Tran_cls>();
      cue->TranTime = ToDouble(GetField(1, line));
      cue->TranNum = ToInt16(GetField(2, line));
      t.cues.Trans.Add(std::move(cue));
    }
  }
  t.readToEnd = ts.AtEndOfStream();
  ts.Close();
}

// A section's text as the players fetch it: the line after the first line that contains the
// marker, searched from the top.
QString SectionText(const QString& file, int section, QString* markerLine) {
  TextStream ts;
  ts.Open(file);
  const QString marker = QStringLiteral("SECTION%1").arg(section);
  while (!ts.AtEndOfStream()) {
    const QString line = ts.ReadLine();
    if (line.contains(marker)) {
      *markerLine = line;
      return ts.ReadLine();
    }
  }
  throw AppError(kInputPastEnd, QStringLiteral("no ") + marker + QStringLiteral(" in ") + file);
}

QByteArray RunTool(const QString& program, const QStringList& args) {
  QProcess p;
  p.start(program, args);
  if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
    qWarning().noquote() << program << args.join(u' ') << p.readAllStandardError();
    return {};
  }
  return p.readAllStandardOutput();
}

QJsonObject Probe(const QString& file) {
  return QJsonDocument::fromJson(
             RunTool(
                 QStringLiteral("ffprobe"),
                 {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                  QStringLiteral("stream=codec_name,codec_type,width,height:format=format_name,"
                                 "duration"),
                  QStringLiteral("-of"), QStringLiteral("json"), file}))
      .object();
}

// The frame of a recording at a moment, as a picture.
QImage FrameAt(const QString& file, double seconds) {
  const QByteArray png = RunTool(
      QStringLiteral("ffmpeg"),
      {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-ss"),
       QString::number(seconds, 'f', 3), QStringLiteral("-i"), file, QStringLiteral("-frames:v"),
       QStringLiteral("1"), QStringLiteral("-f"), QStringLiteral("image2pipe"),
       QStringLiteral("-vcodec"), QStringLiteral("png"), QStringLiteral("-")});
  return QImage::fromData(png, "PNG");
}

// Mean absolute difference of the grey levels of two pictures of the same size, on a grid.
double Difference(const QImage& a, const QImage& b) {
  const QImage x = a.convertToFormat(QImage::Format_Grayscale8);
  const QImage y = b.scaled(a.size()).convertToFormat(QImage::Format_Grayscale8);
  double sum = 0;
  int n = 0;
  for (int row = 0; row < x.height(); row += 3) {
    for (int col = 0; col < x.width(); col += 3) {
      sum += std::abs(int(x.constScanLine(row)[col]) - int(y.constScanLine(row)[col]));
      ++n;
    }
  }
  return sum / n;
}

double MaxVolumeDb(const QString& file) {
  QProcess p;
  p.setProcessChannelMode(QProcess::MergedChannels);
  p.start(QStringLiteral("ffmpeg"),
          {QStringLiteral("-hide_banner"), QStringLiteral("-i"), file, QStringLiteral("-vn"),
           QStringLiteral("-af"), QStringLiteral("volumedetect"), QStringLiteral("-f"),
           QStringLiteral("null"), QStringLiteral("-")});
  p.waitForFinished(60000);
  const QString out = QString::fromUtf8(p.readAll());
  const qsizetype at = out.indexOf(QStringLiteral("max_volume:"));
  if (at < 0) return -1000;
  return out.mid(at + 11).section(u' ', 1, 1).toDouble();
}

}  // namespace

class SampleMediumTest : public QObject {
  Q_OBJECT
  QList<Entry> entries_;

  const QStringList& Folders() const {
    static QStringList folders;
    if (folders.isEmpty()) {
      for (const Entry& e : entries_) folders << e.dir;
    }
    return folders;
  }
  void PerPresentationRows() {
    QTest::addColumn<QString>("pres");
    for (const Entry& e : entries_) QTest::newRow(qPrintable(e.dir)) << e.dir;
  }
  int16_t Mode(const QString& pres, int line) {
    TextStream ts;
    ts.Open(DataPath(pres, QStringLiteral("database.txt")));
    QString value;
    for (int k = 1; k <= line; ++k) value = SettingValue(ts);
    return ToInt16(value);
  }

 private slots:
  void initTestCase() {
    SetApplicationFolder(QStringLiteral(SAMPLE_MEDIUM_DIR));
    TextStream ts;
    ts.Open(BuildPath({App(), QStringLiteral("\\Data\\config.txt")}));
    const int16_t count = ToInt16(PieceAt(SplitPieces(ts.ReadLine(), u' '), 1));
    QVERIFY2(count >= 2, "the launcher shows its list only for two or more presentations");
    for (int k = 0; k < count; ++k) {
      Entry e;
      e.name = ts.ReadLine();
      e.dir = ts.ReadLine();
      entries_ << e;
    }
    // Nothing follows the pairs the count announces.
    QVERIFY(ts.AtEndOfStream());
  }

  void listNamesEveryPresentation() {
    QStringList dirs;
    for (const Entry& e : entries_) {
      QVERIFY(!e.name.trimmed().isEmpty());
      // A folder name travels on the player's command line, which splits at blanks.
      QVERIFY2(!e.dir.isEmpty() && !e.dir.contains(u' '), qPrintable(e.dir));
      QVERIFY(FileExists(DataPath(e.dir, QStringLiteral("database.txt"))));
      dirs << e.dir.toUpper();
    }
    dirs.removeDuplicates();
    QCOMPARE(dirs.size(), entries_.size());
  }

  void textFilesAreWindows1252WithCrLf() {
    int files = 0;
    bool sawAccent = false;
    QDirIterator it(QStringLiteral(SAMPLE_MEDIUM_DIR) + QStringLiteral("/Data"), QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
      const QString path = it.next();
      QFile f(path);
      QVERIFY(f.open(QIODevice::ReadOnly));
      const QByteArray bytes = f.readAll();
      ++files;
      QVERIFY2(bytes.endsWith("\r\n"), qPrintable(path));
      for (qsizetype i = 0; i < bytes.size(); ++i) {
        const uchar c = static_cast<uchar>(bytes[i]);
        if (c == '\n') QVERIFY2(i > 0 && bytes[i - 1] == '\r', qPrintable(path));
        if (c == '\r') QVERIFY2(i + 1 < bytes.size() && bytes[i + 1] == '\n', qPrintable(path));
        // Undefined in the code page, or control characters no reader expects.
        QVERIFY2(c != 0x81 && c != 0x8D && c != 0x8F && c != 0x90 && c != 0x9D, qPrintable(path));
        QVERIFY2(c >= 0x20 || c == '\r' || c == '\n', qPrintable(path));
      }
      if (DecodeWindows1252(bytes).contains(QStringLiteral("é"))) sawAccent = true;
      // Written in the code page, not in UTF-8.
      QVERIFY2(!bytes.contains("\xC3\xA9"), qPrintable(path));
    }
    QVERIFY(files >= 9);
    QVERIFY(sawAccent);
  }

  void settings_data() { PerPresentationRows(); }
  void settings() {
    QFETCH(QString, pres);
    TextStream ts;
    ts.Open(DataPath(pres, QStringLiteral("database.txt")));
    const int16_t slideMode = ToInt16(SettingValue(ts));
    const int16_t mediaMode = ToInt16(SettingValue(ts));
    ToBool(SettingValue(ts));
    QVERIFY(!SettingValue(ts).trimmed().isEmpty());
    QVERIFY(ts.AtEndOfStream());
    QVERIFY(slideMode == 0 || slideMode == 2);
    QVERIFY(mediaMode == 0 || mediaMode == 2);
  }

  void bothKindsOfPresentation() {
    bool slideShowWithVideo = false, stillWithAudio = false;
    for (const QString& pres : Folders()) {
      if (Mode(pres, 1) != 2 && Mode(pres, 2) != 2) slideShowWithVideo = true;
      if (Mode(pres, 1) == 2 && Mode(pres, 2) == 2) stillWithAudio = true;
    }
    QVERIFY(slideShowWithVideo);
    QVERIFY(stillWithAudio);
  }

  void timeline_data() { PerPresentationRows(); }
  void timeline() {
    QFETCH(QString, pres);
    const int16_t slideMode = Mode(pres, 1);
    Timeline t;
    ReadTimeline(DataPath(pres, QStringLiteral("events.txt")), slideMode, t);
    // No empty line cuts the timeline short.
    QVERIFY(t.readToEnd);
    QVERIFY(!t.cues.Trans.IsEmpty());

    const auto& slides = t.slides.Slides;
    if (slideMode != 2) {
      QVERIFY(slides.Count() >= 8);
      QCOMPARE(slides.Item(1).SlideTime, 0.0);
    }
    for (int k = 1; k <= slides.Count(); ++k) {
      const Slide_cls& s = slides.Item(k);
      if (k > 1) QVERIFY(s.SlideTime > slides.Item(k - 1).SlideTime);
      QVERIFY(!s.SlideName.isEmpty());
      const QString deck = BuildPath({App(), QStringLiteral("\\Slides\\"), s.SlidePres});
      const QImage picture = LoadPicture(
          BuildPath({deck, QStringLiteral("\\Slide"), QString::number(s.SlideNum), ".jpg"}));
      QCOMPARE(picture.size(), QSize(472, 360));
      const QImage thumb = LoadPicture(BuildPath(
          {deck, QStringLiteral("\\thumbs\\Slide"), QString::number(s.SlideNum), ".jpg"}));
      QCOMPARE(thumb.size(), QSize(80, 65));
    }

    const auto& anns = t.anns.Anns;
    if (slideMode != 2) QVERIFY(anns.Count() >= 2);
    bool text = false, shape = false;
    for (int k = 1; k <= anns.Count(); ++k) {
      const Ann_cls& a = anns.Item(k);
      // Any other kind carries no colour, and drawing it would end the player.
      QVERIFY(a.AnnType == 2 || a.AnnType == 3);
      text |= a.AnnType == 2;
      shape |= a.AnnType == 3;
      for (const QString& c : {a.AnnRed, a.AnnGreen, a.AnnBlue}) {
        const int16_t v = ToInt16(c);
        QVERIFY(v >= 0 && v <= 255);
      }
      if (k > 1) QVERIFY(a.AnnTime >= anns.Item(k - 1).AnnTime);
      QVERIFY(a.AnnX >= 0 && a.AnnX <= 7080 && a.AnnY >= 0 && a.AnnY <= 5400);
      if (a.AnnType == 2) QVERIFY(!a.AnnText.isEmpty());
      if (a.AnnType == 3) {
        QVERIFY(a.AnnWidth > a.AnnX && a.AnnWidth <= 7080);
        QVERIFY(a.AnnHeight > a.AnnY && a.AnnHeight <= 5400);
      }
    }
    if (slideMode != 2) QVERIFY(text && shape);

    const auto& cues = t.cues.Trans;
    QCOMPARE(cues.Item(1).TranTime, 0.0);
    for (int k = 2; k <= cues.Count(); ++k) {
      QVERIFY(cues.Item(k).TranTime > cues.Item(k - 1).TranTime);
    }
  }

  void transcripts_data() { PerPresentationRows(); }
  void transcripts() {
    QFETCH(QString, pres);
    Timeline t;
    ReadTimeline(DataPath(pres, QStringLiteral("events.txt")), 0, t);
    const QString folder = DataPath(pres, QStringLiteral("transcripts\\"));
    const QStringList files = ListOrdinaryFiles(folder);
    QVERIFY(!files.isEmpty());
    QStringList languages;
    for (const QString& f : files) {
      QVERIFY2(f.contains(u'.'), qPrintable(f));
      languages << f.section(u'.', 0, 0);
    }
    QVERIFY(languages.contains(QStringLiteral("ENGLISH")));
    for (const QString& language : languages) {
      const QString file = folder + language + QStringLiteral(".html");
      for (int k = 1; k <= t.cues.Trans.Count(); ++k) {
        const int n = t.cues.Trans.Item(k).TranNum;
        QString marker;
        const QString text = SectionText(file, n, &marker);
        QVERIFY2(!text.trimmed().isEmpty(), qPrintable(language + QString::number(n)));
        // The text is shown as it stands, so it carries no markup.
        QVERIFY(!text.contains(u'<'));
        QVERIFY(!text.contains(QStringLiteral("SECTION")));
        // The first line found is the section's own marker, not that of section 10 or 12.
        const qsizetype at = marker.indexOf(QStringLiteral("SECTION%1").arg(n));
        const QString after = marker.mid(at + 7 + QString::number(n).size(), 1);
        QVERIFY2(after.isEmpty() || !after[0].isDigit(), qPrintable(marker));
      }
    }
  }

  void details_data() { PerPresentationRows(); }
  void details() {
    QFETCH(QString, pres);
    TextStream ts;
    ts.Open(DataPath(pres, QStringLiteral("details.txt")));
    QStringList lines;
    while (!ts.AtEndOfStream()) lines << ts.ReadLine();
    QVERIFY(lines.size() >= 2);
    QVERIFY(!lines.first().isEmpty());
  }

  void stillAndAudioPictures_data() { PerPresentationRows(); }
  void stillAndAudioPictures() {
    QFETCH(QString, pres);
    const QString images = BuildPath({App(), QStringLiteral("\\Images\\"), pres});
    if (Mode(pres, 1) == 2) {
      QCOMPARE(LoadPicture(images + QStringLiteral("\\slide.jpg")).size(), QSize(472, 360));
    }
    if (Mode(pres, 2) == 2) {
      QCOMPARE(LoadPicture(images + QStringLiteral("\\audio.jpg")).size(), QSize(270, 220));
    }
  }

  void launcherPictures_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QString>("design");  // the picture built into the launcher
    QTest::newRow("button1") << "button1" << QSize(96, 68) << "command1.jpg";
    QTest::newRow("button2") << "button2" << QSize(96, 69) << "command2.jpg";
    QTest::newRow("button3") << "button3" << QSize(60, 60) << "image1.jpg";
    QTest::newRow("button4") << "button4" << QSize(228, 24) << "image2.jpg";
  }
  void launcherPictures() {
    QFETCH(QString, name);
    QFETCH(QSize, size);
    QFETCH(QString, design);
    const QString base = BuildPath({App(), QStringLiteral("\\Images\\"), name});
    const QImage normal = LoadPicture(base + QStringLiteral(".jpg"));
    const QImage hover = LoadPicture(base + QStringLiteral("b.jpg"));
    QCOMPARE(normal.size(), size);
    QCOMPARE(hover.size(), size);
    // The highlighted variant must look different to the user.
    QVERIFY(Difference(normal, hover) > 2.0);
    // The launcher shows its own picture until the pointer first moves and the medium's after
    // that: the two must be the same picture, pixel for pixel.
    const QImage builtIn(QStringLiteral(LAUNCHER_DESIGN_DIR "/") + design);
    QVERIFY2(!builtIn.isNull(), qPrintable(design));
    QCOMPARE(normal.convertToFormat(QImage::Format_RGB32),
             builtIn.convertToFormat(QImage::Format_RGB32));
  }

  void recordings_data() { PerPresentationRows(); }
  void recordings() {
    QFETCH(QString, pres);
    const bool audioOnly = Mode(pres, 2) == 2;
    Timeline t;
    ReadTimeline(DataPath(pres, QStringLiteral("events.txt")), Mode(pres, 1), t);
    double last = t.cues.Trans.Item(t.cues.Trans.Count()).TranTime;
    if (!t.slides.Slides.IsEmpty()) {
      last = std::max(last, t.slides.Slides.Item(t.slides.Slides.Count()).SlideTime);
    }
    struct Expect {
      QString file, format;
      QStringList codecs;
    };
    QList<Expect> expected = {
        {"media.rm", "rm", audioOnly ? QStringList{"ra_144"} : QStringList{"rv20", "ra_144"}}};
    // A slideshow has its video; the one kept apart for it has no .wma, which Tavisco would
    // otherwise play instead.
    const bool withWma = pres != u"Launch2004Video";
    if (!audioOnly) expected.prepend({"media.wmv", "asf", {"wmv2", "wmav2"}});
    if (withWma) expected.prepend({"media.wma", "asf", {"wmav2"}});
    if (audioOnly) {
      QVERIFY(!FileExists(BuildPath({App(), QStringLiteral("\\Media\\"), pres, "\\media.wmv"})));
    }
    if (!withWma) {
      QVERIFY(!FileExists(BuildPath({App(), QStringLiteral("\\Media\\"), pres, "\\media.wma"})));
    }
    for (const Expect& e : expected) {
      const QString medium = BuildPath({App(), QStringLiteral("\\Media\\"), pres, "\\", e.file});
      QVERIFY2(FileExists(medium), qPrintable(medium));
      const QString native = OpenablePath(medium);
      QVERIFY(QFileInfo(native).size() < 3 * 1024 * 1024);
      const QJsonObject info = Probe(native);
      QCOMPARE(info["format"].toObject()["format_name"].toString(), e.format);
      QStringList codecs;
      for (const QJsonValue& s : info["streams"].toArray()) {
        codecs << s.toObject()["codec_name"].toString();
        if (s.toObject()["codec_type"].toString() == u"video") {
          QCOMPARE(s.toObject()["width"].toInt(), 472);
          QCOMPARE(s.toObject()["height"].toInt(), 360);
        }
      }
      QCOMPARE(codecs, e.codecs);
      // The recording runs past the last moment of the timeline.
      const double seconds = info["format"].toObject()["duration"].toString().toDouble();
      QVERIFY2(seconds * 1000 > last + 2000 && seconds < 70, qPrintable(e.file));
      QVERIFY2(MaxVolumeDb(native) > -20, qPrintable(e.file + " is silent"));
    }
  }

  // The video shows each slide's picture while the timeline says that slide is current.
  void videoFollowsTheSlides_data() {
    QTest::addColumn<QString>("pres");
    QTest::addColumn<QString>("file");
    for (const Entry& e : entries_) {
      if (Mode(e.dir, 2) == 2 || Mode(e.dir, 1) == 2) continue;
      QTest::newRow(qPrintable(e.dir + "/wmv")) << e.dir << "media.wmv";
      QTest::newRow(qPrintable(e.dir + "/rm")) << e.dir << "media.rm";
    }
  }
  void videoFollowsTheSlides() {
    QFETCH(QString, pres);
    QFETCH(QString, file);
    Timeline t;
    ReadTimeline(DataPath(pres, QStringLiteral("events.txt")), 0, t);
    const auto& slides = t.slides.Slides;
    QList<QImage> pictures;
    for (int k = 1; k <= slides.Count(); ++k) {
      pictures << LoadPicture(
          BuildPath({App(), QStringLiteral("\\Slides\\"), slides.Item(k).SlidePres,
                     QStringLiteral("\\Slide"), QString::number(slides.Item(k).SlideNum), ".jpg"}));
    }
    const QString native =
        OpenablePath(BuildPath({App(), QStringLiteral("\\Media\\"), pres, "\\", file}));
    for (int k = 1; k <= slides.Count(); ++k) {
      // Just after the change and just before the next one.
      const double start = slides.Item(k).SlideTime;
      const double end = k < slides.Count() ? slides.Item(k + 1).SlideTime : start + 4000;
      for (double ms : {start + 500, end - 500}) {
        const QImage frame = FrameAt(native, ms / 1000);
        QVERIFY2(!frame.isNull(), qPrintable(QString::number(ms)));
        int best = -1;
        double bestDiff = 1e9;
        for (int j = 0; j < pictures.size(); ++j) {
          const double d = Difference(frame, pictures[j]);
          if (d < bestDiff) {
            bestDiff = d;
            best = j + 1;
          }
        }
        QVERIFY2(best == k, qPrintable(QStringLiteral("at %1 ms the video shows slide %2, not %3")
                                           .arg(ms)
                                           .arg(best)
                                           .arg(k)));
        QVERIFY2(bestDiff < 12, qPrintable(QString::number(bestDiff)));
      }
    }
  }
};

QTEST_MAIN(SampleMediumTest)
#include "test_sample_medium.moc"
