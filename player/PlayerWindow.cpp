#include "player/PlayerWindow.h"

#include <QAccessible>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFont>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <utility>
#include <vector>

#include "player/SideWindows.h"
#include "player/ThumbnailStrip.h"
#include "player/media/MediaEngine.h"
#include "ui/DesignFonts.h"
#include "ui/Twips.h"

static void InitPlayerResources() {
  Q_INIT_RESOURCE(player);
}

namespace {

const QColor kPageColour(253, 255, 234);
// The system colours the layout names: title-bar text (window and Slide_txt background), window
// text (Slide_img background) and window background (Audio_img).
const QColor kTitleBarText(255, 255, 255);
const QColor kWindowText(0, 0, 0);
const QColor kWindowBackground(255, 255, 255);

QFont DefaultFont() {
  return ui::DesignFontInPixels("MS Sans Serif", 8.25);
}

}  // namespace

// ---- the window ------------------------------------------------------------------------------

PlayerWindow::PlayerWindow(const BuildProfile& profile, medium::Reporter& reporter,
                           const EngineFactory& factory, QString argumentText, QWidget* parent)
    : QWidget(parent), profile_(profile) {
  InitPlayerResources();
  ui::InstallDesignFonts();
  BuildControls();
  session_ = std::make_unique<PlayerSession>(profile, reporter, *this, factory, this,
                                             std::move(argumentText));
  if (QWidget* w = session_->Engine().Widget()) {
    w->setObjectName(profile_.engineControlName);
    w->raise();  // in front of Audio_img
  }
  strip_->Follow(session_->State());
  connect(&session_->State(), &PlayingState::changed, this, &PlayerWindow::Follow);
  // The language list has no handler of its own: the choice goes into the playing state, which
  // Trans_txt follows at the next tick and the transcript window at once.
  connect(Transcript_cmb, &QComboBox::currentIndexChanged, this,
          [this](int index) { session_->ChooseLanguage(index, Transcript_cmb->itemText(index)); });
  connect(strip_, &ThumbnailStrip::clicked, this,
          [this](int index) { Command1_Click(static_cast<int16_t>(index)); });
  strip_->SetTitles([this](int index) { return Slides_cmb->itemText(index); });
  strip_->SetPictureSource([this](int index) { return session_->ThumbnailPicture(index + 1); });
  ApplyTabOrder();
  NameControls();
  AddPlayerKeys(keys_, *session_, [this] { ShowKeyHelp(); });
  views_ = new SideWindows(this, *session_, keys_,
                           [this](QKeyEvent* event) { return HandleKey(event); });
  qApp->installEventFilter(this);
}

PlayerWindow::~PlayerWindow() {
  qApp->removeEventFilter(this);
  Timer1->stop();
  // The engine control is a child widget; the session lets the binding go first so that it can
  // tear the control down itself.
  session_.reset();
}

