#include "preserver/BagVerifier.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <cstdio>
#include <map>
#include <set>

#include "jobs/TerminalLine.h"
#include "medium/PrintableText.h"
#include "preserver/BagFormat.h"
#include "preserver/BagTree.h"
#include "preserver/Digest.h"
#include "preserver/ManifestLine.h"
#include "preserver/TagFiles.h"

namespace preserver {

namespace {

constexpr qint64 kDeclarationLimit = 64 * 1024;
// A manifest of millions of files is a few hundred megabytes.
constexpr qint64 kTagFileLimit = qint64(1) << 30;

struct Manifest {
  QString file;  // "manifest-sha512.txt"
  Algorithm algorithm = Algorithm::Sha512;
  std::vector<ManifestEntry> entries;
};

// What one file is expected to be, by every manifest that lists it.
struct Expected {
  std::vector<Algorithm> algorithms;
  std::vector<QByteArray> digests;
  std::vector<QString> manifests;
};

// Left in a payload by a desktop rather than by whoever made the bag.
bool IsSystemLitter(const QByteArray& path) {
  const QByteArray name = path.mid(path.lastIndexOf('/') + 1);
  const QByteArray lower = name.toLower();
  return name == ".DS_Store" || name.startsWith("._") || lower == "thumbs.db" ||
         lower == "ehthumbs.db" || lower == "desktop.ini";
}

// The names the format gives tag files at the top of a bag.
bool IsTagFileName(const QByteArray& path) {
  if (path == "bagit.txt" || path == "bag-info.txt" || path == "fetch.txt") return true;
  return (path.startsWith("manifest-") || path.startsWith("tagmanifest-")) &&
         path.endsWith(".txt") && !path.contains('/');
}

// A name as systems that compare names in another Unicode normalization or case see it.
QString FoldedName(const QByteArray& path) {
  return QString::fromUtf8(path).normalized(QString::NormalizationForm_C).toCaseFolded();
}

class Verification {
 public:
  Verification(const QString& bag, const VerifyOptions& options)
      : bag_(QDir::cleanPath(bag)), options_(options) {}

  VerifyResult Run();

 private:
  void Find(const QString& path, const QString& message) {
    result_.findings.push_back(BagFinding{path, message});
  }
  void Warn(const QString& path, const QString& message) {
    result_.warnings.push_back(BagFinding{path, message});
  }
  // A tag file in UTF-8, read only when it is a regular file in the bag; a finding otherwise.
  bool ReadTagFile(const QByteArray& name, QByteArray* utf8);
  bool ReadDeclaration();
  void ListBag();
  std::vector<Manifest> ReadManifests(const QByteArray& kind, QStringList* unknown);
  void ReadFetch();
  // The file a manifest's path names: itself, or the one payload file that has the same name in
  // another Unicode normalization; empty when there is none.
  QByteArray FileNamed(const QByteArray& path, bool payload, const QString& where);
  bool BehindIrregular(const QByteArray& path) const;
  void CheckListed(const std::vector<Manifest>& manifests, bool payload,
                   std::map<QByteArray, Expected>& expected);
  void CheckUnknown(const std::vector<Manifest>& manifests, const QStringList& unknown);
  void CheckNames();
  void CheckOxum();

