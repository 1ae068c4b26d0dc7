#include "launcher/PreserveDialog.h"

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QVBoxLayout>

#include "jobs/OutputFolder.h"
#include "launcher/ProgressRun.h"
#include "medium/Paths.h"
#include "preserver/Preserver.h"

namespace launcher {

QString BagName(const layout::MediumLayout& medium) {
  const QString root = medium.NativeRoot();
  return jobs::MediumFolderNames({root}).value(root);
}

std::optional<PreserveChoice> AskPreserveChoice(QWidget* parent, const QString& bagName) {
  QDialog dialog(parent);
  dialog.setWindowTitle(QStringLiteral("Ambrel - preserve this medium"));
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(new QLabel(
      QStringLiteral("The medium is copied byte for byte into a BagIt bag with SHA-512 "
                     "checksums,\nthe check's report and a description of every recording."),
      &dialog));
  auto* row = new QHBoxLayout;
  auto* folder = new QLineEdit(&dialog);
  folder->setAccessibleName(QStringLiteral("Folder for the bag"));
  auto* label = new QLabel(QStringLiteral("&Folder for the bag:"), &dialog);
  label->setBuddy(folder);
  auto* browse = new QPushButton(QStringLiteral("&Browse\u2026"), &dialog);
  row->addWidget(label);
  row->addWidget(folder, 1);
  row->addWidget(browse);
  layout->addLayout(row);
  auto* masters = new QCheckBox(
      QStringLiteral("Also make lossless &masters of the recordings (FFV1, FLAC or float PCM "
                     "in Matroska)"),
      &dialog);
  layout->addWidget(masters);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("&Preserve"));
  buttons->button(QDialogButtonBox::Ok)->setEnabled(false);
  layout->addWidget(buttons);
  QObject::connect(folder, &QLineEdit::textChanged, &dialog, [buttons](const QString& text) {
    buttons->button(QDialogButtonBox::Ok)->setEnabled(!text.trimmed().isEmpty());
  });
  QObject::connect(browse, &QPushButton::clicked, &dialog, [&] {
    const QString chosen = QFileDialog::getExistingDirectory(
        &dialog, QStringLiteral("Ambrel - choose the folder for the bag"), folder->text(),
        QFileDialog::ShowDirsOnly);
    if (!chosen.isEmpty()) folder->setText(QDir::toNativeSeparators(chosen));
  });
  bool replace = false;
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, [&] {
    const QString bag = QDir(folder->text().trimmed()).filePath(bagName);
    replace = QFileInfo::exists(bag);
    if (replace &&
        QMessageBox::question(&dialog, QStringLiteral("Ambrel"),
                              QStringLiteral("%1 holds a bag of this medium "
                                             "already.\n\nReplace it?")
                                  .arg(QDir::toNativeSeparators(bag))) != QMessageBox::Yes) {
      return;
    }
    dialog.accept();
  });
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return PreserveChoice{folder->text().trimmed(), masters->isChecked(), replace};
}

namespace {

QString Megabytes(qint64 bytes) {
  return QString::number(bytes / 1e6, 'f', 1) + QStringLiteral(" MB");
}

// The dialog's label and bar for where the work stands.
std::pair<QString, int> Describe(const preserver::PreserveProgress& p) {
  using Phase = preserver::PreserveProgress::Phase;
  auto percent = [](qint64 done, qint64 total) {
    return total > 0 ? static_cast<int>(done * 100 / total) : 0;
  };
  switch (p.phase) {
    case Phase::Copying:
      return {QStringLiteral("Copying the medium: %1 of %2\n%3 (%4 of %5)")
                  .arg(Megabytes(p.done), Megabytes(p.total), p.item, Megabytes(p.itemDone),
                       Megabytes(p.itemTotal)),
              percent(p.done, p.total)};
    case Phase::Describing:
      return {QStringLiteral("Describing the recordings and checking the medium\n%1").arg(p.item),
              percent(p.itemDone, p.itemTotal)};
    case Phase::Mastering:
      return {QStringLiteral("Making the lossless master %1 of %2\n%3: %4%")
                  .arg(p.index)
                  .arg(p.count)
                  .arg(p.item)
                  .arg(p.itemDone),
              p.count > 0 ? static_cast<int>(((p.index - 1) * 100 + p.itemDone) / p.count) : 0};
    case Phase::Verifying:
      return {QStringLiteral("Reading the bag back: %1 of %2")
                  .arg(Megabytes(p.done), Megabytes(p.total)),
              percent(p.done, p.total)};
  }
  return {};
}

}  // namespace

QString PreserveWithProgress(QWidget* parent, const layout::MediumLayout& medium,
                             const PreserveChoice& choice,
                             const std::function<void(QProgressDialog&)>& shown) {
  preserver::PreserveRequest request;
  request.outDir = choice.outDir;
  request.masters = choice.masters;
  request.force = choice.replace;
  const QString root = medium.NativeRoot();
  preserver::BagSummary summary;
  RunWithProgress(
      parent, QStringLiteral("Ambrel - preserve this medium"),
      [&](QProgressDialog* dialog, const std::atomic<bool>* cancel) {
        QElapsedTimer sincePosted;
        auto lastPhase = preserver::PreserveProgress::Phase::Copying;
        // Called for every block: the news goes across some twenty times a second.
        auto progress = [&](const preserver::PreserveProgress& p) {
          if (sincePosted.isValid() && sincePosted.elapsed() < 50 && p.phase == lastPhase) return;
          sincePosted.start();
          lastPhase = p.phase;
          auto [label, value] = Describe(p);
          PostToDialog(dialog, [label = label, value = value](QProgressDialog& d) {
            d.setLabelText(label);
            d.setValue(value);
          });
        };
        summary = preserver::PreserveMedium(root, request, progress, cancel);
      },
      shown);
  return preserver::FormatBagSummary(summary);
}

}  // namespace launcher
