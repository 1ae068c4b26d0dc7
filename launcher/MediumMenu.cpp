#include "launcher/MediumMenu.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QVBoxLayout>
#include <atomic>
#include <memory>

#include "checker/MediumCheck.h"
#include "exporter/ExportCommand.h"
#include "exporter/Exporter.h"
#include "launcher/ProcessStarter.h"
#include "launcher/ProgressRun.h"
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

// The presentation folders of the medium that a folder holds already.
QStringList ExistingPresentations(const layout::MediumLayout& medium, const QString& outDir) {
  medium::SilentReporter reporter;
  const PresArr_cls list = ReadPresentationList(medium, reporter);
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
  void Post(std::function<void(QProgressDialog&)> f) { PostToDialog(dialog_, std::move(f)); }
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

QString MediumMenu::PreserveText() {
  return QStringLiteral("Preserve this medium\u2026");
}

QString MediumMenu::LibraryText() {
  return QStringLiteral("Open the library\u2026");
}

MediumMenu::MediumMenu(QWidget* window, Dialogs dialogs, bool asContextMenu)
    : QObject(window), window_(window), dialogs_(std::move(dialogs)) {
  if (!dialogs_.chooseFolder) dialogs_.chooseFolder = &ChooseFolderDialog;
  if (!dialogs_.confirmReplace) dialogs_.confirmReplace = &ConfirmReplaceDialog;
  if (!dialogs_.showReport) dialogs_.showReport = &ShowReportWindow;
  if (!dialogs_.choosePreservation) {
    dialogs_.choosePreservation = [this](QWidget* parent) {
      return AskPreserveChoice(parent, bagName_);
    };
  }
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
  connect(menu->addAction(CheckText()), &QAction::triggered, this, [this] { CheckMedium(); });
  connect(menu->addAction(ExportText()), &QAction::triggered, this, [this] { ExportToWebPage(); });
  connect(menu->addAction(PreserveText()), &QAction::triggered, this,
          [this] { PreserveThisMedium(); });
  menu->addSeparator();
  connect(menu->addAction(LibraryText()), &QAction::triggered, this, &MediumMenu::OpenLibrary);
  return menu;
}

void MediumMenu::OpenLibrary() {
  // A program of its own, with a window of its own, that outlives the launcher.
  try {
    dialogs_.startProgram(QCoreApplication::applicationFilePath(), {QStringLiteral("--library")});
  } catch (const medium::AppError& e) {
    dialogs_.showReport(window_, QStringLiteral("Ambrel"), e.description());
  }
}

void MediumMenu::CheckMedium(const layout::MediumLayout& medium) {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const QString text = checker::FormatText(checker::CheckMedium(medium));
  QApplication::restoreOverrideCursor();
  dialogs_.showReport(window_, QStringLiteral("Ambrel - check of the medium"), text);
}

void MediumMenu::ExportToWebPage(const layout::MediumLayout& medium) {
  const QString outDir = dialogs_.chooseFolder(window_);
  if (outDir.isEmpty()) return;
  exporter::ExportRequest request;
  request.outDir = outDir;
  const QStringList existing = ExistingPresentations(medium, outDir);
  if (!existing.isEmpty()) {
    if (!dialogs_.confirmReplace(window_, existing)) return;
    request.force = true;
  }

  // The export runs beside the window; a cancel throws away the presentation in the making.
  exporter::ExportSummary summary;
  RunWithProgress(
      window_, QStringLiteral("Ambrel - export to a web page"),
      [&](QProgressDialog* dialog, const std::atomic<bool>* cancel) {
        DialogObserver observer(dialog);
        summary = exporter::ExportMedium(medium, request, &observer, cancel);
      },
      dialogs_.progressShown);

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

void MediumMenu::PreserveThisMedium(const layout::MediumLayout& medium) {
  bagName_ = BagName(medium);
  const std::optional<PreserveChoice> choice = dialogs_.choosePreservation(window_);
  if (!choice) return;
  const QString text = PreserveWithProgress(window_, medium, *choice, dialogs_.progressShown);
  dialogs_.showReport(window_, QStringLiteral("Ambrel - preserve this medium"), text);
}

}  // namespace launcher
