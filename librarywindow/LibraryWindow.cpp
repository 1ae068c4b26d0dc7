#include "librarywindow/LibraryWindow.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QProgressBar>
#include <QShortcut>
#include <QStyledItemDelegate>
#include <QTextDocument>
#include <QThread>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "launcher/PlayerLaunch.h"
#include "launcher/ProcessStarter.h"
#include "medium/Error.h"
#include "medium/Paths.h"
#include "medium/Report.h"

namespace librarywindow {

namespace {

// The columns of the two lists.
enum MediaColumn { kTitle, kFolder, kLength, kSlides, kLanguages, kPlayer, kMediaColumns };
enum HitColumn { kHitTitle, kHitMedium, kHitMoment, kHitWhere, kHitSnippet, kHitColumns };

// Where a row keeps what it stands for.
constexpr int kMediumRole = Qt::UserRole;             // index into the media listed
constexpr int kPresentationRole = Qt::UserRole + 1;   // index of its presentation, -1: the medium
constexpr int kHitRole = Qt::UserRole + 2;            // index into the hits shown
constexpr int kMarkedSnippetRole = Qt::UserRole + 3;  // the snippet as HTML, the words marked

constexpr int kHitLimit = 100;

QString PlayerText(const library::PresentationEntry& p) {
  if (p.tavisco && p.norvanta) return QStringLiteral("Tavisco (also Norvanta)");
  if (p.tavisco) return QStringLiteral("Tavisco");
  if (p.norvanta) return QStringLiteral("Norvanta");
  return QStringLiteral("none (no recording)");
}

// "1 hit", "3 hits".
QString Count(qsizetype n, const char* word) {
  return QStringLiteral("%1 %2%3").arg(n).arg(QLatin1String(word), n == 1 ? "" : "s");
}

QString Escape(const QString& text) {
  return text.toHtmlEscaped();
}

QString MediumText(const library::MediumEntry& m) {
  // A name that is no UTF-8 shown with its bytes as \xNN.
  const QString name = library::ShownPath(m.name);
  const QString path = library::ShownPath(m.path);
  QString text = m.present ? QStringLiteral("%1 \u2014 %2").arg(name, path)
                           : QStringLiteral("%1 \u2014 absent (expected at %2)").arg(name, path);
  if (!m.problems.isEmpty())
    text += QStringLiteral(" \u2014 ") + Count(m.problems.size(), "problem");
  return text;
}

// The snippet column: the passage with the words found marked, drawn from the row's HTML; the
// row's plain text is what screen readers hear.
class SnippetDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    const QString html = index.data(kMarkedSnippetRole).toString();
    if (html.isEmpty()) {
      QStyledItemDelegate::paint(painter, option, index);
      return;
    }
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    opt.text.clear();
    const QWidget* widget = opt.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

    const QRect area = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget);
    const bool selected = opt.state & QStyle::State_Selected;
    const QColor ink =
        opt.palette.color(QPalette::Active, selected ? QPalette::HighlightedText : QPalette::Text);
    QTextDocument doc;
    doc.setDocumentMargin(0);
    doc.setDefaultFont(opt.font);
    QTextOption noWrap;
    noWrap.setWrapMode(QTextOption::NoWrap);
    doc.setDefaultTextOption(noWrap);
    doc.setHtml(QStringLiteral("<span style=\"color:%1\">%2</span>").arg(ink.name(), html));
    painter->save();
    painter->setClipRect(area);
    const qreal top = area.top() + (area.height() - doc.size().height()) / 2;
    painter->translate(area.left() + 2, top);
    QAbstractTextDocumentLayout::PaintContext context;
    context.palette.setColor(QPalette::Text, ink);
    doc.documentLayout()->draw(painter, context);
    painter->restore();
  }
};

}  // namespace

LibraryWindow::LibraryWindow(QStringList roots, LibraryWindowServices services, QWidget* parent)
    : QWidget(parent),
      roots_(std::move(roots)),
      services_(std::move(services)),
      index_(services_.indexFile) {
  setObjectName(QStringLiteral("LibraryWindow"));
  setWindowTitle(QStringLiteral("Ambrel - library"));
  setAccessibleName(QStringLiteral("Library"));
  BuildControls();
  BuildShortcuts();
  // The launcher's check and export, offered in this window's own menu.
  menu_ = new launcher::MediumMenu(this, services_.menuDialogs, false);
  searchTimer_.setSingleShot(true);
  searchTimer_.setInterval(services_.searchDelayMs);
  connect(&searchTimer_, &QTimer::timeout, this, &LibraryWindow::SearchNow);
  resize(980, 600);
}

