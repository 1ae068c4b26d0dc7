#pragma once
// The windows beside the designed player window: the large slide view, the transcript window and
// the small window listing the keys. Each is made the first time it is asked for, opens (or comes
// to the front) on the player's screen, follows the playing state, and closes with the player.
// The engine's control panel gets a button for the first two, the key table their keys.

#include <QImage>
#include <QObject>
#include <QPointer>
#include <functional>

class KeyHelpWindow;
class LargeSlideView;
class PlayerKeys;
class PlayerSession;
class QKeyEvent;
class QWidget;
class TranscriptWindow;

class SideWindows : public QObject {
  Q_OBJECT
 public:
  // handleKey runs a key of the player's table (false when it has none), so that the player's
  // keys work in the large slide view too.
  SideWindows(QWidget* player, PlayerSession& session, PlayerKeys& keys,
              std::function<bool(QKeyEvent*)> handleKey);

  // A presentation that is one still picture shows it in the large view.
  void SetStillPicture(const QImage& picture) { stillPicture_ = picture; }
  void OpenLargeSlideView();
  void OpenTranscriptWindow();
  void OpenTranscriptSearch();
  void ShowKeyHelp();
  void CloseAll();

 private:
  void AddButtons();
  void AddKeys();  // F, T and Ctrl+F, in the key table and its list

  QWidget* player_;
  PlayerSession& session_;
  PlayerKeys& keys_;
  std::function<bool(QKeyEvent*)> handleKey_;
  QImage stillPicture_;
  QPointer<LargeSlideView> largeView_;
  QPointer<TranscriptWindow> transcriptWindow_;
  QPointer<KeyHelpWindow> keyHelp_;
};
