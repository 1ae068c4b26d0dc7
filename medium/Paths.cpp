#include "Paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <cerrno>

#include "Error.h"

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace medium {
namespace {

QString& FolderOverride() {
  static QString folder;
  return folder;
}

}  // namespace

QString ToMediumForm(const QString& folder) {
  QString f = folder;
  f.replace(u'/', u'\\');
  // No trailing backslash except at the root ("\" or "D:\").
  while (f.size() > 1 && f.endsWith(u'\\') && !(f.size() == 3 && f[1] == u':')) f.chop(1);
  return f;
}

QString ProgramFolder() {
  if (QCoreApplication::instance()) return ToMediumForm(QCoreApplication::applicationDirPath());
  return ToMediumForm(QDir::currentPath());
}

QString ApplicationFolder() {
  const QString& f = FolderOverride();
  return f.isEmpty() ? ProgramFolder() : f;
}

QString AbsoluteMediumForm(const QString& folder) {
  QString native = folder;
#ifndef Q_OS_WIN
  native.replace(u'\\', u'/');
#endif
  return ToMediumForm(QDir::cleanPath(QDir(native).absolutePath()));
}

void SetApplicationFolder(const QString& folder) {
  FolderOverride() = AbsoluteMediumForm(folder);
}

QString RepairBackslashes(const QString& path) {
  QString out;
  out.reserve(path.size());
  for (qsizetype i = 0; i < path.size(); ++i) {
    out += path[i];
    if (path[i] == u'\\' && i + 1 < path.size() && path[i + 1] == u'\\') ++i;
  }
  return out;
}

QString BuildPath(std::initializer_list<QString> parts) {
  QString joined;
  for (const QString& p : parts) joined += p;
  return RepairBackslashes(joined);
}

QString NativePath(const QString& mediumPath) {
  QString p = mediumPath;
#ifdef Q_OS_WIN
  p.replace(u'/', u'\\');
#else
  p.replace(u'\\', u'/');
#endif
  return p;
}

Resolved Resolve(const QString& mediumPath) {
  Resolved r;
  r.path = NativePath(mediumPath);
  if (r.path.isEmpty()) return r;
  if (QFileInfo::exists(r.path)) {
    r.exists = true;
    return r;
  }
  // Walk the components; a component that is missing with its exact case is matched against
  // the folder's entries ignoring case.
  const QChar sep = QDir::separator();
  QStringList comps = r.path.split(sep);
  QString current;
  qsizetype start = 0;
  if (r.path.startsWith(sep)) {
    current = sep;
    start = 1;
  } else if (comps.size() > 1 && comps[0].endsWith(u':')) {
    current = comps[0] + sep;
    start = 1;
  } else {
    current = QStringLiteral(".");
  }
  bool blind = false;
  for (qsizetype i = start; i < comps.size(); ++i) {
    const QString& name = comps[i];
    if (name.isEmpty() || name == u'.') continue;
    const QString join = (current.endsWith(sep) ? current : current + sep);
    const QString exact = (current == u'.' && i == 0) ? name : join + name;
    if (QFileInfo::exists(exact)) {
      current = exact;
      continue;
    }
    if (name == QLatin1String("..")) return r;
    const QStringList entries = QDir(current).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    QString match;
    for (const QString& e : entries) {
      if (e.compare(name, Qt::CaseInsensitive) == 0) {
        match = e;
        break;
      }
    }
    if (match.isEmpty()) return r;
    blind = true;
    current = (current == u'.' && i == 0) ? match : join + match;
  }
  r.path = current;
  r.exists = true;
  r.caseBlind = blind;
  return r;
}

QString OpenablePath(const QString& mediumPath) {
  return Resolve(mediumPath).path;
}

bool FileExists(const QString& mediumPath) {
  const Resolved r = Resolve(mediumPath);
  if (!r.exists) return false;
  const QFileInfo fi(r.path);
  return fi.isFile() && !fi.isHidden();
}

QString OutsideMediumReason(const QString& name) {
  // A leading separator or a drive makes the name absolute; once joined to the fixed fragments it
  // might still land inside, but a medium that names such a place is crafted or broken.
  const bool drive = name.size() >= 2 && name[1] == u':' && name[0].isLetter();
  if (name.startsWith(u'\\') || name.startsWith(u'/') || drive) {
    return QStringLiteral("it is an absolute path");
  }
  static const QRegularExpression kSeparators(QStringLiteral("[\\\\/]"));
  for (const QString& part : name.split(kSeparators)) {
    if (part == QLatin1String("..")) return QStringLiteral("it has a \"..\" part");
  }
  return {};
}

void RequireInsideMedium(const QString& name, const QString& what) {
  const QString reason = OutsideMediumReason(name);
  if (reason.isEmpty()) return;
  throw AppError(kBadFileName,
                 QStringLiteral("Bad file name: the %1 \"%2\" leads outside the medium: %3")
                     .arg(what, name, reason));
}

namespace {

// What stands where a regular file was expected, in words.
QString KindOfEntry(const QString& nativePath) {
#ifdef Q_OS_UNIX
  struct stat st {};
  if (::stat(QFile::encodeName(nativePath).constData(), &st) == 0) {
    if (S_ISFIFO(st.st_mode)) return QStringLiteral("a named pipe");
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) return QStringLiteral("a device");
    if (S_ISSOCK(st.st_mode)) return QStringLiteral("a socket");
  }
#else
  Q_UNUSED(nativePath);
#endif
  return QStringLiteral("not a regular file");
}

[[noreturn]] void RaiseTooLarge(const QString& shown, qint64 maxBytes) {
  throw AppError(kPathAccess,
                 QStringLiteral("Path/File access error: %1 is larger than %2 MiB, far larger "
                                "than any file of a medium")
                     .arg(shown)
                     .arg(maxBytes / (1024 * 1024)));
}

}  // namespace

