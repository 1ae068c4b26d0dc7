#pragma once
// A folder of output filled under a hidden temporary name beside its place, and renamed into
// place only once it is complete: a cancel, a failure or an interruption never leaves a
// half-written folder under its own name, and the temporary folder goes with this object. While
// it is filled its owner holds a lock on it (flock), which the system lets go when the owner
// ends, however it ends: a later run tells by it a folder abandoned by a killed run from one
// still being filled.

#include <QFileDevice>
#include <QString>
#include <QTemporaryDir>
#include <memory>
#include <vector>

namespace jobs {

class StagingFolder {
 public:
  // Makes parent/.<purpose>-<name>-XXXXXX (purpose: "export", "preserve", ...), readable by all
  // as a folder of a package should be.
  StagingFolder(const QString& parent, const QString& name, const QString& purpose);
  // Removes the folder and everything in it, unless it was put in place.
  ~StagingFolder();
  StagingFolder(const StagingFolder&) = delete;
  StagingFolder& operator=(const StagingFolder&) = delete;

  bool IsValid() const { return temp_ && temp_->isValid(); }
  QString ErrorString() const;
  // The folder being filled (native path).
  QString Path() const { return temp_ ? temp_->path() : QString(); }
  // Where it goes: parent/name.
  QString Target() const { return target_; }

  // Renames the folder to its target, replacing whatever stands there (a folder, a file, a
  // symbolic link); what stood there is removed only once the new folder is in its place, and is
  // put back when the rename fails. False with the reason (about the target) in *error.
  bool PutInPlace(QString* error);

  static constexpr QFileDevice::Permissions kFolderPermissions =
      QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
      QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther |
      QFileDevice::ExeOther;

 private:
  QString parent_;
  QString name_;
  QString purpose_;
  QString target_;
  std::unique_ptr<QTemporaryDir> temp_;
  int lock_ = -1;
};

// A folder an earlier run left in parent: ".<purpose>-<name>-XXXXXX" (being filled) or
// ".<purpose>-old-<name>-<id>" (a folder set aside while its replacement was put in place).
struct LeftFolder {
  enum class Fate {
    Removed,  // its run is gone: removed
    PutBack,  // set aside by a run that was stopped before it could replace it: put back
    InUse,    // its run is still going (it holds the lock): left alone
    Kept,     // cannot be told or removed here (why says): left alone
  };
  QString path;  // native
  qint64 bytes = 0;
  Fate fate = Fate::Kept;
  QString why;
};
// Clears what runs of purpose that were killed left in parent, and says what became of each.
std::vector<LeftFolder> ClearAbandonedFolders(const QString& parent, const QString& purpose);

// A path made absolute, symbolic links resolved as far as the folders exist: a folder that is
// yet to be made cannot hide where it will be. Output is never written on the medium, and a
// folder that holds the medium is never replaced; both are judged on these paths.
QString ResolvedAbsolute(const QString& path);
// Whether path is folder or lies below it (both resolved).
bool IsWithin(const QString& path, const QString& folder);

}  // namespace jobs
