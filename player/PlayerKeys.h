#pragma once
// The player's keys: one table of key, words for the key list, and what the key does. The player
// window runs it for every key pressed anywhere in it, unless the focused control uses that key
// itself (a list moves its selection with the arrows); other windows of the player hand their
// unused keys to the same table and add keys of their own to it, so that the F1 list shows them
// all.

#include <QDialog>
#include <QList>
#include <QString>
#include <functional>

class PlayerSession;
class QKeyEvent;
class QTableWidget;
class QWidget;

struct PlayerKey {
  QList<int> keys;                  // Qt::Key values; any of them
  Qt::KeyboardModifiers modifiers;  // Ctrl, Alt or Meta that must be held; Shift is ignored
  QString keyText;                  // as the key list shows it: "Page Up"
  QString action;                   // "previous slide"
  std::function<void()> run;
};

class PlayerKeys {
 public:
  void Add(QList<int> keys, QString keyText, QString action, std::function<void()> run,
           Qt::KeyboardModifiers modifiers = Qt::NoModifier);
  // The entry for the key, or null.
  const PlayerKey* Find(int key, Qt::KeyboardModifiers modifiers) const;
  // Runs the key's action; false when the table has none for it.
  bool Handle(const QKeyEvent* event) const;
  const QList<PlayerKey>& Entries() const { return entries_; }

  // Whether the focused control uses this key itself: a list, a drop-down list, a scroll bar,
  // a text field being typed in, or a control that names its keys in the "keepsKeys" property
  // (a list of Qt::Key values).
  static bool WidgetKeepsKey(const QWidget* focus, const QKeyEvent* event);

 private:
  QList<PlayerKey> entries_;
};

// The keys of the player window: the table of play/pause, seeking, slides, volume, speed and
// the key list itself (showHelp).
void AddPlayerKeys(PlayerKeys& keys, PlayerSession& session, std::function<void()> showHelp);

// The small window listing the keys.
class KeyHelpWindow : public QDialog {
  Q_OBJECT
 public:
  KeyHelpWindow(const PlayerKeys& keys, QWidget* parent);
  QTableWidget* Table() const { return table_; }
  // Rebuilds the list (keys added since).
  void Refresh();

 private:
  const PlayerKeys& keys_;
  QTableWidget* table_;
};