QString RequireRegularFile(const QString& mediumPath, qint64 maxBytes) {
  const QString shown = NativePath(mediumPath);
  const Resolved r = Resolve(mediumPath);
  if (!r.exists) throw AppError(kFileNotFound, QStringLiteral("File not found: %1").arg(shown));
  // QFileInfo follows links, so a link to a device counts as the device.
  const QFileInfo info(r.path);
  if (!info.exists()) {
    throw AppError(kFileNotFound, QStringLiteral("File not found: %1 (a broken link)").arg(shown));
  }
  if (info.isDir()) {
    throw AppError(kPathAccess,
                   QStringLiteral("Path/File access error: %1 is a folder, not a file").arg(shown));
  }
  if (!info.isFile()) {
    throw AppError(kPathAccess, QStringLiteral("Path/File access error: %1 is %2, not a file")
                                    .arg(shown, KindOfEntry(r.path)));
  }
  if (info.size() > maxBytes) RaiseTooLarge(shown, maxBytes);
  return r.path;
}

QByteArray ReadRegularFile(const QString& mediumPath, qint64 maxBytes) {
  const QString shown = NativePath(mediumPath);
  const QString native = RequireRegularFile(mediumPath, maxBytes);
  const qint64 expected = QFileInfo(native).size();
  QFile file(native);
  errno = 0;
  if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
    // QFile calls every refused open an open error; the system's own number tells them apart.
    if (errno == EACCES || errno == EPERM || file.error() == QFileDevice::PermissionsError) {
      throw AppError(kPermissionDenied, QStringLiteral("Permission denied: %1").arg(shown));
    }
    throw AppError(
        kPathAccess,
        QStringLiteral("Path/File access error: %1 (%2)").arg(shown, file.errorString()));
  }
  // Read in pieces up to the limit: the size may have been wrong (a file still growing, or one
  // that reports no size at all).
  QByteArray data;
  data.reserve(qMin(expected, maxBytes));
  char buffer[64 * 1024];
  for (;;) {
    const qint64 n = file.read(buffer, sizeof buffer);
    if (n < 0) {
      throw AppError(kDeviceIO, QStringLiteral("Device I/O error: %1 cannot be read (%2)")
                                    .arg(shown, file.errorString()));
    }
    if (n == 0) break;
    data.append(buffer, n);
    if (data.size() > maxBytes) RaiseTooLarge(shown, maxBytes);
  }
  return data;
}

QStringList ListOrdinaryFiles(const QString& mediumFolder) {
  const Resolved r = Resolve(mediumFolder);
  if (!r.exists || !QFileInfo(r.path).isDir()) return {};
  return QDir(r.path).entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
}

}  // namespace medium
