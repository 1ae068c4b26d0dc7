// Marks drawn over the slide picture, read back pixel by pixel from what Slide_img is given.

#include <QFontInfo>
#include <QtTest>
#include <algorithm>

#include "tests/sync/SyncFixture.h"

namespace {

// One slide at 0 and the given mark at 0, shown by one tick on a white slide picture.
struct OneMark : SyncFixture {
  explicit OneMark(int16_t type, int16_t x, int16_t y, int16_t w, int16_t h,
                   const QString& red = QStringLiteral("255"),
                   const QString& green = QStringLiteral("0"),
                   const QString& blue = QStringLiteral("0")) {
    AddSlides({0});
    AddAnn(0, type, x, y, w, h, red, green, blue);
    Tick(100);
  }
};

QRect Bounds(const QList<QPoint>& points) {
  QRect r;
  for (const QPoint& p : points) r |= QRect(p, QSize(1, 1));
  return r;
}

}  // namespace

class AnnotationTest : public QObject {
  Q_OBJECT

 private slots:
  void redLineOf100Twips();
  void zeroHeightRectangleIsALine();
  void rectangleOutline();
  void textMarkShowsItsText_data();
  void textMarkShowsItsText();
  void textMarkWithoutTextDrawsNothing();
  void textMarkFontIsSmallSans();
  void colourComponents_data();
  void colourComponents();
  void type3DrawsNothing();
  void unusableColourSkipsOnlyThatMark_data();
  void unusableColourSkipsOnlyThatMark();
  void laterMarksDrawnOverEarlier();
  void marksBeyondSmallPicture();
  void greyscalePictureCanBeDrawnOn();
};

void AnnotationTest::redLineOf100Twips() {
  OneMark f(0, 10, 20, 110, 20);
  const QList<QPoint> marked = f.MarkedPixels();
  QVERIFY(!marked.isEmpty());
  // 100 twips are 6 2/3 pixels, one pixel thick at y = 20 twips, pure red (no smoothing).
  const QRect r = Bounds(marked);
  QCOMPARE(r.height(), 1);
  QCOMPARE(r.top(), 1);
  QVERIFY2(r.width() >= 6 && r.width() <= 8, qPrintable(QString::number(r.width())));
  QVERIFY(r.left() <= 1 && r.right() >= 6);
  for (const QPoint& p : marked) QCOMPARE(f.view.picture.pixel(p), qRgb(255, 0, 0));
}

void AnnotationTest::zeroHeightRectangleIsALine() {
  OneMark line(0, 10, 20, 110, 20);
  OneMark rect(2, 10, 20, 110, 20);
  const QRect r = Bounds(rect.MarkedPixels());
  QCOMPARE(r.height(), 1);
  QCOMPARE(r.top(), 1);
  QVERIFY(r.width() >= 6);
  QVERIFY(std::abs(r.width() - Bounds(line.MarkedPixels()).width()) <= 1);
}

void AnnotationTest::rectangleOutline() {
  OneMark f(2, 10, 20, 110, 80);  // 100 by 60 twips from (10, 20)
  const QList<QPoint> marked = f.MarkedPixels();
  const QRect r = Bounds(marked);
  QCOMPARE(r.top(), 1);
  QVERIFY(r.left() <= 1);
  QVERIFY2(r.height() >= 4 && r.height() <= 6, qPrintable(QString::number(r.height())));
  QVERIFY(r.width() >= 6 && r.width() <= 8);
  // An outline only: the slide shows through inside.
  QCOMPARE(f.view.picture.pixel(r.center()), qRgb(255, 255, 255));
  QCOMPARE(f.view.picture.pixel(r.left(), r.center().y()), qRgb(255, 0, 0));
  QCOMPARE(f.view.picture.pixel(r.right(), r.center().y()), qRgb(255, 0, 0));
  QCOMPARE(f.view.picture.pixel(r.center().x(), r.top()), qRgb(255, 0, 0));
  QCOMPARE(f.view.picture.pixel(r.center().x(), r.bottom()), qRgb(255, 0, 0));
}

void AnnotationTest::textMarkShowsItsText_data() {
  QTest::addColumn<QString>("red");
  QTest::addColumn<QString>("green");
  QTest::addColumn<QString>("blue");
  QTest::addColumn<QRgb>("colour");
  QTest::newRow("red") << "255"
                       << "0"
                       << "0" << qRgb(255, 0, 0);
  QTest::newRow("blue") << "0"
                        << "0"
                        << "255" << qRgb(0, 0, 255);
}

void AnnotationTest::textMarkShowsItsText() {
  // A text mark has no second corner (width and height stay 0): its text is written from its
  // point, (150, 300) twips = (10, 20) pixels, and nothing reaches back to the corner.
  QFETCH(QString, red);
  QFETCH(QString, green);
  QFETCH(QString, blue);
  QFETCH(QRgb, colour);
  SyncFixture f;
  f.AddSlides({0});
  f.AddAnn(0, 2, 150, 300, 0, 0, red, green, blue).AnnText = QStringLiteral("Revenue up 12%");
  f.Tick(100);
  const QList<QPoint> marked = f.MarkedPixels();
  QVERIFY(marked.size() > 40);
  const QRect r = Bounds(marked);
  QVERIFY2(r.left() >= 10 && r.left() <= 12, qPrintable(QString::number(r.left())));
  QVERIFY2(r.top() >= 20 && r.top() <= 24, qPrintable(QString::number(r.top())));
  // One line of a small font, as wide as its text: not an outline over the slide.
  QVERIFY2(r.height() >= 7 && r.height() <= 14, qPrintable(QString::number(r.height())));
  QVERIFY2(r.width() >= 50 && r.width() <= 110, qPrintable(QString::number(r.width())));
  for (const QPoint& p : marked) QCOMPARE(f.view.picture.pixel(p), colour);
}

