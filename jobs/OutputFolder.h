#pragma once
// Where a job writes: never on the medium it reads, never over a folder that holds that medium,
// never over earlier output unless asked to, and under names that stay one folder each. The
// export, the preservation and the collection of a library judge alike and say it alike.

#include <QHash>
#include <QString>
#include <QStringList>

namespace jobs {

// A name that may become one folder of the output: no separator, not "." or "..", not hidden.
bool IsPlainFolderName(const QString& name);

// Why nothing may be written at out (resolved, see ResolvedAbsolute) for a medium at
// mediumRoot (canonical): "<out> lies on the medium, which is never written to"; empty when it
// may.
QString OnMediumReason(const QString& out, const QString& mediumRoot);

// Makes the output folder; its canonical path, or empty with "the output folder <out> cannot
// be made" in *error.
QString MakeOutputFolder(const QString& out, QString* error);

// Why target, which exists, may not be replaced: "holds the medium itself: not replaced",
// "exists already: not replaced (--force replaces it)"; empty when it may.
QString ReplaceReason(const QString& target, const QString& mediumRoot, bool force);

// A folder name for each medium of a shelf, in the output of a library's export or
// preservation: its own folder's name as the shelf shows it, "-2", "-3" ... where two media
// share one (compared without case), "medium" for a name that cannot be a folder. The numbers go by
// the media's paths in order, so that every job names one shelf alike. A name in reserved (a folder
// the job writes beside the media's) is never given. Keyed by the paths given.
QHash<QString, QString> MediumFolderNames(const QStringList& mediumPaths,
                                          const QStringList& reserved = {});

}  // namespace jobs
