#pragma once
// The medium's folder tree. Paths are built in the medium's own form: the application folder and
// fixed fragments joined with backslashes, then every doubled backslash repaired. Only when a
// file is touched is the path turned into a native one, where a name that is not found with its
// exact case is looked up case-insensitively (media copied from case-blind file systems).

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <initializer_list>

namespace medium {

// The folder the programs read the medium from, in the medium's form (backslashes, no trailing
// backslash except at the root). Defaults to the folder of the running program.
QString ApplicationFolder();
// Sets it from a native or medium-form folder (made absolute). Only the programs' main does,
// once: everything else is handed the medium it reads (layout::MediumLayout).
void SetApplicationFolder(const QString& folder);
// A native or medium-form folder, made absolute, in the medium's form.
QString AbsoluteMediumForm(const QString& folder);
// The folder of the running program itself (where the players stand beside the launcher).
QString ProgramFolder();
// Turns a native folder into the medium's form: backslashes, no trailing one except at the root.
QString ToMediumForm(const QString& folder);

// Replaces each "\\" by "\" in one left-to-right pass; three become two, four become two.
QString RepairBackslashes(const QString& path);
// The path rule: concatenation of the parts, then the repair.
QString BuildPath(std::initializer_list<QString> parts);

// The native spelling of a medium-form path (backslashes become the native separator).
QString NativePath(const QString& mediumPath);

struct Resolved {
  QString path;            // native path; the exact spelling when nothing matched
  bool exists = false;     // an entry of that name exists (any kind)
  bool caseBlind = false;  // found only by a case-insensitive match of some component
};
// Exact name first; otherwise each missing component is matched case-insensitively.
Resolved Resolve(const QString& mediumPath);
// The native path to open: the resolved one when it exists, else the exact spelling.
QString OpenablePath(const QString& mediumPath);

// The directory test of one file: an ordinary file (not a folder, not hidden) of that name.
bool FileExists(const QString& mediumPath);
// Why a name read from the medium's own files (a presentation folder, a slide deck) may not
// become part of a path: it is absolute, or one of its parts is "..", so the path would leave the
// medium. Empty when the name stays inside; the empty name stays inside.
QString OutsideMediumReason(const QString& name);
// Throws "Bad file name" (52), naming what the name is and why, when it would leave the medium.
void RequireInsideMedium(const QString& name, const QString& what);

// The largest file the programs read whole. The real text files and pictures of a medium are a
// few kilobytes; anything this large is damage or a crafted medium, and reading it would only
// eat memory.
constexpr qint64 kMaxMediumFileBytes = qint64(64) * 1024 * 1024;
// The native path of a regular file of the medium, found as Resolve finds it. Throws when there
// is none: "File not found" (53), or a folder, a named pipe, a device or a file over maxBytes in
// its place (75), each named as such.
QString RequireRegularFile(const QString& mediumPath, qint64 maxBytes = kMaxMediumFileBytes);
// The bytes of a regular file of the medium. Throws with the real reason: "File not found" (53),
// a folder, a named pipe, a device or a file over maxBytes in its place (75), "Permission
// denied" (70), or a read that fails halfway (57, a damaged disc). Never opens anything but a
// regular file, so a pipe or a device cannot block or flood the program.
QByteArray ReadRegularFile(const QString& mediumPath, qint64 maxBytes = kMaxMediumFileBytes);

// Ordinary, non-hidden files of a folder, in the listing order of the medium (by name, ignoring
// case, as CD file systems list them). Empty when the folder does not exist.
QStringList ListOrdinaryFiles(const QString& mediumFolder);

}  // namespace medium
