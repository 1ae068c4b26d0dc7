#include "preserver/Digest.h"

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

namespace preserver {

namespace {

const EVP_MD* MdOf(Algorithm algorithm) {
  switch (algorithm) {
    case Algorithm::Md5:
      return EVP_md5();
    case Algorithm::Sha1:
      return EVP_sha1();
    case Algorithm::Sha256:
      return EVP_sha256();
    case Algorithm::Sha512:
      break;
  }
  return EVP_sha512();
}

}  // namespace

QString AlgorithmName(Algorithm algorithm) {
  switch (algorithm) {
    case Algorithm::Md5:
      return QStringLiteral("md5");
    case Algorithm::Sha1:
      return QStringLiteral("sha1");
    case Algorithm::Sha256:
      return QStringLiteral("sha256");
    case Algorithm::Sha512:
      break;
  }
  return QStringLiteral("sha512");
}

std::optional<Algorithm> AlgorithmFromName(const QString& name) {
  for (Algorithm a : {Algorithm::Md5, Algorithm::Sha1, Algorithm::Sha256, Algorithm::Sha512}) {
    if (name == AlgorithmName(a)) return a;
  }
  return std::nullopt;
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
    sizes[i] = QFileInfo(files[i].path).size();
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
      QFile file(f.path);
      if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        f.error = file.errorString();
        continue;
      }
      qint64 n;
      while ((n = file.read(buffer.get(), kBlock)) > 0) {
        for (auto& d : digests) d->Add(buffer.get(), n);
        f.bytes += n;
        done += n;
        if (cancel && cancel->load()) break;
      }
      if (n < 0) {
        f.error = file.errorString();
        continue;
      }
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
