#include "library/MediaDiscovery.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSet>
#include <QStandardPaths>
#include <algorithm>
#include <climits>
#include <cstdlib>

#include "medium/LocalNames.h"
#include "medium/Paths.h"
#include "medium/PrintableText.h"
#include "presentation/MediumLayout.h"

namespace library {

namespace {

// Folders are walked with the system's functions on their names' bytes: a name that is no UTF-8
// (a disc written on another system) is kept as it is (medium/LocalNames.h), where Qt's listing
// would give a name that leads nowhere.
QByteArray Bytes(const QString& path) {
  return medium::BytesOfName(path);
}

bool StatOf(const QString& path, struct stat* st) {
  return ::stat(Bytes(path).constData(), st) == 0;
}

bool IsLink(const QString& path) {
  struct stat st {};
  return ::lstat(Bytes(path).constData(), &st) == 0 && S_ISLNK(st.st_mode);
}

// The folder's real place (links and ".." resolved), or empty when it cannot be reached.
QString RealPath(const QString& path) {
  char* real = ::realpath(Bytes(path).constData(), nullptr);
  if (!real) return QString();
  const QString out = medium::NameFromBytes(real);
  std::free(real);
  return out;
}

QString Join(const QString& folder, const QString& name) {
  return folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
}

// The absolute, clean form of a folder given, its bytes kept.
QString AbsoluteClean(const QString& folder) {
  if (QDir::isAbsolutePath(folder)) return QDir::cleanPath(folder);
  char* cwd = ::getcwd(nullptr, 0);
  const QString here = cwd ? medium::NameFromBytes(cwd) : QDir::currentPath();
  std::free(cwd);
  return QDir::cleanPath(Join(here, folder));
}

class Walk {
 public:
  Walk(int maxDepth, const std::atomic<bool>* cancel) : maxDepth_(maxDepth), cancel_(cancel) {}

  void Root(const QString& given) {
    const QString path = AbsoluteClean(given);
    struct stat st {};
    if (!StatOf(path, &st)) {
      // A link whose target is gone is there as a name only.
      Skip(path, IsLink(path) ? QStringLiteral("a link that leads nowhere")
                              : QStringLiteral("does not exist"));
      return;
    }
    if (!S_ISDIR(st.st_mode)) {
      Skip(path, QStringLiteral("is not a folder"));
      return;
    }
    QStringList chain;
    Folder(path, 0, chain);
  }

  Discovery result;

 private:
  void Skip(const QString& path, const QString& reason) {
    result.skipped.push_back(SkippedFolder{QDir::toNativeSeparators(path), reason});
  }

  bool Cancelled() const { return cancel_ && cancel_->load(); }

  // chain: the real places of the folders above this one, to know a link that leads back up.
  void Folder(const QString& path, int depth, QStringList& chain) {
    if (Cancelled()) return;
    struct stat st {};
    const QString real = RealPath(path);
    if (real.isEmpty() || !StatOf(path, &st) || !S_ISDIR(st.st_mode)) {
      // Listed a moment ago, gone now: a disc ejected, a copy deleted, a link to nothing.
      Skip(path, IsLink(path) && !StatOf(path, &st) ? QStringLiteral("a link that leads nowhere")
                                                    : QStringLiteral("vanished during the search"));
      return;
    }
    if (chain.contains(real)) {
      Skip(path, QStringLiteral("leads back to %1, a folder above it: not followed")
                     .arg(ShownPath(QDir::toNativeSeparators(real))));
      return;
    }
    // Reached again another way (two links to one disc): found once.
    if (seen_.contains(real)) return;
    seen_.insert(real);
    if (IsMedium(path)) {
      result.media << QDir::toNativeSeparators(path);
      return;
    }
    if (depth >= maxDepth_) return;
    DIR* dir = ::opendir(Bytes(path).constData());
    if (!dir) {
      Skip(path, QStringLiteral("cannot be read"));
      return;
    }
    // Folders, links to folders, and links whose target is gone (named as skipped); hidden
    // entries are no media.
    QStringList children;
    while (const dirent* entry = ::readdir(dir)) {
      if (entry->d_name[0] == '.') continue;
      const QString child = Join(path, medium::NameFromBytes(entry->d_name));
      if (entry->d_type == DT_DIR) {
        children << child;
        continue;
      }
      if (entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN) continue;
      struct stat target {};
      if (StatOf(child, &target) ? S_ISDIR(target.st_mode) : IsLink(child)) children << child;
    }
    ::closedir(dir);
    std::sort(children.begin(), children.end(), [](const QString& a, const QString& b) {
      const int c = a.compare(b, Qt::CaseInsensitive);
      return c != 0 ? c < 0 : a < b;
    });
    chain << real;
    for (const QString& child : children) Folder(child, depth + 1, chain);
    chain.removeLast();
  }

