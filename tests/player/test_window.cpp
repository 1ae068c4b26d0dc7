// The player window in both builds: designed state, start-up in its variants, the thumbnail
// strip, the message sequence of a broken presentation, ticks during start-up and closing; the
// caption as the window system gets it and the outer height of the shrunk window.

#include <QComboBox>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTimer>
#include <QWindow>
#include <QtTest>
#include <functional>

#include "medium/Paths.h"
#include "player/PlayerWindow.h"
#include "tests/support/FakeEngine.h"
#include "tests/support/PlayerLook.h"
#include "tests/support/RecordingReporter.h"
#include "tests/support/TempMedium.h"

Q_DECLARE_METATYPE(PlayerBuild)

namespace {

// A fake engine that also notes whether the window was visible when the recording was opened.
class OrderEngine : public FakeEngine {
 public:
  QWidget* window = nullptr;
  void OpenMedia(const QString& path) override {
    calls << QStringLiteral("visible=%1").arg(window && window->isVisible());
    FakeEngine::OpenMedia(path);
  }
};

// A fake engine with a control widget, to see the engine in the tab order.
class WidgetEngine : public FakeEngine {
 public:
  explicit WidgetEngine(QWidget* parent) : widget(new QWidget(parent)) {
    widget->setGeometry(512, 88, 270, 260);
    widget->setFocusPolicy(Qt::StrongFocus);
  }
  QWidget* Widget() override { return widget; }
  QWidget* widget;
};

// Calls back on every message: a tick delivered while a message box waits.
class CallbackReporter : public medium::RecordingReporter {
 public:
  using RecordingReporter::RecordingReporter;
  std::function<void()> onShow;
  void Show(const medium::Message& m) override {
    RecordingReporter::Show(m);
    if (onShow) onShow();
  }
};

struct Presentation {
  int slides = 3;
  bool cues = true;
  int slideMode = 0;
  int mediaMode = 0;
};

void Write(TempMedium& m, const Presentation& p) {
  m.WriteLines("Data/P/database.txt", {QStringLiteral("SlideMode=%1").arg(p.slideMode),
                                       QStringLiteral("MediaMode=%1").arg(p.mediaMode),
                                       "Flag=False", "Free=Recorded in Leeds"});
  QStringList events;
  for (int i = 1; i <= p.slides; ++i) {
    events << QStringLiteral("0~%1~Deck~%2~Title %2").arg((i - 1) * 10000).arg(i);
    m.WriteJpeg(QStringLiteral("Slides/Deck/thumbs/Slide%1.jpg").arg(i), 80, 65, 0xcc2222);
    m.WriteJpeg(QStringLiteral("Slides/Deck/Slide%1.jpg").arg(i), 472, 360, 0x2222cc);
    if (p.cues && i == 1)
      events << "2~0~1"
             << "2~5000~2";
  }
  if (p.cues && p.slides == 0) events << "2~0~1";
  m.WriteLines("Data/P/events.txt", events);
  m.WriteLines("Data/P/transcripts/ENGLISH.html", {"SECTION1", "Hello", "SECTION2", "Again"});
  m.WriteLines("Data/P/transcripts/FRENCH.html", {"SECTION1", "Bonjour", "SECTION2", "Encore"});
  m.WriteLines("Data/P/details.txt", {"Speaker: A. Person", "", "2003"});
  m.WriteJpeg("Images/P/slide.jpg", 472, 360, 0x22cc22);
  m.WriteJpeg("Images/P/audio.jpg", 270, 220, 0xcccc22);
  m.Write("Media/P/media.wma", "x");
  m.Write("Media/P/media.rm", "x");
}

bool Near(QRgb a, QRgb b) {
  return qAbs(qRed(a) - qRed(b)) < 24 && qAbs(qGreen(a) - qGreen(b)) < 24 &&
         qAbs(qBlue(a) - qBlue(b)) < 24;
}

double Twips(const QWidget* w, const char* which) {
  return w->property(which).toDouble();
}

QString Native(const QString& relative) {
  return medium::NativePath(medium::ApplicationFolder() + "\\" + relative);
}

}  // namespace

class WindowTest : public QObject {
  Q_OBJECT

