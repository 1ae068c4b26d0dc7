#include "librarywindow/SlidePictures.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QSaveFile>
#include <QThread>
#include <QWaitCondition>
#include <vector>

#include "library/MediaDiscovery.h"
#include "medium/Error.h"
#include "medium/Paths.h"
#include "medium/Report.h"
#include "presentation/MediumLayout.h"
#include "presentation/PresentationLoader.h"

namespace librarywindow {

namespace {

// A timeline kept in the cache says which version wrote it; another version's is read anew.
constexpr int kTimelineVersion = 1;
// Presentations whose timelines a reader keeps at hand.
constexpr size_t kRecentTimelines = 16;
// A timeline at hand is trusted this long before its files are looked at again.
constexpr qint64 kTrustedMs = 5000;
// The answers the store keeps in memory, in KiB of pictures.
constexpr int kStoreKiB = 32 * 1024;

QString Hex(const QString& text, int bytes) {
  return QString::fromLatin1(
      QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha1).toHex().left(bytes * 2));
}

// A file as it stands: size and time, or nothing when it is not there.
QString Stamp(const QString& nativePath) {
  const QFileInfo info(nativePath);
  if (!info.exists()) return QStringLiteral("-1\t0\t") + nativePath;
  return QStringLiteral("%1\t%2\t%3")
      .arg(info.isDir() ? 0 : info.size())
      .arg(info.lastModified().toMSecsSinceEpoch())
      .arg(nativePath);
}

bool StampsHold(const QString& stamps) {
  for (const QString& line : stamps.split(u'\n', Qt::SkipEmptyParts))
    if (Stamp(line.section(u'\t', 2)) != line) return false;
  return true;
}

// The transcripts' sections are not needed for pictures: the loader is spared reading them.
class NoSections : public TranscriptTexts {
 public:
  QString GetTranscriptText(int16_t, int16_t) override { return QString(); }
};

// Notes the text files the loader opens, whose stamps tell a changed presentation.
class NotingListener : public PresentationListener {
 public:
  QStringList files;
  void Reading(const QString& mediumPath, const medium::TextStream* stream) override {
    if (stream) files << mediumPath;
  }
};

QString FirstLine(const QString& text) {
  for (const QString& line : text.split(u'\n')) {
    const QString trimmed = line.trimmed();
    if (!trimmed.isEmpty()) return trimmed;
  }
  return QString();
}

// A medium-form path from the layout; empty when the name would leave the medium.
template <class Fn>
QString PathOrNothing(Fn&& fn) {
  try {
    return fn();
  } catch (const medium::AppError&) {
    return QString();
  }
}

// Decodes a picture no larger than the store keeps, decoded small where the format allows.
QImage DecodeSmall(QByteArray bytes) {
  QBuffer buffer(&bytes);
  if (!buffer.open(QIODevice::ReadOnly)) return QImage();
  QImageReader reader(&buffer);
  reader.setDecideFormatFromContent(true);
  const QSize size = reader.size();
  if (size.isValid() && !size.isEmpty() &&
      (size.width() > kPictureWidth || size.height() > kPictureHeight)) {
    reader.setScaledSize(
        size.scaled(kPictureWidth, kPictureHeight, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
  }
  QImage image = reader.read();
  if (!image.isNull() && (image.width() > kPictureWidth || image.height() > kPictureHeight)) {
    image =
        image.scaled(kPictureWidth, kPictureHeight, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  }
  return image;
}

QImage ReadCached(const QString& path) {
  QImageReader reader(path);
  return reader.read();
}

bool WriteAtomically(const QString& path, const QByteArray& bytes) {
  QSaveFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

}  // namespace

QString PictureRequest::Key() const {
  return mediumPath + u'\n' + folder + u'\n' + QString::number(atMs);
}

// ---- the reader --------------------------------------------------------------------------------

struct SlidePictureReader::Timeline {
  struct Slide {
    qint64 atMs = 0;
    QString title;
    QString thumbnail;  // medium form; empty when its name was refused
    QString picture;
  };
  int slideMode = 0;
  int mediaMode = 0;
  QString details;  // the first line
  std::vector<Slide> slides;
  QString still;
  QString audio;
  QString stamps;  // of the text files read
  qint64 checkedAt = 0;

  QJsonObject ToJson() const {
    QJsonArray list;
    for (const Slide& s : slides)
      list.append(QJsonArray{double(s.atMs), s.title, s.thumbnail, s.picture});
    return QJsonObject{{"version", kTimelineVersion},
                       {"slideMode", slideMode},
                       {"mediaMode", mediaMode},
                       {"details", details},
                       {"still", still},
                       {"audio", audio},
                       {"stamps", stamps},
                       {"slides", list}};
  }

  static std::shared_ptr<Timeline> FromJson(const QJsonObject& o) {
    if (o.value(QStringLiteral("version")).toInt() != kTimelineVersion) return nullptr;
    auto t = std::make_shared<Timeline>();
    t->slideMode = o.value(QStringLiteral("slideMode")).toInt();
    t->mediaMode = o.value(QStringLiteral("mediaMode")).toInt();
    t->details = o.value(QStringLiteral("details")).toString();
    t->still = o.value(QStringLiteral("still")).toString();
    t->audio = o.value(QStringLiteral("audio")).toString();
    t->stamps = o.value(QStringLiteral("stamps")).toString();
    for (const QJsonValue& v : o.value(QStringLiteral("slides")).toArray()) {
      const QJsonArray a = v.toArray();
      t->slides.push_back(
          {qint64(a.at(0).toDouble()), a.at(1).toString(), a.at(2).toString(), a.at(3).toString()});
    }
    return t;
  }
};

SlidePictureReader::SlidePictureReader(QString cacheFolder) : cacheFolder_(std::move(cacheFolder)) {
  clock_.start();
}

SlidePictureReader::~SlidePictureReader() = default;

QString SlidePictureReader::EntryFolder(const QString& mediumPath, const QString& folder) const {
  if (cacheFolder_.isEmpty()) return QString();
  return cacheFolder_ + u'/' + Hex(mediumPath + u'\n' + folder, 20);
}

std::shared_ptr<const SlidePictureReader::Timeline> SlidePictureReader::TimelineOf(
    const PictureRequest& request, bool present) {
  const QString entry = EntryFolder(request.mediumPath, request.folder);
  const QString id = request.mediumPath + u'\n' + request.folder;
  for (auto it = recent_.begin(); it != recent_.end(); ++it) {
    if (it->first != id) continue;
    std::shared_ptr<const Timeline> t = it->second;
    recent_.erase(it);
    if (!present || clock_.elapsed() - t->checkedAt < kTrustedMs || StampsHold(t->stamps)) {
      if (present) std::const_pointer_cast<Timeline>(t)->checkedAt = clock_.elapsed();
      recent_.emplace_front(id, t);
      return t;
    }
    break;  // changed since: read again
  }

  std::shared_ptr<Timeline> timeline;
  const QString file = entry.isEmpty() ? QString() : entry + QStringLiteral("/timeline.json");
  if (!file.isEmpty()) {
    QFile f(file);
    if (f.open(QIODevice::ReadOnly)) {
      timeline = Timeline::FromJson(QJsonDocument::fromJson(f.readAll()).object());
      if (timeline && present && !StampsHold(timeline->stamps)) timeline.reset();
    }
  }
  if (!timeline && present) {
    // Read with the players' own loader; only what a picture needs.
    medium::SilentReporter reporter;
    NotingListener listener;
    const layout::MediumLayout medium(request.mediumPath);
    PresentationLoader loader(medium, reporter, listener);
    loader.SetTranscriptSource(
        [](const QString&, const QStringList&) { return std::make_unique<NoSections>(); });
    LoadedPresentation loaded;
    loader.Load(request.folder, loaded);
    timeline = std::make_shared<Timeline>();
    timeline->slideMode = loaded.settings.SlideMode;
    timeline->mediaMode = loaded.settings.MediaMode;
    timeline->details = FirstLine(loaded.details);
    if (loaded.slides) {
      for (int k = 1; k <= loaded.slides->Slides.Count(); ++k) {
        const Slide_cls& s = loaded.slides->Slides.Item(k);
        timeline->slides.push_back({qint64(s.SlideTime), s.SlideName,
                                    PathOrNothing([&] { return medium.ThumbnailPath(s); }),
                                    PathOrNothing([&] { return medium.SlidePicturePath(s); })});
      }
    }
    timeline->still = PathOrNothing([&] { return medium.StillPicturePath(request.folder); });
    timeline->audio = PathOrNothing([&] { return medium.AudioPicturePath(request.folder); });
    QStringList stamps;
    listener.files.removeDuplicates();
    for (const QString& f : listener.files) stamps << Stamp(medium::Resolve(f).path);
    timeline->stamps = stamps.join(u'\n');
    if (!file.isEmpty() && QDir().mkpath(entry))
      WriteAtomically(file, QJsonDocument(timeline->ToJson()).toJson(QJsonDocument::Compact));
  }
  if (!timeline) return nullptr;
  timeline->checkedAt = clock_.elapsed();
  recent_.emplace_front(id, timeline);
  if (recent_.size() > kRecentTimelines) recent_.pop_back();
  return timeline;
}

QImage SlidePictureReader::PictureOf(const QString& entry, const QString& name,
                                     const QStringList& sources, bool present) {
  if (!present) {
    // What was read while the medium was there, whichever file it came from.
    if (entry.isEmpty()) return QImage();
    const QStringList kept =
        QDir(entry).entryList({name + QStringLiteral("-*.jpg")}, QDir::Files, QDir::Time);
    return kept.isEmpty() ? QImage() : ReadCached(entry + u'/' + kept.front());
  }
  for (const QString& source : sources) {
    if (source.isEmpty()) continue;
    const medium::Resolved resolved = medium::Resolve(source);
    if (!resolved.exists) continue;
    // The cached copy is named by its source's stamp: a changed picture is read again.
    const QString cached =
        entry.isEmpty()
            ? QString()
            : QStringLiteral("%1/%2-%3.jpg").arg(entry, name, Hex(Stamp(resolved.path), 8));
    if (!cached.isEmpty() && QFileInfo::exists(cached)) {
      const QImage image = ReadCached(cached);
      if (!image.isNull()) return image;
    }
    QImage image;
    try {
      image = DecodeSmall(medium::ReadRegularFile(source));
    } catch (const medium::AppError&) {
      continue;  // unreadable: the next source, if any
    }
    if (image.isNull()) continue;
    if (!cached.isEmpty() && QDir().mkpath(entry)) {
      for (const QString& old :
           QDir(entry).entryList({name + QStringLiteral("-*.jpg")}, QDir::Files))
        QFile::remove(entry + u'/' + old);
      QByteArray bytes;
      QBuffer buffer(&bytes);
      buffer.open(QIODevice::WriteOnly);
      QImageWriter writer(&buffer, "jpg");
      writer.setQuality(85);
      if (writer.write(image.convertToFormat(QImage::Format_RGB32))) WriteAtomically(cached, bytes);
    }
    return image;
  }
  return QImage();
}

SlideView SlidePictureReader::Read(const PictureRequest& request) {
  SlideView view;
  const bool present = library::IsMedium(request.mediumPath);
  const std::shared_ptr<const Timeline> t = TimelineOf(request, present);
  if (!t) return view;
  view.known = true;
  view.detailsLine = t->details;
  const QString entry = EntryFolder(request.mediumPath, request.folder);

  // One still picture instead of slides; an audio-only talk shows its audio picture.
  if (t->slideMode == 2 || t->slides.empty()) {
    if (t->slideMode == 2)
      view.picture = PictureOf(entry, QStringLiteral("still"), {t->still}, present);
    if (view.picture.isNull() && t->mediaMode == 2)
      view.picture = PictureOf(entry, QStringLiteral("audio"), {t->audio}, present);
    return view;
  }
  // The slide on screen at the moment: the last one that began at or before it; before the
  // first one, and for the presentation itself, the first.
  size_t k = 0;
  if (request.atMs >= 0) {
    for (size_t i = 0; i < t->slides.size(); ++i)
      if (t->slides[i].atMs <= request.atMs) k = i;
  }
  const Timeline::Slide& slide = t->slides[k];
  view.slideTitle = slide.title;
  view.picture = PictureOf(entry, QStringLiteral("slide-%1").arg(k + 1),
                           {slide.thumbnail, slide.picture}, present);
  return view;
}

// ---- the store ---------------------------------------------------------------------------------

struct PictureStore::Queue {
  QMutex mutex;
  QWaitCondition wake;
  std::deque<PictureRequest> waiting;  // newest at the back
  bool stop = false;
};

PictureStore::PictureStore(QString cacheFolder, QObject* parent)
    : QObject(parent), cacheFolder_(std::move(cacheFolder)), queue_(std::make_shared<Queue>()) {
  done_.setMaxCost(kStoreKiB);
}

PictureStore::~PictureStore() {
  {
    QMutexLocker lock(&queue_->mutex);
    queue_->stop = true;
  }
  queue_->wake.wakeAll();
  if (worker_) {
    worker_->wait();
    delete worker_;
  }
}

const SlideView* PictureStore::Find(const PictureRequest& request) {
  const QString key = request.Key();
  if (const SlideView* view = done_.object(key)) return view;
  {
    QMutexLocker lock(&queue_->mutex);
    auto& waiting = queue_->waiting;
    if (asked_.contains(key)) {
      // Shown again while it waits: it goes first.
      for (auto it = waiting.begin(); it != waiting.end(); ++it) {
        if (it->Key() != key) continue;
        PictureRequest again = *it;
        waiting.erase(it);
        waiting.push_back(std::move(again));
        break;
      }
      return nullptr;
    }
    asked_.insert(key);
    waiting.push_back(request);
    while (waiting.size() > size_t(kMaxWaiting)) {
      asked_.remove(waiting.front().Key());
      waiting.pop_front();
    }
  }
  queue_->wake.wakeOne();
  if (!worker_) {
    worker_ = QThread::create([this] { Work(); });
    worker_->setObjectName(QStringLiteral("slide pictures"));
    // Typing, scrolling and the index come first.
    worker_->start(QThread::LowPriority);
  }
  return nullptr;
}

int PictureStore::Waiting() const {
  return int(asked_.size());
}

int PictureStore::Queued() const {
  QMutexLocker lock(&queue_->mutex);
  return int(queue_->waiting.size());
}

void PictureStore::Forget() {
  done_.clear();
}

void PictureStore::Take(const QString& key, const SlideView& view) {
  asked_.remove(key);
  done_.insert(key, new SlideView(view), 1 + int(view.picture.sizeInBytes() / 1024));
  emit arrived(key);
}

void PictureStore::Work() {
  SlidePictureReader reader(cacheFolder_);
  for (;;) {
    PictureRequest request;
    {
      QMutexLocker lock(&queue_->mutex);
      while (!queue_->stop && queue_->waiting.empty()) queue_->wake.wait(&queue_->mutex);
      if (queue_->stop) return;
      request = std::move(queue_->waiting.back());
      queue_->waiting.pop_back();
    }
    SlideView view;
    try {
      view = reader.Read(request);
    } catch (...) {
      // A picture that cannot be had is shown as none; the thread goes on with the next one.
    }
    QMetaObject::invokeMethod(
        this, [this, key = request.Key(), view] { Take(key, view); }, Qt::QueuedConnection);
  }
}

}  // namespace librarywindow
