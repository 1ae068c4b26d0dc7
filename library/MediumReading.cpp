#include "library/MediumReading.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <algorithm>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

#include "checker/RecordingCheck.h"
#include "library/TextTerms.h"
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
  FileNotingListener(QStringList& files, QStringList& texts) : files_(files), texts_(texts) {}
  void Reading(const QString& mediumPath, const medium::TextStream* stream) override {
    if (mediumPath.isEmpty()) return;
    files_ << mediumPath;
    if (stream) texts_ << mediumPath;
  }
  void LanguagesListed(const LanguageList& languages) override { languages_ = languages.names; }
  void TimelineRead(const LoadedPresentation& p) override {
    // The transcript files are read on demand, section by section, and name no step of their own.
    for (const QString& language : languages_) {
      files_ << TranscriptFilePath(p.transcriptsFolder, language);
      texts_ << files_.back();
    }
  }

 private:
  QStringList& files_;
  QStringList& texts_;
  QStringList languages_;
};

// The medium's identity: SHA-256 over its text files' names (relative, case-blind, since a copy
// of a disc may spell them otherwise) and contents, in the order of their names, and over which
// players each presentation's recordings are for (a copy without the Windows Media recordings
// plays otherwise, so it is another medium; the recordings themselves are too big to read).
QString IdentityOf(const layout::MediumLayout& medium, QStringList texts,
                   const QStringList& players) {
  texts.removeDuplicates();
  std::vector<std::pair<QString, QString>> named;
  for (const QString& t : texts) named.push_back({medium.Relative(t).toLower(), t});
  std::sort(named.begin(), named.end());
  QCryptographicHash hash(QCryptographicHash::Sha256);
  for (const auto& [name, path] : named) {
    hash.addData(name.toUtf8());
    hash.addData(QByteArrayView("\0", 1));
    QFile f(medium::Resolve(path).path);
    if (f.open(QIODevice::ReadOnly)) {
      hash.addData(&f);
    } else {
      hash.addData(QByteArrayView("-"));
    }
    hash.addData(QByteArrayView("\0", 1));
  }
  for (const QString& p : players) {
    hash.addData(p.toUtf8());
    hash.addData(QByteArrayView("\0", 1));
  }
  return QString::fromLatin1(hash.result().toHex());
}

// "size<TAB>modified<TAB>path" per file; size -1 for a file that is not there, so that its
// coming is a change too.
QString FileStamp(const QString& nativePath) {
#ifndef Q_OS_WIN
  // One call per file: a library of 10,000 talks looks at some 90,000 files each time it opens,
  // and QFileInfo's modification time asks the system's time zone file twice for each.
  struct stat st {};
  if (::stat(QFile::encodeName(nativePath).constData(), &st) != 0)
    return QStringLiteral("-1\t0\t") + nativePath;
#ifdef Q_OS_MACOS
  const timespec modified = st.st_mtimespec;
#else
  const timespec modified = st.st_mtim;
#endif
  // As QFileInfo gives it: whole milliseconds since the epoch, the rest cut off.
  const qint64 ms = qint64(modified.tv_sec) * 1000 + modified.tv_nsec / 1000000;
  return QStringLiteral("%1\t%2\t%3")
      .arg(S_ISDIR(st.st_mode) ? 0 : qint64(st.st_size))
      .arg(ms)
      .arg(nativePath);
#else
  const QFileInfo info(nativePath);
  if (!info.exists()) return QStringLiteral("-1\t0\t") + nativePath;
  return QStringLiteral("%1\t%2\t%3")
      .arg(info.isDir() ? 0 : info.size())
      .arg(info.lastModified().toMSecsSinceEpoch())
      .arg(nativePath);
#endif
}

// Cuts each passage into pieces with their terms, noting the words for the vocabulary.
class PassageCutter {
 public:
  PassageCutter(std::vector<PassageRecord>& out, QSet<QString>& vocabulary, QSet<QString>& stemmers,
                MediumContent& totals)
      : out_(out), vocabulary_(vocabulary), stemmers_(stemmers), totals_(totals) {}

  // language: the transcript's; stemmer: the one its words are cut with.
  void Add(Place place, const QString& text, const QString& language, const QString& stemmer,
           qint64 atMs) {
    if (text.trimmed().isEmpty()) return;
    if (!stemmer.isEmpty()) stemmers_.insert(stemmer);
    int piece = 0;
    for (const QString& part : PiecesOf(text)) {
      PassageRecord r{place, part, language, atMs, piece++, 0, {}};
      const std::vector<TextWord> words = CutWords(part);
      r.words = int(words.size());
      counts_.clear();
      order_.clear();
      for (const TextWord& w : words) {
        const QString term = StemOf(w.folded, stemmer);
        int& count = counts_[term];
        if (count++ == 0) order_ << term;
        vocabulary_.insert(w.folded + u'\t' + term);
      }
      r.terms.reserve(size_t(order_.size()));
      for (const QString& term : order_) {
        ++totals_.termPieces[term];
        r.terms.push_back(TermTimes{term, counts_.value(term)});
      }
      ++totals_.pieces;
      totals_.words += r.words;
      out_.push_back(std::move(r));
    }
  }

