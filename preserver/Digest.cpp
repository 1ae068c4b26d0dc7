#include "preserver/Digest.h"

#include <fcntl.h>
#include <unistd.h>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <numeric>
#include <thread>

#include <openssl/evp.h>

#include "preserver/BagTree.h"

namespace preserver {

namespace {

constexpr Algorithm kAlgorithms[] = {
    Algorithm::Md5,      Algorithm::Sha1,     Algorithm::Sha224,   Algorithm::Sha256,
    Algorithm::Sha384,   Algorithm::Sha512,   Algorithm::Sha3_224, Algorithm::Sha3_256,
    Algorithm::Sha3_384, Algorithm::Sha3_512,
};

// libcrypto's name of each algorithm, in the order of the enumeration.
const char* const kOpenSslNames[] = {
    "MD5",    "SHA1",     "SHA224",   "SHA256",   "SHA384",
    "SHA512", "SHA3-224", "SHA3-256", "SHA3-384", "SHA3-512",
};

// Looked up once: a libcrypto built without one (a FIPS build without MD5, an old one without
// SHA-3) leaves it unknown.
const EVP_MD* MdOf(Algorithm algorithm) {
  static const std::vector<const EVP_MD*> digests = [] {
    std::vector<const EVP_MD*> out;
    for (const char* name : kOpenSslNames) out.push_back(EVP_get_digestbyname(name));
    return out;
  }();
  return digests[static_cast<size_t>(algorithm)];
}

QString Squeezed(QString name) {
  return name.toLower().remove(u'-').remove(u'_');
}

}  // namespace

QString AlgorithmName(Algorithm algorithm) {
  QString name = QString::fromLatin1(kOpenSslNames[static_cast<size_t>(algorithm)]).toLower();
  if (!name.startsWith(QLatin1String("sha3"))) name.remove(u'-');
  return name;
}

std::optional<Algorithm> AlgorithmFromName(const QString& name) {
  const QString wanted = Squeezed(name);
  for (Algorithm a : kAlgorithms) {
    if (wanted == Squeezed(AlgorithmName(a))) {
      if (!MdOf(a)) return std::nullopt;
      return a;
    }
  }
  return std::nullopt;
}

int HexLength(Algorithm algorithm) {
  const EVP_MD* md = MdOf(algorithm);
  return md ? 2 * EVP_MD_get_size(md) : 0;
}

Digest::Digest(Algorithm algorithm) : algorithm_(algorithm), context_(EVP_MD_CTX_new()) {
  EVP_DigestInit_ex(context_, MdOf(algorithm_), nullptr);
}

Digest::~Digest() {
  EVP_MD_CTX_free(context_);
}

void Digest::Add(const char* data, qint64 size) {
  if (size > 0) EVP_DigestUpdate(context_, data, static_cast<size_t>(size));
}

QByteArray Digest::HexResult() {
  unsigned char out[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_DigestFinal_ex(context_, out, &length);
  EVP_DigestInit_ex(context_, MdOf(algorithm_), nullptr);
  return QByteArray(reinterpret_cast<const char*>(out), static_cast<qsizetype>(length)).toHex();
}

QByteArray HexDigest(Algorithm algorithm, const QByteArray& bytes) {
  Digest digest(algorithm);
  digest.Add(bytes);
  return digest.HexResult();
}

void HashFiles(std::vector<FileToHash>& files, int threads,
               const std::function<void(qint64, qint64)>& progress,
               const std::atomic<bool>* cancel) {
  std::vector<qint64> sizes(files.size());
  qint64 total = 0;
  for (size_t i = 0; i < files.size(); ++i) {
    sizes[i] = files[i].size >= 0        ? files[i].size
               : files[i].baseFolder < 0 ? QFileInfo(files[i].path).size()
                                         : 0;
    total += sizes[i];
  }
  std::vector<size_t> order(files.size());
  std::iota(order.begin(), order.end(), size_t(0));
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return sizes[a] > sizes[b]; });

  std::atomic<size_t> next{0};
  std::atomic<qint64> done{0};
  std::mutex mutex;
  std::condition_variable finished;
  int running = std::max(1, threads);
  auto work = [&] {
    constexpr qint64 kBlock = qint64(1) << 20;
    std::unique_ptr<char[]> buffer(new char[kBlock]);
    for (size_t k; (k = next.fetch_add(1)) < order.size();) {
      if (cancel && cancel->load()) break;
      FileToHash& f = files[order[k]];
      std::vector<std::unique_ptr<Digest>> digests;
      for (Algorithm a : f.algorithms) digests.push_back(std::make_unique<Digest>(a));
      QString why;
      const int fd = f.baseFolder >= 0
                         ? OpenFileBelow(f.baseFolder, f.relative, &why)
                         : ::open(QFile::encodeName(f.path).constData(), O_RDONLY | O_CLOEXEC);
      if (fd < 0) {
        f.error = f.baseFolder >= 0 ? why : SystemErrorText(errno);
        continue;
      }
      ssize_t n;
      while ((n = ::read(fd, buffer.get(), kBlock)) != 0) {
        if (n < 0) {
          if (errno == EINTR) continue;
          f.error = SystemErrorText(errno);
          break;
        }
        for (auto& d : digests) d->Add(buffer.get(), n);
        f.bytes += n;
        done += n;
        if (cancel && cancel->load()) break;
      }
      ::close(fd);
      if (!f.error.isEmpty()) continue;
      if (cancel && cancel->load()) break;
      for (auto& d : digests) f.hex.push_back(d->HexResult());
    }
    std::lock_guard<std::mutex> lock(mutex);
    --running;
    finished.notify_all();
  };
  std::vector<std::thread> pool;
  for (int t = 1; t < std::max(1, threads); ++t) pool.emplace_back(work);
  // The calling thread hashes too when it has no one to report to; otherwise it reports.
  if (!progress) {
    work();
  } else {
    pool.emplace_back(work);
    std::unique_lock<std::mutex> lock(mutex);
    while (!finished.wait_for(lock, std::chrono::milliseconds(200), [&] { return running == 0; })) {
      lock.unlock();
      progress(done.load(), total);
      lock.lock();
    }
    lock.unlock();
    progress(done.load(), total);
  }
  for (std::thread& t : pool) t.join();
}

}  // namespace preserver
