#pragma once
// The launcher's only window: the presentation list or the one presentation, a picture button
// per player, EXIT and the web link. It owns its controls and the launcher's state.

#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QWidget>
#include <functional>
#include <optional>

#include "launcher/PlayerLaunch.h"
#include "presentation/PresList.h"

class QComboBox;

namespace medium {
class Reporter;
}

namespace launcher {

// The launcher window's class on the desktop (the X11 WM_CLASS); the desktop entry names it as
// its StartupWMClass, so that docks group the window with the entry.
inline constexpr char kWindowClass[] = "Ambrel";
// The desktop entry's name without ".desktop" (the window's application id on Wayland).
inline constexpr char kDesktopEntryId[] = "com.example.ambrel";

class EngineProbe;
class ProcessStarter;
class WebOpener;

// A picture button: the picture centred on the button face and clipped by it.
class PictureButton : public QPushButton {
 public:
  explicit PictureButton(QWidget* parent) : QPushButton(parent) {}
  void SetPicture(const QImage& picture);
  const QImage& Picture() const { return picture_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage picture_;
};

// A picture without a frame that takes no focus, drawn from its top-left corner.
class PictureBox : public QLabel {
 public:
  explicit PictureBox(QWidget* parent);
  void SetPicture(const QImage& picture);
  const QImage& Picture() const { return picture_; }

 private:
  QImage picture_;
};

// What the window needs from outside; tests put fakes in every place.
struct LauncherServices {
  medium::Reporter* reporter = nullptr;
  EngineProbe* probe = nullptr;
  ProcessStarter* starter = nullptr;
  WebOpener* web = nullptr;
  // Loads a picture from a medium-form path; throws medium::AppError when it cannot.
  std::function<QImage(const QString&)> loadPicture;
  // Ends the launcher at once; by default the window goes and the event loop ends.
  std::function<void()> endProgram;
  // The folder the players stand in (the launcher's own), medium form; empty: the launcher's.
  QString programFolder;
  // The medium's folder when the launcher was given --medium; passed on to the player.
  std::optional<QString> mediumFolder;
  QString webAddress;
};

class Ambrel_frm : public QWidget {
 public:
  explicit Ambrel_frm(LauncherServices services, QWidget* parent = nullptr);
  ~Ambrel_frm() override;

  // The whole start-up: probes, the presentation list, the display, the window shown. The
  // probes' answers may come after it, while the window is on screen.
  void Form_Load();
  // The probes have answered (the engine flags are settled).
  bool EnginesKnown() const { return !probing_; }

  // Handlers.
  void Presentation_cmb_Click();
  void Command1_Click();
  void Command2_Click();
  void Command1_MouseMove();
  void Command2_MouseMove();
  void Image1_MouseMove();
  void Image2_MouseMove();
  void Form_MouseMove();
  void Image1_Click();
  void Image2_Click();

  // State.
  PresArr_cls PresList;
  bool WinMediaFound = false;
  bool RealFound = false;
  bool Cmd1Hover = false;
  bool Cmd2Hover = false;
  bool Img1Hover = false;
  bool Img2Hover = false;

  // Controls, in the order of the design.
  QComboBox* Presentation_cmb = nullptr;
  PictureButton* Command2 = nullptr;
  PictureButton* Command1 = nullptr;
  QLabel* Presentation_lbl = nullptr;
  QLabel* Single_lbl = nullptr;
  QLabel* Label3 = nullptr;
  QLabel* Multi_lbl = nullptr;
  QLabel* Label1 = nullptr;
  PictureBox* Image2 = nullptr;
  PictureBox* Image1 = nullptr;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();
  void SetButtonsFor(const Pres_cls& pres);
  // The probes' answers; after start-up the one presentation's buttons and step 14 follow them.
  void EnginesProbed(const QList<bool>& installed);
  void NoEngineMessage();
  void SettleProbes();
  void FocusFirstTabStop();
  void LaunchPlayer(PlayerBuild player);
  // Loads the four pictures anew, in the order Command1, Command2, Image1, Image2, and sets the
  // flags so that only the control whose hover picture is shown has its flag set.
  enum class Hovered { None, Command1, Command2, Image1, Image2 };
  void ShowPictures(Hovered hovered);
  // A handler outside start-up; an unexpected error is reported and ends the launcher.
  template <class Handler>
  void RunHandler(Handler&& handler);

  LauncherServices services_;
  QPixmap background_;
  bool probing_ = false;      // the probes have not answered yet
  bool startupDone_ = false;  // Form_Load has shown the window
  bool single_ = false;       // one presentation, no list
};

}  // namespace launcher
