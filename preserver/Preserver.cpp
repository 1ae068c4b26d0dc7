#include "preserver/Preserver.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

#include "jobs/OutputFolder.h"
#include "jobs/StagingFolder.h"
#include "presentation/MediumFolder.h"
#include "preserver/BagFormat.h"
#include "preserver/BagWriter.h"

namespace preserver {

namespace {

QString LeftFolderText(const jobs::LeftFolder& left) {
  switch (left.fate) {
    case jobs::LeftFolder::Fate::Removed:
      return QStringLiteral(
                 "%1: a bag left unfinished by a --preserve that was stopped (%2): "
                 "removed")
          .arg(left.path, Megabytes(left.bytes));
    case jobs::LeftFolder::Fate::PutBack:
      return QStringLiteral(
                 "%1: a bag set aside by a --preserve --force that was stopped: put "
                 "back as %2")
          .arg(left.path, left.why);
    case jobs::LeftFolder::Fate::InUse:
      return QStringLiteral("%1: being filled by another --preserve still running: left alone")
          .arg(left.path);
    case jobs::LeftFolder::Fate::Kept:
      break;
  }
  return QStringLiteral("%1: left by a --preserve that did not finish: %2; left alone")
      .arg(left.path, left.why);
}

}  // namespace

BagSummary PreserveMedium(const QString& mediumRoot, const PreserveRequest& request,
                          const PreserveProgressFn& progress, const std::atomic<bool>* cancel) {
  QElapsedTimer clock;
  clock.start();
  BagSummary s;
  s.medium = QDir::toNativeSeparators(mediumRoot);
  auto refuse = [&](const QString& why) {
    s.status = BagSummary::Status::Refused;
    s.error = why;
    return s;
  };
  // This bag is not made, for a reason of its own; others of the same command may be.
  auto fail = [&](const QString& why) {
    s.status = BagSummary::Status::Failed;
    s.error = why;
    return s;
  };
  if (!medium::IsReadableFolder(mediumRoot))
    return refuse(medium::UnreadableMediumText(mediumRoot));
  const QString root = QFileInfo(mediumRoot).canonicalFilePath();
  s.medium = QDir::toNativeSeparators(root);
  if (request.outDir.isEmpty())
    return refuse(QStringLiteral("no output folder given: --preserve OUTDIR"));
  const QString out = jobs::ResolvedAbsolute(request.outDir);
  const QString onMedium = jobs::OnMediumReason(out, root);
  if (!onMedium.isEmpty()) return refuse(onMedium);
  const QString name =
      request.bagName.isEmpty() ? jobs::MediumFolderNames({root}).value(root) : request.bagName;
  const QString target = out + u'/' + name;
  s.bag = QDir::toNativeSeparators(target);
  const QFileInfo existing(target);
  if (existing.exists() || existing.isSymLink()) {
    const QString why = jobs::ReplaceReason(target, root, request.force);
    if (!why.isEmpty()) return fail(s.bag + u' ' + why);
  }
  QString error;
  const QString outDir = jobs::MakeOutputFolder(out, &error);
  if (outDir.isEmpty()) return refuse(error);
  // A run that was killed (SIGKILL, a power cut) leaves its bag in the making behind; whether its
  // run is gone is told by the lock a running one holds.
  for (const jobs::LeftFolder& left :
       jobs::ClearAbandonedFolders(outDir, QStringLiteral("preserve"))) {
    s.leftovers << LeftFolderText(left);
  }
  jobs::StagingFolder staging(outDir, name, QStringLiteral("preserve"));
  if (!staging.IsValid()) {
    s.status = BagSummary::Status::Failed;
    s.error = QStringLiteral("cannot make a folder in %1: %2")
                  .arg(QDir::toNativeSeparators(outDir), staging.ErrorString());
    return s;
  }
  BagWriter writer(root, request, progress, cancel, s);
  if (!writer.Fill(staging.Path())) {
    s.seconds = clock.nsecsElapsed() / 1e9;
    return s;
  }
  if (cancel && cancel->load()) {
    s.status = BagSummary::Status::Cancelled;
    return s;
  }
  if (!staging.PutInPlace(&error)) {
    s.status = BagSummary::Status::Failed;
    s.error = QStringLiteral("%1 %2").arg(s.bag, error);
    return s;
  }
  s.status = s.readErrors.empty() ? BagSummary::Status::Complete : BagSummary::Status::Incomplete;
  s.seconds = clock.nsecsElapsed() / 1e9;
  return s;
}

}  // namespace preserver
