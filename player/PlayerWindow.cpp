#include "player/PlayerWindow.h"

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
#include <QStyleOptionButton>
#include <QTimer>
#include <QWindow>
#include <algorithm>

#include "medium/Error.h"
#include "player/LargeSlideView.h"
#include "player/TranscriptWindow.h"
#include "player/media/ControlPanel.h"
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
const QColor kHighlightYellow(255, 255, 0);

QFont DefaultFont() {
  return ui::DesignFontInPixels("MS Sans Serif", 8.25);
}

void PlaceTwips(QWidget* w, double left, double top, double width, double height) {
  w->setProperty("LeftTwips", left);
  w->setProperty("TopTwips", top);
  w->setProperty("WidthTwips", width);
  w->setProperty("HeightTwips", height);
  w->setGeometry(TwipsRect(left, top, width, height));
}

void MoveTwips(QWidget* w, double left) {
  PlaceTwips(w, left, w->property("TopTwips").toDouble(), w->property("WidthTwips").toDouble(),
             w->property("HeightTwips").toDouble());
}

void ResizeTwips(QWidget* w, double width, double height) {
  PlaceTwips(w, w->property("LeftTwips").toDouble(), w->property("TopTwips").toDouble(), width,
             height);
}

}  // namespace

// ---- controls --------------------------------------------------------------------------------

PictureArea::PictureArea(const QColor& background, QWidget* parent)
    : QWidget(parent), background_(background) {}

void PictureArea::SetPicture(const QImage& picture) {
  picture_ = picture;
  update();
}

void PictureArea::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), background_);
  if (!picture_.isNull()) p.drawImage(QPoint(0, 0), picture_);
}

void PictureArea::mouseDoubleClickEvent(QMouseEvent* event) {
  QWidget::mouseDoubleClickEvent(event);
  emit doubleClicked();
}

ThumbnailButton::ThumbnailButton(int index, QWidget* parent)
    : QAbstractButton(parent), index_(index) {
  setObjectName(QStringLiteral("Command1"));
  setProperty("Index", index);
  setFocusPolicy(Qt::StrongFocus);
}

void ThumbnailButton::SetPicture(const QImage& picture) {
  picture_ = picture;
  update();
}

void ThumbnailButton::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QRect r = rect();
  p.fillRect(r, palette().button());
  const int shift = isDown() ? 1 : 0;
  if (!picture_.isNull()) {
    const QPoint at((r.width() - picture_.width()) / 2 + shift,
                    (r.height() - picture_.height()) / 2 + shift);
    p.drawImage(at, picture_);
  }
  // A raised face, sunken while pressed.
  const QColor light = isDown() ? QColor(64, 64, 64) : QColor(255, 255, 255);
  const QColor dark = isDown() ? QColor(255, 255, 255) : QColor(64, 64, 64);
  p.setPen(light);
  p.drawLine(r.topLeft(), r.topRight());
  p.drawLine(r.topLeft(), r.bottomLeft());
  p.setPen(dark);
  p.drawLine(r.bottomLeft(), r.bottomRight());
  p.drawLine(r.topRight(), r.bottomRight());
  if (hasFocus()) {
    p.setPen(QPen(QColor(0, 0, 0), 1, Qt::DotLine));
    p.drawRect(r.adjusted(3, 3, -4, -4));
  }
}

OutlineShape::OutlineShape(const QColor& colour, int penPixels, QWidget* parent)
    : QWidget(parent), colour_(colour), pen_(penPixels) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

void OutlineShape::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QRect r = rect();
  p.fillRect(QRect(r.left(), r.top(), r.width(), pen_), colour_);
  p.fillRect(QRect(r.left(), r.bottom() - pen_ + 1, r.width(), pen_), colour_);
  p.fillRect(QRect(r.left(), r.top(), pen_, r.height()), colour_);
  p.fillRect(QRect(r.right() - pen_ + 1, r.top(), pen_, r.height()), colour_);
}

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
  ApplyTabOrder();
  AddViewButtons();
}