void PlayerWindow::BuildControls() {
  setObjectName(profile_.windowName);
  setWindowTitle(profile_.caption);
  QIcon icon;
  icon.addFile(QStringLiteral(":/player/cd-32.png"), QSize(32, 32));
  icon.addFile(QStringLiteral(":/player/cd-16.png"), QSize(16, 16));
  setWindowIcon(icon);
  // Fixed border, not resizable, no minimise or maximise button.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                 Qt::MSWindowsFixedSizeDialogHint);
  setFixedSize(800, 613);
  setFont(DefaultFont());
  background_ = QImage(profile_.backgroundResource);

  // Labels first: Slide_img and the engine are drawn over their lower 9 pixels.
  Label2 = new QLabel(QStringLiteral("Media"), this);
  Label2->setObjectName(QStringLiteral("Label2"));
  Label2->setGeometry(TwipsRect(7680, 1080, profile_.label2WidthTwips, 375));
  Label1 = new QLabel(QStringLiteral("Slides"), this);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setGeometry(16, 72, 57, 25);
  for (QLabel* l : {Label1, Label2}) {
    l->setFont(ui::DesignFontInPixels("MS Sans Serif", 12, true));
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    l->setAutoFillBackground(true);
    QPalette pal = l->palette();
    pal.setColor(QPalette::Window, kPageColour);
    pal.setColor(QPalette::WindowText, kWindowText);
    l->setPalette(pal);
  }

  UserDef1_txt = new QLineEdit(this);
  UserDef1_txt->setObjectName(QStringLiteral("UserDef1_txt"));
  UserDef1_txt->setGeometry(16, 584, 241, 25);
  UserDef1_txt->setFont(ui::DesignFontInPixels("MS Serif", 6.75));
  UserDef1_txt->setFocusPolicy(Qt::ClickFocus);  // not a tab stop

  Transcript_cmb = new QComboBox(this);
  Transcript_cmb->setObjectName(QStringLiteral("Transcript_cmb"));
  Transcript_cmb->setGeometry(512, 552, 273, 21);
  Transcript_cmb->setEditable(false);

  Trans_txt = new QPlainTextEdit(this);
  Trans_txt->setObjectName(QStringLiteral("Trans_txt"));
  Trans_txt->setGeometry(512, 416, 270, 137);
  Trans_txt->setReadOnly(true);
  Trans_txt->setFont(ui::DesignFontInPixels("MS Sans Serif", 9.75, true));
  Trans_txt->setFocusPolicy(Qt::StrongFocus);

  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(kTimer1IntervalMs);
  connect(Timer1, &QTimer::timeout, this, [this] { Timer1_Timer(); });

  Slide_img = new PictureArea(kWindowText, this);
  Slide_img->setObjectName(QStringLiteral("Slide_img"));
  Slide_img->setGeometry(16, 88, 472, 360);
  Slide_img->setFocusPolicy(Qt::StrongFocus);
  connect(Slide_img, &PictureArea::doubleClicked, this, [this] { OpenLargeSlideView(); });

  Details_txt = new QPlainTextEdit(this);
  Details_txt->setObjectName(QStringLiteral("Details_txt"));
  Details_txt->setGeometry(512, 352, 270, 65);
  Details_txt->setReadOnly(true);
  Details_txt->setFont(ui::DesignFontInPixels("MS Sans Serif", 9.75));
  Details_txt->setFocusPolicy(Qt::ClickFocus);  // not a tab stop
  {
    QPalette pal = Details_txt->palette();
    pal.setColor(QPalette::Base, kPageColour);
    pal.setColor(QPalette::Text, kWindowText);
    Details_txt->setPalette(pal);
  }

  Slides_cmb = new QComboBox(this);
  Slides_cmb->setObjectName(QStringLiteral("Slides_cmb"));
  Slides_cmb->setGeometry(256, 448, 233, 21);
  Slides_cmb->setEditable(false);
  connect(Slides_cmb, &QComboBox::activated, this, [this](int) { Slides_cmb_Click(); });

  strip_ = new ThumbnailStrip(this);
  OuterFrame = strip_->OuterFrame();
  InnerFrame = strip_->InnerFrame();
  Shape1 = strip_->Shape1();
  HScroll1 = strip_->HScroll1();
  connect(HScroll1, &QScrollBar::valueChanged, this, [this](int) { HScroll1_Change(); });

  Audio_img = new PictureArea(kWindowBackground, this);
  Audio_img->setObjectName(QStringLiteral("Audio_img"));
  Audio_img->setGeometry(512, 88, 270, 220);
  Audio_img->setFocusPolicy(Qt::StrongFocus);

  Slide_txt = new QLabel(this);
  Slide_txt->setObjectName(QStringLiteral("Slide_txt"));
  Slide_txt->setGeometry(16, 449, 233, 18);
  Slide_txt->setFrameStyle(QFrame::Box | QFrame::Plain);
  Slide_txt->setLineWidth(1);
  Slide_txt->setAutoFillBackground(true);
  {
    QPalette pal = Slide_txt->palette();
    pal.setColor(QPalette::Window, kTitleBarText);
    pal.setColor(QPalette::WindowText, kWindowText);
    Slide_txt->setPalette(pal);
  }

  Label1->lower();
  Label2->lower();
  Timer1->start();  // ticks from the window's creation
}