void AnnotationTest::textMarkWithoutTextDrawsNothing() {
  OneMark f(2, 150, 300, 0, 0);
  QVERIFY(f.MarkedPixels().isEmpty());
}

void AnnotationTest::textMarkFontIsSmallSans() {
  const QFontInfo info(TextMarkFont());
  QVERIFY2(info.pixelSize() >= 9 && info.pixelSize() <= 12,
           qPrintable(QString::number(info.pixelSize())));
  QVERIFY2(!info.family().contains("Serif") || info.family().contains("Sans"),
           qPrintable(info.family()));
  QVERIFY(IsTextMark([] {
    Ann_cls a;
    a.AnnType = 2;
    return a;
  }()));
}

void AnnotationTest::colourComponents_data() {
  QTest::addColumn<QString>("red");
  QTest::addColumn<QString>("green");
  QTest::addColumn<QString>("blue");
  QTest::addColumn<unsigned>("rgb");
  QTest::newRow("red") << "255"
                       << "0"
                       << "0" << 0xFF0000u;
  QTest::newRow("300 counts as 255") << "300"
                                     << "0"
                                     << "0" << 0xFF0000u;
  QTest::newRow("each component") << "10"
                                  << "128"
                                  << "300" << 0x0A80FFu;
  QTest::newRow("halves to even") << "127.5"
                                  << "126.5"
                                  << " 2 " << 0x807E02u;
}

void AnnotationTest::colourComponents() {
  QFETCH(QString, red);
  QFETCH(QString, green);
  QFETCH(QString, blue);
  QFETCH(unsigned, rgb);
  OneMark f(0, 0, 150, 1500, 150, red, green, blue);
  QCOMPARE(f.view.picture.pixel(50, 10) & 0xFFFFFFu, rgb);
}

void AnnotationTest::type3DrawsNothing() {
  OneMark f(3, 10, 20, 110, 80);
  QVERIFY(f.MarkedPixels().isEmpty());
  OneMark other(7, 10, 20, 110, 80);
  QVERIFY(other.MarkedPixels().isEmpty());
}

void AnnotationTest::unusableColourSkipsOnlyThatMark_data() {
  QTest::addColumn<QString>("red");
  QTest::newRow("empty") << "";
  QTest::newRow("not a number") << "red";
  QTest::newRow("beyond 16 bits") << "70000";
  QTest::newRow("negative") << "-1";
}

void AnnotationTest::unusableColourSkipsOnlyThatMark() {
  QFETCH(QString, red);
  SyncFixture f;
  f.AddSlides({0});
  f.AddAnn(-2, 0, 0, 150, 1500, 150, QStringLiteral("0"), QStringLiteral("0"),
           QStringLiteral("255"));
  f.AddAnn(-1, 0, 0, 300, 1500, 300, red);
  f.AddAnn(0, 0, 0, 450, 1500, 450, QStringLiteral("0"), QStringLiteral("255"),
           QStringLiteral("0"));
  f.Tick(0);  // the range of slide 1 is 1..3
  QCOMPARE(f.view.picture.pixel(50, 10), qRgb(0, 0, 255));
  QCOMPARE(f.view.picture.pixel(50, 20), qRgb(255, 255, 255));
  QCOMPARE(f.view.picture.pixel(50, 30), qRgb(0, 255, 0));
}

void AnnotationTest::laterMarksDrawnOverEarlier() {
  SyncFixture f;
  f.AddSlides({0});
  f.AddAnn(0, 0, 0, 150, 1500, 150, QStringLiteral("0"), QStringLiteral("0"),
           QStringLiteral("255"));
  f.AddAnn(0, 0, 0, 150, 1500, 150);
  f.Tick(0);
  QCOMPARE(f.view.picture.pixel(50, 10), qRgb(255, 0, 0));
}

void AnnotationTest::marksBeyondSmallPicture() {
  SyncFixture f;
  f.AddSlides({0});
  f.AddAnn(0, 0, 0, 4500, 6000, 4500);  // row 300, beyond a 200-pixel-high picture
  f.UseLoader([](const QString&) {
    QImage p(200, 200, QImage::Format_RGB32);
    p.fill(Qt::white);
    return p;
  });
  f.Tick(0);
  QCOMPARE(f.view.picture.size(), QSize(472, 360));
  QCOMPARE(f.view.picture.pixel(100, 100), qRgb(255, 255, 255));
  QCOMPARE(f.view.picture.pixel(300, 300), qRgb(255, 0, 0));
  QCOMPARE(qAlpha(f.view.picture.pixel(300, 100)), 0);  // the area's own background shows
}

void AnnotationTest::greyscalePictureCanBeDrawnOn() {
  SyncFixture f;
  f.AddSlides({0});
  f.AddAnn(0, 0, 0, 150, 1500, 150);
  f.UseLoader([](const QString&) {
    QImage p(472, 360, QImage::Format_Grayscale8);
    p.fill(255);
    return p;
  });
  f.Tick(0);
  QCOMPARE(f.view.picture.pixel(50, 10), qRgb(255, 0, 0));
}

QTEST_MAIN(AnnotationTest)
#include "test_annotations.moc"
