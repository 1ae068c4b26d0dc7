// The large slide view: the slide scaled to fit with its aspect ratio, the marks at their scaled
// places (read back from the pixels shown), following ticks and jumps, full screen and Escape,
// and the player's keys handed on.

#include <QKeyEvent>
#include <QSignalSpy>
#include <QtTest>
#include <cmath>

#include "player/LargeSlideView.h"
#include "tests/sync/SyncFixture.h"

namespace {

// What playback tells the views of the slide and the transcript through the playing state.
struct Told {
  QStringList calls;
  explicit Told(PlayingState& state) {
    QObject::connect(&state, &PlayingState::changed, [this, &state](PlayingState::Parts parts) {
      if (parts & PlayingState::Transcript) calls << QStringLiteral("CueShown %1").arg(state.Cue());
      if (parts & PlayingState::Picture) {
        calls << QStringLiteral("SlideShown %1 %2 %3")
                     .arg(state.Slide())
                     .arg(state.FirstMark())
                     .arg(state.LastMark());
      }
    });
  }
};

// Slides at 0 and 10 s on white pictures; one red line per slide, each at its slide's start,
// from picture pixel (100, 100) to (300, 100) for the first and at y = 200 for the second.
struct Show {
  Slides_cls slides;
  Anns_cls anns;
  Trans_cls trans;
  FakeEngine engine;
  PlayingState state;
  Told view{state};
  LargeSlideView large;
  std::unique_ptr<SlideRenderer> renderer;
  std::unique_ptr<Playback> playback;
  QStringList loaded;

