#pragma once
// Finding the media of a library: every folder holding Data/config.txt (any case) at each folder
// given or below it, a few levels down. Links are followed, as a shelf of mounted discs and
// copies is often joined by links; a loop, a folder that cannot be read or one that vanishes
// while it is looked at is skipped and named, so the search always ends. A folder whose name is
// no UTF-8 is found and kept by its bytes (medium/LocalNames.h), and read through ReadablePath.
//
// GUI-free and free of any process-wide state: it may run on any thread.

#include <QString>
#include <QStringList>
#include <atomic>
#include <vector>

namespace library {

// How far below a folder given the media are looked for: a medium at DIR/a/b/c/d is found.
inline constexpr int kMaxDiscoveryDepth = 4;
// A folder's path is shown whole up to this many characters (ShownPath).
inline constexpr int kShownPath = 4096;

// A folder the search could not look into, and why ("it leads back to ...", "cannot be read",
// "vanished during the search", "does not exist").
struct SkippedFolder {
  QString folder;  // native path as reached (through links as given)
  QString reason;
};

struct Discovery {
  // Native absolute paths of the media found, each medium once however many ways lead to it,
  // in the order of the folders given and, below each, by name.
  QStringList media;
  std::vector<SkippedFolder> skipped;
};

// Whether folder (native) is a medium: it holds Data/config.txt, found case-blind.
bool IsMedium(const QString& folder);

// A path by which Qt's file functions (and the readers of a medium built on them) reach folder:
// folder itself, or for a folder whose name holds bytes that are no UTF-8 (kept as
// medium/LocalNames.h keeps them) a link to it of a plain name, in the user's runtime folder.
QString ReadablePath(const QString& folder);

// Looks for the media at each root and below it, up to maxDepth levels. A medium's own folders
// are not searched further. A set cancel flag ends the search with what was found so far.
Discovery FindMedia(const QStringList& roots, int maxDepth = kMaxDiscoveryDepth,
                    const std::atomic<bool>* cancel = nullptr);

// A folder as the index keeps it: absolute, clean, with native separators.
QString NativeClean(const QString& folder);
// Whether path (as the index keeps it) is one of the roots or lies below one; every path does
// when roots is empty.
bool UnderRoots(const QString& path, const QStringList& roots);

// A folder's path as a terminal, a list or a report shows it: a byte of its name that is no
// UTF-8 as \xNN, a control character escaped (medium::PrintableText).
QString ShownPath(const QString& path);

// The skipped folders as lines for a terminal or a window: "  <folder>: <reason>".
QString DescribeSkipped(const std::vector<SkippedFolder>& skipped);

}  // namespace library
