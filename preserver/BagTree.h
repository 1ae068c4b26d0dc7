#pragma once
// The files of a folder as they are on the disk, for the bag writer and the verifier: a name is
// the bytes the file system holds (a name that is not UTF-8 is a name like any other, never lost
// on the way), and nothing leads out of the folder: a symbolic link is listed and never followed,
// a pipe or a device never opened, and a path below the folder is opened one part at a time from
// the folder's own handle, so that no file outside it is ever opened.

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

namespace preserver {

// An open folder (a file descriptor), closed with this object.
class FolderHandle {
 public:
  FolderHandle() = default;
  explicit FolderHandle(int fd) : fd_(fd) {}
  ~FolderHandle();
  FolderHandle(FolderHandle&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  FolderHandle& operator=(FolderHandle&& other) noexcept;
  FolderHandle(const FolderHandle&) = delete;
  FolderHandle& operator=(const FolderHandle&) = delete;

  int Fd() const { return fd_; }
  bool IsOpen() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

// Opens a folder named by the user; a link there is followed, since the user chose it.
FolderHandle OpenFolder(const QByteArray& path, QString* error);

enum class EntryKind { File, Folder, Link, Pipe, Socket, Device, Other };

struct TreeEntry {
  QByteArray path;  // below the folder listed, '/' separated
  EntryKind kind = EntryKind::Other;
  qint64 size = 0;
  qint64 modifiedNs = 0;  // since the epoch
  QByteArray linkTarget;  // what a link points to
  QString error;          // a folder that could not be listed: why
};

// Every entry below relative ("": the whole folder) of base, folders before what they hold, names
// in byte order; links are listed and not followed.
std::vector<TreeEntry> ListTree(int base, const QByteArray& relative = {});

// What relative (below base) is, without following a link at any part of it; nothing when it
// does not exist. *why names what stood in the way when a part of it is not a folder.
std::optional<EntryKind> KindBelow(int base, const QByteArray& relative, QString* why = nullptr,
                                   QByteArray* linkTarget = nullptr);

// Opens relative below base for reading when it is a regular file, every part of its path taken
// without following a link: -1 otherwise, with why ("a symbolic link (to /etc/passwd): not
// followed", "a pipe (FIFO): not opened", "missing"). Its size in *size.
int OpenFileBelow(int base, const QByteArray& relative, QString* why, qint64* size = nullptr);

// The whole of an open file, up to limit bytes (more is an error); the file is closed.
bool ReadAndClose(int fd, qint64 limit, QByteArray* bytes, QString* error);

// Writes bytes to a new file at path (replacing one there, never through a link); false with
// why, a full disk said to be full.
bool WriteWholeFile(const QByteArray& path, const QByteArray& bytes, QString* why);

// What a kind of entry is, in words: "a symbolic link", "a pipe (FIFO)", ...
QString KindText(EntryKind kind);

// Whether bytes are UTF-8 throughout.
bool IsUtf8(const QByteArray& bytes);
// A name for people: UTF-8 as it is, a byte that is not UTF-8 as \xNN, and what is not printable
// as medium::PrintableText shows it.
QString NameText(const QByteArray& name);

// The text of a system error (an errno); a full disk is said to be full.
QString SystemErrorText(int error);

}  // namespace preserver
