#pragma once
// Brings the library's index up to date on a thread of its own, beside the window: the thread
// opens a connection of its own (Qt SQL connections belong to their thread) while the window goes
// on listing and searching through its own. Where it stands and how it ended are told on the
// context object's thread, through the functions given.

#include <QObject>
#include <QStringList>
#include <atomic>
#include <functional>
#include <memory>

#include "library/LibraryIndex.h"

class QThread;

namespace librarywindow {

class IndexUpdater {
 public:
  using Progress = std::function<void(const library::IndexProgress&)>;
  using Finished = std::function<void(const library::UpdateResult&)>;

  // progress and finished are called on context's thread, never after the updater is gone.
  IndexUpdater(QObject* context, Progress progress, Finished finished);
  // Stops an update after the presentation it is reading and waits for it.
  ~IndexUpdater();
  IndexUpdater(const IndexUpdater&) = delete;
  IndexUpdater& operator=(const IndexUpdater&) = delete;

  // Starts an update of the media at the roots into the index's file (empty: the user's cache
  // folder); false when one runs already.
  bool Start(const QStringList& roots, const QString& indexFile);
  // From Start until finished has been called.
  bool Running() const { return worker_ != nullptr; }

 private:
  void Ended(const library::UpdateResult& result);

  QObject* context_;
  Progress progress_;
  Finished finished_;
  QThread* worker_ = nullptr;
  std::atomic<bool> cancel_{false};
  // Told to the worker's calls still queued when the updater goes.
  std::shared_ptr<std::atomic<bool>> alive_ = std::make_shared<std::atomic<bool>>(true);
};

}  // namespace librarywindow
