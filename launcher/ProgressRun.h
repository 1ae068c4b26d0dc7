#pragma once
// A long job of the launcher's menu (an export, a preservation) beside the window: a progress
// dialog that can be cancelled, the job on a thread of its own so that the dialog stays alive and
// a cancel is heard at once.

#include <QString>
#include <atomic>
#include <functional>

class QProgressDialog;
class QWidget;

namespace launcher {

// Runs job on a thread of its own while a window-modal progress dialog (0 to 100 until the job
// says otherwise) is shown; its Cancel button, or closing it, sets the flag the job is given.
// shown is told of the dialog once the job runs (tests cancel through it). Returns when the job
// has ended and no news of it is left queued for the dialog.
void RunWithProgress(
    QWidget* parent, const QString& title,
    const std::function<void(QProgressDialog* dialog, const std::atomic<bool>* cancel)>& job,
    const std::function<void(QProgressDialog& dialog)>& shown);

// From the job's thread: f runs on the dialog's thread, unless the dialog is gone or cancelled.
void PostToDialog(QProgressDialog* dialog, std::function<void(QProgressDialog& dialog)> f);

}  // namespace launcher
