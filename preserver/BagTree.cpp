#include "preserver/BagTree.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QByteArrayList>

#include <algorithm>
#include <cerrno>
#include <climits>

#include "medium/PrintableText.h"

namespace preserver {

FolderHandle::~FolderHandle() {
  if (fd_ >= 0) ::close(fd_);
}

FolderHandle& FolderHandle::operator=(FolderHandle&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

QString SystemErrorText(int error) {
  // Said plainly: it is what the user has to act on.
  if (error == ENOSPC) return QStringLiteral("the disk is full (no space left on device)");
  if (error == EDQUOT) return QStringLiteral("the disk quota is used up");
  return qt_error_string(error);
}

FolderHandle OpenFolder(const QByteArray& path, QString* error) {
  const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0 && error) *error = SystemErrorText(errno);
  return FolderHandle(fd);
}

namespace {

EntryKind KindOf(mode_t mode) {
  if (S_ISREG(mode)) return EntryKind::File;
  if (S_ISDIR(mode)) return EntryKind::Folder;
  if (S_ISLNK(mode)) return EntryKind::Link;
  if (S_ISFIFO(mode)) return EntryKind::Pipe;
  if (S_ISSOCK(mode)) return EntryKind::Socket;
  if (S_ISCHR(mode) || S_ISBLK(mode)) return EntryKind::Device;
  return EntryKind::Other;
}

QByteArray LinkTarget(int dir, const char* name) {
  char target[PATH_MAX];
  const ssize_t n = ::readlinkat(dir, name, target, sizeof target);
  return n < 0 ? QByteArray() : QByteArray(target, n);
}

// Why an entry that is not a regular file is left alone.
QString NotAFile(EntryKind kind, const QByteArray& linkTarget) {
  switch (kind) {
    case EntryKind::Link:
      return QStringLiteral("a symbolic link (to %1): not followed").arg(NameText(linkTarget));
    case EntryKind::Folder:
      return QStringLiteral("a folder, not a file");
    default:
      return QStringLiteral("%1, not a file: not opened").arg(KindText(kind));
  }
}

QByteArrayList Parts(const QByteArray& relative) {
  QByteArrayList parts;
  for (const QByteArray& part : relative.split('/')) {
    if (!part.isEmpty()) parts << part;
  }
  return parts;
}

// The folder relative below base, every part opened without following a link. Not open, with
// why, when a part is missing (*missing set), a link or no folder.
FolderHandle OpenFolderBelow(int base, const QByteArray& relative, QString* why,
                             bool* missing = nullptr) {
  FolderHandle current(::openat(base, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!current.IsOpen()) {
    if (why) *why = SystemErrorText(errno);
    return current;
  }
  QByteArray walked;
  for (const QByteArray& part : Parts(relative)) {
    walked += (walked.isEmpty() ? "" : "/") + part;
    if (part == "." || part == "..") {
      if (why) *why = QStringLiteral("%1: a path part \"%2\" is not taken").arg(NameText(walked));
      return FolderHandle();
    }
    const int fd =
        ::openat(current.Fd(), part.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
      const int error = errno;
      struct stat st;
      if (::fstatat(current.Fd(), part.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        if (missing) *missing = errno == ENOENT;
        if (why) *why = SystemErrorText(errno);
      } else if (S_ISDIR(st.st_mode)) {
        if (why) *why = QStringLiteral("%1: %2").arg(NameText(walked), SystemErrorText(error));
      } else {
        const EntryKind kind = KindOf(st.st_mode);
        if (why) {
          *why = QStringLiteral("%1 is %2")
                     .arg(NameText(walked),
                          NotAFile(kind, kind == EntryKind::Link
                                             ? LinkTarget(current.Fd(), part.constData())
                                             : QByteArray()));
        }
      }
      return FolderHandle();
    }
    current = FolderHandle(fd);
  }
  return current;
}

void SplitLast(const QByteArray& relative, QByteArray* parent, QByteArray* name) {
  const qsizetype slash = relative.lastIndexOf('/');
  *parent = slash < 0 ? QByteArray() : relative.left(slash);
  *name = slash < 0 ? relative : relative.mid(slash + 1);
}

}  // namespace

std::vector<TreeEntry> ListTree(int base, const QByteArray& relative) {
  std::vector<TreeEntry> entries;
  // Folders still to list, by their path; one handle open at a time, however deep the tree.
  std::vector<std::pair<QByteArray, size_t>> pending{{relative, SIZE_MAX}};
  while (!pending.empty()) {
    const auto [folder, index] = pending.back();
    pending.pop_back();
    QString why;
    FolderHandle handle = OpenFolderBelow(base, folder, &why);
    DIR* dir = handle.IsOpen() ? ::fdopendir(::dup(handle.Fd())) : nullptr;
    if (!dir) {
      if (why.isEmpty()) why = SystemErrorText(errno);
      if (index != SIZE_MAX) entries[index].error = why;
      continue;
    }
    QByteArrayList names;
    errno = 0;
    while (const dirent* e = ::readdir(dir)) {
      const QByteArray name(e->d_name);
      if (name != "." && name != "..") names << name;
    }
    const int listError = errno;
    ::closedir(dir);
    if (listError != 0 && index != SIZE_MAX) entries[index].error = SystemErrorText(listError);
    std::sort(names.begin(), names.end());
    std::vector<std::pair<QByteArray, size_t>> folders;
    for (const QByteArray& name : names) {
      TreeEntry entry;
      entry.path = folder.isEmpty() ? name : folder + '/' + name;
      struct stat st;
      if (::fstatat(handle.Fd(), name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        entry.error = SystemErrorText(errno);
      } else {
        entry.kind = KindOf(st.st_mode);
        entry.size = entry.kind == EntryKind::File ? qint64(st.st_size) : 0;
        entry.modifiedNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
        if (entry.kind == EntryKind::Link)
          entry.linkTarget = LinkTarget(handle.Fd(), name.constData());
      }
      entries.push_back(entry);
      if (entry.kind == EntryKind::Folder) folders.emplace_back(entry.path, entries.size() - 1);
    }
    // The first folder of this one is listed next.
    pending.insert(pending.end(), folders.rbegin(), folders.rend());
  }
  return entries;
}

std::optional<EntryKind> KindBelow(int base, const QByteArray& relative, QString* why,
                                   QByteArray* linkTarget) {
  QByteArray parent, name;
  SplitLast(relative, &parent, &name);
  bool missing = false;
  const FolderHandle folder = OpenFolderBelow(base, parent, why, &missing);
  if (!folder.IsOpen()) {
    if (missing) return std::nullopt;
    return EntryKind::Other;
  }
  struct stat st;
  if (::fstatat(folder.Fd(), name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
    if (errno == ENOENT) return std::nullopt;
    if (why) *why = SystemErrorText(errno);
    return EntryKind::Other;
  }
  const EntryKind kind = KindOf(st.st_mode);
  if (kind == EntryKind::Link && linkTarget)
    *linkTarget = LinkTarget(folder.Fd(), name.constData());
  return kind;
}

int OpenFileBelow(int base, const QByteArray& relative, QString* why, qint64* size) {
  QByteArray parent, name;
  SplitLast(relative, &parent, &name);
  bool missing = false;
  QString reason;
  const FolderHandle folder = OpenFolderBelow(base, parent, &reason, &missing);
  auto fail = [&](const QString& text) {
    if (why) *why = text;
    return -1;
  };
  if (!folder.IsOpen()) return fail(missing ? QStringLiteral("missing") : reason);
  if (name.isEmpty()) return fail(QStringLiteral("a folder, not a file"));
  // Looked at before it is opened: opening a pipe waits for a writer, and a device may act on
  // being opened. O_NONBLOCK guards against one put in its place meanwhile.
  struct stat st;
  if (::fstatat(folder.Fd(), name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
    return fail(errno == ENOENT ? QStringLiteral("missing") : SystemErrorText(errno));
  }
  if (!S_ISREG(st.st_mode)) {
    const EntryKind kind = KindOf(st.st_mode);
    return fail(NotAFile(
        kind, kind == EntryKind::Link ? LinkTarget(folder.Fd(), name.constData()) : QByteArray()));
  }
  const int fd = ::openat(folder.Fd(), name.constData(),
                          O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return fail(SystemErrorText(errno));
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return fail(QStringLiteral("changed while it was opened: not read"));
  }
  if (size) *size = qint64(st.st_size);
  return fd;
}

bool ReadAndClose(int fd, qint64 limit, QByteArray* bytes, QString* error) {
  bytes->clear();
  char buffer[65536];
  bool ok = true;
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      if (error) *error = SystemErrorText(errno);
      ok = false;
      break;
    }
    if (bytes->size() + n > limit) {
      if (error) *error = QStringLiteral("larger than %1 bytes: not read").arg(limit);
      ok = false;
      break;
    }
    bytes->append(buffer, n);
  }
  ::close(fd);
  return ok;
}

bool WriteWholeFile(const QByteArray& path, const QByteArray& bytes, QString* why) {
  const int fd =
      ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) {
    if (why) *why = SystemErrorText(errno);
    return false;
  }
  const char* data = bytes.constData();
  qsizetype left = bytes.size();
  // A write may take less than it is given (a disk filling up): the rest is written again until
  // the system says why it cannot.
  while (left > 0) {
    const ssize_t n = ::write(fd, data, static_cast<size_t>(left));
    if (n < 0) {
      if (errno == EINTR) continue;
      if (why) *why = SystemErrorText(errno);
      ::close(fd);
      return false;
    }
    data += n;
    left -= n;
  }
  if (::close(fd) != 0) {
    if (why) *why = SystemErrorText(errno);
    return false;
  }
  return true;
}

QString KindText(EntryKind kind) {
  switch (kind) {
    case EntryKind::File:
      return QStringLiteral("a file");
    case EntryKind::Folder:
      return QStringLiteral("a folder");
    case EntryKind::Link:
      return QStringLiteral("a symbolic link");
    case EntryKind::Pipe:
      return QStringLiteral("a pipe (FIFO)");
    case EntryKind::Socket:
      return QStringLiteral("a socket");
    case EntryKind::Device:
      return QStringLiteral("a device");
    case EntryKind::Other:
      break;
  }
  return QStringLiteral("neither a file nor a folder");
}

namespace {

// The length of the UTF-8 sequence at p (at most n bytes there); 0 when none begins there.
int Utf8Length(const unsigned char* p, qsizetype n) {
  const unsigned char c = p[0];
  if (c < 0x80) return 1;
  auto cont = [&](qsizetype i, unsigned char lo = 0x80, unsigned char hi = 0xBF) {
    return i < n && p[i] >= lo && p[i] <= hi;
  };
  if (c >= 0xC2 && c <= 0xDF) return cont(1) ? 2 : 0;
  if (c == 0xE0) return cont(1, 0xA0) && cont(2) ? 3 : 0;
  if (c == 0xED) return cont(1, 0x80, 0x9F) && cont(2) ? 3 : 0;
  if (c >= 0xE1 && c <= 0xEF) return cont(1) && cont(2) ? 3 : 0;
  if (c == 0xF0) return cont(1, 0x90) && cont(2) && cont(3) ? 4 : 0;
  if (c >= 0xF1 && c <= 0xF3) return cont(1) && cont(2) && cont(3) ? 4 : 0;
  if (c == 0xF4) return cont(1, 0x80, 0x8F) && cont(2) && cont(3) ? 4 : 0;
  return 0;
}

}  // namespace

bool IsUtf8(const QByteArray& bytes) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
  for (qsizetype i = 0; i < bytes.size();) {
    const int length = Utf8Length(p + i, bytes.size() - i);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

QString NameText(const QByteArray& name) {
  const auto* p = reinterpret_cast<const unsigned char*>(name.constData());
  QString out;
  for (qsizetype i = 0; i < name.size();) {
    const int length = Utf8Length(p + i, name.size() - i);
    if (length == 0) {
      out += QString::asprintf("\\x%02X", unsigned(p[i]));
      ++i;
      continue;
    }
    out += QString::fromUtf8(name.constData() + i, length);
    i += length;
  }
  // A path is shown whole: as long as the longest a file system takes.
  return medium::PrintableText(out, PATH_MAX);
}

}  // namespace preserver