  Show() {
    for (int i = 1; i <= 2; ++i) {
      Slide_cls s;
      s.SetAttribs((i - 1) * 10000.0, QStringLiteral("Deck"), int16_t(i),
                   QStringLiteral("Slide %1").arg(i));
      slides.Slides.Add(std::move(s));
      Ann_cls a;
      a.AnnTime = (i - 1) * 10000.0;
      a.AnnType = 0;
      a.AnnX = 1500;
      a.AnnY = int16_t(1500 * i);
      a.AnnWidth = 4500;
      a.AnnHeight = int16_t(1500 * i);
      a.AnnRed = QStringLiteral("255");
      a.AnnGreen = QStringLiteral("0");
      a.AnnBlue = QStringLiteral("0");
      anns.Anns.Add(std::move(a));
    }
    auto loader = [this](const QString& path) {
      loaded << path;
      QImage picture(kSlideAreaWidthPx, kSlideAreaHeightPx, QImage::Format_RGB32);
      picture.fill(Qt::white);
      return picture;
    };
    large.SetPresentation(&slides, &anns, loader);
    large.Follow(state);  // as the player window has it
    state.ChooseLanguage(0, QStringLiteral("ENGLISH"));
    renderer = std::make_unique<SlideRenderer>(layout::Current(), slides, anns, loader);
    playback =
        std::make_unique<Playback>(slides, anns, trans, int16_t(0), engine, state, *renderer);
  }
  void Tick(double position) {
    engine.position = position;
    playback->Tick();
  }
};

bool Red(QRgb c) {
  return qRed(c) > 200 && qGreen(c) < 60 && qBlue(c) < 60;
}
bool White(QRgb c) {
  return qRed(c) > 230 && qGreen(c) < 256 && qGreen(c) > 230 && qBlue(c) > 230;
}
bool Black(QRgb c) {
  return qRed(c) < 30 && qGreen(c) < 30 && qBlue(c) < 30;
}

// The view as shown on screen, in its own logical pixels.
QImage Shot(LargeSlideView& view) {
  QImage shot = view.grab().toImage();
  if (shot.devicePixelRatio() != 1.0)
    shot = shot.scaled(view.size(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
  return shot;
}

// Red pixels in the column at x between y0 and y1.
QList<int> RedRows(const QImage& shot, int x, int y0, int y1) {
  QList<int> rows;
  for (int y = std::max(0, y0); y <= std::min(shot.height() - 1, y1); ++y)
    if (Red(shot.pixel(x, y))) rows << y;
  return rows;
}

}  // namespace

class LargeSlideViewTest : public QObject {
  Q_OBJECT

 private slots:
  void fitKeepingAspect_data() {
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QRect>("area");
    QTest::addColumn<QRect>("expected");
    QTest::newRow("wide area") << QSize(472, 360) << QRect(0, 0, 1000, 360)
                               << QRect(264, 0, 472, 360);
    QTest::newRow("tall area") << QSize(472, 360) << QRect(0, 0, 944, 2000)
                               << QRect(0, 640, 944, 720);
    QTest::newRow("exact double") << QSize(472, 360) << QRect(10, 20, 944, 720)
                                  << QRect(10, 20, 944, 720);
    QTest::newRow("smaller") << QSize(800, 600) << QRect(0, 0, 400, 400) << QRect(0, 50, 400, 300);
    QTest::newRow("empty picture") << QSize(0, 0) << QRect(0, 0, 400, 400) << QRect();
  }
  void fitKeepingAspect() {
    QFETCH(QSize, picture);
    QFETCH(QRect, area);
    QFETCH(QRect, expected);
    QCOMPARE(FitKeepingAspect(picture, area), expected);
  }

  // The mark is placed and thickened with the picture, in device pixels.
  void renderScalesMarks_data() {
    QTest::addColumn<double>("scale");
    QTest::newRow("1x") << 1.0;
    QTest::newRow("2x") << 2.0;
    QTest::newRow("3x") << 3.0;
  }
  void renderScalesMarks() {
    QFETCH(double, scale);
    Show f;
    QImage white(472, 360, QImage::Format_RGB32);
    white.fill(Qt::white);
    const QSize size(int(472 * scale), int(360 * scale));
    const QImage r = RenderLargeSlide(white, &f.anns, 1, 1, size);
    QCOMPARE(r.size(), size);
    const int x = int(200 * scale);
    const QList<int> rows = RedRows(r, x, 0, r.height() - 1);
    QCOMPARE(rows.size(), int(std::lround(scale)));  // pen as wide as one picture pixel
    QVERIFY2(std::abs(rows.first() - 100 * scale) <= 1, qPrintable(QString::number(rows.first())));
    // The line runs from picture pixel 100 to 300 and no further.
    QVERIFY(Red(r.pixel(int(101 * scale), rows.first())));
    QVERIFY(Red(r.pixel(int(299 * scale), rows.first())));
    QVERIFY(White(r.pixel(int(95 * scale), rows.first())));
    QVERIFY(White(r.pixel(int(305 * scale), rows.first())));
    // No marks asked for: none drawn.
    const QImage bare = RenderLargeSlide(white, &f.anns, 1, 0, size);
    QVERIFY(RedRows(bare, x, 0, bare.height() - 1).isEmpty());
  }

  // At two window sizes the slide keeps its aspect ratio, fills the room it has in one direction
  // and shows its mark at the scaled place.
  void twoWindowSizes_data() {
    QTest::addColumn<QSize>("window");
    QTest::newRow("wide") << QSize(1200, 700);
    QTest::newRow("tall") << QSize(520, 900);
  }
  void twoWindowSizes() {
    QFETCH(QSize, window);
    Show f;
    f.Tick(100);
    QCOMPARE(f.large.ShownSlide(), 1);
    f.large.resize(window);
    f.large.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.large));
    QCOMPARE(f.large.size(), window);

    const QRect slide = f.large.SlideRect();
    QVERIFY(f.large.rect().contains(slide));
    QVERIFY2(std::abs(double(slide.width()) / slide.height() - 472.0 / 360.0) < 0.01,
             qPrintable(QStringLiteral("%1x%2").arg(slide.width()).arg(slide.height())));
    // Much larger than Slide_img in the direction that limits it.
    const double scale = double(slide.width()) / 472.0;
    QVERIFY(slide.width() > 472 || slide.height() > 360);

    const QImage shot = Shot(f.large);
    // Corners of the slide are the picture's white; around it the surround is black.
    QVERIFY(White(shot.pixel(slide.left() + 2, slide.top() + 2)));
    QVERIFY(White(shot.pixel(slide.right() - 2, slide.bottom() - 2)));
    if (slide.top() > 2) QVERIFY(Black(shot.pixel(slide.center().x(), slide.top() - 2)));
    if (slide.left() > 2) QVERIFY(Black(shot.pixel(slide.left() - 2, slide.center().y())));

    // The mark: twips (1500..4500, 1500), picture pixels (100..300, 100), scaled.
    const int x = slide.left() + int(200 * scale);
    const int y = slide.top() + int(std::lround(100 * scale));
    const QList<int> rows = RedRows(shot, x, slide.top(), slide.bottom());
    QVERIFY(!rows.isEmpty());
    QVERIFY2(std::abs(rows.first() - y) <= 1,
             qPrintable(QStringLiteral("red at %1, expected %2").arg(rows.first()).arg(y)));
    QVERIFY(rows.size() >= int(std::floor(scale)));
    QVERIFY(White(shot.pixel(slide.left() + int(80 * scale), rows.first())));
    QVERIFY(White(shot.pixel(slide.left() + int(320 * scale), rows.first())));
    QCOMPARE(f.large.Title(), QStringLiteral("Slide 1"));
  }

