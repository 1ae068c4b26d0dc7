#pragma once
// Checking a bag years later: every payload file against every payload manifest (each file read
// once, whatever the number of manifests, the files shared out over the cores), files missing
// and files no manifest lists, the Payload-Oxum, and the tag manifests over the tag files. The
// bag is read as RFC 8493 has it (bagit.txt to the letter, the tag files in the encoding it
// declares, paths relative to the bag), and nothing outside the bag's folder is ever opened: a
// link in the bag is a finding and is not followed, a pipe or device is never opened.

#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <vector>

namespace preserver {

enum class BagValidity { Valid, Invalid, NotABag };

struct BagFinding {
  QString path;  // relative to the bag ('/' separated); a manifest line as "file line n"
  QString message;
};

struct VerifyOptions {
  int threads = 2;
  // Only the payload against its manifests (the bag writer's check of what it wrote, before the
  // tag files exist).
  bool payloadOnly = false;
  // Bytes hashed so far of all there is to hash; called on the calling thread.
  std::function<void(qint64 done, qint64 total)> progress;
  const std::atomic<bool>* cancel = nullptr;
};

struct VerifyResult {
  BagValidity validity = BagValidity::Valid;
  std::vector<BagFinding> findings;  // empty for a valid bag
  QString notABagReason;
  QStringList notes;  // worth saying of a valid bag (it holds an incomplete copy)
  // What makes a valid bag suspect: a manifest line in md5sum's binary form, a file listed twice
  // with one digest, names that differ only in case or Unicode normalization, litter of an
  // operating system in the payload, a manifest in an algorithm not known here beside one that
  // covers every file.
  std::vector<BagFinding> warnings;
  qint64 payloadFiles = 0;
  qint64 payloadBytes = 0;
  qint64 hashedBytes = 0;
  bool cancelled = false;
};

VerifyResult VerifyBag(const QString& bagPath, const VerifyOptions& options = {});

// One line per finding, then the verdict, as "--verify" prints them.
QString FormatVerification(const QString& bagPath, const VerifyResult& result);
// One line per warning, as "--verify" prints them on standard error.
QString FormatWarnings(const QString& bagPath, const VerifyResult& result);

// "Ambrel --verify BAG...": 0 every bag valid, 1 one is invalid, 2 one is not a bag (or none is
// named). A progress line goes to standard error while a terminal shows it.
int RunVerify(const QStringList& bags);

}  // namespace preserver
