#include "preserver/FileCopy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "preserver/BagTree.h"
#include "preserver/Digest.h"

namespace preserver {

namespace {

class LocalFile : public SourceFile {
 public:
  explicit LocalFile(const QByteArray& path) : path_(path) {}
  ~LocalFile() override {
    if (fd_ >= 0) ::close(fd_);
  }
  LocalFile(const LocalFile&) = delete;
  LocalFile& operator=(const LocalFile&) = delete;

  bool Open(QString* error) override {
    // Looked at before it is opened: opening a pipe would wait for a writer forever.
    struct stat st;
    if (::lstat(path_.constData(), &st) != 0) {
      *error = SystemErrorText(errno);
      return false;
    }
    if (!S_ISREG(st.st_mode)) {
      *error = QStringLiteral("not a regular file");
      return false;
    }
    fd_ = ::open(path_.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd_ < 0) {
      *error = SystemErrorText(errno);
      return false;
    }
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
      *error = QStringLiteral("not a regular file");
      return false;
    }
    size_ = qint64(st.st_size);
    return true;
  }
  qint64 Size() const override { return size_; }
  // Unbuffered, at the offset asked for: a failed read must not hide behind a buffer.
  qint64 ReadAt(qint64 offset, char* data, qint64 size, QString* error) override {
    ssize_t n;
    do {
      n = ::pread(fd_, data, static_cast<size_t>(size), static_cast<off_t>(offset));
    } while (n < 0 && errno == EINTR);
    if (n < 0) *error = SystemErrorText(errno);
    return n;
  }

 private:
  QByteArray path_;
  int fd_ = -1;
  qint64 size_ = 0;
};

}  // namespace

std::unique_ptr<SourceFile> OpenLocalFile(const QByteArray& nativePath) {
  return std::make_unique<LocalFile>(nativePath);
}

struct DigestWorker::State {
  struct Job {
    Digest* digest;
    const char* data;
    qint64 size;
  };
  std::mutex mutex;
  std::condition_variable wake;
  std::condition_variable done;
  std::deque<Job> jobs;  // in order; the front one is being hashed while it is here
  bool stop = false;
  // The ring of block buffers, kept from one file to the next: a medium has hundreds of small
  // files, and fresh buffers would cost each of them new pages from the system.
  std::vector<QByteArray> buffers;
  std::thread thread;

  void Loop() {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
      wake.wait(lock, [this] { return !jobs.empty() || stop; });
      if (stop) return;
      const Job job = jobs.front();
      lock.unlock();
      job.digest->Add(job.data, job.size);
      lock.lock();
      jobs.pop_front();
      done.notify_all();
    }
  }
};

DigestWorker::DigestWorker() : state_(std::make_unique<State>()) {
  state_->thread = std::thread([s = state_.get()] { s->Loop(); });
}

DigestWorker::~DigestWorker() {
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->stop = true;
  }
  state_->wake.notify_all();
  state_->thread.join();
}

// Takes the blocks of one copy: each is hashed (on the worker when there is one) while it is
// written, and the next ones are read meanwhile into the other buffers of a small ring, so that
// neither thread waits for the other at every block (a busy machine is slow to wake a thread).
class BlockSink {
 public:
  static constexpr int kBuffers = 4;

  BlockSink(int out, qint64 blockBytes, DigestWorker* worker)
      : out_(out), worker_(worker ? worker->state_.get() : nullptr) {
    std::vector<QByteArray>& buffers = worker_ ? worker_->buffers : own_;
    buffers.resize(kBuffers);
    for (QByteArray& b : buffers) {
      if (b.size() != blockBytes) b.resize(blockBytes);
    }
    buffers_ = buffers.data();
  }
  ~BlockSink() { WaitForWorker(0); }

  char* Buffer() { return buffers_[current_].data(); }
  // Hands n bytes of Buffer() on; false when they could not be written.
  bool Commit(qint64 n) {
    if (n <= 0) return true;
    const char* data = Buffer();
    if (worker_) {
      {
        std::lock_guard<std::mutex> lock(worker_->mutex);
        worker_->jobs.push_back(DigestWorker::State::Job{&digest_, data, n});
      }
      worker_->wake.notify_all();
    } else {
      digest_.Add(data, n);
    }
    const bool written = WriteAll(data, n);
    current_ = (current_ + 1) % kBuffers;
    // The next buffer is free once no more than the others are still being hashed.
    WaitForWorker(kBuffers - 1);
    return written;
  }
  // Zeros in place of what could not be read.
  bool CommitZeros(qint64 n) {
    while (n > 0) {
      const qint64 part = std::min<qint64>(n, buffers_[current_].size());
      std::memset(Buffer(), 0, static_cast<size_t>(part));
      if (!Commit(part)) return false;
      n -= part;
    }
    return true;
  }
  QByteArray Finish() {
    WaitForWorker(0);
    return digest_.HexResult();
  }
  // errno of the write that failed.
  int WriteError() const { return writeError_; }

