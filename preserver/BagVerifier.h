#pragma once
// Checking a bag years later: every payload file against every payload manifest (each file read
// once, whatever the number of manifests, the files shared out over the cores), files missing
// and files no manifest lists, the Payload-Oxum, and the tag manifests over the tag files.

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
  qint64 payloadFiles = 0;
  qint64 payloadBytes = 0;
  qint64 hashedBytes = 0;
  bool cancelled = false;
};

VerifyResult VerifyBag(const QString& bagPath, const VerifyOptions& options = {});

// One line per finding, then the verdict, as "--verify" prints them.
QString FormatVerification(const QString& bagPath, const VerifyResult& result);

// "Ambrel --verify BAG...": 0 every bag valid, 1 one is invalid, 2 one is not a bag (or none is
// named). A progress line goes to standard error while a terminal shows it.
int RunVerify(const QStringList& bags);

}  // namespace preserver