  void addBuilds() {
    QTest::addColumn<PlayerBuild>("build");
    QTest::newRow("Tavisco") << PlayerBuild::Tavisco;
    QTest::newRow("Norvanta") << PlayerBuild::Norvanta;
  }

 private slots:
  void designedState_data() { addBuilds(); }
  void designedState() {
    QFETCH(PlayerBuild, build);
    const BuildProfile& profile = ProfileFor(build);
    const bool tav = build == PlayerBuild::Tavisco;
    medium::RecordingReporter r;
    FakeEngine e;
    PlayerWindow w(profile, r, Borrow(e), "-p P");
    QCOMPARE(w.objectName(), tav ? "WinMedia_frm" : "RealMedia_frm");
    QCOMPARE(w.windowTitle(), tav ? QStringLiteral(" ") : QStringLiteral("\u200B"));
    QCOMPARE(w.size(), QSize(800, 613));
    QCOMPARE(w.minimumSize(), w.maximumSize());
    QVERIFY(!(w.windowFlags() & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(w.windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(!w.windowIcon().isNull());

    const struct {
      const char* name;
      QRect rect;
    } controls[] = {
        {"UserDef1_txt", {16, 584, 241, 25}}, {"Transcript_cmb", {512, 552, 273, 21}},
        {"Trans_txt", {512, 416, 270, 137}},  {"Slide_img", {16, 88, 472, 360}},
        {"Details_txt", {512, 352, 270, 65}}, {"Slides_cmb", {256, 448, 233, 21}},
        {"OuterFrame", {16, 472, 473, 81}},   {"HScroll1", {16, 552, 473, 17}},
        {"Audio_img", {512, 88, 270, 220}},   {"Label2", {512, 72, tav ? 49 : 89, 25}},
        {"Label1", {16, 72, 57, 25}},         {"Slide_txt", {16, 449, 233, 18}},
    };
    for (const auto& c : controls) {
      auto* child = w.findChild<QWidget*>(c.name);
      QVERIFY2(child, c.name);
      QCOMPARE(child->geometry(), c.rect);
      QVERIFY2(!child->isHidden(), c.name);
    }
    QCOMPARE(w.Label1->text(), "Slides");
    QCOMPARE(w.Label2->text(), "Media");
    QCOMPARE(w.Slide_txt->text(), "");
    // The strip in twips.
    QCOMPARE(Twips(w.InnerFrame, "LeftTwips"), 0.0);
    QCOMPARE(Twips(w.InnerFrame, "WidthTwips"), 1515.0);
    QCOMPARE(Twips(w.InnerFrame, "HeightTwips"), 1220.0);
    ThumbnailButton* b0 = Thumb(w, 0);
    QCOMPARE(b0->objectName(), "Command1");
    QCOMPARE(Twips(b0, "LeftTwips"), 120.0);
    QCOMPARE(Twips(b0, "TopTwips"), 120.0);
    QCOMPARE(Twips(b0, "WidthTwips"), 1215.0);
    QCOMPARE(Twips(b0, "HeightTwips"), 975.0);
    QCOMPARE(b0->geometry(), QRect(8, 8, 81, 65));
    QCOMPARE(b0->Picture().size(), QSize(80, 65));
    QCOMPARE(Twips(w.Shape1, "LeftTwips"), 100.0);
    QCOMPARE(Twips(w.Shape1, "WidthTwips"), 1270.0);
    QCOMPARE(Twips(w.Shape1, "HeightTwips"), 1030.0);
    QCOMPARE(Strip(w)->Count(), 1);
    QCOMPARE(w.HScroll1->minimum(), 0);
    QCOMPARE(w.HScroll1->maximum(), 0);
    QCOMPARE(w.HScroll1->value(), 0);
    QCOMPARE(w.Timer1->interval(), 1000);
    QVERIFY(w.Timer1->isActive());
    QCOMPARE(w.HeightTwips(), 9195);

    // Fonts: the layout's families map to the installed metric-compatible ones; texts fit.
    QCOMPARE(QFontInfo(w.Label1->font()).family(), "Liberation Sans");
    QVERIFY(QFontInfo(w.Label1->font()).bold());
    QCOMPARE(QFontInfo(w.UserDef1_txt->font()).family(), "Liberation Serif");
    QCOMPARE(w.Trans_txt->font().pixelSize(), 13);
    QVERIFY(w.Trans_txt->font().bold());
    QVERIFY(!w.Details_txt->font().bold());
    for (QLabel* l : {w.Label1, w.Label2}) {
      QVERIFY(QFontMetrics(l->font()).horizontalAdvance(l->text()) <= l->width());
      QVERIFY(QFontMetrics(l->font()).ascent() <= 16);  // above the 9 pixels covered below
    }

    // Background: the page picture, cut at the window's edge; title-bar text colour elsewhere.
    QCOMPARE(QImage(profile.backgroundResource).size(), QSize(tav ? 770 : 813, 600));
    const QImage shot = w.grab().toImage();
    QVERIFY(Near(shot.pixel(500, 300), qRgb(253, 255, 234)));
    QVERIFY(Near(shot.pixel(795, 300), tav ? qRgb(255, 255, 255) : qRgb(253, 255, 234)));
    QVERIFY(Near(shot.pixel(400, 606), qRgb(255, 255, 255)));
    // Slide_img covers the lower part of Label1.
    QVERIFY(Near(shot.pixel(20, 92), qRgb(0, 0, 0)));
  }

  void tabOrder_data() { addBuilds(); }
  void tabOrder() {
    QFETCH(PlayerBuild, build);
    const bool tav = build == PlayerBuild::Tavisco;
    medium::RecordingReporter r;
    PlayerWindow w(
        ProfileFor(build), r,
        [](QWidget* parent) { return std::make_unique<WidgetEngine>(parent); }, "-p P");
    const QString engine = tav ? "MediaPlayer1" : "RealAudio1";
    QWidget* engineWidget = w.Session().Engine().Widget();
    QCOMPARE(engineWidget->objectName(), engine);
    QCOMPARE(engineWidget->property("TabIndex").toInt(), tav ? 14 : 8);
    QCOMPARE(w.UserDef1_txt->property("TabIndex").toInt(), tav ? 10 : 12);
    QCOMPARE(w.Audio_img->property("TabIndex").toInt(), tav ? 13 : 11);
    QCOMPARE(w.Trans_txt->property("TabIndex").toInt(), tav ? 8 : 9);
    QCOMPARE(w.HScroll1->property("TabIndex").toInt(), 0);
    QCOMPARE(w.Label2->property("TabIndex").toInt(), tav ? 12 : 14);
    QStringList chain;
    QWidget* at = w.HScroll1;
    for (int i = 0; i < 40 && chain.size() < 9; ++i) {
      if (at->focusPolicy() & Qt::TabFocus) chain << at->objectName();
      at = at->nextInFocusChain();
      if (at == w.HScroll1) break;
    }
    const QStringList expected =
        tav ? QStringList{"HScroll1",  "Command1",       "Slides_cmb", "Slide_img",
                          "Trans_txt", "Transcript_cmb", "Audio_img",  "MediaPlayer1"}
            : QStringList{"HScroll1",   "Command1",  "Slides_cmb",     "Slide_img",
                          "RealAudio1", "Trans_txt", "Transcript_cmb", "Audio_img"};
    QCOMPARE(chain.mid(0, expected.size()), expected);
    QVERIFY(!(w.UserDef1_txt->focusPolicy() & Qt::TabFocus));
    QVERIFY(!(w.Details_txt->focusPolicy() & Qt::TabFocus));
  }

  void normalStartup_data() { addBuilds(); }
  void normalStartup() {
    QFETCH(PlayerBuild, build);
    const bool tav = build == PlayerBuild::Tavisco;
    TempMedium m;
    Write(m, Presentation{});
    medium::RecordingReporter r;
    OrderEngine e;
    PlayerWindow w(ProfileFor(build), r, Borrow(e), "-p P");
    e.window = &w;
    w.Form_Load();
    QCOMPARE(r.Texts(), QStringList{});
    QVERIFY(w.Session().Sync() != nullptr);
    QVERIFY(w.isVisible());
    QCOMPARE(w.Session().PresFolder, "P");
    QCOMPARE(w.UserDef1_txt->text(), "Recorded in Leeds");
    QCOMPARE(w.Session().DetailsText(), "Speaker: A. Person\r\n\r\n2003\r\n");
    QCOMPARE(w.Details_txt->toPlainText(), "Speaker: A. Person\n\n2003");
    QCOMPARE(w.Transcript_cmb->count(), 2);
    QCOMPARE(w.Transcript_cmb->currentText(), "ENGLISH");
    QCOMPARE(w.Slides_cmb->count(), 3);
    QCOMPARE(w.Slides_cmb->itemText(2), "Title 3");
    QCOMPARE(w.Slides_cmb->currentIndex(), -1);
    QCOMPARE(int(w.Session().TransList()->Trans.Count()), 2);
    QCOMPARE(w.Session().TransList()->Trans.Item(2).Languages.Item(2), "Encore");
    QVERIFY(!w.Trans_txt->isHidden());
    const QStringList expected =
        tav ? QStringList{"visible=1", "OpenMedia " + Native("Media\\P\\media.wma"), "Play",
                          "SetFocus"}
            : QStringList{"visible=0", "OpenMedia " + Native("Media\\P\\media.rm"), "Play"};
    QCOMPARE(e.calls, expected);
    QCOMPARE(QApplication::focusWidget() == w.Slide_img || !w.isActiveWindow(), true);
  }

  void stillPicture_data() {
    QTest::addColumn<bool>("cues");
    QTest::newRow("without cues") << false;
    QTest::newRow("with cues") << true;
  }
  void stillPicture() {
    QFETCH(bool, cues);
    TempMedium m;
    Presentation p;
    p.slideMode = 2;
    p.cues = cues;
    Write(m, p);
    medium::RecordingReporter r;
    FakeEngine e;
    PlayerWindow w(ProfileFor(PlayerBuild::Tavisco), r, Borrow(e), "-p P");
    w.Form_Load();
    QCOMPARE(r.Texts(), QStringList{});
    QCOMPARE(int(w.Session().SlideMode), 2);
    QVERIFY(Near(w.Slide_img->Picture().pixel(100, 100), 0x22cc22));
    QCOMPARE(int(w.Session().SlidesList()->Slides.Count()), 0);
    QCOMPARE(Strip(w)->Count(), 1);
    for (QWidget* hidden :
         {static_cast<QWidget*>(w.Slide_txt), static_cast<QWidget*>(w.Slides_cmb),
          static_cast<QWidget*>(w.OuterFrame), static_cast<QWidget*>(w.HScroll1)}) {
      QVERIFY2(hidden->isHidden(), qPrintable(hidden->objectName()));
    }
    QCOMPARE(w.Trans_txt->isHidden(), !cues);
    QCOMPARE(w.Transcript_cmb->isHidden(), !cues);
    if (cues) {
      QCOMPARE(w.HeightTwips(), 9195);
    } else {
      // 7860 twips is the outer height, title bar and borders included.
      QCOMPARE(w.frameGeometry().height() * 15, 7860);
      QCOMPARE(w.minimumSize(), w.maximumSize());
    }
    QCOMPARE(w.UserDef1_txt->y(), cues ? 584 : 470);
    QVERIFY(w.UserDef1_txt->geometry().bottom() < w.height());
    // A tick changes the transcript only; the still picture stays.
    e.position = 6000;
    w.Timer1_Timer();
    if (cues) QCOMPARE(w.Trans_txt->toPlainText(), "Again");
    QVERIFY(Near(w.Slide_img->Picture().pixel(100, 100), 0x22cc22));
  }

  void audioOnly_data() { addBuilds(); }
  void audioOnly() {
    QFETCH(PlayerBuild, build);
    const bool tav = build == PlayerBuild::Tavisco;
    TempMedium m;
    Presentation p;
    p.mediaMode = 2;
    Write(m, p);
    medium::RecordingReporter r;
    FakeEngine e;
    PlayerWindow w(ProfileFor(build), r, Borrow(e), "-p P");
    w.Form_Load();
    QCOMPARE(r.Texts(), QStringList{});
    QStringList head = e.calls.mid(0, tav ? 2 : 3);
    const QStringList expected = tav ? QStringList{"Top 305", "Height 40"}
                                     : QStringList{"ShowControlPanelOnly", "Top 304", "Height 40"};
    QCOMPARE(head, expected);
    QCOMPARE(e.top, tav ? 305 : 304);
    QCOMPARE(e.height, 40);
    QVERIFY(Near(w.Audio_img->Picture().pixel(10, 10), 0xcccc22));
  }

  void mediaChoice_data() {
    QTest::addColumn<PlayerBuild>("build");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("opened");
    QTest::newRow("wma before wmv")
        << PlayerBuild::Tavisco << QStringList{"media.wmv", "media.wma"} << "media.wma";
    QTest::newRow("only wmv") << PlayerBuild::Tavisco << QStringList{"media.wmv"} << "media.wmv";
    QTest::newRow("neither: wmv unchecked") << PlayerBuild::Tavisco << QStringList{} << "media.wmv";
    QTest::newRow("wma found case-blind")
        << PlayerBuild::Tavisco << QStringList{"MEDIA.WMA"} << "MEDIA.WMA";
    QTest::newRow("rm even without it")
        << PlayerBuild::Norvanta << QStringList{"media.wma", "media.wmv"} << "media.rm";
  }
  void mediaChoice() {
    QFETCH(PlayerBuild, build);
    QFETCH(QStringList, files);
    QFETCH(QString, opened);
    TempMedium m;
    m.MakeDir("Media/P");
    for (const QString& f : files) m.Write("Media/P/" + f, "x");
    medium::RecordingReporter r;
    FakeEngine e;
    PlayerWindow w(ProfileFor(build), r, Borrow(e), "-p P");
    w.Form_Load();
    QCOMPARE(e.calls.filter("OpenMedia"), QStringList{"OpenMedia " + m.Path("Media/P/" + opened)});
    QVERIFY(e.calls.contains("Play"));
  }

  void emptyPresentation_data() { addBuilds(); }
  void emptyPresentation() {
    QFETCH(PlayerBuild, build);
    TempMedium m;
    m.MakeDir("Data/P");
    medium::RecordingReporter r(ProfileFor(build).programTitle);
    FakeEngine e;
    PlayerWindow w(ProfileFor(build), r, Borrow(e), "-p P");
    w.Form_Load();
    const QString data = m.Path("Data/P/");
    QCOMPARE(r.Texts(), (QStringList{"File not found: " + data + "database.txt", "No open file",
                                     "No open file", "No open file", "No open file",
                                     "File not found: " + data + "events.txt",
                                     "File not found: " + data + "details.txt"}));
    for (const auto& msg : r.messages) QCOMPARE(msg.caption, ProfileFor(build).programTitle);
    QVERIFY(w.Session().Sync() != nullptr);
    QVERIFY(w.isVisible());
    QVERIFY(w.Trans_txt->isHidden());
    QVERIFY(w.Transcript_cmb->isHidden());
    QVERIFY(!w.OuterFrame->isHidden());
    QCOMPARE(w.HeightTwips(), 9195);
    QCOMPARE(Thumb(w, 0)->Picture().size(), QSize(80, 65));  // keeps its design look
    QCOMPARE(e.calls.filter("OpenMedia").size(), 1);
  }

  void invalidArgument() {
    TempMedium m;
    medium::RecordingReporter r("Tavisco");
    FakeEngine e;
    PlayerWindow w(ProfileFor(PlayerBuild::Tavisco), r, Borrow(e), "Q1");
    w.Form_Load();
    QCOMPARE(r.Texts().value(0), "Invalid argument: Q1");
    // Every file is then looked for directly below the folders.
    QCOMPARE(r.Texts().value(1), "File not found: " + m.Path("Data/database.txt"));
    QVERIFY(w.Session().Sync() != nullptr);
  }

  void strip_data() {
    QTest::addColumn<int>("slides");
    QTest::addColumn<int>("max");
    QTest::newRow("one slide") << 1 << 0;
    QTest::newRow("five slides") << 5 << 0;
    QTest::newRow("six slides") << 6 << 1;
    QTest::newRow("seven slides") << 7 << 2;
    QTest::newRow("nine slides") << 9 << 4;
  }
  void strip() {
    QFETCH(int, slides);
    QFETCH(int, max);
    TempMedium m;
    Presentation p;
    p.slides = slides;
    Write(m, p);
    medium::RecordingReporter r;
    FakeEngine e;
    PlayerWindow w(ProfileFor(PlayerBuild::Tavisco), r, Borrow(e), "-p P");
    w.Form_Load();
    QCOMPARE(r.Texts(), QStringList{});
    QCOMPARE(Strip(w)->Count(), slides);
    QCOMPARE(w.HScroll1->maximum(), max);
    QCOMPARE(Strip(w)->InnerFrameWidthTwips(), float(1515 + slides * 1265));
    QCOMPARE(Twips(w.InnerFrame, "WidthTwips"), double(1515 + slides * 1265));
    for (int n = 0; n < slides; ++n) {
      ThumbnailButton* b = Thumb(w, n);
      QCOMPARE(b->Index(), n);
      QCOMPARE(Twips(b, "LeftTwips"), 120.0 + n * 1265);
      QCOMPARE(Twips(b, "TopTwips"), 120.0);
      QCOMPARE(Twips(b, "WidthTwips"), 1215.0);
      QCOMPARE(Twips(b, "HeightTwips"), 975.0);
      QVERIFY(!b->isHidden());
      QVERIFY(Near(b->Picture().pixel(40, 30), 0xcc2222));
    }
    if (slides == 6) QCOMPARE(7095.0 - Twips(Thumb(w, 5), "LeftTwips"), 650.0);
    if (slides == 9) {
      w.HScroll1->setValue(2);
      QCOMPARE(float(w.InnerFrame->property("LeftTwips").toDouble()), -2450.0f);
      QCOMPARE(Twips(w.InnerFrame, "LeftTwips"), -2450.0);
      w.HScroll1->setValue(4);
      QCOMPARE(float(w.InnerFrame->property("LeftTwips").toDouble()), -4900.0f);
      QCOMPARE(Twips(Thumb(w, 8), "LeftTwips") + 1215 - 4900, 6555.0);
      QVERIFY(e.calls.filter("SeekMs").isEmpty());  // the bar only moves the strip
      w.HScroll1->setValue(0);
      QCOMPARE(float(w.InnerFrame->property("LeftTwips").toDouble()), 0.0f);
    }
    if (slides <= 5) {
      w.HScroll1->setValue(3);
      w.HScroll1_Change();
      QCOMPARE(float(w.InnerFrame->property("LeftTwips").toDouble()), 0.0f);
    }
  }

  void highlight() {
    TempMedium m;
    Write(m, Presentation{});
    medium::RecordingReporter r;
    FakeEngine e;
    PlayerWindow w(ProfileFor(PlayerBuild::Norvanta), r, Borrow(e), "-p P");
    w.Form_Load();
    QCOMPARE(Strip(w)->ThumbnailWidthTwips(), 1215.0f);
    e.calls.clear();
    w.Command1_Click(2);
    QCOMPARE(e.calls, (QStringList{"Play", "SeekMs 20000"}));
    QCOMPARE(Strip(w)->HighlightLeftTwips(), 2630.0f);
    QCOMPARE(Twips(w.Shape1, "LeftTwips"), 2630.0);
    QCOMPARE(w.Slide_txt->text(), "Title 3");
    w.Command1_Click(0);
    QCOMPARE(Strip(w)->HighlightLeftTwips(), 100.0f);
    // A choice in the slide list seeks without Play and leaves no selection.
    e.calls.clear();
    w.Slides_cmb->setCurrentIndex(1);
    w.Slides_cmb_Click();
    QCOMPARE(e.calls, QStringList{"SeekMs 10000"});
    QCOMPARE(w.Slides_cmb->currentIndex(), -1);
    QCOMPARE(w.Slide_txt->text(), "Title 2");
  }

  // A long strip holds the pictures of the thumbnails near its window only; the others show the
  // picture taken over from button 0 and get their own as they come near, so that a timeline of
  // thousands of slides costs the memory of the few shown.
  void farThumbnailsLoadedAsTheyComeNear() {
    TempMedium m;
    Presentation p;
    p.slides = 60;
    p.cues = false;
    Write(m, p);
    m.WriteJpeg("Slides/Deck/thumbs/Slide1.jpg", 80, 65, 0x22cc22);
    medium::RecordingReporter r;
    FakeEngine e;
    PlayerWindow w(ProfileFor(PlayerBuild::Tavisco), r, Borrow(e), "-p P");
    w.Form_Load();
    QCOMPARE(r.Texts(), QStringList{});
    auto colour = [&](int n) { return Thumb(w, n)->Picture().pixel(40, 30); };
    QVERIFY(Near(colour(5), 0xcc2222));   // near the window: its own
    QVERIFY(Near(colour(59), 0x22cc22));  // far: taken over from button 0
    w.HScroll1->setValue(w.HScroll1->maximum());
    QVERIFY(Near(colour(59), 0xcc2222));  // came near: read again
    QVERIFY(Near(colour(5), 0x22cc22));   // left: let go
    QVERIFY(Near(colour(0), 0x22cc22));   // button 0 keeps its own
    w.HScroll1->setValue(0);
    QVERIFY(Near(colour(5), 0xcc2222));
  }

  void unreadableThumbnails() {
    TempMedium m;
    Presentation p;
    p.slides = 3;
    Write(m, p);
    m.Write("Slides/Deck/thumbs/Slide2.jpg", "not a picture at all");
    QVERIFY(QFile::remove(m.Path("Slides/Deck/thumbs/Slide3.jpg")));
    medium::RecordingReporter r;
    FakeEngine e;
    PlayerWindow w(ProfileFor(PlayerBuild::Tavisco), r, Borrow(e), "-p P");
    w.Form_Load();
    QCOMPARE(r.Texts(),
             (QStringList{"Invalid picture: " + m.Path("Slides/Deck/thumbs/Slide2.jpg"),
                          "File not found: " + m.Path("Slides/Deck/thumbs/Slide3.jpg")}));
    QCOMPARE(Strip(w)->Count(), 3);
    for (int n = 1; n < 3; ++n) {
      QVERIFY(!Thumb(w, n)->isHidden());
      QCOMPARE(Twips(Thumb(w, n), "LeftTwips"), 120.0 + n * 1265);
      // The picture taken over from button 0.
      QVERIFY(Near(Thumb(w, n)->Picture().pixel(40, 30), 0xcc2222));
    }
  }

  void engineFailures_data() { addBuilds(); }
  void engineFailures() {
    QFETCH(PlayerBuild, build);
    TempMedium m;
    Presentation p;
    p.mediaMode = 2;
    Write(m, p);
    medium::RecordingReporter r;
    FakeEngine e;
    e.failing = true;
    PlayerWindow w(ProfileFor(build), r, Borrow(e), "-p P");
    w.Form_Load();
    const int expected = build == PlayerBuild::Norvanta ? 3 : 2;  // + ShowControlPanelOnly
    QCOMPARE(r.Texts(), QStringList(expected, "Engine failed"));
    QVERIFY(w.Session().Sync() != nullptr);
    QVERIFY(w.isVisible());
  }

  void missingEngine() {
    TempMedium m;
    Write(m, Presentation{});
    medium::RecordingReporter r;
    PlayerWindow w(
        ProfileFor(PlayerBuild::Tavisco), r,
        [](QWidget*) -> std::unique_ptr<MediaEngine> {
          throw medium::AppError(medium::kEngineFailure, "no libmpv");
        },
        "-p P");
    w.Form_Load();
    QCOMPARE(r.Texts().size(), 2);  // OpenMedia and Play
    QVERIFY(r.Texts()[0].contains("no libmpv"));
    QVERIFY(w.Session().Sync() != nullptr);
    w.Timer1_Timer();  // no position: nothing happens
    QVERIFY(!w.Session().Ended());
  }

  void ticksWaitForStartup() {
    TempMedium m;
    Write(m, Presentation{});
    m.Write("Data/P/details.txt", QByteArray());
    QFile::remove(m.Path("Data/P/details.txt"));  // one message box during start-up
    CallbackReporter r("Tavisco");
    FakeEngine e;
    e.position = 15000;
    PlayerWindow w(ProfileFor(PlayerBuild::Tavisco), r, Borrow(e), "-p P");
    int ticks = 0;
    r.onShow = [&] {
      ++ticks;
      w.Timer1_Timer();
      QTimer::singleShot(0, [] {});
      QCoreApplication::processEvents();
    };
    w.Form_Load();
    QCOMPARE(ticks, 1);
    QVERIFY(!e.calls.contains("GetPositionMs"));
    // The window shows where the recording starts, before the engine is asked anything.
    QCOMPARE(w.Slide_txt->text(), "Title 1");
    w.Timer1_Timer();
    QVERIFY(e.calls.contains("GetPositionMs"));
    QCOMPARE(w.Slide_txt->text(), "Title 2");
    QCOMPARE(w.Trans_txt->toPlainText(), "Again");
  }

  void realTimerTicks() {
    TempMedium m;
    Write(m, Presentation{});
    medium::RecordingReporter r;
    FakeEngine e;
    e.position = 25000;
    PlayerWindow w(ProfileFor(PlayerBuild::Norvanta), r, Borrow(e), "-p P");
    w.Form_Load();
    w.Timer1->setInterval(10);
    QTRY_COMPARE(w.Slide_txt->text(), "Title 3");
  }

  void closing_data() { addBuilds(); }
  void closing() {
    QFETCH(PlayerBuild, build);
    TempMedium m;
    Write(m, Presentation{});
    medium::RecordingReporter r;
    FakeEngine e;
    e.position = 1000;
    PlayerWindow w(ProfileFor(build), r, Borrow(e), "-p P");
    QSignalSpy ended(&w, &PlayerWindow::programEnded);
    w.Form_Load();
    e.calls.clear();
    QVERIFY(w.close());
    QVERIFY(w.Session().Ended());
    QCOMPARE(ended.count(), 1);
    QCOMPARE(ended[0][0].toInt(), 0);
    QVERIFY(!w.Timer1->isActive());
    w.Timer1_Timer();
    w.Command1_Click(1);
    QVERIFY(e.calls.isEmpty());
    QVERIFY(r.messages.empty());
  }

  void captionAsTheWindowSystemShowsIt_data() { addBuilds(); }
  void captionAsTheWindowSystemShowsIt() {
    QFETCH(PlayerBuild, build);
    medium::RecordingReporter r;
    FakeEngine e;
    PlayerWindow w(ProfileFor(build), r, Borrow(e), "-p P");
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const QString title = w.windowHandle()->title();
    // Given an empty title the window system shows the program's name instead.
    QVERIFY(!title.isEmpty());
    QVERIFY(!title.contains(ProfileFor(build).programTitle));
    if (build == PlayerBuild::Tavisco) {
      QCOMPARE(title, QStringLiteral(" "));
    } else {
      // Nothing that shows: zero-width format characters only.
      for (const QChar c : title) QCOMPARE(c.category(), QChar::Other_Format);
    }
  }

  void shrunkWindowWithoutAFrame() {
    // Before the window system frames the window, outer and inner height are one.
    TempMedium m;
    medium::RecordingReporter r;
    FakeEngine e;
    PlayerWindow w(ProfileFor(PlayerBuild::Norvanta), r, Borrow(e), "-p P");
    w.Apply(StartupChange::ShrinkWindow);
    QCOMPARE(w.height(), 524);
    QCOMPARE(w.width(), 800);
    QCOMPARE(w.minimumSize(), w.maximumSize());
    // Framed, the frame comes off the inner height.
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const int frame = w.frameGeometry().height() - w.height();
    QCOMPARE(w.height(), 524 - frame);
    QCOMPARE(w.width(), 800);
  }

  void closedDuringStartup() {
    TempMedium m;
    CallbackReporter r("Tavisco");
    FakeEngine e;
    PlayerWindow w(ProfileFor(PlayerBuild::Tavisco), r, Borrow(e), "-p P");
    r.onShow = [&] { w.Form_Unload(); };
    w.Form_Load();
    QCOMPARE(r.messages.size(), size_t(1));  // nothing after the close
    QVERIFY(w.Session().Ended());
    QVERIFY(w.Session().Sync() == nullptr);
    QVERIFY(e.calls.isEmpty());
  }
};

QTEST_MAIN(WindowTest)
#include "test_window.moc"
