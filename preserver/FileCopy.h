#pragma once
// Copying a file of the medium into the bag, read once: every block read is hashed (on a second
// thread, while this one writes it and reads the next) and written. A block the disc cannot give
// is tried again sector by sector; what stays unreadable is written as zeros, so that the copy
// keeps its length and every readable byte its place, and is named with its offsets.

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>

namespace preserver {

// Where a file's bytes come from: the file itself, or in tests a stand-in that fails where a
// damaged disc would.
class SourceFile {
 public:
  virtual ~SourceFile() = default;
  // False with the reason ("Permission denied") when the file cannot be opened.
  virtual bool Open(QString* error) = 0;
  virtual qint64 Size() const = 0;
  // Up to size bytes from offset into data: the count read, 0 at the end of the file, -1 when the
  // read failed (the reason in *error).
  virtual qint64 ReadAt(qint64 offset, char* data, qint64 size, QString* error) = 0;
};

// Opens a native path of the medium, named by its bytes (a name that is not UTF-8 is a name like
// any other); tests put their own in its place. Only a regular file is opened: a link is not
// followed, and a pipe or a device put where the file stood is not opened.
using SourceOpener = std::function<std::unique_ptr<SourceFile>(const QByteArray& nativePath)>;
std::unique_ptr<SourceFile> OpenLocalFile(const QByteArray& nativePath);

// A stretch of a file that could not be read: [begin, end) in bytes, and why.
struct UnreadableRange {
  qint64 begin = 0;
  qint64 end = 0;
  QString reason;
};

struct CopyResult {
  bool opened = false;  // false: nothing was copied and no file made (openError says why)
  QString openError;
  QString writeError;  // the copy could not be written: the bag cannot be made
  bool cancelled = false;
  qint64 bytes = 0;   // the length of the copy
  QByteArray sha512;  // of the copy, lower-case hex
  std::vector<UnreadableRange> unreadable;
  bool Complete() const {
    return opened && writeError.isEmpty() && !cancelled && unreadable.empty();
  }
};

// Hashes blocks beside the thread that reads and writes them, and keeps their buffers from one
// file to the next; one per bag being written.
class DigestWorker;

struct CopyOptions {
  qint64 blockBytes = qint64(1) << 20;
  qint64 sectorBytes = 2048;  // a CD's sector: the unit a read is tried again in
  // After this much unreadable in a row, the rest of the file is not tried (a dead disc would
  // otherwise take hours), but written as zeros and named all the same.
  qint64 giveUpBytes = qint64(16) << 20;
  QDateTime modified;  // given to the copy when valid
  std::function<void(qint64 copied)> progress;
  const std::atomic<bool>* cancel = nullptr;
  DigestWorker* worker = nullptr;  // hashes inline without one
};

// target: a native path by its bytes; a link standing there is not followed.
CopyResult CopyWithDigest(SourceFile& source, const QByteArray& target, const CopyOptions& options);
CopyResult CopyWithDigest(SourceFile& source, const QString& target, const CopyOptions& options);

class DigestWorker {
 public:
  DigestWorker();
  ~DigestWorker();
  DigestWorker(const DigestWorker&) = delete;
  DigestWorker& operator=(const DigestWorker&) = delete;

 private:
  friend class BlockSink;
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace preserver
