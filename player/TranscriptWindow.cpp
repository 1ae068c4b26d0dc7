// The whole transcript beside the player: a QTextBrowser holds one block per section (the time in
// a hanging column, then the text), the section being played and the search's matches are drawn
// as extra selections, and a scroll of the user's own holds the list still for a while.

#include "player/TranscriptWindow.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScreen>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "player/core/PlayingState.h"
#include "player/media/ControlPanel.h"

namespace {

const QColor kCurrentRow(255, 244, 176);  // the section being played
const QColor kMatch(255, 214, 102);       // every match of the search
const QColor kCurrentMatch(255, 140, 0);  // the match the search stands on
const QColor kTimeText(90, 90, 90);
const QColor kMissingText(150, 60, 60);
constexpr int kTimeColumn = 52;  // pixels kept for "m:ss" before the text

// One clock for all windows of the process: the time since it was first asked.
qint64 SteadyMs() {
  static QElapsedTimer timer;
  if (!timer.isValid()) timer.start();
  return timer.elapsed();
}

}  // namespace

TranscriptWindow::TranscriptWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("TranscriptWindow"));
  setWindowTitle(tr("Transcript"));
  setAccessibleName(tr("Transcript"));
  setAccessibleDescription(
      tr("Every section of the transcript with its start time. Enter or a click plays from a "
         "section; Ctrl+F searches; Escape closes."));

  search_ = new QLineEdit(this);
  search_->setObjectName(QStringLiteral("TranscriptSearch"));
  search_->setPlaceholderText(tr("Search (Ctrl+F)"));
  search_->setClearButtonEnabled(true);
  search_->setAccessibleName(tr("Search the transcript"));
  search_->setAccessibleDescription(
      tr("Finds words whatever their case and accents. Enter: next match, Shift+Enter: previous "
         "match."));

  count_ = new QLabel(this);
  count_->setObjectName(QStringLiteral("TranscriptMatches"));
  count_->setAccessibleName(tr("Matches"));
  count_->setMinimumWidth(64);
  count_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

  previous_ = new QToolButton(this);
  previous_->setArrowType(Qt::UpArrow);
  previous_->setToolTip(tr("Previous match (Shift+F3)"));
  previous_->setAccessibleName(tr("Previous match"));
  next_ = new QToolButton(this);
  next_->setArrowType(Qt::DownArrow);
  next_->setToolTip(tr("Next match (F3)"));
  next_->setAccessibleName(tr("Next match"));

  list_ = new QTextBrowser(this);
  list_->setObjectName(QStringLiteral("TranscriptList"));
  list_->setOpenLinks(false);
  list_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  list_->setTabChangesFocus(true);
  list_->setAccessibleName(tr("Transcript sections"));
  list_->setAccessibleDescription(
      tr("Move with the arrow keys; Enter plays from the section at the cursor. Text can be "
         "selected and copied."));
  list_->viewport()->setCursor(Qt::PointingHandCursor);

  auto* searchRow = new QHBoxLayout;
  searchRow->setSpacing(4);
  searchRow->addWidget(search_, 1);
  searchRow->addWidget(count_);
  searchRow->addWidget(previous_);
  searchRow->addWidget(next_);
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(6, 6, 6, 6);
  column->setSpacing(6);
  column->addLayout(searchRow);
  column->addWidget(list_, 1);
  setTabOrder(search_, previous_);
  setTabOrder(previous_, next_);
  setTabOrder(next_, list_);

  connect(search_, &QLineEdit::textChanged, this, [this] { Search(); });
  connect(previous_, &QToolButton::clicked, this, &TranscriptWindow::PreviousMatch);
  connect(next_, &QToolButton::clicked, this, &TranscriptWindow::NextMatch);
  connect(list_->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] {
    if (!scrolling_) lastUserScroll_ = Now();
  });
  search_->installEventFilter(this);
  list_->installEventFilter(this);
  list_->viewport()->installEventFilter(this);
  resize(440, 560);
  Search();
}

