#include "launcher/Ambrel_frm.h"

#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QFont>
#include <QIcon>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <stdexcept>

#include "launcher/EngineProbe.h"
#include "launcher/ProcessStarter.h"
#include "launcher/WebLink.h"
#include "medium/Paths.h"
#include "medium/Picture.h"
#include "medium/Report.h"
#include "presentation/ConfigReader.h"
#include "ui/ClassicColours.h"
#include "ui/DesignFonts.h"
#include "ui/Twips.h"

// The artwork lives in a static library, so its resources are registered by hand.
static void InitLauncherResources() {
  Q_INIT_RESOURCE(launcher);
}

namespace launcher {

using medium::ReportAndContinue;

namespace {

QImage DesignPicture(const char* name) {
  return QImage(QStringLiteral(":/launcher/") + QLatin1String(name));
}

// A white-on-black label of the panel; its text wraps within the label.
QLabel* PanelLabel(QWidget* parent, const QRect& place, const QString& caption, const QFont& font) {
  auto* label = new QLabel(caption, parent);
  label->setGeometry(place);
  label->setFont(font);
  label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  label->setWordWrap(true);
  label->setAutoFillBackground(true);
  // The button-text colour behind the highlight-text colour: white on the black panel.
  QPalette pal = ui::ClassicPalette();
  pal.setColor(QPalette::Window, pal.color(QPalette::ButtonText));
  pal.setColor(QPalette::WindowText, pal.color(QPalette::HighlightedText));
  label->setPalette(pal);
  // Labels have no pointer handler: a move over one changes nothing.
  label->setAttribute(Qt::WA_NoMousePropagation);
  return label;
}

}  // namespace

void PictureButton::SetPicture(const QImage& picture) {
  picture_ = picture;
  setIcon(QIcon(QPixmap::fromImage(picture)));
  setIconSize(picture.size());
}

void PictureButton::paintEvent(QPaintEvent* event) {
  QPushButton::paintEvent(event);
  if (!hasFocus()) return;
  // The picture covers the face where the style marks the focus, so the mark goes over it: a
  // dotted frame inside the border, white under black, which shows on any picture.
  QPainter painter(this);
  const QRect frame = rect().adjusted(3, 3, -4, -4);
  painter.setPen(QPen(Qt::white, 1));
  painter.drawRect(frame);
  painter.setPen(QPen(Qt::black, 1, Qt::DotLine));
  painter.drawRect(frame);
}

PictureBox::PictureBox(QWidget* parent) : QLabel(parent) {
  setFrameStyle(QFrame::NoFrame);
  setFocusPolicy(Qt::NoFocus);
  setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void PictureBox::SetPicture(const QImage& picture) {
  picture_ = picture;
  setPixmap(QPixmap::fromImage(picture));
}

Ambrel_frm::Ambrel_frm(LauncherServices services, QWidget* parent)
    : QWidget(parent), services_(std::move(services)) {
  InitLauncherResources();
  if (!services_.loadPicture) services_.loadPicture = &medium::LoadPicture;
  if (!services_.endProgram) {
    services_.endProgram = [this] {
      hide();
      QCoreApplication::exit(0);
    };
  }
  if (services_.webAddress.isEmpty()) services_.webAddress = MakerWebAddress();
  BuildControls();
}

Ambrel_frm::~Ambrel_frm() = default;

void Ambrel_frm::BuildControls() {
  setObjectName(QStringLiteral("Ambrel_frm"));
  setWindowTitle(QStringLiteral("Archived zENTO"));
  QIcon icon;
  icon.addFile(QStringLiteral(":/launcher/icon32.png"), QSize(32, 32));
  icon.addFile(QStringLiteral(":/launcher/icon16.png"), QSize(16, 16));
  setWindowIcon(icon);
  // Client area 11655 x 7485 twips; resizable, but nothing follows the size.
  resize(TwipsToPixels(11655), TwipsToPixels(7485));
  setAutoFillBackground(true);
  // The colours on the fixed artwork stay those of the classic scheme, whatever the desktop's.
  const QPalette classic = ui::ClassicPalette();
  QPalette pal = classic;
  pal.setColor(QPalette::Window, classic.color(QPalette::ButtonText));
  setPalette(pal);
  background_ = QPixmap(QStringLiteral(":/launcher/background.png"));
  setMouseTracking(true);

  Presentation_cmb = new QComboBox(this);
  Presentation_cmb->setObjectName(QStringLiteral("Presentation_cmb"));
  Presentation_cmb->setEditable(false);
  Presentation_cmb->setPalette(classic);
  Presentation_cmb->setGeometry(TwipsRect(120, 2280, 4095, 315));
  Presentation_cmb->setAttribute(Qt::WA_NoMousePropagation);

  // The title-bar text colour of the standard scheme; the pictures cover it.
  auto makeButton = [this, &classic](const char* name, const QRect& place, const char* picture) {
    auto* button = new PictureButton(this);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(place);
    QPalette bp = classic;
    bp.setColor(QPalette::Button, Qt::white);
    button->setPalette(bp);
    button->SetPicture(DesignPicture(picture));
    button->setMouseTracking(true);
    button->setAttribute(Qt::WA_NoMousePropagation);
    button->installEventFilter(this);
    return button;
  };
  Command2 = makeButton("Command2", TwipsRect(2520, 4200, 1455, 975), "command2.jpg");
  Command1 = makeButton("Command1", TwipsRect(360, 4200, 1455, 975), "command1.jpg");

  Presentation_lbl = new QLabel(this);
  Presentation_lbl->setObjectName(QStringLiteral("Presentation_lbl"));
  Presentation_lbl->setGeometry(TwipsRect(120, 2280, 4095, 255));
  Presentation_lbl->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  Presentation_lbl->setFrameStyle(QFrame::Box | QFrame::Plain);
  Presentation_lbl->setLineWidth(1);
  Presentation_lbl->setAutoFillBackground(true);
  {
    // The window colour behind the window-text colour: black on white.
    QPalette lp = classic;
    lp.setColor(QPalette::Window, classic.color(QPalette::Base));
    lp.setColor(QPalette::WindowText, classic.color(QPalette::Text));
    Presentation_lbl->setPalette(lp);
  }
  Presentation_lbl->setFont(ui::DesignFont("MS Sans Serif", 8.25, true));
  Presentation_lbl->setAttribute(Qt::WA_NoMousePropagation);
  Presentation_lbl->hide();

  Single_lbl = PanelLabel(this, TwipsRect(720, 1320, 2775, 735),
                          QStringLiteral("This CD contains the following presentation:"),
                          ui::DesignFont("Arial", 12));
  Single_lbl->setObjectName(QStringLiteral("Single_lbl"));
  Single_lbl->hide();
  Label3 = PanelLabel(this, TwipsRect(240, 2880, 3855, 1215),
                      QStringLiteral("Please click on an icon below to hear your zENTO or click "
                                     "EXIT to close this program."),
                      ui::DesignFont("MS Sans Serif", 12));
  Label3->setObjectName(QStringLiteral("Label3"));
  Multi_lbl = PanelLabel(this, TwipsRect(720, 1320, 2775, 735),
                         QStringLiteral("Please choose from one of the following:"),
                         ui::DesignFont("Arial", 12));
  Multi_lbl->setObjectName(QStringLiteral("Multi_lbl"));
  Label1 =
      PanelLabel(this, TwipsRect(960, 240, 2295, 735),
                 QStringLiteral("Welcome to your archived zENTO."), ui::DesignFont("Arial", 14.25));
  Label1->setObjectName(QStringLiteral("Label1"));

  auto makePicture = [this](const char* name, const QRect& place, const char* picture) {
    auto* box = new PictureBox(this);
    box->setObjectName(QLatin1String(name));
    box->setGeometry(place);
    box->SetPicture(DesignPicture(picture));
    box->setMouseTracking(true);
    box->setAttribute(Qt::WA_NoMousePropagation);
    box->installEventFilter(this);
    return box;
  };
  Image2 = makePicture("Image2", TwipsRect(480, 6720, 3420, 360), "image2.jpg");
  Image1 = makePicture("Image1", TwipsRect(1680, 5520, 900, 900), "image1.jpg");

  // Plain words for screen readers.
  setAccessibleName(QStringLiteral("Archived zENTO"));
  setAccessibleDescription(QStringLiteral("Choose a presentation and the player to play it with"));
  Presentation_cmb->setAccessibleName(QStringLiteral("Presentation"));
  Presentation_cmb->setAccessibleDescription(QStringLiteral("The presentation to play"));
  Presentation_lbl->setAccessibleName(QStringLiteral("Presentation"));
  Presentation_lbl->setAccessibleDescription(QStringLiteral("The one presentation on this disc"));
  Command1->setAccessibleName(QStringLiteral("Play with Tavisco"));
  Command1->setAccessibleDescription(
      QStringLiteral("Plays the presentation's Windows Media recording and ends this program"));
  Command2->setAccessibleName(QStringLiteral("Play with Norvanta"));
  Command2->setAccessibleDescription(
      QStringLiteral("Plays the presentation's RealMedia recording and ends this program"));
  Image1->setAccessibleName(QStringLiteral("EXIT"));
  Image1->setAccessibleDescription(QStringLiteral("Closes this program"));
  Image2->setAccessibleName(QStringLiteral("Web site"));
  Image2->setAccessibleDescription(QStringLiteral("Opens the maker's web site in the browser"));
  for (QLabel* label : {Single_lbl, Label3, Multi_lbl, Label1}) {
    label->setAccessibleName(label->text());
    label->setAccessibleDescription(QStringLiteral("Text of the launcher"));
  }

  setTabOrder(Command1, Command2);
  setTabOrder(Command2, Presentation_cmb);

  connect(Presentation_cmb, &QComboBox::activated, this,
          [this](int) { RunHandler([this] { Presentation_cmb_Click(); }); });
  connect(Command1, &QPushButton::clicked, this,
          [this] { RunHandler([this] { Command1_Click(); }); });
  connect(Command2, &QPushButton::clicked, this,
          [this] { RunHandler([this] { Command2_Click(); }); });

  // Opens in the centre of the screen.
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect r(QPoint(0, 0), size());
    r.moveCenter(screen->availableGeometry().center());
    move(r.topLeft());
  }
}

void Ambrel_frm::Form_Load() {
  medium::Reporter& reporter = *services_.reporter;
  reporter.BeginStartup();
  struct StartupEnd {
    medium::Reporter& reporter;
    ~StartupEnd() { reporter.EndStartup(); }
  } startupEnd{reporter};
  // 1, 2
  PresList = PresArr_cls{};
  WinMediaFound = true;
  RealFound = true;
  // 3, 4: both probes run at once; a failed probe only clears its flag, silently. A probe starts
  // a whole playback core, which takes longer than the rest of start-up: the window does not
  // wait for the answers (EnginesProbed), which come in while it is on screen.
  probing_ = true;
  startupDone_ = false;
  try {
    if (!services_.probe) throw std::runtime_error("no probe");
    const QPointer<Ambrel_frm> alive(this);
    services_.probe->ProbeLater(
        {ProbeIdentifier(PlayerBuild::Tavisco), ProbeIdentifier(PlayerBuild::Norvanta)},
        [alive](const QList<bool>& installed) {
          if (alive) alive->EnginesProbed(installed);
        });
  } catch (...) {
    EnginesProbed({});
  }

  // 5 to 9, then 10 or 11a to 11d; from here on each failed step is reported and skipped.
  ConfigReader reader(layout::Current(), reporter);
  reader.ReadCount();
  const bool multi = FillPresentationList(reporter, reader, PresList, [this](const QString& name) {
    Presentation_cmb->addItem(name);
    // Nothing is picked until the user picks.
    Presentation_cmb->setCurrentIndex(-1);
  });
  single_ = !multi;
  if (!multi) {
    ReportAndContinue(reporter, [&] { Presentation_lbl->setText(PresList.arr.Item(1).PresName); });
    ReportAndContinue(reporter, [&] { Presentation_cmb->hide(); });
    ReportAndContinue(reporter, [&] { Presentation_lbl->show(); });
    ReportAndContinue(reporter, [&] { Multi_lbl->hide(); });
    ReportAndContinue(reporter, [&] { Single_lbl->show(); });
    QString folder;
    ReportAndContinue(reporter, [&] {
      folder = layout::Current().MediaFolderPath(PresList.arr.Item(1).PresDir);
    });
    ReportAndContinue(reporter, [&] {
      Command1->setEnabled(layout::HasRecording(PlayerBuild::Tavisco, folder) && WinMediaFound);
    });
    ReportAndContinue(reporter, [&] {
      Command2->setEnabled(layout::HasRecording(PlayerBuild::Norvanta, folder) && RealFound);
    });
  }
  // 12
  ReportAndContinue(reporter, [&] { Cmd1Hover = false; });
  ReportAndContinue(reporter, [&] { Cmd2Hover = false; });
  ReportAndContinue(reporter, [&] { Img1Hover = false; });
  ReportAndContinue(reporter, [&] { Img2Hover = false; });
  // 13: not modal; start-up goes on at once.
  FocusFirstTabStop();
  ReportAndContinue(reporter, [&] { show(); });
  // 14, once both answers are in.
  startupDone_ = true;
  if (!probing_) NoEngineMessage();
  // 15
  reader.Release();
}

void Ambrel_frm::EnginesProbed(const QList<bool>& installed) {
  if (!probing_) return;
  probing_ = false;
  if (!installed.value(0, false)) WinMediaFound = false;
  if (!installed.value(1, false)) RealFound = false;
  // Answered within start-up, the steps that follow use the flags as they stand.
  if (!startupDone_) return;
  // Answered while the window is on screen: the one presentation's buttons follow a missing
  // engine (a list's buttons follow the next pick, as ever), then the message of step 14.
  if (single_ && (!WinMediaFound || !RealFound))
    RunHandler([&] { SetButtonsFor(PresList.arr.Item(1)); });
  NoEngineMessage();
}

void Ambrel_frm::NoEngineMessage() {
  medium::Reporter& reporter = *services_.reporter;
  ReportAndContinue(reporter, [&] {
    if (!RealFound && !WinMediaFound) {
      reporter.Report(
          QStringLiteral("Please Install Real Player or Windows Media Player Before Running"));
    }
  });
}

void Ambrel_frm::SettleProbes() {
  // What the user does with the buttons or the list acts on the answers: a click that comes
  // before them waits for them.
  if (probing_ && services_.probe) services_.probe->Settle();
}

template <class Handler>
void Ambrel_frm::RunHandler(Handler&& handler) {
  // An unexpected error outside start-up is shown with its number and ends the launcher.
  if (!medium::RunWithLastResort(*services_.reporter, std::forward<Handler>(handler))) {
    services_.endProgram();
  }
}

void Ambrel_frm::FocusFirstTabStop() {
  // The keyboard starts where the tab order does: on Command1, or the next control that can take
  // the focus when it is disabled.
  for (QWidget* stop : {static_cast<QWidget*>(Command1), static_cast<QWidget*>(Command2),
                        static_cast<QWidget*>(Presentation_cmb)}) {
    if (stop->isEnabled() && !stop->isHidden()) {
      stop->setFocus(Qt::OtherFocusReason);
      return;
    }
  }
}

void Ambrel_frm::SetButtonsFor(const Pres_cls& pres) {
  // A folder name that leads outside the medium is reported and plays nowhere.
  QString folder;
  ReportAndContinue(*services_.reporter,
                    [&] { folder = layout::Current().MediaFolderPath(pres.PresDir); });
  const ButtonStates states = ButtonRule(folder, WinMediaFound, RealFound);
  Command1->setEnabled(states.command1);
  Command2->setEnabled(states.command2);
}

void Ambrel_frm::Presentation_cmb_Click() {
  SettleProbes();
  const int index = Presentation_cmb->currentIndex();
  if (index < 0) return;
  SetButtonsFor(PresList.arr.Item(index + 1));
}

void Ambrel_frm::Command1_Click() {
  LaunchPlayer(PlayerBuild::Tavisco);
}

void Ambrel_frm::Command2_Click() {
  LaunchPlayer(PlayerBuild::Norvanta);
}

void Ambrel_frm::LaunchPlayer(PlayerBuild player) {
  SettleProbes();
  // The answers may have disabled the button just clicked.
  if (!(player == PlayerBuild::Tavisco ? Command1 : Command2)->isEnabled()) return;
  int item = 1;  // one presentation: the list control stays empty
  if (Presentation_cmb->count() > 0) {
    if (Presentation_cmb->currentIndex() < 0) {
      services_.reporter->Report(QStringLiteral("Please Select a Presentation to View"));
      return;
    }
    item = Presentation_cmb->currentIndex() + 1;
  }
  const Pres_cls& pres = PresList.arr.Item(item);
  const QString programFolder =
      services_.programFolder.isEmpty() ? medium::ProgramFolder() : services_.programFolder;
  const PlayerLaunch launch = BuildPlayerLaunch(player, pres.PresDir, medium::ApplicationFolder(),
                                                programFolder, services_.mediumFolder);
  try {
    services_.starter->StartDetached(launch.program, launch.arguments);
  } catch (const medium::AppError& e) {
    // The user can still pick the other player or leave through EXIT.
    services_.reporter->Report(
        e.description() +
        QStringLiteral("\n\nPlease choose the other player, or click EXIT to close this program."));
    return;
  }
  services_.endProgram();
}

void Ambrel_frm::ShowPictures(Hovered hovered) {
  struct Slot {
    Hovered who;
    std::function<void(const QImage&)> set;
  };
  // In the order of the picture names: each control's picture, then its hover picture.
  const Slot targets[] = {
      {Hovered::Command1, [this](const QImage& p) { Command1->SetPicture(p); }},
      {Hovered::Command2, [this](const QImage& p) { Command2->SetPicture(p); }},
      {Hovered::Image1, [this](const QImage& p) { Image1->SetPicture(p); }},
      {Hovered::Image2, [this](const QImage& p) { Image2->SetPicture(p); }},
  };
  const QStringList names = layout::LauncherPictureNames();
  for (int i = 0; i < 4; ++i) {
    const Slot& slot = targets[i];
    const QString name = names.value(2 * i + (slot.who == hovered ? 1 : 0));
    const QString path = layout::Current().LauncherPicturePath(name);
    try {
      slot.set(services_.loadPicture(path));
    } catch (...) {
      // A missing or unreadable picture leaves the control with the picture it shows.
    }
  }
  Cmd1Hover = hovered == Hovered::Command1;
  Cmd2Hover = hovered == Hovered::Command2;
  Img1Hover = hovered == Hovered::Image1;
  Img2Hover = hovered == Hovered::Image2;
}

void Ambrel_frm::Command1_MouseMove() {
  if (Cmd1Hover) return;
  ShowPictures(Hovered::Command1);
}

void Ambrel_frm::Command2_MouseMove() {
  if (Cmd2Hover) return;
  ShowPictures(Hovered::Command2);
}

void Ambrel_frm::Image1_MouseMove() {
  if (Img1Hover) return;
  ShowPictures(Hovered::Image1);
}

void Ambrel_frm::Image2_MouseMove() {
  ShowPictures(Hovered::Image2);
}

void Ambrel_frm::Form_MouseMove() {
  ShowPictures(Hovered::None);
}

void Ambrel_frm::Image1_Click() {
  services_.endProgram();
}

void Ambrel_frm::Image2_Click() {
  const QString address = services_.webAddress;
  // The opener's answer may come later; the launcher keeps running meanwhile.
  auto answer = [this, address](int result) {
    RunHandler([&] {
      if (const auto message = WebLinkMessage(result, services_.reporter->Title(), address)) {
        services_.reporter->Show(*message);
      }
    });
  };
  if (services_.web) {
    services_.web->Open(address, this, answer);
  } else {
    answer(kOpenFailed);
  }
}

void Ambrel_frm::paintEvent(QPaintEvent* /*event*/) {
  // Drawn unscaled from the top-left corner; what lies beyond it shows the background colour.
  QPainter painter(this);
  painter.drawPixmap(0, 0, background_);
}

void Ambrel_frm::mouseMoveEvent(QMouseEvent* event) {
  RunHandler([this] { Form_MouseMove(); });
  event->accept();
}

bool Ambrel_frm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseMove) {
    if (watched == Command1 || watched == Command2) {
      // A disabled button takes no pointer input; the move is one over the window.
      if (!static_cast<QWidget*>(watched)->isEnabled()) {
        RunHandler([this] { Form_MouseMove(); });
      } else if (watched == Command1) {
        RunHandler([this] { Command1_MouseMove(); });
      } else {
        RunHandler([this] { Command2_MouseMove(); });
      }
    } else if (watched == Image1) {
      RunHandler([this] { Image1_MouseMove(); });
    } else if (watched == Image2) {
      RunHandler([this] { Image2_MouseMove(); });
    }
  } else if (event->type() == QEvent::MouseButtonRelease &&
             (watched == Image1 || watched == Image2)) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    auto* box = static_cast<QWidget*>(watched);
    if (mouse->button() == Qt::LeftButton && box->rect().contains(mouse->position().toPoint())) {
      if (watched == Image1) {
        RunHandler([this] { Image1_Click(); });
      } else {
        RunHandler([this] { Image2_Click(); });
      }
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace launcher