 private:
  // The system may write less than asked (a disk that fills up in the middle of a block): the
  // rest is written again until it is all written or the system says why not.
  bool WriteAll(const char* data, qint64 n) {
    while (n > 0) {
      const ssize_t written = ::write(out_, data, static_cast<size_t>(n));
      if (written < 0) {
        if (errno == EINTR) continue;
        writeError_ = errno;
        return false;
      }
      data += written;
      n -= written;
    }
    return true;
  }

  // Until at most `left` blocks are waiting to be hashed.
  void WaitForWorker(size_t left) {
    if (!worker_) return;
    std::unique_lock<std::mutex> lock(worker_->mutex);
    worker_->done.wait(lock, [this, left] { return worker_->jobs.size() <= left; });
  }

  int out_;
  int writeError_ = 0;
  DigestWorker::State* worker_;
  Digest digest_{Algorithm::Sha512};
  std::vector<QByteArray> own_;
  QByteArray* buffers_;
  int current_ = 0;
};

namespace {

void AddUnreadable(std::vector<UnreadableRange>& ranges, qint64 begin, qint64 end,
                   const QString& reason) {
  if (!ranges.empty() && ranges.back().end == begin && ranges.back().reason == reason) {
    ranges.back().end = end;
    return;
  }
  ranges.push_back(UnreadableRange{begin, end, reason});
}

}  // namespace

CopyResult CopyWithDigest(SourceFile& source, const QString& target, const CopyOptions& options) {
  return CopyWithDigest(source, QFile::encodeName(target), options);
}

CopyResult CopyWithDigest(SourceFile& source, const QByteArray& target,
                          const CopyOptions& options) {
  CopyResult result;
  QString error;
  if (!source.Open(&error)) {
    result.openError = error;
    return result;
  }
  result.opened = true;
  const int out =
      ::open(target.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (out < 0) {
    result.writeError = SystemErrorText(errno);
    return result;
  }
  // Closed on every way out; on the way that succeeds, by hand, to hear what closing says.
  struct Closer {
    int fd;
    ~Closer() {
      if (fd >= 0) ::close(fd);
    }
  } closer{out};
  const qint64 size = source.Size();
  const qint64 block = std::max<qint64>(options.blockBytes, options.sectorBytes);
  qint64 pos = 0;
  qint64 badRun = 0;
  {
    BlockSink sink(out, block, options.worker);
    auto fail = [&] {
      result.writeError = SystemErrorText(sink.WriteError());
      return result;
    };
    while (pos < size) {
      if (options.cancel && options.cancel->load()) {
        result.cancelled = true;
        return result;
      }
      const qint64 want = std::min(block, size - pos);
      const qint64 n = source.ReadAt(pos, sink.Buffer(), want, &error);
      if (n > 0) {
        if (!sink.Commit(n)) return fail();
        pos += n;
        badRun = 0;
      } else if (n == 0) {
        // The file ends before the length its directory entry states.
        AddUnreadable(result.unreadable, pos, size,
                      QStringLiteral("the file ends here, before its stated length"));
        if (!sink.CommitZeros(size - pos)) return fail();
        pos = size;
      } else {
        // Sector by sector through the block that failed, to save all that can be read.
        const qint64 end = pos + want;
        while (pos < end) {
          const qint64 part = std::min(options.sectorBytes, end - pos);
          const qint64 m = source.ReadAt(pos, sink.Buffer(), part, &error);
          if (m > 0) {
            if (!sink.Commit(m)) return fail();
            pos += m;
            badRun = 0;
            continue;
          }
          AddUnreadable(
              result.unreadable, pos, pos + part,
              m == 0 ? QStringLiteral("the file ends here, before its stated length") : error);
          if (!sink.CommitZeros(part)) return fail();
          pos += part;
          badRun += part;
          if (badRun >= options.giveUpBytes && pos < size) {
            AddUnreadable(
                result.unreadable, pos, size,
                QStringLiteral("not tried after %1 unreadable bytes in a row").arg(badRun));
            if (!sink.CommitZeros(size - pos)) return fail();
            pos = size;
            break;
          }
        }
      }
      if (options.progress) options.progress(pos);
    }
    result.sha512 = sink.Finish();
  }
  result.bytes = pos;
  if (options.modified.isValid()) {
    const qint64 ms = options.modified.toMSecsSinceEpoch();
    const timespec times[2] = {{0, UTIME_OMIT}, {time_t(ms / 1000), long(ms % 1000) * 1000000}};
    ::futimens(out, times);
  }
  // A file system that keeps the writing back for later says only here that it is full.
  closer.fd = -1;
  if (::close(out) != 0) result.writeError = SystemErrorText(errno);
  return result;
}

}  // namespace preserver
