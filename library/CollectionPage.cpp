#include "library/CollectionPage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>
#include <algorithm>
#include <numeric>

#include "exporter/PresentationContent.h"
#include "library/PrintableText.h"
#include "medium/Error.h"
#include "medium/Paths.h"
#include "presentation/PresentationLoader.h"

// Resources of a static library are registered by hand, from the global namespace.
static void InitLibraryResources() {
  Q_INIT_RESOURCE(library);
}

namespace library {

namespace {

// The site's own folder in OUTDIR; a medium of that name is exported under another.
const QString kSiteFolder = QStringLiteral("collection");
// Written last: a folder holding it is a site this program wrote, which may be replaced.
const QString kSiteMarker = QStringLiteral("data.js");
// A thumbnail is a few kilobytes; anything far larger is no thumbnail.
constexpr qint64 kMaxPictureBytes = 4 * 1024 * 1024;
// Problems listed per medium; the rest are counted.
constexpr int kMaxShownProblems = 50;

bool WriteBytes(const QString& path, const QByteArray& bytes, QString* error) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
    *error = QStringLiteral("cannot write %1: %2")
                 .arg(QDir::toNativeSeparators(path), file.errorString());
    return false;
  }
  return true;
}

bool IsPlainName(const QString& name) {
  return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
         !name.contains(u'/') && !name.contains(u'\\') && !name.startsWith(u'.');
}

bool IsWithin(const QString& path, const QString& folder) {
  return path == folder || path.startsWith(folder.endsWith(u'/') ? folder : folder + u'/');
}

QByteArray Resource(const QString& name) {
  InitLibraryResources();
  QFile f(QStringLiteral(":/library/page/") + name);
  f.open(QIODevice::ReadOnly);
  return f.readAll();
}

QByteArray Script(const QString& name) {
  QByteArray out;
  AppendScriptString(out, name);
  return out;
}

// Reads a presentation as far as its first slide: the settings, the languages' names and the
// timeline, without a transcript's text (the index has them) or the details.
class FirstSlide : public PresentationListener {
 public:
  void SlideAppended(const Slide_cls& slide, int16_t) override {
    if (!found_) first_ = slide;
    found_ = true;
  }
  bool Stopped() const override { return found_ && timelineDone_; }
  void TimelineRead(const LoadedPresentation&) override { timelineDone_ = true; }
  std::optional<Slide_cls> Slide() const { return found_ ? std::optional(first_) : std::nullopt; }

 private:
  Slide_cls first_;
  bool found_ = false;
  bool timelineDone_ = false;
};

class NoTexts : public TranscriptTexts {
 public:
  QString GetTranscriptText(int16_t, int16_t) override { return QString(); }
};

class Quiet : public medium::Reporter {
 public:
  Quiet() : Reporter(QStringLiteral("collection")) {}
  void Show(const medium::Message&) override {}
};

// The first slide's thumbnail of a presentation of the medium at medium::ApplicationFolder(),
// or nothing when it has no slide or the picture cannot be read.
QByteArray FirstThumbnail(const QString& folder) {
  Quiet reporter;
  FirstSlide listener;
  PresentationLoader loader(reporter, listener);
  loader.SetTranscriptSource(
      [](const QString&, const QStringList&) { return std::make_unique<NoTexts>(); });
  LoadedPresentation loaded;
  loader.Load(folder, loaded);
  const std::optional<Slide_cls> slide = listener.Slide();
  if (!slide) return {};
  const std::optional<exporter::PackageFile> file = exporter::ThumbnailFile(*slide);
  if (!file) return {};
  try {
    return medium::ReadRegularFile(file->source, kMaxPictureBytes);
  } catch (const medium::AppError&) {
    return {};  // missing or unreadable: the checker names it; the listing shows no picture
  }
}

}  // namespace