QString TranscriptWindow::FormatCueTime(double ms) {
  return ControlPanel::FormatTime(ms / 1000.0);
}

qint64 TranscriptWindow::Now() const {
  return clock_ ? clock_() : SteadyMs();
}

void TranscriptWindow::SetTranscript(const Trans_cls* trans) {
  // Opening the window again keeps where the reader was.
  if (trans == trans_ && !rows_.isEmpty()) return;
  trans_ = trans;
  Rebuild();
}

void TranscriptWindow::SetLanguage(int position, const QString& name) {
  if (position == language_ && name == languageName_) return;
  language_ = position;
  languageName_ = name;
  setWindowTitle(name.isEmpty() ? tr("Transcript") : tr("Transcript: %1").arg(name));
  Rebuild();
}

void TranscriptWindow::Rebuild() {
  rows_.clear();
  scrolling_ = true;
  QTextDocument* document = list_->document();
  document->clear();
  QTextCursor cursor(document);
  QTextBlockFormat block;
  // The time hangs in a column of its own, so wrapped text lines up under the text.
  block.setLeftMargin(kTimeColumn);
  block.setTextIndent(-kTimeColumn);
  block.setTabPositions({QTextOption::Tab(kTimeColumn, QTextOption::LeftTab)});
  block.setBottomMargin(6);
  QTextCharFormat timeFormat;
  timeFormat.setForeground(kTimeText);
  timeFormat.setFontWeight(QFont::Bold);
  QTextCharFormat textFormat;
  QTextCharFormat missingFormat;
  missingFormat.setForeground(kMissingText);
  missingFormat.setFontItalic(true);

  const int count = trans_ ? trans_->Trans.Count() : 0;
  for (int k = 1; k <= count; ++k) {
    const Tran_cls& cue = trans_->Trans.Item(k);
    Row row;
    row.time = cue.TranTime;
    const int entry = language_ + 1;
    if (entry >= 1 && entry <= cue.Languages.Count()) {
      // One section is one line on the medium; any line break left in it would split its row.
      row.text = cue.Languages.Item(entry);
      row.text.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), u' ');
    } else {
      row.missing = true;
      row.text = languageName_.isEmpty()
                     ? tr("(no transcript language chosen)")
                     : tr("(section %1 is missing in %2)").arg(cue.TranNum).arg(languageName_);
    }
    if (k == 1)
      cursor.setBlockFormat(block);
    else
      cursor.insertBlock(block);
    cursor.insertText(FormatCueTime(row.time), timeFormat);
    cursor.insertText(QStringLiteral("\t"), textFormat);
    row.textStart = cursor.position();
    cursor.insertText(row.text, row.missing ? missingFormat : textFormat);
    rows_.append(row);
  }
  list_->setTextCursor(QTextCursor(document));
  scrolling_ = false;
  if (current_ > count) current_ = 0;
  Search();
  if (current_ > 0) {
    // The language changed under the reader: stay at the section being played.
    lastUserScroll_ = -1;
    BringIntoView(current_);
  }
}

void TranscriptWindow::Follow(const PlayingState& state) {
  connect(&state, &PlayingState::changed, this, [this, &state](PlayingState::Parts parts) {
    if (parts & PlayingState::LanguageChosen) SetLanguage(state.Language(), state.LanguageName());
    if (parts & PlayingState::Transcript) SetCurrentCue(state.Cue());
  });
}

void TranscriptWindow::SetCurrentCue(int k) {
  if (k < 0 || k > CueCount()) k = 0;
  if (k != current_) {
    current_ = k;
    Highlight();
  }
  if (current_ < 1) return;
  // A reader who scrolled away a moment ago is reading there; give the list back to playback
  // only when the hold is over.
  if (lastUserScroll_ >= 0 && Now() - lastUserScroll_ < kUserScrollHoldMs) return;
  BringIntoView(current_);
}

