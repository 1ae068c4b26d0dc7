#include "SyntheticCollection.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <algorithm>
#include <cmath>
#include <cstdio>

namespace bench {

namespace {

const char* const kSyllables[] = {
    "ka",  "lo",  "mi",  "ne",  "ru",  "sa",  "ti", "po", "de", "va", "gri", "mon", "tes", "bal",
    "cor", "fin", "lan", "pre", "sto", "ver", "ar", "el", "in", "or", "um",  "qua", "zen", "dri"};
// Real accented words, spread over the ranks.
const char* const kAccented[] = {"première",  "déploiement", "économie",      "réunion",  "société",
                                 "sécurité",  "qualité",     "développement", "année",    "système",
                                 "Übersicht", "Größe",       "Prüfung",       "Änderung", "señal",
                                 "dirección", "información", "público",       "café",     "crème"};

bool WriteFile(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(path.section(u'/', 0, -2));
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray Lines(const QStringList& lines) {
  QByteArray out;
  for (const QString& l : lines) out += l.toLatin1() + "\r\n";
  return out;
}

}  // namespace

Vocabulary::Vocabulary(quint32 seed) : state_(seed) {
  const int syllables = int(sizeof kSyllables / sizeof *kSyllables);
  QSet<QString> seen;
  while (words_.size() < 8000) {
    QString w;
    const int n = 2 + int(Next() % 3);
    for (int i = 0; i < n; ++i) w += QLatin1String(kSyllables[Next() % syllables]);
    if (seen.contains(w)) continue;
    seen.insert(w);
    words_ << w;
  }
  for (const char* a : kAccented) accented_ << QString::fromUtf8(a);
  // Accented words at ranks from 40 to 4000.
  for (int i = 0; i < accented_.size(); ++i) words_.insert(40 + i * 200, accented_[i]);
  double sum = 0;
  for (int r = 1; r <= words_.size(); ++r) {
    sum += 1.0 / r;
    cumulative_.push_back(sum);
  }
  for (double& c : cumulative_) c /= sum;
}

quint32 Vocabulary::Next() {
  state_ = state_ * 1664525u + 1013904223u;
  return state_ >> 8;
}

const QString& Vocabulary::Draw() {
  const double u = double(Next() % 1000000) / 1000000.0;
  const auto at = std::lower_bound(cumulative_.begin(), cumulative_.end(), u);
  return words_[int(std::min<qsizetype>(at - cumulative_.begin(), words_.size() - 1))];
}

QString Vocabulary::Sentence(int n) {
  QString s;
  for (int i = 0; i < n; ++i) {
    if (i > 0) s += (i % 9 == 0) ? QStringLiteral(", ") : QStringLiteral(" ");
    s += Draw();
  }
  if (!s.isEmpty()) s[0] = s[0].toUpper();
  return s + u'.';
}

bool WriteCollection(const QString& root, const CollectionShape& shape, QString* error) {
  Vocabulary v;
  const QStringList languages =
      QStringList{"ENGLISH", "FRENCH", "GERMAN", "SPANISH", "ITALIAN"}.mid(0, shape.languages);
  // One short recording, linked everywhere: the library reads only its header.
  const QString recording = root + QStringLiteral("/recording.wma");
  const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
  if (!ffmpeg.isEmpty() && !QFile::exists(recording)) {
    QDir().mkpath(root);
    QProcess::execute(ffmpeg, {"-v", "error", "-y", "-f", "lavfi", "-i",
                               "sine=frequency=440:duration=2", "-c:a", "wmav2", recording});
  }
  // The first slide's thumbnail of every talk, of the size a medium's thumbnails have (160 by
  // 120, a few kilobytes), so that the collection page carries one picture per talk.
  const QString thumbnail = root + QStringLiteral("/thumbnail.jpg");
  if (!ffmpeg.isEmpty() && !QFile::exists(thumbnail)) {
    QDir().mkpath(root);
    QProcess::execute(ffmpeg,
                      {"-v", "error", "-y", "-f", "lavfi", "-i", "testsrc2=size=160x120:duration=1",
                       "-frames:v", "1", "-q:v", "4", thumbnail});
  }
  QByteArray thumbnailBytes;
  {
    QFile f(thumbnail);
    if (f.open(QIODevice::ReadOnly)) thumbnailBytes = f.readAll();
  }
  for (int m = 1; m <= shape.media; ++m) {
    const QString medium = root + QStringLiteral("/shelf/medium%1").arg(m, 2, 10, QLatin1Char('0'));
    QStringList config{QStringLiteral("Presentations %1").arg(shape.presentations)};
    for (int p = 1; p <= shape.presentations; ++p) {
      const QString folder = QStringLiteral("Talk%1").arg(p, 3, 10, QLatin1Char('0'));
      config << QStringLiteral("Talk %1.%2: %3").arg(m).arg(p).arg(v.Sentence(4)) << folder;
      const QString data = medium + QStringLiteral("/Data/") + folder;
      bool ok =
          WriteFile(data + "/database.txt", Lines({"SlideMode=0", "MediaMode=0", "ShowDetails=True",
                                                   "UserDefined=" + v.Sentence(8)}));
      QStringList events;
      const int step = 3600000 / std::max(shape.sections, 1);
      for (int k = 0; k < std::max(shape.slides, shape.sections); ++k) {
        if (k < shape.slides) {
          // Each talk has a deck of its own, as on a real disc.
          events << QStringLiteral("0~%1~%2~%3~%4")
                        .arg(qint64(k) * 3600000 / shape.slides)
                        .arg(folder)
                        .arg(k + 1)
                        .arg(v.Sentence(5));
        }
        if (k < shape.sections)
          events << QStringLiteral("2~%1~%2").arg(qint64(k) * step).arg(k + 1);
      }
      ok = ok && WriteFile(data + "/events.txt", Lines(events));
      for (const QString& language : languages) {
        QStringList html{"<html><body>"};
        for (int k = 1; k <= shape.sections; ++k) {
          html << QStringLiteral("<p><a name=\"SECTION%1\"></a>").arg(k)
               << v.Sentence(shape.wordsPerSection) << "</p>";
        }
        html << "</body></html>";
        // The medium's own encoding: Windows-1252, which holds every accented word used.
        QByteArray bytes;
        for (const QString& l : html) bytes += l.toLatin1() + "\r\n";
        ok = ok && WriteFile(data + "/transcripts/" + language + ".html", bytes);
      }
      ok = ok &&
           WriteFile(data + "/details.txt", Lines({"Speaker: " + v.Sentence(2), v.Sentence(20)}));
      if (!thumbnailBytes.isEmpty()) {
        ok = ok && WriteFile(medium + QStringLiteral("/Slides/") + folder +
                                 QStringLiteral("/thumbs/Slide1.jpg"),
                             thumbnailBytes);
      }
      if (QFile::exists(recording)) {
        const QString media = medium + QStringLiteral("/Media/") + folder;
        QDir().mkpath(media);
        ok = ok && QFile::link(recording, media + "/media.wma");
      }
      if (!ok) {
        *error = QStringLiteral("cannot write below %1").arg(data);
        return false;
      }
    }
    if (!WriteFile(medium + "/Data/config.txt", Lines(config))) {
      *error = QStringLiteral("cannot write %1/Data/config.txt").arg(medium);
      return false;
    }
  }
  return true;
}

int Arg(const QStringList& args, const QString& name, int fallback) {
  const qsizetype i = args.indexOf(name);
  return i >= 0 && i + 1 < args.size() ? args[i + 1].toInt() : fallback;
}

bool PrepareCollection(const QStringList& args, BenchCollection* collection, QString* error) {
  const qsizetype d = args.indexOf(QStringLiteral("--dir"));
  collection->dir =
      QDir(d >= 0 && d + 1 < args.size() ? args[d + 1] : QStringLiteral("bench-library"))
          .absolutePath();
  collection->shelf = collection->dir + QStringLiteral("/shelf");
  CollectionShape& shape = collection->shape;
  shape.media = Arg(args, QStringLiteral("--media"), shape.media);
  shape.presentations = Arg(args, QStringLiteral("--presentations"), shape.presentations);
  // The marker names the collection's version too: one written before the talks had their
  // thumbnails is written again.
  const QString marker =
      collection->dir +
      QStringLiteral("/shape-%1x%2-thumbnails").arg(shape.media).arg(shape.presentations);
  if (!QFile::exists(marker)) {
    std::printf("Writing the collection into %s ...\n", qPrintable(collection->shelf));
    std::fflush(stdout);
    QDir(collection->shelf).removeRecursively();
    QElapsedTimer t;
    t.start();
    if (!WriteCollection(collection->dir, shape, error)) return false;
    QFile(marker).open(QIODevice::WriteOnly);
    std::printf("  written in %.1f s\n", t.elapsed() / 1000.0);
  }
  std::printf("Collection: %d media x %d presentations, %d slides, %d sections x %d languages\n",
              shape.media, shape.presentations, shape.slides, shape.sections, shape.languages);
  return true;
}

}  // namespace bench
