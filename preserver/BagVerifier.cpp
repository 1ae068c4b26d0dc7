#include "preserver/BagVerifier.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <cstdio>
#include <map>

#include "jobs/TerminalLine.h"
#include "preserver/BagFormat.h"
#include "preserver/Digest.h"

namespace preserver {

namespace {

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

class Verification {
 public:
  Verification(const QString& bag, const VerifyOptions& options)
      : bag_(QDir::cleanPath(bag)), options_(options) {}

  VerifyResult Run();

 private:
  void Find(const QString& path, const QString& message) {
    result_.findings.push_back(BagFinding{path, message});
  }
  bool ReadFile(const QString& relative, QByteArray* bytes) {
    QFile f(bag_ + u'/' + relative);
    if (!f.open(QIODevice::ReadOnly)) return false;
    *bytes = f.readAll();
    return f.error() == QFileDevice::NoError;
  }
  bool IsDeclared();
  // The manifests of one kind ("manifest" or "tagmanifest") in the bag's top folder.
  std::vector<Manifest> ReadManifests(const QString& kind);
  QStringList PayloadFiles();
  void CheckListed(const std::vector<Manifest>& manifests, bool payload,
                   std::map<QString, Expected>& expected);
  void CheckOxum(const QStringList& payload);

  QString bag_;
  const VerifyOptions& options_;
  VerifyResult result_;
  QByteArray bagInfo_;
};

bool Verification::IsDeclared() {
  QByteArray declaration;
  if (!ReadFile(QStringLiteral("bagit.txt"), &declaration)) {
    result_.notABagReason = QStringLiteral("no bagit.txt");
    return false;
  }
  const TagFields fields = ParseTagFields(declaration);
  if (TagValue(fields, QStringLiteral("BagIt-Version")).isEmpty()) {
    result_.notABagReason = QStringLiteral("bagit.txt names no BagIt-Version");
    return false;
  }
  if (!QFileInfo(bag_ + QStringLiteral("/data")).isDir()) {
    result_.notABagReason = QStringLiteral("no data folder");
    return false;
  }
  return true;
}

std::vector<Manifest> Verification::ReadManifests(const QString& kind) {
  std::vector<Manifest> manifests;
  const QStringList names =
      QDir(bag_).entryList({kind + QStringLiteral("-*.txt")}, QDir::Files, QDir::Name);
  for (const QString& name : names) {
    const QString algorithmName = name.mid(kind.size() + 1).chopped(4);
    const std::optional<Algorithm> algorithm = AlgorithmFromName(algorithmName);
    if (!algorithm) {
      Find(
          name,
          QStringLiteral("the algorithm \"%1\" is not known here: not checked").arg(algorithmName));
      continue;
    }
    QByteArray text;
    if (!ReadFile(name, &text)) {
      Find(name, QStringLiteral("cannot be read"));
      continue;
    }
    ParsedManifest parsed = ParseManifest(text, *algorithm);
    for (const QString& error : parsed.errors) Find(name, error);
    manifests.push_back(Manifest{name, *algorithm, std::move(parsed.entries)});
  }
  return manifests;
}

QStringList Verification::PayloadFiles() {
  QStringList files;
  const QString data = bag_ + QStringLiteral("/data");
  QDirIterator it(data, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
  while (it.hasNext()) files << it.next().mid(bag_.size() + 1);
  files.sort();
  return files;
}

void Verification::CheckListed(const std::vector<Manifest>& manifests, bool payload,
                               std::map<QString, Expected>& expected) {
  for (const Manifest& m : manifests) {
    QSet<QString> seen;
    for (const ManifestEntry& e : m.entries) {
      const QString where = QStringLiteral("%1 line %2").arg(m.file).arg(e.line);
      const QString unsafe = UnsafeBagPathReason(e.path);
      if (!unsafe.isEmpty()) {
        Find(where, QStringLiteral("names %1: %2, not opened").arg(unsafe, e.path));
        continue;
      }
      const bool inData = e.path.startsWith(QLatin1String("data/"));
      if (payload != inData) {
        Find(where, payload ? QStringLiteral("names %1, which is not in the payload").arg(e.path)
                            : QStringLiteral("names %1, which is in the payload").arg(e.path));
        continue;
      }
      if (seen.contains(e.path)) {
        Find(where, QStringLiteral("names %1 a second time").arg(e.path));
        continue;
      }
      seen.insert(e.path);
      const QFileInfo info(bag_ + u'/' + e.path);
      if (!info.isFile()) {
        Find(e.path, QStringLiteral("missing (listed in %1)").arg(where));
        continue;
      }
      Expected& x = expected[e.path];
      x.algorithms.push_back(m.algorithm);
      x.digests.push_back(e.digest);
      x.manifests.push_back(m.file);
    }
  }
}

void Verification::CheckOxum(const QStringList& payload) {
  const QString oxum = TagValue(ParseTagFields(bagInfo_), QStringLiteral("Payload-Oxum"));
  if (oxum.isEmpty()) return;
  qint64 bytes = 0, files = 0;
  if (!ParsePayloadOxum(oxum, &bytes, &files)) {
    Find(QStringLiteral("bag-info.txt"),
         QStringLiteral("Payload-Oxum \"%1\" is not <bytes>.<files>").arg(oxum));
    return;
  }
  if (bytes != result_.payloadBytes || files != payload.size()) {
    Find(QStringLiteral("bag-info.txt"),
         QStringLiteral("Payload-Oxum %1, but the payload holds %2")
             .arg(oxum, PayloadOxum(result_.payloadBytes, payload.size())));
  }
}

VerifyResult Verification::Run() {
  if (!IsDeclared()) {
    result_.validity = BagValidity::NotABag;
    return result_;
  }
  std::vector<Manifest> manifests = ReadManifests(QStringLiteral("manifest"));
  if (manifests.empty() && result_.findings.empty()) {
    result_.notABagReason = QStringLiteral("no payload manifest (manifest-<algorithm>.txt)");
    result_.validity = BagValidity::NotABag;
    return result_;
  }
  ReadFile(QStringLiteral("bag-info.txt"), &bagInfo_);

  const QStringList payload = PayloadFiles();
  for (const QString& file : payload) {
    result_.payloadBytes += QFileInfo(bag_ + u'/' + file).size();
  }
  result_.payloadFiles = payload.size();

  std::map<QString, Expected> expected;
  CheckListed(manifests, true, expected);
  for (const Manifest& m : manifests) {
    QSet<QString> listed;
    for (const ManifestEntry& e : m.entries) listed.insert(e.path);
    for (const QString& file : payload) {
      if (!listed.contains(file)) Find(file, QStringLiteral("not in %1").arg(m.file));
    }
  }
  if (!options_.payloadOnly) {
    CheckOxum(payload);
    const std::vector<Manifest> tagManifests = ReadManifests(QStringLiteral("tagmanifest"));
    CheckListed(tagManifests, false, expected);
  }

  // Every file named, read once for all the algorithms that name it.
  std::vector<FileToHash> jobs;
  std::vector<const Expected*> wanted;
  std::vector<QString> names;
  for (const auto& [path, x] : expected) {
    jobs.push_back(FileToHash{bag_ + u'/' + path, x.algorithms, {}, {}, 0});
    wanted.push_back(&x);
    names.push_back(path);
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