LibraryWindow::~LibraryWindow() {
  if (worker_) {
    cancel_ = true;
    worker_->wait();
    delete worker_;
    worker_ = nullptr;
  }
}

void LibraryWindow::BuildControls() {
  auto* layout = new QVBoxLayout(this);

  auto* searchRow = new QHBoxLayout;
  auto* searchLabel = new QLabel(QStringLiteral("&Search:"), this);
  searchLabel->setObjectName(QStringLiteral("Search_lbl"));
  searchLabel->setAccessibleName(QStringLiteral("Search"));
  Search_txt = new QLineEdit(this);
  Search_txt->setObjectName(QStringLiteral("Search_txt"));
  Search_txt->setAccessibleName(QStringLiteral("Search the library"));
  Search_txt->setAccessibleDescription(
      QStringLiteral("Titles, slide titles, transcripts in every language, details and free "
                     "text of every medium. The hits appear below as you type; Down moves to "
                     "them, Enter opens the one chosen."));
  Search_txt->setPlaceholderText(
      QStringLiteral("Search every medium: titles, slides, transcripts, details"));
  Search_txt->setClearButtonEnabled(true);
  Search_txt->installEventFilter(this);
  searchLabel->setBuddy(Search_txt);
  searchRow->addWidget(searchLabel);
  searchRow->addWidget(Search_txt, 1);
  layout->addLayout(searchRow);

  Notice_lbl = new QLabel(this);
  Notice_lbl->setObjectName(QStringLiteral("Notice_lbl"));
  Notice_lbl->setAccessibleName(QStringLiteral("About the index"));
  Notice_lbl->setWordWrap(true);
  Notice_lbl->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  Notice_lbl->setFocusPolicy(Qt::TabFocus);
  Notice_lbl->setFrameShape(QFrame::StyledPanel);
  Notice_lbl->hide();
  layout->addWidget(Notice_lbl);

  Progress_bar = new QProgressBar(this);
  Progress_bar->setObjectName(QStringLiteral("Progress_bar"));
  Progress_bar->setAccessibleName(QStringLiteral("Indexing progress"));
  Progress_bar->setRange(0, 1000);
  Progress_bar->setTextVisible(true);
  Progress_bar->hide();
  layout->addWidget(Progress_bar);

  Media_tree = new QTreeWidget(this);
  Media_tree->setObjectName(QStringLiteral("Media_tree"));
  Media_tree->setAccessibleName(QStringLiteral("Media and presentations"));
  Media_tree->setAccessibleDescription(
      QStringLiteral("Enter plays the presentation; the context menu key checks or exports its "
                     "medium."));
  Media_tree->setColumnCount(kMediaColumns);
  Media_tree->setHeaderLabels({QStringLiteral("Title"), QStringLiteral("Folder"),
                               QStringLiteral("Length"), QStringLiteral("Slides"),
                               QStringLiteral("Languages"), QStringLiteral("Player")});
  Media_tree->setUniformRowHeights(true);
  Media_tree->setAllColumnsShowFocus(true);
  Media_tree->setContextMenuPolicy(Qt::CustomContextMenu);
  Media_tree->header()->setStretchLastSection(false);
  Media_tree->header()->setSectionResizeMode(kTitle, QHeaderView::Stretch);
  // Widths from the first rows: measuring a thousand would slow every listing.
  Media_tree->header()->setResizeContentsPrecision(200);
  Media_tree->installEventFilter(this);
  layout->addWidget(Media_tree, 1);

  Hits_lst = new QTreeWidget(this);
  Hits_lst->setObjectName(QStringLiteral("Hits_lst"));
  Hits_lst->setAccessibleName(QStringLiteral("Search results"));
  Hits_lst->setAccessibleDescription(
      QStringLiteral("Best hits first. Enter plays the presentation from the moment found."));
  Hits_lst->setColumnCount(kHitColumns);
  Hits_lst->setHeaderLabels({QStringLiteral("Presentation"), QStringLiteral("Medium"),
                             QStringLiteral("Moment"), QStringLiteral("Where"),
                             QStringLiteral("Found")});
  Hits_lst->setRootIsDecorated(false);
  Hits_lst->setUniformRowHeights(true);
  Hits_lst->setAllColumnsShowFocus(true);
  Hits_lst->setContextMenuPolicy(Qt::CustomContextMenu);
  Hits_lst->setItemDelegateForColumn(kHitSnippet, new SnippetDelegate(Hits_lst));
  Hits_lst->header()->setStretchLastSection(true);
  Hits_lst->installEventFilter(this);
  Hits_lst->hide();
  layout->addWidget(Hits_lst, 1);

  Status_lbl = new QLabel(this);
  Status_lbl->setObjectName(QStringLiteral("Status_lbl"));
  Status_lbl->setAccessibleName(QStringLiteral("Library status"));
  layout->addWidget(Status_lbl);

  for (QTreeWidget* list : {Media_tree, Hits_lst}) {
    connect(list, &QTreeWidget::itemActivated, this, [this] { OpenCurrent(); });
    connect(list, &QTreeWidget::customContextMenuRequested, this,
            [this, list](const QPoint& pos) { ShowMenu(list, pos); });
  }
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
            QTreeWidget* list = VisibleList();
            if (list->hasFocus()) ShowMenu(list, QPoint(-1, -1));
          });
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
  // What was current stays current across a new listing.
  QString currentMedium;
  QString currentFolder;
  if (const auto target = TargetOf(Media_tree->currentItem())) {
    currentMedium = target->mediumPath;
    currentFolder = target->folder;
  }
  std::vector<library::MediumEntry> media = index_.Media(roots_);
  if (media.empty() && !index_.Error().isEmpty()) {
    // The server gone: what the window shows stays, and F5 or a search asks again.
    ShowNotice({QStringLiteral("The library's index %1 cannot be read: %2. What is shown is "
                               "what it held before; F5 tries again.")
                    .arg(index_.Location(), index_.Error())});
    return;
  }
  media_ = std::move(media);
  Media_tree->setUpdatesEnabled(false);
  Media_tree->clear();
  QTreeWidgetItem* current = nullptr;
  QList<QTreeWidgetItem*> tops;
  for (size_t m = 0; m < media_.size(); ++m) {
    const library::MediumEntry& medium = media_[m];
    auto* top = new QTreeWidgetItem;
    top->setText(kTitle, MediumText(medium));
    top->setData(kTitle, kMediumRole, static_cast<int>(m));
    top->setData(kTitle, kPresentationRole, -1);
    if (!medium.present) {
      QFont font = top->font(kTitle);
      font.setItalic(true);
      top->setFont(kTitle, font);
    }
    if (medium.path == currentMedium && currentFolder.isEmpty()) current = top;
    for (size_t p = 0; p < medium.presentations.size(); ++p) {
      const library::PresentationEntry& pres = medium.presentations[p];
      auto* row = new QTreeWidgetItem(top);
      row->setText(kTitle, pres.title.isEmpty() ? pres.folder : pres.title);
      row->setText(kFolder, pres.folder);
      row->setText(kLength, pres.lengthMs >= 0 ? library::FormatMoment(pres.lengthMs) : QString());
      row->setText(kSlides, QString::number(pres.slides));
      row->setText(kLanguages, pres.languages.join(QStringLiteral(", ")));
      row->setText(kPlayer, PlayerText(pres));
      row->setData(kTitle, kMediumRole, static_cast<int>(m));
      row->setData(kTitle, kPresentationRole, static_cast<int>(p));
      for (int c : {kLength, kSlides}) row->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
      if (medium.path == currentMedium && pres.folder == currentFolder) current = row;
    }
    // What could not be read, as rows of their own: reached with the keyboard and read out.
    for (const QString& problem : medium.problems) {
      auto* row = new QTreeWidgetItem(top);
      row->setText(kTitle, QStringLiteral("Problem: ") + problem);
      row->setData(kTitle, kMediumRole, static_cast<int>(m));
      row->setData(kTitle, kPresentationRole, -1);
    }
    tops << top;
  }
  Media_tree->addTopLevelItems(tops);
  // Spanning needs the rows in the tree.
  for (QTreeWidgetItem* top : tops) {
    top->setFirstColumnSpanned(true);
    for (int k = 0; k < top->childCount(); ++k) {
      if (top->child(k)->data(kTitle, kPresentationRole).toInt() < 0)
        top->child(k)->setFirstColumnSpanned(true);
    }
    top->setExpanded(true);
  }
  if (!current && !tops.isEmpty())
    current = tops.front()->childCount() ? tops.front()->child(0) : tops.front();
  if (current) Media_tree->setCurrentItem(current);
  for (int c = kFolder; c < kMediaColumns; ++c) Media_tree->resizeColumnToContents(c);
  Media_tree->setUpdatesEnabled(true);
  ShowSummary();
}