void PlayerWindow::ApplyTabOrder() {
  std::vector<std::pair<int, QWidget*>> order;
  auto add = [&](const QString& name, QWidget* w) {
    if (!w) return;
    for (const auto& [n, index] : profile_.tabIndexes) {
      if (n == name) {
        w->setProperty("TabIndex", index);
        order.emplace_back(index, w);
      }
    }
  };
  add(QStringLiteral("HScroll1"), HScroll1);
  add(QStringLiteral("OuterFrame"), OuterFrame);
  add(QStringLiteral("InnerFrame"), InnerFrame);
  add(QStringLiteral("Command1"), strip_->Thumbnail(0));
  add(QStringLiteral("Slides_cmb"), Slides_cmb);
  add(QStringLiteral("Details_txt"), Details_txt);
  add(QStringLiteral("Slide_img"), Slide_img);
  add(QStringLiteral("Slide_txt"), Slide_txt);
  add(QStringLiteral("Trans_txt"), Trans_txt);
  add(QStringLiteral("Transcript_cmb"), Transcript_cmb);
  add(QStringLiteral("UserDef1_txt"), UserDef1_txt);
  add(QStringLiteral("Label1"), Label1);
  add(QStringLiteral("Label2"), Label2);
  add(QStringLiteral("Audio_img"), Audio_img);
  add(profile_.engineControlName, session_->Engine().Widget());
  std::sort(order.begin(), order.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  QWidget* previous = nullptr;
  for (const auto& entry : order) {
    QWidget* w = entry.second;
    if (!(w->focusPolicy() & Qt::TabFocus)) continue;
    if (previous) QWidget::setTabOrder(previous, w);
    previous = w;
  }
}

int PlayerWindow::HeightTwips() const {
  return height() * 15;
}

void PlayerWindow::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), kTitleBarText);
  if (!background_.isNull()) p.drawImage(QPoint(0, 0), background_);
}

void PlayerWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (centred_) return;
  centred_ = true;
  if (QScreen* s = screen()) {
    const QRect area = s->availableGeometry();
    const QRect frame = frameGeometry();
    move(area.center() - QPoint(frame.width() / 2, frame.height() / 2));
  }
}

void PlayerWindow::closeEvent(QCloseEvent* event) {
  Form_Unload();
  views_->CloseAll();
  event->accept();
}

// ---- the playing state ---------------------------------------------------------------------

void PlayerWindow::Follow(PlayingState::Parts parts) {
  const PlayingState& state = session_->State();
  if ((parts & PlayingState::Transcript) && Trans_txt->toPlainText() != state.TranscriptText())
    Trans_txt->setPlainText(state.TranscriptText());
  if (parts & PlayingState::Picture) Slide_img->SetPicture(state.SlidePicture());
  if (parts & PlayingState::Title) Slide_txt->setText(state.SlideTitle());
  if (!(parts & PlayingState::CurrentSlide)) return;
  const int n = state.Slide();
  const QString text =
      n >= 1 ? tr("Slide %1 of %2: %3").arg(n).arg(state.SlideCount()).arg(state.SlideTitle())
             : tr("Slide picture");
  Slide_img->setAccessibleDescription(n >= 1 ? text : tr("No slide yet"));
  if (Slide_img->accessibleName() != text) {
    Slide_img->setAccessibleName(text);
    // Said aloud by a screen reader: the slide has changed.
    QAccessibleEvent changed(Slide_img, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&changed);
    emit slideAnnounced(text);
  }
}

// ---- StartupView ------------------------------------------------------------------------------

void PlayerWindow::SetUserDefinedText(const QString& text) {
  UserDef1_txt->setText(text);
}

void PlayerWindow::ShowStillPicture(const QImage& picture) {
  Slide_img->SetPicture(picture);
  views_->SetStillPicture(picture);
}

void PlayerWindow::ShowAudioPicture(const QImage& picture) {
  Audio_img->SetPicture(picture);
}

void PlayerWindow::SetLanguages(const QStringList& names, int selected) {
  Transcript_cmb->addItems(names);
  Transcript_cmb->setCurrentIndex(selected);
}

void PlayerWindow::AddSlideTitle(const QString& title) {
  const int selected = Slides_cmb->currentIndex();
  Slides_cmb->addItem(title);
  // The first entry of a list is not selected by being added.
  Slides_cmb->setCurrentIndex(selected);
  strip_->NameThumbnail(Slides_cmb->count() - 1);
}

StripSteps& PlayerWindow::Strip() {
  return *strip_;
}