PlayerWindow::~PlayerWindow() {
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
  connect(Transcript_cmb, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (transcriptWindow_) transcriptWindow_->SetLanguage(index, Transcript_cmb->itemText(index));
  });

  OuterFrame = new QFrame(this);
  OuterFrame->setObjectName(QStringLiteral("OuterFrame"));
  OuterFrame->setFrameShape(QFrame::NoFrame);
  OuterFrame->setGeometry(16, 472, 473, 81);
  OuterFrame->setProperty("WidthTwips", 7095);
  OuterFrame->setProperty("HeightTwips", 1215);

  InnerFrame = new QWidget(OuterFrame);
  InnerFrame->setObjectName(QStringLiteral("InnerFrame"));
  PlaceTwips(InnerFrame, 0, 0, innerWidthTwips_, 1220);

  Shape1 = new OutlineShape(kHighlightYellow, 2, InnerFrame);
  Shape1->setObjectName(QStringLiteral("Shape1"));
  PlaceTwips(Shape1, 100, 100, 1270, 1030);

  ThumbnailButton* first = NewThumbnailButton(0);
  PlaceTwips(first, 120, 120, 1215, 975);
  first->SetPicture(QImage(QStringLiteral(":/player/thumbnail-placeholder.jpg")));
  first->show();

  HScroll1 = new QScrollBar(Qt::Horizontal, this);
  HScroll1->setObjectName(QStringLiteral("HScroll1"));
  HScroll1->setGeometry(16, 552, 473, 17);
  HScroll1->setRange(0, 0);
  HScroll1->setValue(0);
  HScroll1->setSingleStep(1);
  HScroll1->setPageStep(2);
  HScroll1->setFocusPolicy(Qt::StrongFocus);
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
  add(QStringLiteral("Command1"), buttons_.front());
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

ThumbnailButton* PlayerWindow::NewThumbnailButton(int index) {
  auto* b = new ThumbnailButton(index, InnerFrame);
  b->hide();
  connect(b, &QAbstractButton::clicked, this,
          [this, index] { Command1_Click(static_cast<int16_t>(index)); });
  buttons_.push_back(b);
  return b;
}

ThumbnailButton* PlayerWindow::Thumbnail(int index) const {
  if (index < 0 || index >= int(buttons_.size())) return nullptr;
  return buttons_[static_cast<size_t>(index)];
}

int PlayerWindow::HeightTwips() const {
  return height() * 15;
}

QImage PlayerWindow::SlideImage() const {
  return Slide_img->Picture();
}
QImage PlayerWindow::AudioImage() const {
  return Audio_img->Picture();
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
  CloseViews();
  event->accept();
}

// ---- the windows beside the designed one -----------------------------------------------------

void PlayerWindow::AddViewButtons() {
  QWidget* engine = session_->Engine().Widget();
  ControlPanel* panel = engine ? engine->findChild<ControlPanel*>() : nullptr;
  if (!panel) return;
  panel->AddToolButton(
      tr("Large slide view (F)"), tr("Large slide view"), [this] { OpenLargeSlideView(); },
      style()->standardIcon(QStyle::SP_TitleBarMaxButton));
  panel->AddToolButton(
      tr("Transcript (T)"), tr("Transcript window"), [this] { OpenTranscriptWindow(); },
      style()->standardIcon(QStyle::SP_FileDialogDetailedView));
}

void PlayerWindow::OpenLargeSlideView() {
  if (session_->Ended()) return;
  if (!largeView_) {
    largeView_ = new LargeSlideView(this);
    // The player's keys work in the view as here.
    largeView_->SetKeyForwarder([this](QKeyEvent* event) {
      event->ignore();
      QCoreApplication::sendEvent(this, event);
    });
  }
  largeView_->SetPresentation(session_->SlidesList(), session_->AnnsList());
  if (shownSlide_ > 0)
    largeView_->ShowSlide(shownSlide_, shownFirstMark_, shownLastMark_);
  else if (!stillPicture_.isNull())
    largeView_->ShowPicture(stillPicture_, QString());
  largeView_->OpenBeside(this);
}

void PlayerWindow::OpenTranscriptWindow() {
  if (session_->Ended()) return;
  if (!transcriptWindow_) {
    transcriptWindow_ = new TranscriptWindow(this);
    connect(transcriptWindow_, &TranscriptWindow::playFrom, this,
            [this](int, double ms) { session_->PlayFrom(ms); });
  }
  transcriptWindow_->SetTranscript(session_->TransList());
  const int language = Transcript_cmb->currentIndex();
  transcriptWindow_->SetLanguage(language, Transcript_cmb->itemText(language));
  transcriptWindow_->SetCurrentCue(shownCue_);
  transcriptWindow_->OpenBeside(this);
}

void PlayerWindow::OpenTranscriptSearch() {
  OpenTranscriptWindow();
  if (transcriptWindow_) transcriptWindow_->FocusSearch();
}

void PlayerWindow::CloseViews() {
  if (largeView_) largeView_->close();
  if (transcriptWindow_) transcriptWindow_->close();
}

void PlayerWindow::keyPressEvent(QKeyEvent* event) {
  // Keys a focused control did not use itself (a list keeps its letters).
  if (event->matches(QKeySequence::Find)) {
    OpenTranscriptSearch();
    return;
  }
  if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
    switch (event->key()) {
      case Qt::Key_F:
        OpenLargeSlideView();
        return;
      case Qt::Key_T:
        OpenTranscriptWindow();
        return;
      default:
        break;
    }
  }
  QWidget::keyPressEvent(event);
}