void TranscriptWindow::Search() {
  matches_.clear();
  currentMatch_ = -1;
  const QString needle = search_->text();
  if (!needle.isEmpty()) {
    for (int k = 1; k <= CueCount(); ++k) {
      const Row& row = rows_.at(k - 1);
      if (row.missing) continue;  // the note is ours, not the speaker's words
      for (const textsearch::Match& m : textsearch::FindAll(row.text, needle))
        matches_.append({k, m});
    }
  }
  if (!matches_.isEmpty()) {
    // Start at the section being played, where the reader's attention is.
    currentMatch_ = 0;
    for (int i = 0; i < matches_.size(); ++i) {
      if (matches_.at(i).cue >= current_) {
        currentMatch_ = i;
        break;
      }
    }
  }
  count_->setText(MatchCountText());
  previous_->setEnabled(matches_.size() > 1);
  next_->setEnabled(matches_.size() > 1);
  Highlight();
  ShowCurrentMatch();
}

QString TranscriptWindow::MatchCountText() const {
  if (search_->text().isEmpty()) return {};
  return tr("%1 of %2").arg(currentMatch_ + 1).arg(matches_.size());
}

void TranscriptWindow::NextMatch() {
  if (matches_.isEmpty()) return;
  currentMatch_ = (currentMatch_ + 1) % int(matches_.size());
  count_->setText(MatchCountText());
  Highlight();
  ShowCurrentMatch();
}

void TranscriptWindow::PreviousMatch() {
  if (matches_.isEmpty()) return;
  currentMatch_ = (currentMatch_ + int(matches_.size()) - 1) % int(matches_.size());
  count_->setText(MatchCountText());
  Highlight();
  ShowCurrentMatch();
}

void TranscriptWindow::ShowCurrentMatch() {
  if (currentMatch_ < 0) return;
  const RowMatch& m = matches_.at(currentMatch_);
  const int at = rows_.at(m.cue - 1).textStart + m.match.start;
  QTextCursor cursor(list_->document());
  cursor.setPosition(at);
  scrolling_ = true;
  list_->setTextCursor(cursor);  // Enter in the list then plays this section
  scrolling_ = false;
  BringIntoView(m.cue);
  // The reader is looking at the match now; playback leaves the list there for a while.
  lastUserScroll_ = Now();
}

void TranscriptWindow::Highlight() {
  QList<QTextEdit::ExtraSelection> marks;
  QTextDocument* document = list_->document();
  if (current_ >= 1 && current_ <= CueCount()) {
    QTextEdit::ExtraSelection row;
    row.cursor = QTextCursor(document->findBlockByNumber(current_ - 1));
    row.format.setBackground(kCurrentRow);
    row.format.setProperty(QTextFormat::FullWidthSelection, true);
    marks.append(row);
  }
  for (int i = 0; i < matches_.size(); ++i) {
    const RowMatch& m = matches_.at(i);
    const int at = rows_.at(m.cue - 1).textStart + m.match.start;
    QTextEdit::ExtraSelection found;
    found.cursor = QTextCursor(document);
    found.cursor.setPosition(at);
    found.cursor.setPosition(at + m.match.length, QTextCursor::KeepAnchor);
    found.format.setBackground(i == currentMatch_ ? kCurrentMatch : kMatch);
    if (i == currentMatch_) found.format.setForeground(Qt::white);
    marks.append(found);
  }
  list_->setExtraSelections(marks);
}

QRectF TranscriptWindow::RowRect(int k) const {
  const QTextBlock block = list_->document()->findBlockByNumber(k - 1);
  if (!block.isValid()) return {};
  return list_->document()->documentLayout()->blockBoundingRect(block);
}

bool TranscriptWindow::RowVisible(int k) const {
  const QRectF rect = RowRect(k);
  if (rect.isNull()) return false;
  const int top = list_->verticalScrollBar()->value();
  const int bottom = top + list_->viewport()->height();
  return rect.top() >= top && rect.bottom() <= bottom;
}