void LibraryWindow::ShowSummary() {
  if (!Search_txt->text().trimmed().isEmpty()) return;  // the hits' own line stays
  int presentations = 0;
  int absent = 0;
  for (const library::MediumEntry& m : media_) {
    presentations += static_cast<int>(m.presentations.size());
    if (!m.present) ++absent;
  }
  QString text = (media_.size() == 1 ? QStringLiteral("1 medium")
                                     : QStringLiteral("%1 media").arg(media_.size())) +
                 QStringLiteral(", ") + Count(presentations, "presentation");
  if (absent > 0) text += QStringLiteral(" (%1 absent)").arg(absent);
  if (media_.empty())
    text = Updating()
               ? QStringLiteral("Looking for media\u2026")
               : QStringLiteral("No media found in %1").arg(roots_.join(QStringLiteral(", ")));
  Status_lbl->setText(text);
  // Which index it is: a file of this user's or a database the archive shares.
  Status_lbl->setToolTip(QStringLiteral("Index: %1").arg(index_.Location()));
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
  hits_ = result.hits;
  Hits_lst->setUpdatesEnabled(false);
  Hits_lst->clear();
  QList<QTreeWidgetItem*> rows;
  for (size_t k = 0; k < hits_.size(); ++k) {
    const library::SearchHit& hit = hits_[k];
    auto* row = new QTreeWidgetItem;
    row->setText(kHitTitle, hit.title.isEmpty() ? hit.folder : hit.title);
    const QString mediumName = library::ShownPath(hit.mediumName);
    row->setText(kHitMedium,
                 hit.mediumPresent ? mediumName : QStringLiteral("%1 (absent)").arg(mediumName));
    row->setToolTip(kHitMedium, hit.mediumPath);
    row->setText(kHitMoment, library::FormatMoment(hit.atMs));
    row->setTextAlignment(kHitMoment, Qt::AlignRight | Qt::AlignVCenter);
    row->setText(kHitWhere, library::PlaceText(hit.place, hit.language));
    row->setText(kHitSnippet, hit.snippet);
    row->setToolTip(kHitSnippet, hit.snippet);
    row->setData(kHitSnippet, kMarkedSnippetRole,
                 hit.MarkedSnippet(QStringLiteral("<b style=\"background-color:#ffe066;"
                                                  "color:#000000\">"),
                                   QStringLiteral("</b>"), &Escape));
    row->setData(kHitTitle, kHitRole, static_cast<int>(k));
    rows << row;
  }
  Hits_lst->addTopLevelItems(rows);
  if (!rows.isEmpty()) Hits_lst->setCurrentItem(rows.front());
  for (int c = kHitTitle; c < kHitSnippet; ++c) Hits_lst->resizeColumnToContents(c);
  Hits_lst->setUpdatesEnabled(true);

  QString status;
  if (!result.error.isEmpty()) {
    // While an index in memory is written, it cannot be read; the search comes again after.
    status = Updating() ? QStringLiteral(
                              "The index is being built; the search follows when it is "
                              "done.")
                        : QStringLiteral("The index cannot be searched: %1").arg(result.error);
  } else if (result.query.IsEmpty()) {
    status = QStringLiteral("Type letters or digits to search.");
  } else if (hits_.empty()) {
    status = QStringLiteral("No hits.");
  } else if (!result.corrections.isEmpty()) {
    status = QStringLiteral("No hits for %1; showing %2: %3")
                 .arg(result.query.words.join(u' '), result.UsedText(),
                      Count(static_cast<qsizetype>(hits_.size()), "hit"));
  } else {
    status = result.more ? QStringLiteral("The best %1 hits.").arg(hits_.size())
                         : Count(static_cast<qsizetype>(hits_.size()), "hit") + u'.';
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
  const bool searching = !Search_txt->text().trimmed().isEmpty();
  const bool focusInList = Media_tree->hasFocus() || Hits_lst->hasFocus();
  Hits_lst->setVisible(searching);
  Media_tree->setVisible(!searching);
  if (focusInList) VisibleList()->setFocus(Qt::OtherFocusReason);
  if (!searching) {
    hits_.clear();
    Hits_lst->clear();
    hitsFor_.clear();
    ShowSummary();
  }
}

QTreeWidget* LibraryWindow::VisibleList() const {
  return Search_txt->text().trimmed().isEmpty() ? Media_tree : Hits_lst;
}

// ---- the index beside the window ---------------------------------------------------------------

void LibraryWindow::UpdateIndex() {
  if (worker_) return;
  // An index that could not be opened (a server out of reach) is tried again when asked.
  if (!index_.IsOpen() && index_.Open()) {
    ShowNotice({index_.Notice()});
    ListMedia();
  }
  cancel_ = false;
  Progress_bar->setValue(0);
  Progress_bar->setFormat(QStringLiteral("Looking for media\u2026"));
  Progress_bar->show();
  ShowSummary();
  const QStringList roots = roots_;
  const QString file = services_.indexFile;
  // A connection of its own on its own thread: Qt SQL connections belong to their thread, and
  // the window goes on listing and searching through its own.
  worker_ = QThread::create([this, roots, file] {
    library::UpdateResult result;
    library::LibraryIndex index(file);
    if (!index.Open()) {
      result.error = QStringLiteral("the index cannot be opened: %1").arg(index.Error());
      result.unreachable = index.Unreachable();
    } else {
      result = index.Update(
          roots,
          [this](const library::IndexProgress& progress) {
            QMetaObject::invokeMethod(
                this, [this, progress] { ShowProgress(progress); }, Qt::QueuedConnection);
          },
          &cancel_);
    }
    QMetaObject::invokeMethod(
        this, [this, result] { UpdateFinished(result); }, Qt::QueuedConnection);
  });
  worker_->start();
}

void LibraryWindow::ShowProgress(const library::IndexProgress& progress) {
  if (!worker_) return;
  Progress_bar->setValue(static_cast<int>(progress.Fraction() * 1000));
  // The bar would read "%p" and the like in a folder's name as its own placeholders.
  Progress_bar->setFormat(progress.Line().replace(u'%', QStringLiteral("%\u200B")));
}

void LibraryWindow::UpdateFinished(const library::UpdateResult& result) {
  if (worker_) {
    worker_->wait();
    delete worker_;
    worker_ = nullptr;
  }
  Progress_bar->hide();
  QStringList notes{index_.Notice(), result.notice};
  if (!result.error.isEmpty())
    notes << QStringLiteral("The index could not be brought up to date: %1").arg(result.error);
  if (!result.skipped.empty()) {
    notes << QStringLiteral("Folders that could not be looked into:\n%1")
                 .arg(library::DescribeSkipped(result.skipped).trimmed());
  }
  if (!result.problems.isEmpty()) {
    notes << Count(result.problems.size(), "problem") +
                 QStringLiteral(" while reading, listed under their media.");
  }
  ShowNotice(notes);
  ListMedia();
  // The hits of the index as it is now (also a search refused while the index was written).
  if (!Search_txt->text().trimmed().isEmpty()) SearchNow();
}

// ---- opening -----------------------------------------------------------------------------------

std::optional<LibraryWindow::Target> LibraryWindow::TargetOf(QTreeWidgetItem* item) const {
  if (!item) return std::nullopt;
  Target t;
  if (item->treeWidget() == Hits_lst) {
    const int k = item->data(kHitTitle, kHitRole).toInt();
    if (k < 0 || k >= static_cast<int>(hits_.size())) return std::nullopt;
    const library::SearchHit& hit = hits_[static_cast<size_t>(k)];
    t.mediumPath = hit.mediumPath;
    t.mediumName = hit.mediumName;
    t.present = hit.mediumPresent;
    t.folder = hit.folder;
    t.title = hit.title.isEmpty() ? hit.folder : hit.title;
    t.player = hit.player;
    if (hit.atMs > 0) t.atMs = static_cast<double>(hit.atMs);
    return t;
  }
  const int m = item->data(kTitle, kMediumRole).toInt();
  const int p = item->data(kTitle, kPresentationRole).toInt();
  if (m < 0 || m >= static_cast<int>(media_.size())) return std::nullopt;
  const library::MediumEntry& medium = media_[static_cast<size_t>(m)];
  t.mediumPath = medium.path;
  t.mediumName = medium.name;
  t.present = medium.present;
  if (p >= 0 && p < static_cast<int>(medium.presentations.size())) {
    const library::PresentationEntry& pres = medium.presentations[static_cast<size_t>(p)];
    t.folder = pres.folder;
    t.title = pres.title.isEmpty() ? pres.folder : pres.title;
    t.player = pres.Player();
    t.playable = pres.tavisco || pres.norvanta;
  }
  return t;
}

std::optional<LibraryWindow::Target> LibraryWindow::CurrentTarget() const {
  return TargetOf(VisibleList()->currentItem());
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
          .arg(target.mediumName, QDir::toNativeSeparators(target.mediumPath)));
  return true;
}

