#include "librarywindow/LibraryWindow.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QProgressBar>
#include <QStandardItemModel>
#include <QTreeView>

#include "launcher/PlayerLaunch.h"
#include "launcher/ProcessStarter.h"
#include "librarywindow/HitsModel.h"
#include "librarywindow/IndexUpdater.h"
#include "librarywindow/MediaModel.h"
#include "librarywindow/ProblemGroups.h"
#include "librarywindow/SlidePictures.h"
#include "medium/Error.h"
#include "medium/Paths.h"
#include "medium/PrintableText.h"
#include "medium/Report.h"

namespace librarywindow {

namespace {

constexpr int kHitLimit = 100;

// "1 hit", "3 hits".
QString Count(qsizetype n, const char* word) {
  return QStringLiteral("%1 %2%3").arg(n).arg(QLatin1String(word), n == 1 ? "" : "s");
}

// The pictures are kept beside the index, in the user's cache folder, never on a medium.
QString PictureFolder(const QString& indexFile) {
  const QString file = indexFile.isEmpty() ? library::LibraryIndex::DefaultFile() : indexFile;
  return QFileInfo(file).path() + QStringLiteral("/thumbnails");
}

}  // namespace

LibraryWindow::LibraryWindow(QStringList roots, LibraryWindowServices services, QWidget* parent)
    : QWidget(parent),
      roots_(std::move(roots)),
      services_(std::move(services)),
      index_(services_.indexFile) {
  setObjectName(QStringLiteral("LibraryWindow"));
  setWindowTitle(QStringLiteral("Ambrel - library"));
  setAccessibleName(QStringLiteral("Library"));
  pictures_ = new PictureStore(PictureFolder(services_.indexFile), this);
  BuildControls();
  BuildShortcuts();
  // The launcher's check and export, offered in this window's own menu.
  menu_ = new launcher::MediumMenu(this, services_.menuDialogs, false);
  updater_ = std::make_unique<IndexUpdater>(
      this, [this](const library::IndexProgress& p) { ShowProgress(p); },
      [this](const library::UpdateResult& r) { UpdateFinished(r); });
  searchTimer_.setSingleShot(true);
  searchTimer_.setInterval(services_.searchDelayMs);
  connect(&searchTimer_, &QTimer::timeout, this, &LibraryWindow::SearchNow);
  resize(980, 600);
}

LibraryWindow::~LibraryWindow() {
  updater_.reset();
  // The models ask the pictures' store while they live: they go first, and nothing here hears
  // of their going.
  Media_tree->selectionModel()->disconnect(this);
  Media_tree->setModel(nullptr);
  Hits_lst->setModel(nullptr);
  delete sortedMedia_;
  delete media_;
  delete hits_;
}

// ---- listing -----------------------------------------------------------------------------------

void LibraryWindow::Start() {
  if (!index_.Open()) {
    ShowNotice({QStringLiteral("The library's index %1 cannot be opened: %2 (F5 tries again)")
                    .arg(index_.Location(), index_.Error())});
  } else {
    ShowNotice({index_.Notice()});
    ListMedia();
  }
  show();
  Search_txt->setFocus(Qt::OtherFocusReason);
  UpdateIndex();
}

void LibraryWindow::ListMedia() {
  std::vector<library::MediumEntry> media = index_.Media(roots_);
  if (media.empty() && !index_.Error().isEmpty()) {
    // The server gone: what the window shows stays, and F5 or a search asks again.
    ShowNotice({QStringLiteral("The library's index %1 cannot be read: %2. What is shown is "
                               "what it held before; F5 tries again.")
                    .arg(index_.Location(), index_.Error())});
    return;
  }
  // Merged into the rows there: what was current, open and in view stays.
  media_->SetMedia(std::move(media));
  if (!Media_tree->currentIndex().isValid() && sortedMedia_->rowCount() > 0) {
    QModelIndex first = sortedMedia_->index(0, 0);
    if (sortedMedia_->rowCount(first) > 0) first = sortedMedia_->index(0, 0, first);
    Media_tree->setCurrentIndex(first);
  }
  FitColumns();
  ShowSummary();
  ShowProblems();
}

void LibraryWindow::FitColumns() {
  // Each column as wide as what it holds, the title taking the rest: the languages and folders
  // are capped, so a long one does not push the titles out of view.
  QHeaderView* header = Media_tree->header();
  const QAbstractItemView* view = Media_tree;  // the tree's own measure, reached as a view's
  const int cap = fontMetrics().averageCharWidth() * 26;
  for (int column : {MediaModel::kLength, MediaModel::kPlayer, MediaModel::kSlides,
                     MediaModel::kLanguages, MediaModel::kFolder}) {
    int width = std::max(view->sizeHintForColumn(column), header->sectionSizeHint(column));
    if (column == MediaModel::kLanguages || column == MediaModel::kFolder)
      width = std::min(width, cap);
    header->resizeSection(column, width);
  }
}

void LibraryWindow::ShowSummary() {
  if (Searching()) return;  // the hits' own line stays
  const int media = media_->MediaCount();
  QString text = (media == 1 ? QStringLiteral("1 medium") : QStringLiteral("%1 media").arg(media)) +
                 QStringLiteral(", ") + Count(media_->PresentationCount(), "presentation");
  if (const int absent = media_->AbsentCount()) text += QStringLiteral(" (%1 absent)").arg(absent);
  if (media == 0)
    text = Updating()
               ? QStringLiteral("Looking for media\u2026")
               : QStringLiteral("No media found in %1").arg(roots_.join(QStringLiteral(", ")));
  Status_lbl->setText(text);
  // Which index it is: a file of this user's or a database the archive shares.
  Status_lbl->setToolTip(QStringLiteral("Index: %1").arg(index_.Location()));
}

void LibraryWindow::ShowProblems() {
  QWidget* pane = Problems_lst->parentWidget();
  const library::MediumEntry* medium =
      Searching() ? nullptr
                  : media_->MediumAt(sortedMedia_->mapToSource(Media_tree->currentIndex()));
  if (!medium || medium->problems.isEmpty()) {
    pane->hide();
    problemsOf_.clear();
    return;
  }
  pane->show();
  if (problemsOf_ == medium->path) return;
  problemsOf_ = medium->path;
  const std::vector<ProblemGroup> groups = GroupProblems(*medium);
  Problems_lbl->setText(QStringLiteral("&Problems of %1 (%2):")
                            .arg(medium::PrintableText(medium->name).replace(u'&', "&&"))
                            .arg(ProblemCount(*medium)));
  problems_->clear();
  for (const ProblemGroup& g : groups) {
    auto* heading = new QStandardItem(g.heading);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    for (const QString& line : g.lines) {
      auto* row = new QStandardItem(line);
      row->setToolTip(line);
      heading->appendRow(row);
    }
    problems_->appendRow(heading);
  }
  Problems_lst->expandAll();
  Problems_lst->setAccessibleDescription(ProblemsText(groups));
}

void LibraryWindow::ShowNotice(const QStringList& lines) {
  QStringList shown;
  // A shared index is named above the list: what is shown is what every workstation wrote.
  if (index_.Location().startsWith(QLatin1String("postgres")))
    shown << QStringLiteral("Shared index: %1").arg(index_.Location());
  for (const QString& line : lines)
    if (!line.isEmpty()) shown << line;
  Notice_lbl->setText(shown.join(u'\n'));
  Notice_lbl->setVisible(!shown.isEmpty());
}

// ---- searching ---------------------------------------------------------------------------------

bool LibraryWindow::Searching() const {
  return !Search_txt->text().trimmed().isEmpty();
}

void LibraryWindow::SearchNow() {
  searchTimer_.stop();
  const QString text = Search_txt->text();
  if (text.trimmed().isEmpty()) {
    ShowSearchOrMedia();
    return;
  }
  const library::SearchResult result = index_.Search(text, roots_, kHitLimit);
  if (result.unreachable) {
    // The hits shown stay; the next search (or F5) tries the server again.
    Status_lbl->setText(QStringLiteral("The index %1 cannot be reached: %2. The hits shown are "
                                       "from before; search again or press F5 to try again.")
                            .arg(index_.Location(), result.error));
    return;
  }
  ShowHits(result);
  hitsFor_ = text;
}

void LibraryWindow::ShowHits(const library::SearchResult& result) {
  hits_->SetHits(result.hits);
  if (hits_->Count() > 0) Hits_lst->setCurrentIndex(hits_->index(0, 0));

  QString status;
  const int n = hits_->Count();
  if (!result.error.isEmpty()) {
    // While an index in memory is written, it cannot be read; the search comes again after.
    status = Updating() ? QStringLiteral(
                              "The index is being built; the search follows when it is "
                              "done.")
                        : QStringLiteral("The index cannot be searched: %1").arg(result.error);
  } else if (result.query.IsEmpty()) {
    status = QStringLiteral("Type letters or digits to search.");
  } else if (n == 0) {
    status = QStringLiteral("No hits.");
  } else if (!result.corrections.isEmpty()) {
    status = QStringLiteral("No hits for %1; showing %2: %3")
                 .arg(result.query.words.join(u' '), result.UsedText(), Count(n, "hit"));
  } else {
    status = result.more ? QStringLiteral("The best %1 hits.").arg(n) : Count(n, "hit") + u'.';
  }
  if (result.query.shortened)
    status +=
        QStringLiteral(" Only the first %1 words were searched.").arg(library::kMaxQueryWords);
  if (Updating() && result.error.isEmpty())
    status += QStringLiteral(" The index is still being brought up to date.");
  Status_lbl->setText(status);
  ShowSearchOrMedia();
}

void LibraryWindow::ShowSearchOrMedia() {
  const bool searching = Searching();
  const bool focusInList = Media_tree->hasFocus() || Hits_lst->hasFocus();
  Hits_lst->setVisible(searching);
  Media_tree->setVisible(!searching);
  if (focusInList) VisibleList()->setFocus(Qt::OtherFocusReason);
  if (!searching) {
    hits_->SetHits({});
    hitsFor_.clear();
    ShowSummary();
  }
  ShowProblems();
}

QAbstractItemView* LibraryWindow::VisibleList() const {
  return Searching() ? static_cast<QAbstractItemView*>(Hits_lst) : Media_tree;
}

// ---- the index beside the window ---------------------------------------------------------------

bool LibraryWindow::Updating() const {
  return updater_ && updater_->Running();
}

void LibraryWindow::UpdateIndex() {
  if (Updating()) return;
  // An index that could not be opened (a server out of reach) is tried again when asked.
  if (!index_.IsOpen() && index_.Open()) {
    ShowNotice({index_.Notice()});
    ListMedia();
  }
  if (!updater_->Start(roots_, services_.indexFile)) return;
  Progress_bar->setValue(0);
  Progress_bar->setFormat(QStringLiteral("Looking for media\u2026"));
  Progress_bar->show();
  ShowSummary();
}

void LibraryWindow::ShowProgress(const library::IndexProgress& progress) {
  Progress_bar->setValue(static_cast<int>(progress.Fraction() * 1000));
  // The bar would read "%p" and the like in a folder's name as its own placeholders.
  Progress_bar->setFormat(
      medium::PrintableText(progress.Line()).replace(u'%', QStringLiteral("%\u200B")));
}

void LibraryWindow::UpdateFinished(const library::UpdateResult& result) {
  Progress_bar->hide();
  QStringList notes{index_.Notice(), result.notice};
  if (!result.error.isEmpty())
    notes << QStringLiteral("The index could not be brought up to date: %1").arg(result.error);
  if (!result.skipped.empty()) {
    QStringList lines;
    for (const QString& line : library::DescribeSkipped(result.skipped).trimmed().split(u'\n'))
      lines << medium::PrintableText(line);
    notes << QStringLiteral("Folders that could not be looked into:\n%1").arg(lines.join(u'\n'));
  }
  if (!result.problems.isEmpty()) {
    notes << Count(result.problems.size(), "problem") +
                 QStringLiteral(
                     " while reading, counted beside their media; choose a medium "
                     "to see its own.");
  }
  ShowNotice(notes);
  // A medium read again may have other pictures: they are asked for again as they are shown.
  pictures_->Forget();
  problemsOf_.clear();
  ListMedia();
  // The hits of the index as it is now (also a search refused while the index was written).
  if (Searching()) SearchNow();
}

// ---- opening -----------------------------------------------------------------------------------

std::optional<LibraryWindow::Target> LibraryWindow::TargetOf(const QModelIndex& index) const {
  if (!index.isValid()) return std::nullopt;
  Target t;
  if (index.model() == hits_) {
    const library::SearchHit* hit = hits_->HitAt(index);
    if (!hit) return std::nullopt;
    t.mediumPath = hit->mediumPath;
    t.mediumName = hit->mediumName;
    t.present = hit->mediumPresent;
    t.folder = hit->folder;
    t.title = hit->title.isEmpty() ? hit->folder : hit->title;
    t.player = hit->player;
    if (hit->atMs > 0) t.atMs = static_cast<double>(hit->atMs);
    return t;
  }
  const QModelIndex source = sortedMedia_->mapToSource(index);
  const library::MediumEntry* medium = media_->MediumAt(source);
  if (!medium) return std::nullopt;
  t.mediumPath = medium->path;
  t.mediumName = medium->name;
  t.present = medium->present;
  if (const library::PresentationEntry* pres = media_->PresentationAt(source)) {
    t.folder = pres->folder;
    t.title = pres->title.isEmpty() ? pres->folder : pres->title;
    t.player = pres->Player();
    t.playable = pres->tavisco || pres->norvanta;
  }
  return t;
}

std::optional<LibraryWindow::Target> LibraryWindow::CurrentTarget() const {
  return TargetOf(VisibleList()->currentIndex());
}

void LibraryWindow::OpenCurrent() {
  const auto target = CurrentTarget();
  if (!target || target->folder.isEmpty()) return;  // a medium's row opens and closes itself
  Play(*target);
}

bool LibraryWindow::SayWhereExpected(const Target& target) {
  // The index may be older than the shelf: what counts is whether the medium is there now.
  if (library::IsMedium(target.mediumPath)) return false;
  services_.reporter->Report(
      QStringLiteral("The medium %1 is not present. It was expected at %2.\n\nInsert or mount it "
                     "there, or give its new place with Ambrel --library.")
          .arg(medium::PrintableText(target.mediumName),
               QDir::toNativeSeparators(target.mediumPath)));
  return true;
}

void LibraryWindow::Play(const Target& target) {
  if (SayWhereExpected(target)) return;
  if (!target.playable) {
    services_.reporter->Report(
        QStringLiteral("Neither player can play \"%1\": the medium holds no recording of it.")
            .arg(medium::PrintableText(target.title)));
    return;
  }
  const QString programFolder =
      services_.programFolder.isEmpty() ? medium::ProgramFolder() : services_.programFolder;
  // As the launcher starts a player: the medium named, the folder as one argument after "--".
  // A medium of a name that is no UTF-8 is handed on through a link of a plain name.
  const QString folder = library::ReadablePath(target.mediumPath);
  const launcher::PlayerLaunch launch =
      launcher::BuildPlayerLaunch(target.player, target.folder, medium::ToMediumForm(folder),
                                  programFolder, folder, target.atMs);
  try {
    services_.starter->StartDetached(launch.program, launch.arguments);
  } catch (const medium::AppError& e) {
    services_.reporter->Report(e.description());
    return;
  }
  const QString title = medium::PrintableText(target.title);
  Status_lbl->setText(
      target.atMs ? QStringLiteral("%1 started: %2 at %3")
                        .arg(layout::PlayerName(target.player), title,
                             library::FormatMoment(static_cast<qint64>(*target.atMs)))
                  : QStringLiteral("%1 started: %2").arg(layout::PlayerName(target.player), title));
}

// ---- the medium's menu -------------------------------------------------------------------------

void LibraryWindow::ShowMenu(QAbstractItemView* list, const QPoint& pos) {
  const QModelIndex at = pos.x() >= 0 ? list->indexAt(pos) : QModelIndex();
  if (at.isValid()) list->setCurrentIndex(at);
  const QModelIndex current = list->currentIndex();
  const auto target = TargetOf(current);
  if (!target) return;
  QMenu menu(this);
  menu.setObjectName(QStringLiteral("Library_menu"));
  menu.setAccessibleName(QStringLiteral("Medium actions"));
  if (!target->folder.isEmpty()) {
    QAction* play = menu.addAction(
        target->atMs ? QStringLiteral("Play from %1")
                           .arg(library::FormatMoment(static_cast<qint64>(*target->atMs)))
                     : QStringLiteral("Play"),
        this, [this, t = *target] { Play(t); });
    menu.setDefaultAction(play);
    menu.addSeparator();
  }
  // Each medium is read through a layout of its own: these run while the index is updated.
  menu.addAction(launcher::MediumMenu::CheckText(), this,
                 [this, t = *target] { RunOnMedium(t, &launcher::MediumMenu::CheckMedium); });
  menu.addAction(launcher::MediumMenu::ExportText(), this,
                 [this, t = *target] { RunOnMedium(t, &launcher::MediumMenu::ExportToWebPage); });
  menu.addAction(launcher::MediumMenu::PreserveText(), this, [this, t = *target] {
    RunOnMedium(t, &launcher::MediumMenu::PreserveThisMedium);
  });
  const QRect rect = list->visualRect(current);
  const QPoint where = pos.x() >= 0 ? pos : rect.bottomLeft();
  menu.exec(list->viewport()->mapToGlobal(where));
}

bool LibraryWindow::RunOnMedium(const Target& target,
                                void (launcher::MediumMenu::*action)(const layout::MediumLayout&)) {
  if (SayWhereExpected(target)) return false;
  (menu_->*action)(layout::MediumLayout(library::ReadablePath(target.mediumPath)));
  return true;
}

// ---- keys --------------------------------------------------------------------------------------

bool LibraryWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return QWidget::eventFilter(watched, event);
  auto* key = static_cast<QKeyEvent*>(event);
  const auto toSearch = [this] {
    Search_txt->setFocus(Qt::ShortcutFocusReason);
    Search_txt->deselect();
    Search_txt->end(false);
  };
  if (watched == Search_txt) {
    switch (key->key()) {
      case Qt::Key_Down:
      case Qt::Key_PageDown: {
        if (searchTimer_.isActive()) SearchNow();
        QAbstractItemView* list = VisibleList();
        if (!list->currentIndex().isValid() && list->model()->rowCount() > 0)
          list->setCurrentIndex(list->model()->index(0, 0));
        list->setFocus(Qt::TabFocusReason);
        return true;
      }
      case Qt::Key_Return:
      case Qt::Key_Enter:
        // The hits of what was typed, even when the pause has not come yet; then the best one.
        if (!Searching()) return true;
        if (searchTimer_.isActive() || hitsFor_ != Search_txt->text()) SearchNow();
        OpenCurrent();
        return true;
      case Qt::Key_Escape:
        if (Search_txt->text().isEmpty()) return false;
        Search_txt->clear();
        return true;
      default:
        return false;
    }
  }
  if (watched != Media_tree && watched != Hits_lst) return QWidget::eventFilter(watched, event);
  if (key->key() == Qt::Key_Escape) {
    Search_txt->setFocus(Qt::ShortcutFocusReason);
    Search_txt->selectAll();
    return true;
  }
  if (watched == Hits_lst) {
    // Up from the first hit goes back to the field, its text as it was.
    if (key->key() == Qt::Key_Up && key->modifiers() == Qt::NoModifier &&
        Hits_lst->currentIndex().row() <= 0) {
      toSearch();
      return true;
    }
    // Letters typed among the hits go on the query.
    const QString text = key->text();
    if (!text.isEmpty() && text.at(0).isPrint() &&
        !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
      toSearch();
      Search_txt->insert(text);
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace librarywindow
