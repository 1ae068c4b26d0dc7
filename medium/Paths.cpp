#include "Paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

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

void SetApplicationFolder(const QString& folder) {
  QString native = folder;
#ifndef Q_OS_WIN
  native.replace(u'\\', u'/');
#endif
  FolderOverride() = ToMediumForm(QDir::cleanPath(QDir(native).absolutePath()));
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

QStringList ListOrdinaryFiles(const QString& mediumFolder) {
  const Resolved r = Resolve(mediumFolder);
  if (!r.exists || !QFileInfo(r.path).isDir()) return {};
  return QDir(r.path).entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
}

}  // namespace medium