bool CollectionExport::Prepare(const std::vector<MediumEntry>& media, QString* error) {
  const QString out = QDir::cleanPath(QDir(outDir_).absolutePath());
  if (!QDir().mkpath(out)) {
    *error =
        QStringLiteral("the output folder %1 cannot be made").arg(QDir::toNativeSeparators(out));
    return false;
  }
  outDir_ = QFileInfo(out).canonicalFilePath();
  QSet<QString> taken{kSiteFolder};
  names_.clear();
  for (const MediumEntry& m : media) {
    const QString real = QFileInfo(m.path).canonicalFilePath();
    if (!real.isEmpty() && IsWithin(outDir_, real)) {
      *error = QStringLiteral("%1 lies on the medium %2, which is never written to")
                   .arg(QDir::toNativeSeparators(outDir_), m.path);
      return false;
    }
    QString base = IsPlainName(m.name) ? m.name : QStringLiteral("medium");
    QString name = base;
    for (int n = 2; taken.contains(name.toLower()); ++n)
      name = QStringLiteral("%1-%2").arg(base).arg(n);
    taken.insert(name.toLower());
    names_ << name;
  }
  return true;
}

bool CollectionExport::Write(const LibraryIndex& index, const std::vector<MediumEntry>& media,
                             QString* error) {
  // The site's folder is made anew; one that this program did not write is left alone.
  const QString site = outDir_ + u'/' + kSiteFolder;
  const QFileInfo existing(site);
  if (existing.exists() || existing.isSymLink()) {
    if (!existing.isDir() || existing.isSymLink() ||
        !QFileInfo::exists(site + u'/' + kSiteMarker)) {
      *error = QStringLiteral("%1 is in the way of the collection's site: move it away")
                   .arg(QDir::toNativeSeparators(site));
      return false;
    }
    if (!QDir(site).removeRecursively()) {
      *error = QStringLiteral("the earlier site %1 cannot be removed")
                   .arg(QDir::toNativeSeparators(site));
      return false;
    }
  }
  for (const char* sub : {"list", "pictures", "search"}) {
    if (!QDir().mkpath(site + u'/' + QLatin1String(sub))) {
      *error = QStringLiteral("cannot make %1").arg(QDir::toNativeSeparators(site));
      return false;
    }
  }

  // The talks in the listing's order: medium by medium, each in the order of its config.txt.
  struct Talk {
    size_t medium;
    const PresentationEntry* entry;
    QString href;
    bool picture = false;
  };
  std::vector<Talk> talks;
  for (size_t i = 0; i < media.size(); ++i) {
    for (const PresentationEntry& p : media[i].presentations) {
      const bool exported = QFileInfo::exists(outDir_ + u'/' + names_[int(i)] + u'/' + p.folder +
                                              QStringLiteral("/index.html"));
      talks.push_back({i, &p,
                       exported ? exporter::RelativeUrl(names_[int(i)] + u'/' + p.folder) +
                                      QStringLiteral("/index.html")
                                : QString()});
    }
  }

  // Each talk's first slide's thumbnail, from the media that are there.
  const QString before = medium::ApplicationFolder();
  for (size_t n = 0; n < talks.size(); ++n) {
    const MediumEntry& m = media[talks[n].medium];
    if (!m.present) continue;
    if (n == 0 || talks[n - 1].medium != talks[n].medium) medium::SetApplicationFolder(m.path);
    const QByteArray picture = FirstThumbnail(talks[n].entry->folder);
    if (picture.isEmpty()) continue;
    QFile f(site + QStringLiteral("/pictures/%1.jpg").arg(n));
    if (!f.open(QIODevice::WriteOnly) || f.write(picture) != picture.size()) {
      medium::SetApplicationFolder(before);
      *error = QStringLiteral("cannot write %1: %2")
                   .arg(QDir::toNativeSeparators(f.fileName()), f.errorString());
      return false;
    }
    talks[n].picture = true;
  }
  medium::SetApplicationFolder(before);

  // The listing, a page of talks to a file.
  const int pages = int((talks.size() + kListingPageTalks - 1) / kListingPageTalks);
  for (int page = 0; page < pages; ++page) {
    const QString name = QStringLiteral("collection/list/%1").arg(page);
    QByteArray out = "collectionPart(" + Script(name) + ",[";
    const size_t from = size_t(page) * kListingPageTalks;
    const size_t to = std::min(talks.size(), from + kListingPageTalks);
    for (size_t n = from; n < to; ++n) {
      const PresentationEntry& p = *talks[n].entry;
      if (n > from) out += ',';
      // [title, folder, page or null, length in ms (-1 unknown), slides, languages, picture]
      out += '[';
      AppendScriptString(out, p.title.isEmpty() ? p.folder : p.title);
      out += ',';
      AppendScriptString(out, p.folder);
      out += ',';
      out += talks[n].href.isEmpty() ? QByteArray("null") : Script(talks[n].href);
      out += ',' + QByteArray::number(p.lengthMs) + ',' + QByteArray::number(p.slides) + ',';
      AppendScriptString(out, p.languages.join(QStringLiteral(", ")));
      out += talks[n].picture ? ",1]" : ",0]";
    }
    out += "]);\n";
    if (!WriteBytes(outDir_ + u'/' + name + QStringLiteral(".js"), out, error)) return false;
  }

  // The search, over the passages in the library's order: by presentation, as they were added.
  std::vector<SiteTalk> siteTalks;
  for (size_t n = 0; n < talks.size(); ++n) {
    const PresentationEntry& p = *talks[n].entry;
    siteTalks.push_back({int(n), p.title.isEmpty() ? p.folder : p.title, p.folder, talks[n].href});
  }
  std::vector<size_t> order(talks.size());
  std::iota(order.begin(), order.end(), size_t(0));
  std::sort(order.begin(), order.end(),
            [&](size_t a, size_t b) { return talks[a].entry->id < talks[b].entry->id; });
  SiteIndexWriter writer(site + QStringLiteral("/search"), QStringLiteral("collection/search"),
                         std::move(siteTalks));
  bool ok = true;
  for (const size_t n : order) {
    index.Passages(talks[n].entry->id, [&](const StoredPassage& passage) {
      ok = ok && writer.Add(int(n), passage, error);
    });
    if (!ok) return false;
  }
  if (!writer.Finish(error)) return false;
  stats_ = writer.Stats();

  // The media, with what could not be read of each, shown as printable lines.
  QByteArray data = "collectionPart(" + Script(QStringLiteral("collection/data")) + ",{";
  data += "\"talks\":" + QByteArray::number(qulonglong(talks.size()));
  data += ",\"pageTalks\":" + QByteArray::number(kListingPageTalks);
  data += ",\"passages\":" + QByteArray::number(stats_.passages);
  data += ",\"words\":" + QByteArray::number(stats_.words);
  data += ",\"hits\":" + QByteArray::number(kSiteHits);
  data += ",\"rankAll\":" + QByteArray::number(kSiteRankAll);
  data += ",\"languages\":[";
  const QStringList languages = writer.Languages();
  for (int i = 0; i < languages.size(); ++i) {
    if (i > 0) data += ',';
    AppendScriptString(data, languages[i]);
  }
  data += "],\"media\":[";
  size_t first = 0;
  for (size_t i = 0; i < media.size(); ++i) {
    const MediumEntry& m = media[i];
    if (i > 0) data += ',';
    data += "{\"name\":";
    AppendScriptString(data, PrintableLine(m.name));
    data += ",\"path\":";
    AppendScriptString(data, PrintableLine(m.path));
    data += ",\"present\":";
    data += m.present ? "true" : "false";
    data += ",\"first\":" + QByteArray::number(qulonglong(first));
    data += ",\"talks\":" + QByteArray::number(qulonglong(m.presentations.size()));
    data += ",\"problems\":[";
    for (int k = 0; k < m.problems.size() && k < kMaxShownProblems; ++k) {
      if (k > 0) data += ',';
      AppendScriptString(data, PrintableLine(m.problems[k]));
    }
    if (m.problems.size() > kMaxShownProblems) {
      data += ',';
      AppendScriptString(
          data, QStringLiteral("… and %1 more").arg(m.problems.size() - kMaxShownProblems));
    }
    data += "]}";
    first += m.presentations.size();
  }
  data += "]});\n";
  for (const char* file : {"collection.js", "collection.css"}) {
    if (!WriteBytes(site + u'/' + QLatin1String(file), Resource(QLatin1String(file)), error))
      return false;
  }
  if (!WriteBytes(outDir_ + QStringLiteral("/index.html"),
                  Resource(QStringLiteral("collection.html")), error))
    return false;
  return WriteBytes(site + u'/' + kSiteMarker, data, error);
}

}  // namespace library
