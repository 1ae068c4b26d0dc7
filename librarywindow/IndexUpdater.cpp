#include "librarywindow/IndexUpdater.h"

#include <QThread>

namespace librarywindow {

IndexUpdater::IndexUpdater(QObject* context, Progress progress, Finished finished)
    : context_(context), progress_(std::move(progress)), finished_(std::move(finished)) {}

IndexUpdater::~IndexUpdater() {
  *alive_ = false;
  if (worker_) {
    cancel_ = true;
    worker_->wait();
    delete worker_;
    worker_ = nullptr;
  }
}

bool IndexUpdater::Start(const QStringList& roots, const QString& indexFile) {
  if (worker_) return false;
  cancel_ = false;
  const std::shared_ptr<std::atomic<bool>> alive = alive_;
  // Calls queued to the context's thread; those that come after the updater went are dropped.
  const auto post = [this, alive](std::function<void()> call) {
    QMetaObject::invokeMethod(
        context_,
        [alive, call = std::move(call)] {
          if (*alive) call();
        },
        Qt::QueuedConnection);
  };
  worker_ = QThread::create([this, roots, indexFile, post] {
    library::UpdateResult result;
    library::LibraryIndex index(indexFile);
    if (!index.Open()) {
      result.error = QStringLiteral("the index cannot be opened: %1").arg(index.Error());
      result.unreachable = index.Unreachable();
    } else {
      result = index.Update(
          roots,
          [this, post](const library::IndexProgress& progress) {
            post([this, progress] {
              if (worker_) progress_(progress);
            });
          },
          &cancel_);
    }
    post([this, result] { Ended(result); });
  });
  worker_->setObjectName(QStringLiteral("library index"));
  worker_->start();
  return true;
}

void IndexUpdater::Ended(const library::UpdateResult& result) {
  if (worker_) {
    worker_->wait();
    delete worker_;
    worker_ = nullptr;
  }
  finished_(result);
}

}  // namespace librarywindow