  QString bag_;
  const VerifyOptions& options_;
  VerifyResult result_;
  FolderHandle root_;
  TagEncoding encoding_{QStringLiteral("UTF-8")};
  QByteArray bagInfo_;
  std::map<QByteArray, qint64> payload_;      // regular files below data/, with their sizes
  std::set<QByteArray> tagFiles_;             // regular files elsewhere
  std::set<QByteArray> irregular_;            // links, pipes, devices, folders that cannot be read
  std::set<QByteArray> topNames_;             // every entry at the top, whatever it is
  std::map<QString, QByteArray> normalized_;  // NFC form of a payload name: that name, if one
  std::set<QByteArray> fetched_;              // paths fetch.txt would fetch
  std::map<QString, std::set<QByteArray>> listedBy_;  // manifest: the files it names
};

bool Verification::ReadTagFile(const QByteArray& name, QByteArray* utf8) {
  QString why;
  const int fd = OpenFileBelow(root_.Fd(), name, &why);
  QByteArray raw;
  if (fd < 0 || !ReadAndClose(fd, kTagFileLimit, &raw, &why)) {
    // Links and pipes are named once, where the bag is listed.
    if (!irregular_.count(name))
      Find(NameText(name), QStringLiteral("cannot be read: %1").arg(why));
    return false;
  }
  if (!encoding_.ToUtf8(raw, utf8, &why)) {
    Find(NameText(name), why);
    return false;
  }
  return true;
}

bool Verification::ReadDeclaration() {
  QString why;
  QByteArray target;
  const std::optional<EntryKind> kind =
      KindBelow(root_.Fd(), QByteArrayLiteral("bagit.txt"), &why, &target);
  if (!kind) {
    result_.notABagReason = QStringLiteral("no bagit.txt");
    return false;
  }
  BagDeclarationCheck declaration;
  if (*kind != EntryKind::File) {
    // Never opened: a pipe would hold the verifier forever, a link lead out of the bag. The
    // rest of the bag is checked as a bag in UTF-8.
    declaration.encoding = QStringLiteral("UTF-8");
  } else {
    QByteArray bytes;
    const int fd = OpenFileBelow(root_.Fd(), QByteArrayLiteral("bagit.txt"), &why);
    if (fd < 0 || !ReadAndClose(fd, kDeclarationLimit, &bytes, &why)) {
      Find(QStringLiteral("bagit.txt"), QStringLiteral("cannot be read: %1").arg(why));
      declaration.encoding = QStringLiteral("UTF-8");
    } else {
      declaration = CheckBagDeclaration(bytes);
      if (declaration.version.isEmpty()) {
        result_.notABagReason = QStringLiteral("bagit.txt names no BagIt-Version");
        return false;
      }
      for (const QString& problem : declaration.problems) {
        Find(QStringLiteral("bagit.txt"), problem);
      }
    }
  }
  encoding_ = TagEncoding(declaration.encoding);
  if (!encoding_.IsKnown()) {
    Find(QStringLiteral("bagit.txt"),
         QStringLiteral("the tag files' encoding \"%1\" is not known here: they cannot be read")
             .arg(medium::PrintableText(declaration.encoding)));
  }
  const std::optional<EntryKind> data = KindBelow(root_.Fd(), QByteArrayLiteral("data"));
  if (!data || (*data != EntryKind::Folder && *data != EntryKind::Link)) {
    result_.notABagReason = QStringLiteral("no data folder");
    return false;
  }
  return true;
}

void Verification::ListBag() {
  for (const TreeEntry& e : ListTree(root_.Fd())) {
    if (!e.path.contains('/')) topNames_.insert(e.path);
    const QString shown = NameText(e.path);
    if (!e.error.isEmpty()) {
      irregular_.insert(e.path);
      Find(shown, e.kind == EntryKind::Folder
                      ? QStringLiteral("a folder that cannot be read: %1").arg(e.error)
                      : QStringLiteral("cannot be read: %1").arg(e.error));
      continue;
    }
    switch (e.kind) {
      case EntryKind::File:
        if (e.path.startsWith("data/")) {
          payload_[e.path] = e.size;
        } else {
          tagFiles_.insert(e.path);
        }
        break;
      case EntryKind::Folder:
        // A folder under a tag file's name leaves that file unread: a bag without it.
        if (IsTagFileName(e.path)) {
          irregular_.insert(e.path);
          Find(shown, QStringLiteral("a folder, not a file"));
        }
        break;
      case EntryKind::Link:
        irregular_.insert(e.path);
        Find(shown, QStringLiteral("a symbolic link (to %1): not followed, a bag holds files")
                        .arg(NameText(e.linkTarget)));
        break;
      default:
        irregular_.insert(e.path);
        Find(shown, QStringLiteral("%1, not a file: not opened").arg(KindText(e.kind)));
        break;
    }
  }
  for (const auto& [path, size] : payload_) {
    if (!IsUtf8(path)) continue;
    const QString key = QString::fromUtf8(path).normalized(QString::NormalizationForm_C);
    // Two names of one form leave it to neither.
    const auto [at, inserted] = normalized_.emplace(key, path);
    if (!inserted) at->second.clear();
  }
}

std::vector<Manifest> Verification::ReadManifests(const QByteArray& kind, QStringList* unknown) {
  std::vector<Manifest> manifests;
  const QByteArray prefix = kind + '-';
  for (const QByteArray& name : tagFiles_) {
    if (name.contains('/') || !name.startsWith(prefix) || !name.endsWith(".txt")) continue;
    const QString file = NameText(name);
    const QString algorithmName =
        QString::fromUtf8(name.mid(prefix.size(), name.size() - prefix.size() - 4));
    const std::optional<Algorithm> algorithm = AlgorithmFromName(algorithmName);
    if (!algorithm) {
      *unknown << file;
      continue;
    }
    QByteArray text;
    if (!ReadTagFile(name, &text)) continue;
    ParsedManifest parsed = ParseManifest(text, *algorithm);
    for (const QString& error : parsed.errors) Find(file, error);
    manifests.push_back(Manifest{file, *algorithm, std::move(parsed.entries)});
  }
  return manifests;
}

void Verification::ReadFetch() {
  const QByteArray name = QByteArrayLiteral("fetch.txt");
  if (!tagFiles_.count(name)) return;
  QByteArray text;
  if (!ReadTagFile(name, &text)) return;
  const ParsedFetch fetch = ParseFetch(text);
  for (const QString& error : fetch.errors) Find(QStringLiteral("fetch.txt"), error);
  for (const FetchEntry& e : fetch.entries) {
    const QString where = QStringLiteral("fetch.txt line %1").arg(e.line);
    QByteArray path;
    const QString unsafe = NormalBagPath(e.path, &path);
    if (!unsafe.isEmpty()) {
      // Whether or not anything is fetched: a bag that would write outside itself is unsound.
      Find(where, QStringLiteral("names %1: %2").arg(unsafe, NameText(e.path)));
      continue;
    }
    if (!path.startsWith("data/")) {
      Find(where, QStringLiteral("names %1, which is not in the payload").arg(NameText(path)));
      continue;
    }
    fetched_.insert(path);
  }
}

bool Verification::BehindIrregular(const QByteArray& path) const {
  for (qsizetype at = path.indexOf('/'); at >= 0; at = path.indexOf('/', at + 1)) {
    if (irregular_.count(path.left(at))) return true;
  }
  return irregular_.count(path) > 0;
}

QByteArray Verification::FileNamed(const QByteArray& path, bool payload, const QString& where) {
  if (payload ? payload_.count(path) > 0 : tagFiles_.count(path) > 0) return path;
  if (!payload || !IsUtf8(path)) return {};
  const auto at =
      normalized_.find(QString::fromUtf8(path).normalized(QString::NormalizationForm_C));
  if (at == normalized_.end() || at->second.isEmpty()) return {};
  Warn(where, QStringLiteral("names %1, which the payload holds in another Unicode normalization")
                  .arg(NameText(path)));
  return at->second;
}

void Verification::CheckListed(const std::vector<Manifest>& manifests, bool payload,
                               std::map<QByteArray, Expected>& expected) {
  for (const Manifest& m : manifests) {
    std::map<QByteArray, QByteArray> seen;  // path: its digest
    std::set<QByteArray>& listed = listedBy_[m.file];
    for (const ManifestEntry& e : m.entries) {
      const QString where = QStringLiteral("%1 line %2").arg(m.file).arg(e.line);
      QByteArray path;
      const QString unsafe = NormalBagPath(e.path, &path);
      if (!unsafe.isEmpty()) {
        Find(where, QStringLiteral("names %1: %2, not opened").arg(unsafe, NameText(e.path)));
        continue;
      }
      const QString shown = NameText(path);
      if (e.binaryMode) {
        Warn(where,
             QStringLiteral("'*' before the name, as md5sum -b writes it: read as %1").arg(shown));
      }
      const bool inData = path.startsWith("data/");
      if (payload != inData) {
        Find(where, payload ? QStringLiteral("names %1, which is not in the payload").arg(shown)
                            : QStringLiteral("names %1, which is in the payload").arg(shown));
        continue;
      }
      if (const auto before = seen.find(path); before != seen.end()) {
        if (before->second == e.digest) {
          Warn(where, QStringLiteral("names %1 a second time, with the same digest").arg(shown));
        } else {
          Find(where, QStringLiteral("names %1 a second time, with another digest").arg(shown));
        }
        continue;
      }
      seen.emplace(path, e.digest);
      const QByteArray file = FileNamed(path, payload, where);
      if (file.isEmpty()) {
        // A link or pipe in its place (or on its way) is named where the bag is listed.
        if (BehindIrregular(path)) continue;
        Find(shown, fetched_.count(path)
                        ? QStringLiteral("missing (listed in %1; fetch.txt names it, not fetched)")
                              .arg(where)
                        : QStringLiteral("missing (listed in %1)").arg(where));
        continue;
      }
      listed.insert(file);
      Expected& x = expected[file];
      x.algorithms.push_back(m.algorithm);
      x.digests.push_back(e.digest);
      x.manifests.push_back(m.file);
    }
  }
}

void Verification::CheckUnknown(const std::vector<Manifest>& manifests,
                                const QStringList& unknown) {
  QString covering;
  for (const Manifest& m : manifests) {
    const std::set<QByteArray>& listed = listedBy_[m.file];
    bool all = true;
    for (const auto& [path, size] : payload_) all = all && listed.count(path) > 0;
    if (all) {
      covering = m.file;
      break;
    }
  }
  for (const QString& file : unknown) {
    const QString algorithm = file.mid(9).chopped(4);
    if (!covering.isEmpty()) {
      Warn(file, QStringLiteral("the algorithm \"%1\" is not known here: not checked (%2 covers "
                                "every file)")
                     .arg(algorithm, covering));
    } else {
      Find(file, QStringLiteral("the algorithm \"%1\" is not known here: not checked, and no "
                                "other manifest covers every payload file")
                     .arg(algorithm));
    }
  }
}

void Verification::CheckNames() {
  std::map<QString, QByteArray> folded;
  for (const auto& [path, size] : payload_) {
    if (IsSystemLitter(path)) {
      Warn(NameText(path),
           QStringLiteral("litter of an operating system's desktop, not of the bag's content"));
    }
    if (!IsUtf8(path)) continue;
    const auto [at, inserted] = folded.emplace(FoldedName(path), path);
    if (!inserted) {
      Warn(NameText(path), QStringLiteral("differs from %1 only in case or Unicode "
                                          "normalization: one file where names are compared so")
                               .arg(NameText(at->second)));
    }
  }
}

void Verification::CheckOxum() {
  const QString oxum = TagValue(ParseTagFields(bagInfo_), QStringLiteral("Payload-Oxum"));
  if (oxum.isEmpty()) return;
  qint64 bytes = 0, files = 0;
  if (!ParsePayloadOxum(oxum, &bytes, &files)) {
    Find(QStringLiteral("bag-info.txt"),
         QStringLiteral("Payload-Oxum \"%1\" is not <bytes>.<files>")
             .arg(medium::PrintableText(oxum)));
    return;
  }
  const qint64 count = static_cast<qint64>(payload_.size());
  if (bytes != result_.payloadBytes || files != count) {
    Find(QStringLiteral("bag-info.txt"), QStringLiteral("Payload-Oxum %1, but the payload holds %2")
                                             .arg(oxum, PayloadOxum(result_.payloadBytes, count)));
  }
}

VerifyResult Verification::Run() {
  QString error;
  root_ = OpenFolder(QFile::encodeName(bag_), &error);
  if (!root_.IsOpen()) {
    result_.notABagReason = QStringLiteral("cannot be opened: %1").arg(error);
    result_.validity = BagValidity::NotABag;
    return result_;
  }
  if (!ReadDeclaration()) {
    result_.validity = BagValidity::NotABag;
    return result_;
  }
  ListBag();
  const bool anyManifest = std::any_of(topNames_.begin(), topNames_.end(), [](const QByteArray& n) {
    return n.startsWith("manifest-") && n.endsWith(".txt");
  });
  if (!anyManifest) {
    result_.notABagReason = QStringLiteral("no payload manifest (manifest-<algorithm>.txt)");
    result_.validity = BagValidity::NotABag;
    return result_;
  }
  QStringList unknown;
  const std::vector<Manifest> manifests = ReadManifests(QByteArrayLiteral("manifest"), &unknown);
  if (tagFiles_.count(QByteArrayLiteral("bag-info.txt"))) {
    ReadTagFile(QByteArrayLiteral("bag-info.txt"), &bagInfo_);
  }
  ReadFetch();

  for (const auto& [path, size] : payload_) result_.payloadBytes += size;
  result_.payloadFiles = static_cast<qint64>(payload_.size());

  std::map<QByteArray, Expected> expected;
  CheckListed(manifests, true, expected);
  for (const Manifest& m : manifests) {
    const std::set<QByteArray>& listed = listedBy_[m.file];
    for (const auto& [path, size] : payload_) {
      if (!listed.count(path)) Find(NameText(path), QStringLiteral("not in %1").arg(m.file));
    }
  }
  CheckUnknown(manifests, unknown);
  if (!options_.payloadOnly) {
    CheckOxum();
    QStringList unknownTags;
    const std::vector<Manifest> tagManifests =
        ReadManifests(QByteArrayLiteral("tagmanifest"), &unknownTags);
    CheckListed(tagManifests, false, expected);
    // Tag manifests are optional: one that cannot be checked leaves the payload's check whole.
    for (const QString& file : unknownTags) {
      Warn(file, QStringLiteral("the algorithm \"%1\" is not known here: not checked")
                     .arg(file.mid(12).chopped(4)));
    }
  }
  CheckNames();

  // Every file named, read once for all the algorithms that name it, opened below the bag's own
  // folder without following a link.
  std::vector<FileToHash> jobs;
  std::vector<const Expected*> wanted;
  std::vector<QString> names;
  for (const auto& [path, x] : expected) {
    FileToHash job;
    job.algorithms = x.algorithms;
    job.baseFolder = root_.Fd();
    job.relative = path;
    const auto size = payload_.find(path);
    job.size = size != payload_.end() ? size->second : -1;
    jobs.push_back(std::move(job));
    wanted.push_back(&x);
    names.push_back(NameText(path));
  }
  HashFiles(jobs, options_.threads, options_.progress, options_.cancel);
  if (options_.cancel && options_.cancel->load()) {
    result_.cancelled = true;
    result_.validity = BagValidity::Invalid;
    return result_;
  }
  for (size_t i = 0; i < jobs.size(); ++i) {
    result_.hashedBytes += jobs[i].bytes;
    if (!jobs[i].error.isEmpty()) {
      Find(names[i], QStringLiteral("cannot be read: %1").arg(jobs[i].error));
      continue;
    }
    for (size_t k = 0; k < jobs[i].hex.size(); ++k) {
      if (jobs[i].hex[k] != wanted[i]->digests[k]) {
        Find(names[i], QStringLiteral("checksum differs from %1").arg(wanted[i]->manifests[k]));
      }
    }
  }

  const TagFields info = ParseTagFields(bagInfo_);
  const QString copy = TagValue(info, QStringLiteral("Medium-Copy"));
  if (copy.startsWith(QLatin1String("incomplete"))) {
    result_.notes << QStringLiteral("the medium was copied incompletely: %1").arg(copy);
  }
  result_.validity = result_.findings.empty() ? BagValidity::Valid : BagValidity::Invalid;
  return result_;
}

}  // namespace

VerifyResult VerifyBag(const QString& bagPath, const VerifyOptions& options) {
  return Verification(bagPath, options).Run();
}

QString FormatVerification(const QString& bagPath, const VerifyResult& result) {
  const QString bag = QDir::toNativeSeparators(bagPath);
  QString out;
  for (const BagFinding& f : result.findings) {
    out += QStringLiteral("%1: %2: %3\n").arg(bag, f.path, f.message);
  }
  for (const QString& note : result.notes) out += QStringLiteral("%1: note: %2\n").arg(bag, note);
  switch (result.validity) {
    case BagValidity::NotABag:
      out += QStringLiteral("%1: not a bag: %2\n").arg(bag, result.notABagReason);
      break;
    case BagValidity::Invalid:
      out += result.cancelled ? QStringLiteral("%1: not verified: cancelled\n").arg(bag)
                              : QStringLiteral("%1: invalid: %2 %3\n")
                                    .arg(bag)
                                    .arg(result.findings.size())
                                    .arg(result.findings.size() == 1 ? QStringLiteral("finding")
                                                                     : QStringLiteral("findings"));
      break;
    case BagValidity::Valid:
      out += QStringLiteral("%1: valid: %2 files, %3 bytes\n")
                 .arg(bag)
                 .arg(result.payloadFiles)
                 .arg(result.payloadBytes);
      break;
  }
  return out;
}

QString FormatWarnings(const QString& bagPath, const VerifyResult& result) {
  const QString bag = QDir::toNativeSeparators(bagPath);
  QString out;
  for (const BagFinding& w : result.warnings) {
    out += QStringLiteral("%1: warning: %2: %3\n").arg(bag, w.path, w.message);
  }
  return out;
}

int RunVerify(const QStringList& bags) {
  if (bags.isEmpty()) {
    std::fprintf(stderr, "Ambrel: --verify needs a bag: --verify BAG...\n");
    return 2;
  }
  jobs::TerminalLine line;
  int status = 0;
  for (const QString& bag : bags) {
    VerifyOptions options;
    if (line.Active()) {
      options.progress = [&bag, &line](qint64 done, qint64 total) {
        const int percent = total > 0 ? static_cast<int>(done * 100 / total) : 100;
        line.Show(QStringLiteral("%1: %2% of %3 MB")
                      .arg(QDir::toNativeSeparators(bag))
                      .arg(percent, 3)
                      .arg(total >> 20));
      };
    }
    const VerifyResult result = VerifyBag(bag, options);
    line.Clear();
    std::fputs(qPrintable(FormatWarnings(bag, result)), stderr);
    std::fflush(stderr);
    std::fputs(qPrintable(FormatVerification(bag, result)), stdout);
    std::fflush(stdout);
    const int code = result.validity == BagValidity::NotABag ? 2
                     : result.validity == BagValidity::Valid ? 0
                                                             : 1;
    status = std::max(status, code);
  }
  return status;
}

}  // namespace preserver