void TranscriptWindow::BringIntoView(int k) {
  if (k < 1 || k > CueCount() || RowVisible(k)) return;
  const QRectF rect = RowRect(k);
  QScrollBar* bar = list_->verticalScrollBar();
  // A third from the top: what was just said stays in view above it.
  const int target = int(rect.top()) - list_->viewport()->height() / 3;
  scrolling_ = true;
  bar->setValue(std::clamp(target, bar->minimum(), bar->maximum()));
  scrolling_ = false;
}

bool TranscriptWindow::RowMissing(int k) const {
  return k >= 1 && k <= CueCount() && rows_.at(k - 1).missing;
}

int TranscriptWindow::CueAt(const QTextBlock& block) const {
  if (!block.isValid()) return 0;
  const int k = block.blockNumber() + 1;
  return k <= CueCount() ? k : 0;
}

void TranscriptWindow::PlayRow(int k) {
  if (k < 1 || k > CueCount()) return;
  current_ = k;
  Highlight();
  emit playFrom(k, rows_.at(k - 1).time);
}

void TranscriptWindow::OpenBeside(QWidget* player) {
  if (!placed_ && player) {
    placed_ = true;
    // To the right of the player when there is room on its screen, else to its left.
    const QRect frame = player->frameGeometry();
    QRect area = frame;
    if (QScreen* screen = player->screen()) area = screen->availableGeometry();
    const int height = std::min(std::max(frame.height(), 480), area.height() - 40);
    resize(width(), std::max(height, 240));
    int x = frame.right() + 8;
    if (x + width() > area.right()) x = frame.left() - width() - 8;
    if (x < area.left()) x = area.right() - width();
    const int y = std::clamp(frame.top(), area.top(), std::max(area.top(), area.bottom() - height));
    move(x, y);
  }
  if (isMinimized()) setWindowState(windowState() & ~Qt::WindowMinimized);
  show();
  raise();
  activateWindow();
}

void TranscriptWindow::FocusSearch() {
  search_->setFocus(Qt::ShortcutFocusReason);
  search_->selectAll();
}

bool TranscriptWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    if (watched == search_) {
      if (enter) {
        if (key->modifiers() & Qt::ShiftModifier)
          PreviousMatch();
        else
          NextMatch();
        return true;
      }
      if (key->key() == Qt::Key_Escape && !search_->text().isEmpty()) {
        search_->clear();
        return true;
      }
    } else if (watched == list_ && enter) {
      PlayRow(CueAt(list_->textCursor().block()));
      return true;
    }
  } else if (watched == list_->viewport()) {
    // A click plays from its section; a drag selects text and plays nothing.
    if (event->type() == QEvent::MouseButtonPress) {
      auto* mouse = static_cast<QMouseEvent*>(event);
      pressed_ = mouse->button() == Qt::LeftButton;
      pressAt_ = mouse->position().toPoint();
    } else if (event->type() == QEvent::MouseButtonRelease) {
      auto* mouse = static_cast<QMouseEvent*>(event);
      const QPoint at = mouse->position().toPoint();
      const bool click = pressed_ && mouse->button() == Qt::LeftButton &&
                         (at - pressAt_).manhattanLength() < QApplication::startDragDistance();
      pressed_ = false;
      if (click && !list_->textCursor().hasSelection())
        PlayRow(CueAt(list_->cursorForPosition(at).block()));
    }
  }
  return QWidget::eventFilter(watched, event);
}

void TranscriptWindow::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Find)) {
    FocusSearch();
    return;
  }
  if (event->key() == Qt::Key_F3) {
    if (event->modifiers() & Qt::ShiftModifier)
      PreviousMatch();
    else
      NextMatch();
    return;
  }
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    close();
    return;
  }
  QWidget::keyPressEvent(event);
}