 private:
  std::vector<PassageRecord>& out_;
  QSet<QString>& vocabulary_;
  QSet<QString>& stemmers_;
  MediumContent& totals_;
  QHash<QString, int> counts_;  // of the piece being cut
  QStringList order_;
};

// Everything searchable of one presentation, read with the players' own loader. The transcript
// sections are cut in their own language; the title, slide titles, details and free text in the
// presentation's first language (else the medium's).
std::vector<PassageRecord> PassagesOf(const QString& title, const LoadedPresentation& p,
                                      const QString& firstLanguage, QSet<QString>& vocabulary,
                                      QSet<QString>& stemmers, MediumContent& totals) {
  std::vector<PassageRecord> out;
  PassageCutter cut(out, vocabulary, stemmers, totals);
  const QString own = StemmerFor(firstLanguage);
  cut.Add(Place::Title, title, QString(), own, 0);
  if (p.slides) {
    for (int k = 1; k <= p.slides->Slides.Count(); ++k) {
      const Slide_cls& s = p.slides->Slides.Item(k);
      cut.Add(Place::SlideTitle, s.SlideName, QString(), own, qint64(s.SlideTime));
    }
  }
  if (p.trans) {
    for (int language = 0; language < p.languages.names.size(); ++language) {
      const QString& name = p.languages.names[language];
      const QString stemmer = StemmerFor(name);
      const std::vector<std::optional<QString>> texts = p.SectionTexts(language);
      for (int k = 1; k <= p.trans->Trans.Count() && k <= int(texts.size()); ++k) {
        const std::optional<QString>& text = texts[size_t(k - 1)];
        if (!text) continue;
        cut.Add(Place::Transcript, *text, name, stemmer, qint64(p.trans->Trans.Item(k).TranTime));
      }
    }
  }
  cut.Add(Place::Details, p.details.trimmed(), QString(), own, 0);
  if (p.settings.UserDef1) cut.Add(Place::FreeText, *p.settings.UserDef1, QString(), own, 0);
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
  // A folder of a name Qt cannot open is read through a link to it.
  const layout::MediumLayout medium(ReadablePath(path));
  QStringList files;
  int problemCount = 0;
  auto problem = [&](const QString& text) {
    if (++problemCount <= kMaxProblemsPerMedium) content.problems << text;
  };

  CollectingReporter configReporter;
  files << medium.ConfigPath();
  QStringList texts{medium.ConfigPath()};
  QStringList players;  // "folder<TAB>players" per presentation, for the identity
  QSet<QString> vocabulary;
  QSet<QString> stemmers;
  QString mediumLanguage;  // the first language any of its presentations has
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
    FileNotingListener listener(files, texts);
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
    players << QStringLiteral("%1\t%2%3")
                   .arg(pres.PresDir.toLower(), entry.tavisco ? "T" : "",
                        entry.norvanta ? "N" : "");
    if (mediumLanguage.isEmpty() && !entry.languages.isEmpty())
      mediumLanguage = entry.languages.front();
    record.passages = PassagesOf(
        pres.PresName, loaded, entry.languages.isEmpty() ? mediumLanguage : entry.languages.front(),
        vocabulary, stemmers, content);
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
  content.identity = IdentityOf(medium, texts, players);
  content.vocabulary = vocabulary.values();
  content.stemmers = stemmers.values();
  return content;
}

QStringList PiecesOf(const QString& text) {
  if (text.size() <= kPieceChars) return {text};
  QStringList pieces;
  qsizetype at = 0;
  while (at < text.size()) {
    qsizetype end = std::min(text.size(), at + kPieceChars);
    if (end < text.size()) {
      // Back to the last blank of the piece's last part; else a cut that splits no pair.
      qsizetype blank = end;
      while (blank > at + kPieceChars / 2 && !text.at(blank).isSpace()) --blank;
      if (blank > at + kPieceChars / 2) {
        end = blank;
      } else if (text.at(end).isLowSurrogate()) {
        --end;
      }
    }
    pieces << text.mid(at, end - at);
    at = end;
  }
  return pieces;
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
