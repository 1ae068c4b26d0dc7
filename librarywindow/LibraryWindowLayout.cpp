// The library window's controls: where each stands, its name for screen readers, its keys.

#include "librarywindow/LibraryWindow.h"

#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QProgressBar>
#include <QShortcut>
#include <QSplitter>
#include <QStandardItemModel>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

#include "librarywindow/HitsModel.h"
#include "librarywindow/LibraryDelegates.h"
#include "librarywindow/MediaModel.h"

namespace librarywindow {

namespace {

void Name(QWidget* w, const char* objectName, const QString& accessibleName) {
  w->setObjectName(QLatin1String(objectName));
  w->setAccessibleName(accessibleName);
}

}  // namespace

void LibraryWindow::BuildControls() {
  auto* layout = new QVBoxLayout(this);

  auto* searchRow = new QHBoxLayout;
  auto* searchLabel = new QLabel(QStringLiteral("&Search:"), this);
  Name(searchLabel, "Search_lbl", QStringLiteral("Search"));
  Search_txt = new QLineEdit(this);
  Name(Search_txt, "Search_txt", QStringLiteral("Search the library"));
  Search_txt->setAccessibleDescription(
      QStringLiteral("Titles, slide titles, transcripts in every language, details and free "
                     "text of every medium. The hits appear below as you type; Down moves to "
                     "them, Enter opens the one chosen."));
  Search_txt->setPlaceholderText(
      QStringLiteral("Search every medium: titles, slides, transcripts, details"));
  Search_txt->setClearButtonEnabled(true);
  // The field's own clear button, named like every other control.
  for (QToolButton* button : Search_txt->findChildren<QToolButton*>()) {
    button->setAccessibleName(QStringLiteral("Clear the search"));
    button->setToolTip(QStringLiteral("Clear the search"));
  }
  for (QAction* action : Search_txt->actions()) {
    action->setText(QStringLiteral("Clear the search"));
    action->setToolTip(QStringLiteral("Clear the search"));
  }
  Search_txt->installEventFilter(this);
  searchLabel->setBuddy(Search_txt);
  searchRow->addWidget(searchLabel);
  searchRow->addWidget(Search_txt, 1);
  layout->addLayout(searchRow);

  Notice_lbl = new QLabel(this);
  Name(Notice_lbl, "Notice_lbl", QStringLiteral("About the index"));
  Notice_lbl->setWordWrap(true);
  Notice_lbl->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  Notice_lbl->setFocusPolicy(Qt::TabFocus);
  Notice_lbl->setFrameShape(QFrame::StyledPanel);
  Notice_lbl->hide();
  layout->addWidget(Notice_lbl);

  Progress_bar = new QProgressBar(this);
  Name(Progress_bar, "Progress_bar", QStringLiteral("Indexing progress"));
  Progress_bar->setRange(0, 1000);
  Progress_bar->setTextVisible(true);
  Progress_bar->hide();
  layout->addWidget(Progress_bar);

  BuildLists();
  auto* split = new QSplitter(Qt::Vertical, this);
  split->setObjectName(QStringLiteral("Lists_split"));
  split->setChildrenCollapsible(false);
  auto* lists = new QWidget(split);
  auto* listsLayout = new QVBoxLayout(lists);
  listsLayout->setContentsMargins(0, 0, 0, 0);
  listsLayout->addWidget(Media_tree);
  listsLayout->addWidget(Hits_lst);
  auto* problems = new QWidget(split);
  problems->setObjectName(QStringLiteral("Problems_pane"));
  auto* problemsLayout = new QVBoxLayout(problems);
  problemsLayout->setContentsMargins(0, 0, 0, 0);
  problemsLayout->addWidget(Problems_lbl);
  problemsLayout->addWidget(Problems_lst);
  split->addWidget(lists);
  split->addWidget(problems);
  split->setStretchFactor(0, 3);
  split->setStretchFactor(1, 1);
  problems->hide();
  layout->addWidget(split, 1);

  Status_lbl = new QLabel(this);
  Name(Status_lbl, "Status_lbl", QStringLiteral("Library status"));
  layout->addWidget(Status_lbl);

  connect(Search_txt, &QLineEdit::textChanged, this, [this](const QString& text) {
    if (text.trimmed().isEmpty()) {
      searchTimer_.stop();
      ShowSearchOrMedia();
      return;
    }
    searchTimer_.start();
  });
  setTabOrder(Search_txt, Hits_lst);
  setTabOrder(Hits_lst, Media_tree);
  setTabOrder(Media_tree, Problems_lst);
}

void LibraryWindow::BuildLists() {
  media_ = new MediaModel(pictures_, this);
  sortedMedia_ = new MediaSortModel(this);
  sortedMedia_->setSourceModel(media_);
  sortedMedia_->setSortRole(MediaModel::kSortRole);

  Media_tree = new QTreeView(this);
  Name(Media_tree, "Media_tree", QStringLiteral("Media and presentations"));
  Media_tree->setAccessibleDescription(
      QStringLiteral("Enter plays the presentation; the context menu key checks or exports its "
                     "medium."));
  Media_tree->setModel(sortedMedia_);
  Media_tree->setItemDelegateForColumn(MediaModel::kTitle, new TitleDelegate(Media_tree));
  Media_tree->setAllColumnsShowFocus(true);
  Media_tree->setSelectionBehavior(QAbstractItemView::SelectRows);
  Media_tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
  Media_tree->setTextElideMode(Qt::ElideMiddle);
  Media_tree->setContextMenuPolicy(Qt::CustomContextMenu);
  QHeaderView* header = Media_tree->header();
  header->setStretchLastSection(false);
  header->setSectionResizeMode(QHeaderView::Interactive);
  header->setSectionResizeMode(MediaModel::kTitle, QHeaderView::Stretch);
  // Widths from the rows in view and a few hundred more: measuring thousands slows a listing.
  header->setResizeContentsPrecision(200);
  // What is read first: the title, then how long and which player, then the rest.
  int at = 1;
  for (int column : {MediaModel::kLength, MediaModel::kPlayer, MediaModel::kSlides,
                     MediaModel::kLanguages, MediaModel::kFolder})
    header->moveSection(header->visualIndex(column), at++);
  // No column chosen: the index's order (media by path, presentations as config.txt has them);
  // a third click on a header gives it back.
  header->setSortIndicator(-1, Qt::AscendingOrder);
  header->setSortIndicatorClearable(true);
  Media_tree->setSortingEnabled(true);
  Media_tree->installEventFilter(this);
  // New media are shown open.
  connect(sortedMedia_, &QAbstractItemModel::rowsInserted, this,
          [this](const QModelIndex& parent, int first, int last) {
            if (parent.isValid()) return;
            for (int r = first; r <= last; ++r) Media_tree->expand(sortedMedia_->index(r, 0));
          });
  connect(sortedMedia_, &QAbstractItemModel::modelReset, Media_tree, &QTreeView::expandAll);
  connect(Media_tree->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this] { ShowProblems(); });

