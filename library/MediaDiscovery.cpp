#include "library/MediaDiscovery.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

#include "medium/Paths.h"
#include "presentation/MediumLayout.h"

namespace library {

namespace {

class Walk {
 public:
  Walk(int maxDepth, const std::atomic<bool>* cancel) : maxDepth_(maxDepth), cancel_(cancel) {}

  void Root(const QString& given) {
    const QString path = QDir::cleanPath(QDir(given).absolutePath());
    const QFileInfo info(path);
    if (!info.exists()) {
      // A link whose target is gone is there as a name only.
      Skip(path, info.isSymLink() ? QStringLiteral("a link that leads nowhere")
                                  : QStringLiteral("does not exist"));
      return;
    }
    if (!info.isDir()) {
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
    const QFileInfo info(path);
    const QString real = info.canonicalFilePath();
    if (real.isEmpty() || !info.isDir()) {
      // Listed a moment ago, gone now: a disc ejected, a copy deleted, a link to nothing.
      Skip(path, info.isSymLink() && !info.exists() ? QStringLiteral("a link that leads nowhere")
                                                    : QStringLiteral("vanished during the search"));
      return;
    }
    if (chain.contains(real)) {
      Skip(path, QStringLiteral("leads back to %1, a folder above it: not followed")
                     .arg(QDir::toNativeSeparators(real)));
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
    QDir dir(path);
    if (!dir.isReadable()) {
      Skip(path, QStringLiteral("cannot be read"));
      return;
    }
    // System entries too: a link whose target is gone is listed only among them.
    const QFileInfoList children = dir.entryInfoList(
        QDir::Dirs | QDir::System | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    chain << real;
    for (const QFileInfo& child : children) {
      if (child.isDir() || (child.isSymLink() && !child.exists()))
        Folder(child.filePath(), depth + 1, chain);
    }
    chain.removeLast();
  }

  const int maxDepth_;
  const std::atomic<bool>* cancel_;
  QSet<QString> seen_;
};

}  // namespace

QString NativeClean(const QString& folder) {
  return QDir::toNativeSeparators(QDir::cleanPath(QDir(folder).absolutePath()));
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

bool IsMedium(const QString& folder) {
  return medium::FileExists(layout::ConfigPathOf(folder));
}

Discovery FindMedia(const QStringList& roots, int maxDepth, const std::atomic<bool>* cancel) {
  Walk walk(maxDepth, cancel);
  for (const QString& root : roots) walk.Root(root);
  return walk.result;
}

QString DescribeSkipped(const std::vector<SkippedFolder>& skipped) {
  QString text;
  for (const SkippedFolder& s : skipped)
    text += QStringLiteral("  %1: %2\n").arg(s.folder, s.reason);
  return text;
}

}  // namespace library
