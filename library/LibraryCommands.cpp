#include "library/LibraryCommands.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>

#include "checker/MediumCheck.h"
#include "exporter/ExportCommand.h"
#include "exporter/Exporter.h"
#include "jobs/TerminalLine.h"
#include "library/CollectionPage.h"
#include "library/IndexWriter.h"
#include "library/LibraryFolders.h"
#include "library/LibraryIndex.h"
#include "medium/LocalNames.h"
#include "medium/Paths.h"
#include "medium/PrintableText.h"

namespace library {

namespace {

// A passage or a path may be longer than a name; each is still one line, and what damage makes
// endless is cut.
constexpr int kLongTextChars = 1000;

QString Shown(const QString& text, int maxChars = medium::kPrintableTextLength) {
  return medium::PrintableText(text, maxChars);
}

QString ShownLong(const QString& text) {
  return medium::PrintableText(text, kLongTextChars);
}

void Say(const QString& text) {
  std::fputs(qPrintable(QStringLiteral("Ambrel: ") + text + u'\n'), stderr);
}

void Print(const QString& text) {
  const QByteArray bytes = text.toLocal8Bit();
  std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
}

// Opens the index and brings it up to date for the folders: a progress line on a terminal,
// what could not be entered or read on standard error. Nothing, with the status to exit with,
// when no index can be had.
struct Updated {
  std::unique_ptr<LibraryIndex> index;
  UpdateResult update;
  QStringList folders;  // empty: every medium of the index, none looked at
};

void UpdateNow(Updated& u) {
  if (u.folders.isEmpty()) return;
  jobs::TerminalLine line;
  ProgressFn progress;
  if (line.Active()) progress = [&line](const IndexProgress& p) { line.Show(p.Line()); };
  u.update = u.index->Update(u.folders, progress);
  line.Clear();
  for (const SkippedFolder& s : u.update.skipped)
    Say(QStringLiteral("skipped %1: %2").arg(ShownPath(s.folder), ShownLong(s.reason)));
  if (!u.update.notice.isEmpty()) Say(u.update.notice);
  if (!u.update.error.isEmpty())
    Say(QStringLiteral("the index cannot be written: ") + u.update.error);
}

std::optional<Updated> OpenAndUpdate(const QStringList& given, const QString& indexGiven,
                                     int* status) {
  *status = 2;
  const QString index = ChooseIndex(indexGiven);
  QString error;
  std::optional<QStringList> folders = ChooseLibraryFolders(given, &error);
  if (!folders) {
    // A shared index named, and no folders of this workstation: every medium it holds, as the
    // other workstations left it.
    if (index.isEmpty() || !given.isEmpty()) {
      Say(error);
      return std::nullopt;
    }
    folders = QStringList();
  }
  if (!index.startsWith(QLatin1String("postgres")) && !LibraryIndex::Available(&error)) {
    Say(QStringLiteral("the library cannot be indexed: ") + error);
    return std::nullopt;
  }
  Updated u;
  u.folders = *folders;
  u.index = std::make_unique<LibraryIndex>(index);
  if (!u.index->Open()) {
    Say(QStringLiteral("the library's index cannot be opened: ") + u.index->Error());
    return std::nullopt;
  }
  if (!u.index->Notice().isEmpty()) Say(u.index->Notice());
  UpdateNow(u);
  if (u.update.unreachable) return std::nullopt;
  *status = 0;
  return u;
}

// A name as JSON carries it: one with bytes that are no UTF-8 as it is shown, since JSON's text
// is Unicode.
QString JsonName(const QString& name) {
  return medium::HasRawBytes(name) ? ShownPath(name) : name;
}

QJsonObject HitJson(const SearchHit& h) {
  QJsonArray marks;
  for (const textsearch::Match& m : h.highlights) marks.append(QJsonArray{m.start, m.length});
  return QJsonObject{{"presentation", h.title},
                     {"folder", h.folder},
                     {"medium", JsonName(h.mediumName)},
                     {"mediumPath", JsonName(h.mediumPath)},
                     {"mediumPresent", h.mediumPresent},
                     {"player", layout::PlayerName(h.player)},
                     {"at", FormatMoment(h.atMs)},
                     {"atMs", h.atMs},
                     {"where", PlaceText(h.place, h.language)},
                     {"language", h.language},
                     {"snippet", h.snippet},
                     {"highlights", marks},
                     {"score", h.score}};
}

// A hit on one line: what the medium's files hold is shown printable (controls as \xNN).
QString HitLine(const SearchHit& h) {
  return QStringLiteral("%1  %2  (%3%4, %5)  %6: %7\n")
      .arg(FormatMoment(h.atMs), -5)
      .arg(Shown(h.title), ShownPath(h.mediumName),
           h.mediumPresent ? QString() : QStringLiteral(", absent"), Shown(h.folder),
           Shown(PlaceText(h.place, h.language)),
           h.MarkedSnippet(QStringLiteral("["), QStringLiteral("]"), &ShownLong));
}

// A check's report with every text from the medium printable, for the terminal. JSON keeps them
// as they are: it escapes controls itself, and a program reading it wants the text whole.
checker::CheckResult Printable(checker::CheckResult result) {
  const auto fix = [](std::vector<checker::Problem>& problems) {
    for (checker::Problem& p : problems) {
      p.file = ShownLong(p.file);
      p.message = ShownLong(p.message);
    }
  };
  result.root = ShownLong(result.root);
  fix(result.problems);
  for (checker::PresentationResult& p : result.presentations) {
    p.name = Shown(p.name);
    p.folder = Shown(p.folder);
    fix(p.problems);
  }
  return result;
}

}  // namespace

int RunSearch(const QString& query, bool json, const QStringList& given, const QString& index) {
  const Query parsed = ParseQuery(query);
  if (parsed.IsEmpty()) {
    Say(QStringLiteral("the query holds no word to search for (letters or digits)"));
    return 2;
  }
  int status = 2;
  std::optional<Updated> u = OpenAndUpdate(given, index, &status);
  if (!u) return status;
  Say(QStringLiteral("searching the index %1").arg(u->index->Location()));
  SearchResult result = u->index->Search(query, u->folders);
  if (result.mended) {
    // Damage found by the search: the index was made anew; it is filled again and asked again.
    Say(result.error);
    UpdateNow(*u);
    result = u->index->Search(query, u->folders);
  }
  if (!result.error.isEmpty()) {
    Say(QStringLiteral("the index cannot be searched: ") + result.error);
    return 2;
  }
  if (parsed.shortened) {
    Say(QStringLiteral("only the first %1 words of the query were searched for")
            .arg(kMaxQueryWords));
  }
  if (json) {
    QJsonArray hits;
    for (const SearchHit& h : result.hits) hits.append(HitJson(h));
    QJsonObject root{{"query", query},
                     {"words", QJsonArray::fromStringList(result.query.words)},
                     {"used", result.UsedText()},
                     {"corrections", QJsonArray::fromStringList(result.corrections)},
                     {"index", u->index->Location()},
                     {"hits", hits},
                     {"more", result.more}};
    Print(QString::fromUtf8(QJsonDocument(root).toJson(QJsonDocument::Indented)));
  } else {
    if (!result.corrections.isEmpty()) {
      Print(QStringLiteral("No hits for %1; showing %2\n")
                .arg(result.query.words.join(u' '), result.UsedText()));
    }
    for (const SearchHit& h : result.hits) Print(HitLine(h));
    if (result.hits.empty()) Print(QStringLiteral("No hits.\n"));
    if (result.more) Print(QStringLiteral("(more hits than shown: add a word)\n"));
  }
  return result.hits.empty() ? 1 : 0;
}

int RunLibraryCheck(const QStringList& given, bool json) {
  QString error;
  const std::optional<QStringList> folders = ChooseLibraryFolders(given, &error);
  if (!folders) {
    Say(error);
    return 2;
  }
  const Discovery found = FindMedia(*folders);
  for (const SkippedFolder& s : found.skipped)
    Say(QStringLiteral("skipped %1: %2").arg(ShownPath(s.folder), ShownLong(s.reason)));
  if (found.media.isEmpty()) {
    Say(QStringLiteral("no medium found in %1").arg(folders->join(QStringLiteral(", "))));
    return 2;
  }
  int problems = 0;
  QJsonArray media;
  QString text;
  for (const QString& m : found.media) {
    const checker::CheckResult result = checker::CheckMedium(layout::MediumLayout(ReadablePath(m)));
    problems += result.ProblemCount();
    if (json) {
      media.append(QJsonDocument::fromJson(checker::FormatJson(result)).object());
    } else {
      Print(checker::FormatText(Printable(result)) + u'\n');
    }
  }
  if (json) {
    QJsonArray skipped;
    for (const SkippedFolder& s : found.skipped)
      skipped.append(QJsonObject{{"folder", s.folder}, {"reason", s.reason}});
    const QJsonObject root{{"media", media}, {"problemCount", problems}, {"skipped", skipped}};
    Print(QString::fromUtf8(QJsonDocument(root).toJson(QJsonDocument::Indented)));
  } else {
    Print(QStringLiteral("%1 %2 checked: %3.\n")
              .arg(found.media.size())
              .arg(found.media.size() == 1 ? QStringLiteral("medium") : QStringLiteral("media"))
              .arg(problems == 0 ? QStringLiteral("no problems")
                                 : QStringLiteral("%1 %2").arg(problems).arg(
                                       problems == 1 ? QStringLiteral("problem")
                                                     : QStringLiteral("problems"))));
  }
  return problems == 0 ? 0 : 1;
}

// The media of the index, mended and filled again when it was found damaged.
std::optional<std::vector<MediumEntry>> ListMedia(Updated& u) {
  std::vector<MediumEntry> media = u.index->Media(u.folders);
  if (media.empty() && !u.index->Error().isEmpty() && !u.index->Unreachable() &&
      !u.index->Notice().isEmpty()) {
    Say(u.index->Notice());
    UpdateNow(u);
    media = u.index->Media(u.folders);
  }
  if (!u.index->Error().isEmpty()) {
    Say(QStringLiteral("the index cannot be read: ") + u.index->Error());
    return std::nullopt;
  }
  return media;
}

int RunLibraryListing(const QStringList& given, const QString& index) {
  int status = 2;
  std::optional<Updated> u = OpenAndUpdate(given, index, &status);
  if (!u) return status;
  const std::optional<std::vector<MediumEntry>> media = ListMedia(*u);
  if (!media) return 2;
  for (const MediumEntry& m : *media) {
    const QString elsewhere = m.SeenElsewhere();
    Print(QStringLiteral("Medium %1%2: %3 presentations\n")
              .arg(ShownPath(m.path),
                   m.present ? QString()
                   : elsewhere.isEmpty() || m.places.front().host == HostName()
                       ? QStringLiteral(" (absent)")
                       : QStringLiteral(" (absent here; %1)").arg(elsewhere),
                   QString::number(m.presentations.size())));
    for (const QString& p : m.problems) Print(QStringLiteral("  %1\n").arg(Shown(p)));
  }
  return u->update.error.isEmpty() ? 0 : 1;
}

int RunLibraryExport(const QString& outDir, bool force, const QStringList& given,
                     const QString& index) {
  QString error;
  int status = 2;
  std::optional<Updated> u = OpenAndUpdate(given, index, &status);
  if (!u) return status;
  const std::optional<std::vector<MediumEntry>> listed = ListMedia(*u);
  if (!listed) return 2;
  const std::vector<MediumEntry>& media = *listed;
  if (media.empty()) {
    Say(QStringLiteral("no medium found in %1").arg(u->folders.join(QStringLiteral(", "))));
    return 2;
  }
  CollectionExport collection(outDir);
  if (!collection.Prepare(media, &error)) {
    Say(error);
    return 2;
  }
  status = 0;
  for (size_t i = 0; i < media.size(); ++i) {
    const MediumEntry& m = media[i];
    const QString target = collection.MediumFolder(i);
    Print(QStringLiteral("Medium %1 -> %2\n")
              .arg(ShownPath(m.path), QDir::toNativeSeparators(target)));
    if (!m.present) {
      Print(QStringLiteral("  absent: not exported (expected at %1)\n").arg(ShownPath(m.path)));
      status = 1;
      continue;
    }
    exporter::ExportRequest request;
    request.outDir = target;
    request.force = force;
    const int code =
        exporter::RunExportRequest(layout::MediumLayout(ReadablePath(m.path)), request);
    status = std::max(status, code == 2 ? 1 : code);
  }
  if (!collection.Write(*u->index, media, &error)) {
    Say(error);
    return 1;
  }
  Print(QStringLiteral("Collection page: %1\n")
            .arg(QDir::toNativeSeparators(collection.OutDir() + QStringLiteral("/index.html"))));
  return status;
}

}  // namespace library
