#include "launcher/ProgressRun.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QPointer>
#include <QProgressDialog>
#include <QThread>
#include <QTimer>

namespace launcher {

void RunWithProgress(QWidget* parent, const QString& title,
                     const std::function<void(QProgressDialog*, const std::atomic<bool>*)>& job,
                     const std::function<void(QProgressDialog&)>& shown) {
  QProgressDialog dialog(QStringLiteral("Reading the medium\u2026"), QStringLiteral("Cancel"), 0,
                         100, parent);
  dialog.setWindowTitle(title);
  dialog.setWindowModality(Qt::WindowModal);
  dialog.setMinimumDuration(0);
  dialog.setAutoClose(false);
  dialog.setAutoReset(false);
  dialog.setValue(0);

  std::atomic<bool> cancel{false};
  QObject::connect(&dialog, &QProgressDialog::canceled, &dialog, [&cancel] { cancel = true; });
  // Closing the dialog in any other way counts as well.
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, &dialog, [&] {
    if (dialog.wasCanceled()) cancel = true;
  });
  watch.start(100);
  QEventLoop loop;
  QThread* worker = QThread::create([&] { job(&dialog, &cancel); });
  QObject::connect(worker, &QThread::finished, &loop, &QEventLoop::quit);
  worker->start();
  if (shown) shown(dialog);
  loop.exec();
  worker->wait();
  delete worker;
  // News still queued for the dialog must not outlive it.
  QCoreApplication::sendPostedEvents(&dialog);
  dialog.hide();
}

void PostToDialog(QProgressDialog* dialog, std::function<void(QProgressDialog&)> f) {
  QPointer<QProgressDialog> target = dialog;
  QMetaObject::invokeMethod(
      dialog,
      [target, f = std::move(f)] {
        if (target && !target->wasCanceled()) f(*target);
      },
      Qt::QueuedConnection);
}

}  // namespace launcher