void LibraryWindow::Play(const Target& target) {
  if (SayWhereExpected(target)) return;
  if (!target.playable) {
    services_.reporter->Report(
        QStringLiteral("Neither player can play \"%1\": the medium holds no recording of it.")
            .arg(target.title));
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
  Status_lbl->setText(
      target.atMs
          ? QStringLiteral("%1 started: %2 at %3")
                .arg(layout::PlayerName(target.player), target.title,
                     library::FormatMoment(static_cast<qint64>(*target.atMs)))
          : QStringLiteral("%1 started: %2").arg(layout::PlayerName(target.player), target.title));
}

// ---- the medium's menu -------------------------------------------------------------------------

void LibraryWindow::ShowMenu(QTreeWidget* list, const QPoint& pos) {
  QTreeWidgetItem* item = pos.x() >= 0 ? list->itemAt(pos) : nullptr;
  if (item) list->setCurrentItem(item);
  item = list->currentItem();
  const auto target = TargetOf(item);
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
  menu.addAction(launcher::MediumMenu::CheckText(), this, [this, t = *target] { CheckMedium(t); });
  menu.addAction(launcher::MediumMenu::ExportText(), this,
                 [this, t = *target] { ExportMedium(t); });
  menu.addAction(launcher::MediumMenu::PreserveText(), this,
                 [this, t = *target] { PreserveMedium(t); });
  const QRect rect = list->visualItemRect(item);
  const QPoint at = pos.x() >= 0 ? pos : rect.bottomLeft();
  menu.exec(list->viewport()->mapToGlobal(at));
}

bool LibraryWindow::RunOnMedium(const Target& target,
                                void (launcher::MediumMenu::*action)(const layout::MediumLayout&)) {
  if (SayWhereExpected(target)) return false;
  (menu_->*action)(layout::MediumLayout(library::ReadablePath(target.mediumPath)));
  return true;
}

void LibraryWindow::CheckMedium(const Target& target) {
  RunOnMedium(target, &launcher::MediumMenu::CheckMedium);
}

void LibraryWindow::ExportMedium(const Target& target) {
  RunOnMedium(target, &launcher::MediumMenu::ExportToWebPage);
}

void LibraryWindow::PreserveMedium(const Target& target) {
  RunOnMedium(target, &launcher::MediumMenu::PreserveThisMedium);
}

// ---- keys --------------------------------------------------------------------------------------

bool LibraryWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return QWidget::eventFilter(watched, event);
  const auto* key = static_cast<QKeyEvent*>(event);
  if (watched == Search_txt) {
    switch (key->key()) {
      case Qt::Key_Down:
      case Qt::Key_PageDown: {
        if (searchTimer_.isActive()) SearchNow();
        QTreeWidget* list = VisibleList();
        if (!list->currentItem() && list->topLevelItemCount() > 0)
          list->setCurrentItem(list->topLevelItem(0));
        list->setFocus(Qt::TabFocusReason);
        return true;
      }
      case Qt::Key_Return:
      case Qt::Key_Enter:
        // The hits of what was typed, even when the pause has not come yet; then the best one.
        if (Search_txt->text().trimmed().isEmpty()) return true;
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
  if ((watched == Media_tree || watched == Hits_lst) && key->key() == Qt::Key_Escape) {
    Search_txt->setFocus(Qt::ShortcutFocusReason);
    Search_txt->selectAll();
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace librarywindow
