#include "library/CollectionPage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>
#include <algorithm>
#include <numeric>

#include "exporter/PresentationContent.h"
#include "jobs/OutputFolder.h"
#include "jobs/StagingFolder.h"
#include "medium/Error.h"
#include "medium/Paths.h"
#include "medium/PrintableText.h"
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

QByteArray Resource(const QString& name) {
  InitLibraryResources();
  QFile f(QStringLiteral(":/library/page/") + name);
  f.open(QIODevice::ReadOnly);
  return f.readAll();
}

QByteArray Script(const QString& name) {
  QByteArray out;
  exporter::AppendScriptString(out, name);
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

// The first slide's thumbnail of a presentation of a medium, or nothing when it has no slide or
// the picture cannot be read.
QByteArray FirstThumbnail(const layout::MediumLayout& medium, const QString& folder) {
  medium::SilentReporter reporter;
  FirstSlide listener;
  PresentationLoader loader(medium, reporter, listener);
  loader.SetTranscriptSource(
      [](const QString&, const QStringList&) { return std::make_unique<NoTexts>(); });
  LoadedPresentation loaded;
  loader.Load(folder, loaded);
  const std::optional<Slide_cls> slide = listener.Slide();
  if (!slide) return {};
  const std::optional<exporter::PackageFile> file = exporter::ThumbnailFile(medium, *slide);
  if (!file) return {};
  try {
    return medium::ReadRegularFile(file->source, kMaxPictureBytes);
  } catch (const medium::AppError&) {
    return {};  // missing or unreadable: the checker names it; the listing shows no picture
  }
}

}  // namespace

bool CollectionExport::Prepare(const std::vector<MediumEntry>& media, QString* error) {
  const QString out = jobs::ResolvedAbsolute(outDir_);
  QStringList paths;
  for (const MediumEntry& m : media) {
    const QString onMedium = jobs::OnMediumReason(out, QFileInfo(m.path).canonicalFilePath());
    if (!onMedium.isEmpty()) {
      *error = onMedium;
      return false;
    }
    paths << m.path;
  }
  outDir_ = jobs::MakeOutputFolder(out, error);
  if (outDir_.isEmpty()) return false;
  // The site's own folder stands beside the media's.
  const QHash<QString, QString> names = jobs::MediumFolderNames(paths, {kSiteFolder});
  names_.clear();
  for (const MediumEntry& m : media) names_ << names.value(m.path);
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
  for (size_t n = 0; n < talks.size(); ++n) {
    const MediumEntry& m = media[talks[n].medium];
    if (!m.present) continue;
    const QByteArray picture = FirstThumbnail(layout::MediumLayout(m.path), talks[n].entry->folder);
    if (picture.isEmpty()) continue;
    QFile f(site + QStringLiteral("/pictures/%1.jpg").arg(n));
    if (!f.open(QIODevice::WriteOnly) || f.write(picture) != picture.size()) {
      *error = QStringLiteral("cannot write %1: %2")
                   .arg(QDir::toNativeSeparators(f.fileName()), f.errorString());
      return false;
    }
    talks[n].picture = true;
  }

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
      exporter::AppendScriptString(out, p.title.isEmpty() ? p.folder : p.title);
      out += ',';
      exporter::AppendScriptString(out, p.folder);
      out += ',';
      out += talks[n].href.isEmpty() ? QByteArray("null") : Script(talks[n].href);
      out += ',' + QByteArray::number(p.lengthMs) + ',' + QByteArray::number(p.slides) + ',';
      exporter::AppendScriptString(out, p.languages.join(QStringLiteral(", ")));
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
    exporter::AppendScriptString(data, languages[i]);
  }
  data += "],\"media\":[";
  size_t first = 0;
  for (size_t i = 0; i < media.size(); ++i) {
    const MediumEntry& m = media[i];
    if (i > 0) data += ',';
    data += "{\"name\":";
    exporter::AppendScriptString(data, medium::PrintableText(m.name));
    data += ",\"path\":";
    exporter::AppendScriptString(data, medium::PrintableText(m.path));
    data += ",\"present\":";
    data += m.present ? "true" : "false";
    data += ",\"first\":" + QByteArray::number(qulonglong(first));
    data += ",\"talks\":" + QByteArray::number(qulonglong(m.presentations.size()));
    data += ",\"problems\":[";
    for (int k = 0; k < m.problems.size() && k < kMaxShownProblems; ++k) {
      if (k > 0) data += ',';
      exporter::AppendScriptString(data, medium::PrintableText(m.problems[k]));
    }
    if (m.problems.size() > kMaxShownProblems) {
      data += ',';
      exporter::AppendScriptString(
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
