#include "jobs/StagingFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

namespace jobs {

StagingFolder::StagingFolder(const QString& parent, const QString& name, const QString& purpose)
    : parent_(parent),
      name_(name),
      purpose_(purpose),
      target_(parent + u'/' + name),
      temp_(parent + QStringLiteral("/.%1-%2-XXXXXX").arg(purpose, name)) {
  if (temp_.isValid()) QFile::setPermissions(temp_.path(), kFolderPermissions);
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
  if (!out.rename(temp_.path(), target_)) {
    if (!old.isEmpty()) out.rename(old, target_);
    if (error) {
      *error = QStringLiteral("cannot be made from %1").arg(QDir::toNativeSeparators(temp_.path()));
    }
    return false;
  }
  temp_.setAutoRemove(false);
  inPlace_ = true;
  if (!old.isEmpty()) {
    const QFileInfo info(old);
    if (info.isSymLink() || info.isFile()) {
      QFile::remove(old);
    } else {
      QDir(old).removeRecursively();
    }
  }
  return true;
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
