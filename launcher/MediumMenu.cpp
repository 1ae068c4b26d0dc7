#include "launcher/MediumMenu.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressDialog>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <atomic>
#include <memory>

#include "checker/MediumCheck.h"
#include "exporter/Exporter.h"
#include "launcher/ProcessStarter.h"
#include "medium/Error.h"
#include "medium/Report.h"
#include "presentation/ConfigReader.h"

namespace launcher {

namespace {

QString ChooseFolderDialog(QWidget* parent) {
  return QFileDialog::getExistingDirectory(
      parent, QStringLiteral("Ambrel - choose the folder for the web pages"), QString(),
      QFileDialog::ShowDirsOnly);
}

bool ConfirmReplaceDialog(QWidget* parent, const QStringList& existing) {
  return QMessageBox::question(
             parent, QStringLiteral("Ambrel"),
             QStringLiteral("The folder holds these presentations already:\n\n%1\n\n"
                            "Replace them?")
                 .arg(existing.join(u'\n'))) == QMessageBox::Yes;
}

void ShowReportWindow(QWidget* parent, const QString& title, const QString& text) {
  QDialog dialog(parent);
  dialog.setWindowTitle(title);
  auto* layout = new QVBoxLayout(&dialog);
  auto* view = new QPlainTextEdit(text, &dialog);
  view->setObjectName(QStringLiteral("Report"));
  view->setReadOnly(true);
  view->setLineWrapMode(QPlainTextEdit::NoWrap);
  view->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  layout->addWidget(view);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  layout->addWidget(buttons);
  dialog.resize(720, 420);
  dialog.exec();
}

class SilentReporter : public medium::Reporter {
 public:
  SilentReporter() : Reporter(QStringLiteral("Ambrel")) {}
  void Show(const medium::Message&) override {}
};

// The presentation folders of the medium that a folder holds already.
QStringList ExistingPresentations(const QString& outDir) {
  SilentReporter reporter;
  ConfigReader reader(reporter);
  reader.ReadCount();
  PresArr_cls list;
  FillPresentationList(reporter, reader, list, [](const QString&) {});
  reader.Release();
  QStringList existing;
  for (int k = 1; k <= list.arr.Count(); ++k) {
    const QString& folder = list.arr.Item(k).PresDir;
    if (!folder.isEmpty() && !existing.contains(folder) &&
        QFileInfo::exists(QDir(outDir).filePath(folder))) {
      existing << folder;
    }
  }
  return existing;
}

// Carries the export's news from its thread to the progress dialog.
class DialogObserver : public exporter::ExportObserver {
 public:
  explicit DialogObserver(QProgressDialog* dialog) : dialog_(dialog) {}
  void Started(int index, int count, const QString& folder, const QString& name) override {
    Post([=](QProgressDialog& d) {
      d.setMaximum(count * 100);
      d.setValue((index - 1) * 100);
      d.setLabelText(QStringLiteral("Exporting %1 of %2: %3 (%4)")
                         .arg(index)
                         .arg(count)
                         .arg(name.isEmpty() ? folder : name, folder));
    });
    index_ = index;
  }
  void Progress(int percent) override {
    const int index = index_;
    Post([=](QProgressDialog& d) { d.setValue((index - 1) * 100 + percent); });
  }
  void Finished(const exporter::PresentationOutcome&) override {}

 private:
  template <class F>
  void Post(F f) {
    QPointer<QProgressDialog> dialog = dialog_;
    QMetaObject::invokeMethod(
        dialog_,
        [dialog, f] {
          if (dialog && !dialog->wasCanceled()) f(*dialog);
        },
        Qt::QueuedConnection);
  }
  QProgressDialog* dialog_;
  std::atomic<int> index_{0};
};

}  // namespace

QString MediumMenu::CheckText() {
  return QStringLiteral("Check this medium\u2026");
}

QString MediumMenu::ExportText() {
  return QStringLiteral("Export to a web page\u2026");
}

QString MediumMenu::LibraryText() {
  return QStringLiteral("Open the library\u2026");
}

MediumMenu::MediumMenu(QWidget* window, Dialogs dialogs, bool asContextMenu)
    : QObject(window), window_(window), dialogs_(std::move(dialogs)) {
  if (!dialogs_.chooseFolder) dialogs_.chooseFolder = &ChooseFolderDialog;
  if (!dialogs_.confirmReplace) dialogs_.confirmReplace = &ConfirmReplaceDialog;
  if (!dialogs_.showReport) dialogs_.showReport = &ShowReportWindow;
  if (!dialogs_.startProgram) {
    dialogs_.startProgram = [](const QString& program, const QStringList& arguments) {
      DetachedProcessStarter().StartDetached(program, arguments);
    };
  }
  if (!asContextMenu) return;
  window_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(window_, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
    std::unique_ptr<QMenu> menu(BuildMenu());
    menu->exec(window_->mapToGlobal(pos));
  });
}