void PlayerWindow::Apply(StartupChange change) {
  switch (change) {
    case StartupChange::HideTransTxt:
      Trans_txt->hide();
      break;
    case StartupChange::HideTranscriptCmb:
      Transcript_cmb->hide();
      break;
    case StartupChange::HideSlideTxt:
      Slide_txt->hide();
      break;
    case StartupChange::HideSlidesCmb:
      Slides_cmb->hide();
      break;
    case StartupChange::HideOuterFrame:
      OuterFrame->hide();
      break;
    case StartupChange::HideHScroll1:
      HScroll1->hide();
      break;
    case StartupChange::ShrinkWindow: {
      // 7860 twips is the window's outer height, title bar and borders included. The frame is
      // known only once the window system has framed the shown window, so the height follows it.
      const auto fitOuterHeight = [this] {
        setFixedSize(800, TwipsToPixels(7860) - (frameGeometry().height() - height()));
      };
      fitOuterHeight();
      create();
      connect(windowHandle(), &QWindow::visibleChanged, this, fitOuterHeight);
      connect(windowHandle(), &QWindow::yChanged, this, fitOuterHeight);
      break;
    }
    case StartupChange::MoveUserDef1Up:
      UserDef1_txt->move(UserDef1_txt->x(), 470);
      break;
  }
}

void PlayerWindow::SetDetailsText(const QString& text) {
  QString shown = text;
  shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  if (shown.endsWith(u'\n')) shown.chop(1);
  Details_txt->setPlainText(shown);
}

void PlayerWindow::ShowWindow() {
  show();
}

void PlayerWindow::FocusSlidePicture() {
  Slide_img->setFocus(Qt::OtherFocusReason);
}

void PlayerWindow::ProgramEnded(int code) {
  Timer1->stop();
  if (views_) views_->CloseAll();
  emit programEnded(code);
  QCoreApplication::exit(code);
}

// ---- handlers --------------------------------------------------------------------------------

void PlayerWindow::Slides_cmb_Click() {
  const int n = Slides_cmb->currentIndex() + 1;
  if (n < 1) return;
  session_->SeekToSlide(n);
  // The list never keeps a selection, so that choosing the same title again jumps again; a list
  // box fires its click once more when its selection is cleared, which stops above.
  Slides_cmb->setCurrentIndex(-1);
  Slides_cmb_Click();
}

void PlayerWindow::HScroll1_Change() {
  if (!session_) return;
  session_->RunHandler([&] { strip_->FollowScrollBar(); });
}

// ---- keys ------------------------------------------------------------------------------------

bool PlayerWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return false;
  auto* widget = qobject_cast<QWidget*>(watched);
  // Keys pressed anywhere in this window; other windows hand theirs on through HandleKey.
  if (!widget || widget->window() != this) return false;
  auto* key = static_cast<QKeyEvent*>(event);
  if (PlayerKeys::WidgetKeepsKey(QApplication::focusWidget(), key)) return false;
  return HandleKey(key);
}

bool PlayerWindow::HandleKey(QKeyEvent* event) {
  if (session_->Ended()) return false;
  const bool handled = keys_.Handle(event);
  if (handled) event->accept();
  return handled;
}

// ---- screen readers ----------------------------------------------------------------------------

void PlayerWindow::NameControls() {
  setAccessibleName(tr("Presentation player"));
  setAccessibleDescription(tr("Plays a recorded presentation with its slides; F1 lists the keys"));
  UserDef1_txt->setAccessibleName(tr("Note"));
  UserDef1_txt->setAccessibleDescription(tr("A note that comes with the presentation"));
  Transcript_cmb->setAccessibleName(tr("Transcript language"));
  Transcript_cmb->setAccessibleDescription(tr("The language the transcript is shown in"));
  Trans_txt->setAccessibleName(tr("Transcript"));
  Trans_txt->setAccessibleDescription(tr("The words of the part being played"));
  Slide_img->setAccessibleName(tr("Slide picture"));
  Slide_img->setAccessibleDescription(tr("No slide yet"));
  Details_txt->setAccessibleName(tr("Details"));
  Details_txt->setAccessibleDescription(tr("About the presentation and its speaker"));
  Slides_cmb->setAccessibleName(tr("Go to slide"));
  Slides_cmb->setAccessibleDescription(tr("Choose a slide title to play from that slide"));
  Audio_img->setAccessibleName(tr("Audio picture"));
  Audio_img->setAccessibleDescription(tr("Shown while a recording without a picture plays"));
  Label1->setAccessibleName(tr("Slides"));
  Label2->setAccessibleName(tr("Media"));
  Slide_txt->setAccessibleName(tr("Slide title"));
  Slide_txt->setAccessibleDescription(tr("The title of the slide being shown"));
  if (QWidget* engine = session_->Engine().Widget()) {
    engine->setAccessibleName(tr("Media player"));
    engine->setAccessibleDescription(tr("The recording's picture and its controls"));
  }
  for (int i = 0; i < strip_->Count(); ++i) strip_->NameThumbnail(i);
}
