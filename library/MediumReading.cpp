#include "library/MediumReading.h"

#include <QDateTime>
#include <QFileInfo>

#include "checker/RecordingCheck.h"
#include "medium/Paths.h"
#include "medium/Report.h"
#include "presentation/ConfigReader.h"
#include "presentation/MediumLayout.h"
#include "presentation/PresentationLoader.h"

namespace library {

namespace {

// Collects what the readers report while the library reads, for the list of what could not be
// read; the library itself goes on with whatever could.
class CollectingReporter : public medium::Reporter {
 public:
  CollectingReporter() : Reporter(QStringLiteral("library")) {}
  void Show(const medium::Message& message) override { messages << message.text; }
  QStringList messages;
};

// Notes every file the loader opens, so that a later update can tell by size and time alone
// whether the medium changed.
class FileNotingListener : public PresentationListener {
 public:
  explicit FileNotingListener(QStringList& files) : files_(files) {}
  void Reading(const QString& mediumPath, const medium::TextStream*) override {
    if (!mediumPath.isEmpty()) files_ << mediumPath;
  }
  void LanguagesListed(const LanguageList& languages) override { languages_ = languages.names; }
  void TimelineRead(const LoadedPresentation& p) override {
    // The transcript files are read on demand, section by section, and name no step of their own.
    for (const QString& language : languages_)
      files_ << TranscriptFilePath(p.transcriptsFolder, language);
  }

 private:
  QStringList& files_;
  QStringList languages_;
};

// "size<TAB>modified<TAB>path" per file; size -1 for a file that is not there, so that its
// coming is a change too.
QString FileStamp(const QString& nativePath) {
  const QFileInfo info(nativePath);
  if (!info.exists()) return QStringLiteral("-1\t0\t") + nativePath;
  return QStringLiteral("%1\t%2\t%3")
      .arg(info.isDir() ? 0 : info.size())
      .arg(info.lastModified().toMSecsSinceEpoch())
      .arg(nativePath);
}

// Everything searchable of one presentation, read with the players' own loader.
std::vector<PassageRecord> PassagesOf(const QString& title, const LoadedPresentation& p) {
  std::vector<PassageRecord> out;
  if (!title.trimmed().isEmpty()) out.push_back({Place::Title, title, QString(), 0});
  if (p.slides) {
    for (int k = 1; k <= p.slides->Slides.Count(); ++k) {
      const Slide_cls& s = p.slides->Slides.Item(k);
      if (!s.SlideName.trimmed().isEmpty())
        out.push_back({Place::SlideTitle, s.SlideName, QString(), qint64(s.SlideTime)});
    }
  }
  if (p.trans) {
    for (int language = 0; language < p.languages.names.size(); ++language) {
      const std::vector<std::optional<QString>> texts = p.SectionTexts(language);
      for (int k = 1; k <= p.trans->Trans.Count() && k <= int(texts.size()); ++k) {
        const std::optional<QString>& text = texts[size_t(k - 1)];
        if (!text || text->trimmed().isEmpty()) continue;
        out.push_back({Place::Transcript, *text, p.languages.names[language],
                       qint64(p.trans->Trans.Item(k).TranTime)});
      }
    }
  }
  if (!p.details.trimmed().isEmpty()) out.push_back({Place::Details, p.details.trimmed(), {}, 0});
  if (p.settings.UserDef1 && !p.settings.UserDef1->trimmed().isEmpty())
    out.push_back({Place::FreeText, *p.settings.UserDef1, QString(), 0});
  return out;
}

// The recordings there, the player that opens the presentation and the length of its recording.
void ReadRecordings(const layout::MediumLayout& medium, const QString& folder,
                    PresentationEntry& entry, QStringList& files) {
  try {
    const QString media = medium.MediaFolderPath(folder);
    files << media;
    entry.tavisco = layout::HasRecording(PlayerBuild::Tavisco, media);
    entry.norvanta = layout::HasRecording(PlayerBuild::Norvanta, media);
    if (entry.tavisco || entry.norvanta) {
      const QString recording = medium.RecordingPath(entry.Player(), folder);
      files << recording;
      const double seconds = checker::LengthSeconds(medium::OpenablePath(recording));
      if (seconds >= 0) entry.lengthMs = qint64(seconds * 1000.0 + 0.5);
    }
  } catch (const medium::AppError&) {
    // A folder name that leads off the medium has no recording; the loader named it.
  }
}

}  // namespace

MediumContent ReadMediumContent(const QString& path, const std::atomic<bool>* cancel,
                                ReadingProgress* progress) {
  MediumContent content;
  content.path = path;
  const layout::MediumLayout medium(path);
  QStringList files;
  int problemCount = 0;
  auto problem = [&](const QString& text) {
    if (++problemCount <= kMaxProblemsPerMedium) content.problems << text;
  };

  CollectingReporter configReporter;
  files << medium.ConfigPath();
  const PresArr_cls list = launcher::ReadPresentationList(medium, configReporter);
  for (const QString& m : configReporter.messages) problem(QStringLiteral("Data/config.txt: ") + m);
  if (progress) progress->presentations = list.arr.Count();

  content.presentations.reserve(size_t(list.arr.Count()));
  for (int k = 1; k <= list.arr.Count(); ++k) {
    if (cancel && cancel->load()) {
      content.cancelled = true;
      return content;
    }
    if (progress) progress->presentation = k;
    const Pres_cls& pres = list.arr.Item(k);
    CollectingReporter reporter;
    FileNotingListener listener(files);
    PresentationLoader loader(medium, reporter, listener);
    LoadedPresentation loaded;
    loader.Load(pres.PresDir, loaded);
    // A medium taken away while it is read keeps what the index held of it.
    if (!IsMedium(path)) {
      content.vanished = true;
      return content;
    }
    for (const QString& m : reporter.messages) problem(pres.PresDir + QStringLiteral(": ") + m);

    PresentationRecord record;
    PresentationEntry& entry = record.entry;
    entry.title = pres.PresName;
    entry.folder = pres.PresDir;
    entry.slides = loaded.slides ? loaded.slides->Slides.Count() : 0;
    entry.sections = loaded.trans ? loaded.trans->Trans.Count() : 0;
    entry.languages = loaded.languages.names;
    ReadRecordings(medium, pres.PresDir, entry, files);
    record.passages = PassagesOf(pres.PresName, loaded);
    content.presentations.push_back(std::move(record));
  }
  if (problemCount > kMaxProblemsPerMedium) {
    content.problems << QStringLiteral("... and %1 more").arg(problemCount - kMaxProblemsPerMedium);
  }
  // Read to its end: its files are noted.
  QStringList stamps;
  files.removeDuplicates();
  for (const QString& f : files) stamps << FileStamp(medium::Resolve(f).path);
  content.stamps = stamps.join(u'\n');
  return content;
}

bool StampsUnchanged(const QString& stamps) {
  if (stamps.isEmpty()) return false;  // never read to its end
  for (const QString& line : stamps.split(u'\n', Qt::SkipEmptyParts)) {
    const QString path = line.section(u'\t', 2);
    if (FileStamp(path) != line) return false;
  }
  return true;
}

}  // namespace library
