#pragma once
// Message digests through OpenSSL's libcrypto, whose SHA-512 runs three to four times faster
// here than Qt's own (bench/preserve measures both): hashing must not be what slows a bag down.

#include <QByteArray>
#include <QString>
#include <atomic>
#include <functional>
#include <optional>
#include <vector>

typedef struct evp_md_ctx_st EVP_MD_CTX;

namespace preserver {

// The algorithms a bag's manifests may name; our own bags use SHA-512.
enum class Algorithm {
  Md5,
  Sha1,
  Sha224,
  Sha256,
  Sha384,
  Sha512,
  Sha3_224,
  Sha3_256,
  Sha3_384,
  Sha3_512,
};

// "md5", "sha1", "sha224", "sha256", "sha384", "sha512", "sha3-224" ...: the name in
// manifest-<name>.txt.
QString AlgorithmName(Algorithm algorithm);
// The algorithm a manifest's name names, in any case, with or without hyphens or underscores
// ("sha-256", "sha3_256", as other tools write them); nothing when it is not known here or
// this libcrypto lacks it.
std::optional<Algorithm> AlgorithmFromName(const QString& name);
// The length of its digest in hex digits.
int HexLength(Algorithm algorithm);

class Digest {
 public:
  explicit Digest(Algorithm algorithm = Algorithm::Sha512);
  ~Digest();
  Digest(const Digest&) = delete;
  Digest& operator=(const Digest&) = delete;

  void Add(const char* data, qint64 size);
  void Add(const QByteArray& bytes) { Add(bytes.constData(), bytes.size()); }
  // The digest in lower-case hex; the digest starts again empty afterwards.
  QByteArray HexResult();

 private:
  Algorithm algorithm_;
  EVP_MD_CTX* context_;
};

QByteArray HexDigest(Algorithm algorithm, const QByteArray& bytes);

// A file to hash with one or more algorithms in one reading.
struct FileToHash {
  QString path;  // native
  std::vector<Algorithm> algorithms;
  // Filled in: the digests in the order of algorithms (empty when the file could not be read
  // through, the reason in error) and the bytes read.
  std::vector<QByteArray> hex;
  QString error;
  qint64 bytes = 0;
  // Instead of path: a file below an open folder, named by its bytes and opened without
  // following a link anywhere on its way (preserver/BagTree), with its size when known.
  int baseFolder = -1;
  QByteArray relative;
  qint64 size = -1;
};

// Hashes every file, each read once, the files shared out over threads (the largest first, so
// that no core is left with one big file at the end). progress(done, total) is called on the
// calling thread a few times a second. A set cancel flag stops at the next block; the files not
// done are left without digests.
void HashFiles(std::vector<FileToHash>& files, int threads,
               const std::function<void(qint64 done, qint64 total)>& progress = {},
               const std::atomic<bool>* cancel = nullptr);

}  // namespace preserver
