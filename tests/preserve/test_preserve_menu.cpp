// "Preserve this medium…" in the launcher's right-click menu: the bag is made through the
// progress dialog and its report shown; the Cancel button stops the work and leaves no bag and
// no hidden folder.

#include <QDir>
#include <QMenu>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "launcher/MediumMenu.h"
#include "medium/Paths.h"

namespace {

const QString kSample = QStringLiteral(SAMPLE_MEDIUM_DIR);

}  // namespace

class PreserveMenuTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { medium::SetApplicationFolder(kSample); }

  void preserveThroughTheMenu() {
    QTemporaryDir tmp;
    QStringList reports;
    QStringList labels;
    QWidget window;
    launcher::MediumMenu menu(
        &window, {.showReport = [&](QWidget*, const QString&, const QString& x) { reports << x; },
                  .progressShown =
                      [&](QProgressDialog& dialog) {
                        auto* poll = new QTimer(&dialog);
                        QObject::connect(poll, &QTimer::timeout, &dialog, [&dialog, &labels] {
                          const QString phase = dialog.labelText().section(':', 0, 0);
                          if (labels.isEmpty() || labels.last() != phase) labels << phase;
                        });
                        poll->start(1);
                      },
                  .choosePreservation =
                      [&](QWidget*) {
                        return launcher::PreserveChoice{tmp.path(), false, false};
                      }});
    std::unique_ptr<QMenu> m(menu.BuildMenu());
    m->actions().at(2)->trigger();
    QCOMPARE(reports.size(), 1);
    QVERIFY2(reports[0].endsWith("Complete.\n"), qPrintable(reports[0]));
    QVERIFY(QFileInfo::exists(tmp.path() + "/sample-medium/bagit.txt"));
    QVERIFY2(labels.contains("Copying the medium"), qPrintable(labels.join('|')));
  }

  void cancelLeavesNoBag() {
    QTemporaryDir tmp;
    QStringList reports;
    QWidget window;
    launcher::MediumMenu menu(
        &window, {.showReport = [&](QWidget*, const QString&, const QString& x) { reports << x; },
                  // Cancel with the Cancel button once the first master is under way.
                  .progressShown =
                      [&](QProgressDialog& dialog) {
                        auto* poll = new QTimer(&dialog);
                        QObject::connect(poll, &QTimer::timeout, &dialog, [&dialog, poll] {
                          if (!dialog.labelText().startsWith("Making the lossless master 1"))
                            return;
                          poll->stop();
                          QPushButton* button = dialog.findChild<QPushButton*>();
                          QVERIFY(button);
                          button->click();
                        });
                        poll->start(5);
                      },
                  .choosePreservation =
                      [&](QWidget*) {
                        return launcher::PreserveChoice{tmp.path(), true, false};
                      }});
    menu.PreserveThisMedium();
    QCOMPARE(reports.size(), 1);
    QVERIFY2(reports[0].contains("cancelled: no bag was made"), qPrintable(reports[0]));
    QCOMPARE(QDir(tmp.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList());
  }
};

QTEST_MAIN(PreserveMenuTest)
#include "test_preserve_menu.moc"