  hits_ = new HitsModel(pictures_, this);
  Hits_lst = new QListView(this);
  Name(Hits_lst, "Hits_lst", QStringLiteral("Search results"));
  Hits_lst->setAccessibleDescription(
      QStringLiteral("Best hits first, each with the slide on screen at its moment. Enter plays "
                     "the presentation from the moment found."));
  Hits_lst->setModel(hits_);
  Hits_lst->setItemDelegate(new HitDelegate(Hits_lst));
  Hits_lst->setUniformItemSizes(true);
  Hits_lst->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
  Hits_lst->setEditTriggers(QAbstractItemView::NoEditTriggers);
  Hits_lst->setContextMenuPolicy(Qt::CustomContextMenu);
  Hits_lst->installEventFilter(this);
  Hits_lst->hide();

  for (QAbstractItemView* list : std::initializer_list<QAbstractItemView*>{Media_tree, Hits_lst}) {
    connect(list, &QAbstractItemView::activated, this, [this] { OpenCurrent(); });
    connect(list, &QWidget::customContextMenuRequested, this,
            [this, list](const QPoint& pos) { ShowMenu(list, pos); });
  }

  Problems_lbl = new QLabel(this);
  Name(Problems_lbl, "Problems_lbl", QStringLiteral("Problems of the medium chosen"));
  problems_ = new QStandardItemModel(this);
  Problems_lst = new QTreeView(this);
  Name(Problems_lst, "Problems_lst", QStringLiteral("Problems of the medium chosen"));
  Problems_lst->setAccessibleDescription(
      QStringLiteral("What could not be read when the medium was indexed, by presentation; a "
                     "line repeated is shown once with its count."));
  Problems_lst->setModel(problems_);
  Problems_lst->setHeaderHidden(true);
  Problems_lst->setEditTriggers(QAbstractItemView::NoEditTriggers);
  Problems_lst->setTextElideMode(Qt::ElideRight);
  Problems_lbl->setBuddy(Problems_lst);
}

void LibraryWindow::BuildShortcuts() {
  const auto focusSearch = [this] {
    Search_txt->setFocus(Qt::ShortcutFocusReason);
    Search_txt->selectAll();
  };
  for (const QKeySequence& key :
       {QKeySequence(QKeySequence::Find), QKeySequence(Qt::CTRL | Qt::Key_L)})
    connect(new QShortcut(key, this), &QShortcut::activated, this, focusSearch);
  connect(new QShortcut(QKeySequence(QKeySequence::Refresh), this), &QShortcut::activated, this,
          &LibraryWindow::UpdateIndex);
  connect(new QShortcut(QKeySequence(QKeySequence::Close), this), &QShortcut::activated, this,
          &QWidget::close);
  // The menu key opens the context menu by itself; Shift+F10 does so on other desktops.
  connect(new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10), this), &QShortcut::activated, this,
          [this] {
            QAbstractItemView* list = VisibleList();
            if (list->hasFocus()) ShowMenu(list, QPoint(-1, -1));
          });
}

}  // namespace librarywindow
