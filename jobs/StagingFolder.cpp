#include "jobs/StagingFolder.h"

#include <fcntl.h>
#include <ftw.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUuid>

#include <cerrno>

namespace jobs {

namespace {

int RemoveEntry(const char* path, const struct stat*, int kind, struct FTW*) {
  return (kind == FTW_DP ? ::rmdir(path) : ::unlink(path)) == 0 ? 0 : -1;
}

// Removes a folder and all it holds, links not followed. By bytes: QDir cannot name an entry
// whose name is not UTF-8, and would leave it (and so the folder) behind.
bool RemoveTree(const QString& path) {
  const QByteArray native = QFile::encodeName(path);
  return ::nftw(native.constData(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS) == 0;
}

}  // namespace

StagingFolder::StagingFolder(const QString& parent, const QString& name, const QString& purpose)
    : parent_(parent), name_(name), purpose_(purpose), target_(parent + u'/' + name) {
  const QString pattern = parent + QStringLiteral("/.%1-%2-XXXXXX").arg(purpose, name);
  for (int attempt = 0; attempt < 8; ++attempt) {
    temp_ = std::make_unique<QTemporaryDir>(pattern);
    if (!temp_->isValid()) return;
    QFile::setPermissions(temp_->path(), kFolderPermissions);
    const int fd =
        ::open(QFile::encodeName(temp_->path()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) continue;  // taken away already by a run that found it unowned
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const bool held = errno == EWOULDBLOCK;
      ::close(fd);
      if (held) continue;  // a run clearing it: it goes, another is made
      return;              // a file system without locks: filled all the same, unguarded
    }
    // Between its making and the lock, another run may have found it unowned and removed it.
    struct stat st;
    if (::fstat(fd, &st) == 0 && st.st_nlink > 0) {
      lock_ = fd;
      return;
    }
    ::close(fd);
  }
}

StagingFolder::~StagingFolder() {
  if (temp_ && temp_->isValid() && temp_->autoRemove()) {
    RemoveTree(temp_->path());
    temp_->setAutoRemove(false);
  }
  temp_.reset();
  if (lock_ >= 0) ::close(lock_);
}

QString StagingFolder::ErrorString() const {
  return temp_ ? temp_->errorString() : QStringLiteral("no folder could be made");
}

bool StagingFolder::PutInPlace(QString* error) {
  QDir out(parent_);
  QString old;
  if (QFileInfo::exists(target_) || QFileInfo(target_).isSymLink()) {
    old = parent_ + QStringLiteral("/.%1-old-%2-%3")
                        .arg(purpose_, name_, QUuid::createUuid().toString(QUuid::Id128));
    if (!out.rename(target_, old)) {
      if (error) *error = QStringLiteral("cannot be replaced");
      return false;
    }
  }
  if (!IsValid() || !out.rename(temp_->path(), target_)) {
    if (!old.isEmpty()) out.rename(old, target_);
    if (error) {
      *error = QStringLiteral("cannot be made from %1").arg(QDir::toNativeSeparators(Path()));
    }
    return false;
  }
  temp_->setAutoRemove(false);
  if (!old.isEmpty()) {
    const QFileInfo info(old);
    if (info.isSymLink() || info.isFile()) {
      QFile::remove(old);
    } else {
      RemoveTree(old);
    }
  }
  return true;
}

namespace {

thread_local qint64 g_bytesBelow = 0;

int AddBytes(const char*, const struct stat* st, int kind, struct FTW*) {
  if (kind == FTW_F) g_bytesBelow += qint64(st->st_size);
  return 0;
}

qint64 BytesBelow(const QString& folder) {
  g_bytesBelow = 0;
  ::nftw(QFile::encodeName(folder).constData(), AddBytes, 16, FTW_PHYS);
  return g_bytesBelow;
}

}  // namespace

std::vector<LeftFolder> ClearAbandonedFolders(const QString& parent, const QString& purpose) {
  std::vector<LeftFolder> found;
  const QString prefix = QStringLiteral(".%1-").arg(purpose);
  // ".<purpose>-old-<name>-<32 hex digits>": set aside by PutInPlace.
  const QRegularExpression setAside(
      QStringLiteral("^\\.%1-old-(.+)-[0-9a-f]{32}$").arg(QRegularExpression::escape(purpose)));
  const QStringList names = QDir(parent).entryList(
      {prefix + u'*'}, QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot | QDir::NoSymLinks);
  for (const QString& name : names) {
    LeftFolder left;
    const QString path = parent + u'/' + name;
    left.path = QDir::toNativeSeparators(path);
    const QRegularExpressionMatch old = setAside.match(name);
    if (old.hasMatch()) {
      // Its replacement is put in place within a moment; one set aside a while ago belongs to a
      // run that was stopped in that moment.
      const QFileInfo info(path);
      if (info.metadataChangeTime().secsTo(QDateTime::currentDateTime()) < 10) continue;
      left.bytes = BytesBelow(path);
      const QString target = parent + u'/' + old.captured(1);
      if (!QFileInfo::exists(target) && !QFileInfo(target).isSymLink()) {
        if (QDir(parent).rename(name, old.captured(1))) {
          left.fate = LeftFolder::Fate::PutBack;
          left.why = QDir::toNativeSeparators(target);
        } else {
          left.why =
              QStringLiteral("it cannot be put back as %1").arg(QDir::toNativeSeparators(target));
        }
      } else if (RemoveTree(path)) {
        left.fate = LeftFolder::Fate::Removed;
      } else {
        left.why = QStringLiteral("it cannot be removed");
      }
      found.push_back(left);
      continue;
    }
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
      left.why = qt_error_string(errno);
      found.push_back(left);
      continue;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      left.fate = errno == EWOULDBLOCK ? LeftFolder::Fate::InUse : LeftFolder::Fate::Kept;
      if (left.fate == LeftFolder::Fate::Kept) {
        left.why = QStringLiteral("whether its run is still going cannot be told here (%1)")
                       .arg(qt_error_string(errno));
      }
      ::close(fd);
      found.push_back(left);
      continue;
    }
    // No run holds it: its owner ended without finishing. Removed while locked here, so that a
    // run that made it a moment ago and has not locked it yet finds the lock taken (or the
    // folder gone) and makes another.
    left.bytes = BytesBelow(path);
    if (RemoveTree(path)) {
      left.fate = LeftFolder::Fate::Removed;
    } else {
      left.why = QStringLiteral("it cannot be removed");
    }
    ::close(fd);
    found.push_back(left);
  }
  return found;
}

QString ResolvedAbsolute(const QString& path) {
  QString rest;
  QFileInfo info(QDir::cleanPath(QDir(path).absolutePath()));
  while (!info.exists()) {
    const QString parent = info.path();
    if (parent == info.filePath()) break;
    rest = rest.isEmpty() ? info.fileName() : info.fileName() + u'/' + rest;
    info = QFileInfo(parent);
  }
  QString base = info.exists() ? info.canonicalFilePath() : info.absoluteFilePath();
  if (rest.isEmpty()) return base;
  return QDir::cleanPath(base + u'/' + rest);
}

bool IsWithin(const QString& path, const QString& folder) {
  if (path == folder) return true;
  const QString prefix = folder.endsWith(u'/') ? folder : folder + u'/';
  return path.startsWith(prefix);
}

}  // namespace jobs