QMenu* MediumMenu::BuildMenu() {
  auto* menu = new QMenu(window_);
  connect(menu->addAction(CheckText()), &QAction::triggered, this, &MediumMenu::CheckMedium);
  connect(menu->addAction(ExportText()), &QAction::triggered, this, &MediumMenu::ExportToWebPage);
  menu->addSeparator();
  connect(menu->addAction(LibraryText()), &QAction::triggered, this, &MediumMenu::OpenLibrary);
  return menu;
}

void MediumMenu::OpenLibrary() {
  // A program of its own: the library reads one medium after another through the process-wide
  // medium folder, which the launcher window goes on using.
  try {
    dialogs_.startProgram(QCoreApplication::applicationFilePath(), {QStringLiteral("--library")});
  } catch (const medium::AppError& e) {
    dialogs_.showReport(window_, QStringLiteral("Ambrel"), e.description());
  }
}

void MediumMenu::CheckMedium() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const QString text = checker::FormatText(checker::CheckMedium());
  QApplication::restoreOverrideCursor();
  dialogs_.showReport(window_, QStringLiteral("Ambrel - check of the medium"), text);
}

void MediumMenu::ExportToWebPage() {
  const QString outDir = dialogs_.chooseFolder(window_);
  if (outDir.isEmpty()) return;
  exporter::ExportRequest request;
  request.outDir = outDir;
  const QStringList existing = ExistingPresentations(outDir);
  if (!existing.isEmpty()) {
    if (!dialogs_.confirmReplace(window_, existing)) return;
    request.force = true;
  }

  QProgressDialog dialog(QStringLiteral("Reading the medium\u2026"), QStringLiteral("Cancel"), 0,
                         100, window_);
  dialog.setWindowTitle(QStringLiteral("Ambrel - export to a web page"));
  dialog.setWindowModality(Qt::WindowModal);
  dialog.setMinimumDuration(0);
  dialog.setAutoClose(false);
  dialog.setAutoReset(false);
  dialog.setValue(0);

  // The export runs beside the window, so that the dialog stays alive and Cancel is heard at
  // once; a cancel throws away the presentation in the making.
  std::atomic<bool> cancel{false};
  connect(&dialog, &QProgressDialog::canceled, &dialog, [&cancel] { cancel = true; });
  // Closing the dialog in any other way counts as well.
  QTimer watch;
  connect(&watch, &QTimer::timeout, &dialog, [&] {
    if (dialog.wasCanceled()) cancel = true;
  });
  watch.start(100);
  DialogObserver observer(&dialog);
  exporter::ExportSummary summary;
  QEventLoop loop;
  QThread* worker =
      QThread::create([&] { summary = exporter::ExportMedium(request, &observer, &cancel); });
  connect(worker, &QThread::finished, &loop, &QEventLoop::quit);
  worker->start();
  if (dialogs_.progressShown) dialogs_.progressShown(dialog);
  loop.exec();
  worker->wait();
  delete worker;
  // News still queued for the dialog must not outlive it.
  QCoreApplication::sendPostedEvents(&dialog);
  dialog.hide();

  QString text;
  if (summary.status == exporter::ExportSummary::Status::UsageError ||
      summary.status == exporter::ExportSummary::Status::UnreadableMedium) {
    text = summary.error + u'\n';
  } else {
    for (const auto& p : summary.presentations) {
      text += QStringLiteral("%1 (%2): %3\n")
                  .arg(p.name, p.folder,
                       p.exported ? QStringLiteral("exported") : QStringLiteral("not exported"));
      for (const auto& problem : p.problems) text += exporter::ProblemLine(problem) + u'\n';
    }
    text += exporter::FormatSummary(summary);
  }
  dialogs_.showReport(window_, QStringLiteral("Ambrel - export to a web page"), text);
}

}  // namespace launcher
