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
  // The strip is a list to the keyboard: these keys move through it and choose a slide.
  setProperty("keepsKeys", QVariantList{Qt::Key_Left, Qt::Key_Right, Qt::Key_Home, Qt::Key_End,
                                        Qt::Key_Space, Qt::Key_Return, Qt::Key_Enter});
}

void ThumbnailButton::keyPressEvent(QKeyEvent* event) {
  if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) {
    QAbstractButton::keyPressEvent(event);
    return;
  }
  switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Home:
    case Qt::Key_End:
      emit moveFocus(index_, event->key());
      break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      click();
      break;
    default:
      QAbstractButton::keyPressEvent(event);  // Space clicks
  }
}

void ThumbnailButton::focusInEvent(QFocusEvent* event) {
  QAbstractButton::focusInEvent(event);
  emit focused(index_);
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
    // Plain to see on any thumbnail: a dark frame with a light one inside it.
    p.setPen(QPen(QColor(0, 0, 128), 2));
    p.drawRect(r.adjusted(2, 2, -3, -3));
    p.setPen(QPen(QColor(255, 255, 255), 1, Qt::DotLine));
    p.drawRect(r.adjusted(4, 4, -5, -5));
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
  NameControls();
  AddPlayerKeys(keys_, *session_, [this] { ShowKeyHelp(); });
  AddViewKeys();
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
  connect(b, &ThumbnailButton::moveFocus, this, &PlayerWindow::MoveThumbnailFocus);
  connect(b, &ThumbnailButton::focused, this, &PlayerWindow::EnsureThumbnailVisible);
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
      if (!HandleKey(event)) event->ignore();
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

void PlayerWindow::AddViewKeys() {
  keys_.Add({Qt::Key_F}, QStringLiteral("F"), QStringLiteral("large slide view"),
            [this] { OpenLargeSlideView(); });
  keys_.Add({Qt::Key_T}, QStringLiteral("T"), QStringLiteral("transcript window"),
            [this] { OpenTranscriptWindow(); });
  keys_.Add(
      {Qt::Key_F}, QStringLiteral("Ctrl+F"), QStringLiteral("search the transcript"),
      [this] { OpenTranscriptSearch(); }, Qt::ControlModifier);
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
  NameThumbnail(Slides_cmb->count() - 1);
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
  NameThumbnail(n);
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

void PlayerWindow::ShowKeyHelp() {
  if (!keyHelp_) keyHelp_ = new KeyHelpWindow(keys_, this);
  keyHelp_->setWindowFlag(Qt::Dialog);
  keyHelp_->Refresh();
  keyHelp_->show();
  keyHelp_->raise();
  keyHelp_->activateWindow();
}

void PlayerWindow::MoveThumbnailFocus(int index, int key) {
  const int last = int(buttons_.size()) - 1;
  int target = index;
  if (key == Qt::Key_Left) target = index - 1;
  if (key == Qt::Key_Right) target = index + 1;
  if (key == Qt::Key_Home) target = 0;
  if (key == Qt::Key_End) target = last;
  target = std::clamp(target, 0, last);
  ThumbnailButton* b = buttons_[static_cast<size_t>(target)];
  if (b->isVisible() || target == 0) b->setFocus(Qt::TabFocusReason);
}

void PlayerWindow::EnsureThumbnailVisible(int index) {
  const ThumbnailButton* b = Thumbnail(index);
  const int max = HScroll1->maximum();
  if (!b || max <= 0) return;  // five slides or fewer: the strip never moves
  const double left = b->property("LeftTwips").toDouble();
  const double width = b->property("WidthTwips").toDouble();
  const double visibleWidth = OuterFrame->property("WidthTwips").toDouble();
  // How far the thumbnail sticks out of the strip's window at scroll value v (0: wholly seen).
  auto outside = [&](int v) {
    const double innerLeft = -(double(v) / double(max)) * (double(innerWidthTwips_) - 8000.0);
    const double l = innerLeft + left;
    return std::max(0.0, -l) + std::max(0.0, l + width - visibleWidth);
  };
  const int now = HScroll1->value();
  if (outside(now) == 0) return;
  int best = now;
  for (int d = 1; d <= max; ++d) {
    for (int v : {now - d, now + d}) {
      if (v < 0 || v > max) continue;
      if (outside(v) < outside(best)) best = v;
    }
    if (outside(best) == 0) break;
  }
  HScroll1->setValue(best);  // its change handler moves the strip
}

// ---- screen readers ----------------------------------------------------------------------------

void (*PlayerWindow::AnnounceAccessibility)(QAccessibleEvent* event) =
    &QAccessible::updateAccessibility;

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
  OuterFrame->setAccessibleName(tr("Slide thumbnails"));
  OuterFrame->setAccessibleDescription(
      tr("One small picture per slide; arrow keys move, Enter or Space plays from that slide"));
  InnerFrame->setAccessibleName(tr("Thumbnail row"));
  Shape1->setAccessibleName(tr("Current slide frame"));
  Shape1->setAccessibleDescription(tr("Marks the thumbnail of the slide being shown"));
  HScroll1->setAccessibleName(tr("Scroll thumbnails"));
  HScroll1->setAccessibleDescription(tr("Moves the row of thumbnails sideways"));
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
  for (int i = 0; i < int(buttons_.size()); ++i) NameThumbnail(i);
}

void PlayerWindow::NameThumbnail(int index) {
  ThumbnailButton* b = Thumbnail(index);
  if (!b) return;
  const QString title = index < Slides_cmb->count() ? Slides_cmb->itemText(index) : QString();
  b->setAccessibleName(title.isEmpty() ? tr("Slide %1").arg(index + 1)
                                       : tr("Slide %1: %2").arg(index + 1).arg(title));
  b->setAccessibleDescription(tr("Plays the recording from this slide"));
}

void PlayerWindow::CurrentSlideChanged(int n, int count, const QString& title) {
  const QString text =
      n >= 1 ? tr("Slide %1 of %2: %3").arg(n).arg(count).arg(title) : tr("Slide picture");
  Slide_img->setAccessibleDescription(n >= 1 ? text : tr("No slide yet"));
  if (Slide_img->accessibleName() != text) {
    Slide_img->setAccessibleName(text);
    // Said aloud by a screen reader: the slide has changed.
    QAccessibleEvent changed(Slide_img, QAccessible::NameChanged);
    AnnounceAccessibility(&changed);
  }
  if (n >= 1) EnsureThumbnailVisible(n - 1);
}