  const int maxDepth_;
  const std::atomic<bool>* cancel_;
  QSet<QString> seen_;
};

// Where the links to folders of names Qt cannot open are made: the user's runtime folder (its
// own, emptied at each start of the machine), else the cache.
QString LinkFolder() {
  QString base = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (base.isEmpty()) base = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
  return base.isEmpty() ? QString() : base + QStringLiteral("/ambrel-names");
}

}  // namespace

QString NativeClean(const QString& folder) {
  return QDir::toNativeSeparators(AbsoluteClean(folder));
}

bool UnderRoots(const QString& path, const QStringList& roots) {
  if (roots.isEmpty()) return true;
  for (const QString& r : roots) {
    const QString root = NativeClean(r);
    if (path == root) return true;
    const QString prefix = root.endsWith(QDir::separator()) ? root : root + QDir::separator();
    if (path.startsWith(prefix)) return true;
  }
  return false;
}

QString ReadablePath(const QString& folder) {
  if (!medium::HasRawBytes(folder)) return folder;
  const QString links = LinkFolder();
  if (links.isEmpty()) return folder;
  const QByteArray raw = Bytes(folder);
  // One link per folder, named by a hash of its bytes, so that every program and every run
  // reads it by the same name (a later update knows its files unchanged); the link itself bears
  // the folder's last name as Qt shows it.
  const QString own =
      links + u'/' +
      QString::fromLatin1(
          QCryptographicHash::hash(raw, QCryptographicHash::Sha256).toHex().left(20));
  QString name = QString::fromUtf8(raw.mid(raw.lastIndexOf('/') + 1));
  if (name.isEmpty()) name = QStringLiteral("folder");
  const QString link = own + u'/' + name;
  const QByteArray linkBytes = QFile::encodeName(link);
  char target[PATH_MAX];
  const ssize_t n = ::readlink(linkBytes.constData(), target, sizeof target);
  if (n >= 0 && QByteArray(target, int(n)) == raw) return link;
  if (!QDir().mkpath(own)) return folder;
  // Made under a name of its own and renamed into place: two programs making it at once both
  // find it whole.
  const QByteArray made = linkBytes + ".new-" + QByteArray::number(qint64(::getpid())) + '-' +
                          QByteArray::number(QRandomGenerator::global()->generate(), 16);
  ::unlink(made.constData());
  if (::symlink(raw.constData(), made.constData()) != 0) return folder;
  if (::rename(made.constData(), linkBytes.constData()) != 0) {
    ::unlink(made.constData());
    return folder;
  }
  return link;
}

bool IsMedium(const QString& folder) {
  return medium::FileExists(layout::ConfigPathOf(ReadablePath(folder)));
}

Discovery FindMedia(const QStringList& roots, int maxDepth, const std::atomic<bool>* cancel) {
  Walk walk(maxDepth, cancel);
  for (const QString& root : roots) walk.Root(root);
  return walk.result;
}

QString ShownPath(const QString& path) {
  // By its bytes: one that is no UTF-8 is written as \xNN.
  return medium::PrintableText(QByteArrayView(medium::BytesOfName(path)), kShownPath);
}

QString DescribeSkipped(const std::vector<SkippedFolder>& skipped) {
  QString text;
  for (const SkippedFolder& s : skipped)
    text += QStringLiteral("  %1: %2\n").arg(ShownPath(s.folder), s.reason);
  return text;
}

}  // namespace library