  // Ticks and jumps reach the view exactly as Slide_img: a jump shows the slide without marks,
  // the next tick brings them back.
  void followsSlideChangeAndJump() {
    Show f;
    f.large.resize(944 + 16, 720 + 60);
    f.large.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.large));
    auto markRow = [&f]() {
      const QRect slide = f.large.SlideRect();
      const double scale = double(slide.width()) / 472.0;
      const QList<int> rows =
          RedRows(Shot(f.large), slide.left() + int(200 * scale), slide.top(), slide.bottom());
      return rows.isEmpty() ? -1 : int(std::lround((rows.first() - slide.top()) / scale));
    };

    f.Tick(100);
    QCOMPARE(f.large.ShownSlide(), 1);
    QCOMPARE(markRow(), 100);
    f.Tick(12000);
    QCOMPARE(f.large.ShownSlide(), 2);
    QCOMPARE(f.large.Title(), QStringLiteral("Slide 2"));
    QCOMPARE(markRow(), 200);  // the second slide's own mark
    QVERIFY(f.large.windowTitle().contains(QStringLiteral("Slide 2 of 2")));

    // A thumbnail click on slide 1: at once, without marks.
    f.playback->JumpToSlide(1);
    QCOMPARE(f.large.ShownSlide(), 1);
    QCOMPARE(f.large.Title(), QStringLiteral("Slide 1"));
    QCOMPARE(markRow(), -1);
    f.Tick(300);
    QCOMPARE(markRow(), 100);

    // The same slide on every tick loads its picture only once.
    const int loads = int(f.loaded.size());
    f.Tick(400);
    f.Tick(1400);
    QCOMPARE(int(f.loaded.size()), loads + 2);  // Slide_img's two, none for the view
  }

  void missingPictureNamed() {
    Show f;
    f.large.SetPresentation(&f.slides, &f.anns, [](const QString& path) -> QImage {
      throw medium::AppError(medium::kFileNotFound, QStringLiteral("File not found: ") + path);
    });
    f.large.ShowSlide(2, 2, 2);
    QCOMPARE(f.large.ShownSlide(), 2);
    QVERIFY(!f.large.SlideRect().isEmpty());  // something is drawn
    // The placeholder is grey, and no mark is drawn over it.
    f.large.resize(600, 500);
    const QImage shot = Shot(f.large);
    const QRect slide = f.large.SlideRect();
    QVERIFY(!Red(shot.pixel(slide.left() + slide.width() * 200 / 472,
                            slide.top() + slide.height() * 200 / 360)));
    QVERIFY(qGray(shot.pixel(slide.left() + 5, slide.top() + 20)) > 150);
  }

  // Playback tells the views each slide with the marks Slide_img got, and each cue.
  void notificationsFromPlayback_data() {
    QTest::addColumn<QString>("action");
    QTest::addColumn<QStringList>("told");
    QTest::newRow("tick on slide 1") << "tick 100" << QStringList{"SlideShown 1 1 1"};
    QTest::newRow("tick on slide 2") << "tick 12000" << QStringList{"SlideShown 2 2 2"};
    QTest::newRow("thumbnail jump") << "thumbnail 1" << QStringList{"SlideShown 2 2 1"};
    QTest::newRow("list jump") << "list 0" << QStringList{"SlideShown 1 1 0"};
    QTest::newRow("cue at start") << "cues 0" << QStringList{"CueShown 1", "SlideShown 1 1 1"};
    QTest::newRow("second cue") << "cues 6000" << QStringList{"CueShown 2", "SlideShown 1 1 1"};
    QTest::newRow("before first cue")
        << "late cues 100" << QStringList{"CueShown 0", "SlideShown 1 1 1"};
  }
  void notificationsFromPlayback() {
    QFETCH(QString, action);
    QFETCH(QStringList, told);
    Show f;
    const QStringList words = action.split(u' ');
    const double value = words.last().toDouble();
    if (words.first() == "cues" || words.first() == "late") {
      const double first = words.first() == "late" ? 1000 : 0;
      for (double t : {first, 5000.0}) {
        Tran_cls cue;
        cue.TranTime = t;
        cue.Languages.Add(QStringLiteral("text"));
        f.trans.Trans.Add(std::move(cue));
      }
      f.Tick(value);
    } else if (words.first() == "tick") {
      f.Tick(value);
    } else if (words.first() == "thumbnail") {
      f.playback->JumpToSlide(int(value) + 1);
    } else {
      f.playback->SeekToSlide(int(value) + 1);  // the list's entry value
    }
    QStringList shown;
    for (const QString& call : f.view.calls)
      if (call.startsWith("SlideShown") || call.startsWith("CueShown")) shown << call;
    QCOMPARE(shown, told);
  }

  void fullScreenAndEscape() {
    Show f;
    f.Tick(100);
    f.engine.calls.clear();
    f.large.OpenBeside(nullptr);
    QVERIFY(QTest::qWaitForWindowExposed(&f.large));
    QVERIFY(!f.large.isFullScreen());
    QTest::keyClick(&f.large, Qt::Key_F11);
    QVERIFY(f.large.isFullScreen());
    QTest::keyClick(&f.large, Qt::Key_F11);
    QVERIFY(!f.large.isFullScreen());
    QTest::mouseDClick(&f.large, Qt::LeftButton, {}, f.large.SlideRect().center());
    QVERIFY(f.large.isFullScreen());
    // Escape: first out of full screen, then the view closes.
    QTest::keyClick(&f.large, Qt::Key_Escape);
    QVERIFY(!f.large.isFullScreen());
    QVERIFY(f.large.isVisible());
    QTest::keyClick(&f.large, Qt::Key_Escape);
    QVERIFY(!f.large.isVisible());
    // Closing changed nothing of playback.
    QVERIFY(f.engine.calls.isEmpty());
  }

  void otherKeysGoToThePlayer() {
    Show f;
    QList<int> forwarded;
    f.large.SetKeyForwarder([&forwarded](QKeyEvent* e) {
      forwarded << e->key();
      e->accept();
    });
    f.large.show();
    for (Qt::Key key : {Qt::Key_Space, Qt::Key_PageDown, Qt::Key_PageUp, Qt::Key_Left,
                        Qt::Key_Right, Qt::Key_Home, Qt::Key_M, Qt::Key_T, Qt::Key_F11})
      QTest::keyClick(&f.large, key);
    QCOMPARE(forwarded, (QList<int>{Qt::Key_Space, Qt::Key_PageDown, Qt::Key_PageUp, Qt::Key_Left,
                                    Qt::Key_Right, Qt::Key_Home, Qt::Key_M, Qt::Key_T}));
  }

  void opensAtTwoThirdsOfTheScreen() {
    QWidget player;
    player.resize(800, 613);
    player.show();
    Show f;
    f.large.OpenBeside(&player);
    const QRect screen = player.screen()->availableGeometry();
    QCOMPARE(f.large.size(), QSize(screen.width() * 2 / 3, screen.height() * 2 / 3));
    QVERIFY(screen.contains(f.large.geometry()));
    // The user's size is kept when it opens again.
    f.large.resize(500, 400);
    f.large.close();
    f.large.OpenBeside(&player);
    QCOMPARE(f.large.size(), QSize(500, 400));
    QVERIFY(f.large.isVisible());
  }

  void accessibleNames() {
    Show f;
    f.Tick(12000);
    QVERIFY(!f.large.accessibleName().isEmpty());
    QVERIFY(!f.large.accessibleDescription().isEmpty());
    auto* slide = f.large.findChild<QWidget*>(QStringLiteral("LargeSlide"));
    QVERIFY(slide);
    QCOMPARE(slide->accessibleName(), QStringLiteral("Slide 2 of 2: Slide 2"));
  }
};

QTEST_MAIN(LargeSlideViewTest)
#include "test_large_slide_view.moc"