// ---- PlayerView ------------------------------------------------------------------------------

int PlayerWindow::SelectedLanguage() const {
  return Transcript_cmb->currentIndex();
}

void PlayerWindow::SetTranscriptText(const QString& text) {
  if (Trans_txt->toPlainText() != text) Trans_txt->setPlainText(text);
}

void PlayerWindow::SetSlidePicture(const QImage& picture) {
  Slide_img->SetPicture(picture);
}

void PlayerWindow::SetSlideTitle(const QString& title) {
  Slide_txt->setText(title);
}

void PlayerWindow::SlideShown(int n, int firstMark, int lastMark) {
  shownSlide_ = n;
  shownFirstMark_ = firstMark;
  shownLastMark_ = lastMark;
  if (largeView_) largeView_->ShowSlide(n, firstMark, lastMark);
}

void PlayerWindow::CueShown(int k) {
  shownCue_ = k;
  if (transcriptWindow_) transcriptWindow_->SetCurrentCue(k);
}

void PlayerWindow::SetHighlightLeft(float twips) {
  highlightLeftTwips_ = twips;
  MoveTwips(Shape1, twips);
}

float PlayerWindow::ThumbnailWidthTwips() const {
  return buttons_.front()->property("WidthTwips").toFloat();
}

int PlayerWindow::SlidesListSelection() const {
  return Slides_cmb->currentIndex();
}

void PlayerWindow::ClearSlidesListSelection() {
  Slides_cmb->setCurrentIndex(-1);
  // A list box fires its click once more when its selection is cleared.
  Slides_cmb_Click();
}

// ---- StartupView ------------------------------------------------------------------------------

void PlayerWindow::SetUserDefinedText(const QString& text) {
  UserDef1_txt->setText(text);
}

void PlayerWindow::ShowStillPicture(const QImage& picture) {
  Slide_img->SetPicture(picture);
  stillPicture_ = picture;
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
}

void PlayerWindow::WidenStrip() {
  innerWidthTwips_ += buttons_.front()->property("WidthTwips").toFloat() + 50.0f;
  ResizeTwips(InnerFrame, innerWidthTwips_, InnerFrame->property("HeightTwips").toDouble());
}

void PlayerWindow::AddThumbnailButton(int n) {
  const ThumbnailButton* first = buttons_.front();
  ThumbnailButton* button = NewThumbnailButton(n);
  button->SetPicture(first->Picture());  // taken over from button 0
  PlaceTwips(button, 0, first->property("TopTwips").toDouble(),
             first->property("WidthTwips").toDouble(), first->property("HeightTwips").toDouble());
  QWidget::setTabOrder(buttons_[static_cast<size_t>(n - 1)], button);
}

void PlayerWindow::PlaceThumbnailAfterPrevious(int n) {
  const ThumbnailButton* before = buttons_.at(static_cast<size_t>(n - 1));
  MoveTwips(
      buttons_.at(static_cast<size_t>(n)),
      before->property("LeftTwips").toDouble() + before->property("WidthTwips").toDouble() + 50.0);
}

void PlayerWindow::SizeThumbnailAsPrevious(int n) {
  const ThumbnailButton* before = buttons_.at(static_cast<size_t>(n - 1));
  ResizeTwips(buttons_.at(static_cast<size_t>(n)), before->property("WidthTwips").toDouble(),
              before->property("HeightTwips").toDouble());
}

void PlayerWindow::ShowThumbnailButton(int n) {
  buttons_.at(static_cast<size_t>(n))->show();
}

void PlayerWindow::SetThumbnailPicture(int n, const QImage& picture) {
  buttons_.at(static_cast<size_t>(n))->SetPicture(picture);
}

void PlayerWindow::ExtendStripScrollBar() {
  // The scroll bar's maximum is a 16-bit value.
  if (HScroll1->maximum() >= 32767) medium::RaiseOverflow(QString::number(32768));
  HScroll1->setMaximum(HScroll1->maximum() + 1);
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
  CloseViews();
  emit programEnded(code);
  QCoreApplication::exit(code);
}

// ---- handlers --------------------------------------------------------------------------------

void PlayerWindow::HScroll1_Change() {
  if (!session_) return;
  session_->RunHandler([&] {
    const int max = HScroll1->maximum();
    // A bar without steps cannot move; the strip stays where it is.
    if (max == 0) return;
    const double fraction = double(HScroll1->value()) / double(max);
    // The constant 8000 rather than the frame's width: the strip's end stops short of the edge.
    innerLeftTwips_ = static_cast<float>(-fraction * (double(innerWidthTwips_) - 8000.0));
    MoveTwips(InnerFrame, innerLeftTwips_);
  });
}
