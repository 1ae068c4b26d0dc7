#pragma once
// The whole transcript in a window of its own: the designed window shows one section at a time,
// so what was said can neither be read back, searched nor used to find a moment. Every section is
// listed in timeline order with its start time, in the language chosen in the player; the section
// being played is highlighted and kept in view, a click or Enter plays from a section, and a
// search field finds words whatever their case and accents.

#include <QList>
#include <QString>
#include <QWidget>
#include <functional>

#include "presentation/Model.h"
#include "presentation/TextSearch.h"

class PlayingState;
class QLabel;
class QLineEdit;
class QTextBrowser;
class QTextBlock;
class QToolButton;

class TranscriptWindow : public QWidget {
  Q_OBJECT

 public:
  // Milliseconds on a clock that only goes forward (tests pass their own).
  using Clock = std::function<qint64()>;
  // How long a scroll by the user holds the list still against playback.
  static constexpr qint64 kUserScrollHoldMs = 5000;

  explicit TranscriptWindow(QWidget* parent = nullptr);

  // The cues (null: none) and the language shown: position in the player's language list (from
  // 0, -1 for none) and its name. Either rebuilds the list at once.
  void SetTranscript(const Trans_cls* trans);
  void SetLanguage(int position, const QString& name);
  // Cue k (from 1; 0: none) is being played.
  void SetCurrentCue(int k);
  void SetClock(Clock clock) { clock_ = std::move(clock); }
  // Follows the playing state: its section and its language.
  void Follow(const PlayingState& state);

  // Shows and raises the window beside player (the first time to its right on its screen).
  void OpenBeside(QWidget* player);
  // Puts the keyboard into the search field, its text selected.
  void FocusSearch();
  // Moves to the next (or previous) match, round the end.
  void NextMatch();
  void PreviousMatch();

  int CurrentCue() const { return current_; }
  int CueCount() const { return int(rows_.size()); }
  bool RowMissing(int k) const;
  // The search: every match over all rows, and which one is current (from 0; -1: none).
  int MatchCount() const { return int(matches_.size()); }
  int CurrentMatch() const { return currentMatch_; }
  QString MatchCountText() const;
  // Whether the row of cue k lies wholly in the visible part of the list.
  bool RowVisible(int k) const;

  QTextBrowser* List() const { return list_; }

  // "m:ss" of a cue time in milliseconds.
  static QString FormatCueTime(double ms);

 signals:
  // The user asked to play from cue k's start time (ms).
  void playFrom(int k, double ms);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  struct Row {
    double time = 0;
    int textStart = 0;  // position of the text in the document
    QString text;       // as shown
    bool missing = false;
  };
  struct RowMatch {
    int cue;
    textsearch::Match match;  // within the row's text
  };

  void Rebuild();
  void Search();
  void ShowCurrentMatch();
  void Highlight();
  // Scrolls so that cue k's row is in view, if it is not yet.
  void BringIntoView(int k);
  QRectF RowRect(int k) const;
  int CueAt(const QTextBlock& block) const;
  void PlayRow(int k);
  qint64 Now() const;

  const Trans_cls* trans_ = nullptr;
  int language_ = -1;
  QString languageName_;
  QList<Row> rows_;
  int current_ = 0;
  QList<RowMatch> matches_;
  int currentMatch_ = -1;
  Clock clock_;
  qint64 lastUserScroll_ = -1;
  bool scrolling_ = false;  // a scroll of our own, not the user's
  bool placed_ = false;
  QPoint pressAt_;
  bool pressed_ = false;

  QLineEdit* search_;
  QLabel* count_;
  QToolButton* previous_;
  QToolButton* next_;
  QTextBrowser* list_;
};
