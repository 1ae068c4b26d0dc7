#include "tools/Artwork.h"

#include <QBuffer>
#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include "tools/GeneratorError.h"
#include "tools/TextFiles.h"

namespace sample {

namespace {

const QString kFamily = QStringLiteral("DejaVu Sans");

QFont Font(int pixelSize, bool bold = false) {
  QFont f(kFamily);
  f.setPixelSize(pixelSize);
  f.setBold(bold);
  f.setHintingPreference(QFont::PreferFullHinting);
  return f;
}

QImage Blank(int w, int h, QColor fill) {
  QImage img(w, h, QImage::Format_RGB32);
  img.fill(fill);
  return img;
}

void PlayTriangle(QPainter& p, QPointF centre, qreal size, QColor colour) {
  QPainterPath tri;
  tri.moveTo(centre.x() - size * 0.4, centre.y() - size * 0.5);
  tri.lineTo(centre.x() + size * 0.55, centre.y());
  tri.lineTo(centre.x() - size * 0.4, centre.y() + size * 0.5);
  tri.closeSubpath();
  p.fillPath(tri, colour);
}

// A rounded tile with a play triangle and a caption, the shape of both player buttons.
QImage PlayerTile(QSize size, QColor base, const QString& caption, bool highlighted) {
  QImage img = Blank(size.width(), size.height(), QColor(0, 0, 0));
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  const QColor top = highlighted ? base.lighter(150) : base.lighter(115);
  const QColor bottom = highlighted ? base.lighter(115) : base.darker(130);
  QLinearGradient g(0, 0, 0, size.height());
  g.setColorAt(0, top);
  g.setColorAt(1, bottom);
  const QRectF tile = QRectF(img.rect()).adjusted(2, 2, -2, -2);
  p.setPen(highlighted ? QPen(QColor(255, 221, 0), 3) : QPen(base.darker(160), 1));
  p.setBrush(g);
  p.drawRoundedRect(tile, 10, 10);
  PlayTriangle(p, QPointF(size.width() / 2.0, size.height() * 0.38), size.height() * 0.42,
               Qt::white);
  p.setPen(Qt::white);
  p.setFont(Font(10, true));
  p.drawText(QRectF(0, size.height() * 0.64, size.width(), size.height() * 0.3), Qt::AlignCenter,
             caption);
  return img;
}

QImage ExitButton(bool highlighted) {
  QImage img = Blank(60, 60, Qt::black);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(highlighted ? QPen(QColor(255, 221, 0), 3) : QPen(QColor(200, 200, 200), 1));
  p.setBrush(highlighted ? QColor(255, 255, 255) : QColor(236, 236, 236));
  p.drawEllipse(QRectF(4, 4, 52, 52));
  p.setPen(highlighted ? QColor(170, 0, 0) : QColor(30, 30, 30));
  p.setFont(Font(15, true));
  p.drawText(QRectF(0, 0, 60, 60), Qt::AlignCenter, QStringLiteral("Exit"));
  return img;
}

QImage WebLinkButton(bool highlighted) {
  QImage img = Blank(228, 24, QColor(28, 34, 44));
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  if (highlighted) {
    p.setPen(QPen(QColor(255, 221, 0), 1));
    p.drawRect(QRectF(0.5, 0.5, 227, 23));
  }
  p.setPen(highlighted ? QColor(255, 236, 120) : QColor(190, 200, 214));
  QFont f = Font(13, true);
  f.setUnderline(highlighted);
  p.setFont(f);
  p.drawText(QRectF(0, 0, 228, 24), Qt::AlignCenter, QStringLiteral("Visit our web site \u203A"));
  return img;
}

// The common frame of the large pictures: a gradient ground and a header band with the
// company's name.
void Ground(QPainter& p, QSize size, QColor from, QColor to, const QString& header) {
  QLinearGradient g(0, 0, 0, size.height());
  g.setColorAt(0, from);
  g.setColorAt(1, to);
  p.fillRect(QRect(QPoint(0, 0), size), g);
  p.fillRect(QRect(0, 0, size.width(), 30), QColor(16, 38, 74));
  p.setPen(Qt::white);
  p.setFont(Font(14, true));
  p.drawText(QRect(12, 0, size.width() - 24, 30), Qt::AlignVCenter | Qt::AlignLeft, header);
}

}  // namespace

QImage DrawSlide(const SampleContent& content, int number) {
  const DeckSlide& slide = content.deck.slides.at(static_cast<size_t>(number - 1));
  QImage img = Blank(kSlideWidth, kSlideHeight, Qt::white);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  Ground(p, img.size(), QColor(250, 251, 255), QColor(214, 226, 244), content.company);

  // The number sits large in its own disc so that it reads even on a thumbnail.
  const QRectF disc(kSlideWidth - 104, 38, 92, 92);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(230, 120, 20));
  p.drawEllipse(disc);
  p.setPen(Qt::white);
  p.setFont(Font(60, true));
  p.drawText(disc, Qt::AlignCenter, QString::number(number));

  p.setPen(QColor(16, 38, 74));
  p.setFont(Font(22, true));
  p.drawText(QRectF(20, 44, kSlideWidth - 140, 80),
             Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap, slide.title);

  p.setFont(Font(16));
  qreal y = 150;
  for (const QString& bullet : slide.bullets) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(230, 120, 20));
    p.drawEllipse(QRectF(26, y + 7, 8, 8));
    p.setPen(QColor(30, 30, 40));
    p.drawText(QRectF(44, y, kSlideWidth - 64, 24), Qt::AlignLeft | Qt::AlignVCenter, bullet);
    y += 42;
  }

  p.fillRect(QRect(0, kSlideHeight - 26, kSlideWidth, 26), QColor(16, 38, 74));
  p.setPen(QColor(220, 228, 240));
  p.setFont(Font(11));
  p.drawText(QRect(12, kSlideHeight - 26, kSlideWidth - 24, 26), Qt::AlignVCenter | Qt::AlignLeft,
             content.deck.caption);
  p.drawText(QRect(12, kSlideHeight - 26, kSlideWidth - 24, 26), Qt::AlignVCenter | Qt::AlignRight,
             QStringLiteral("Slide %1 of %2").arg(number).arg(content.deck.slides.size()));
  return img;
}

QImage DrawThumbnail(const QImage& slide) {
  return slide.scaled(kThumbWidth, kThumbHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QImage DrawStillPicture(const SampleContent& content, const Presentation& pres) {
  QImage img = Blank(kSlideWidth, kSlideHeight, Qt::white);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  Ground(p, img.size(), QColor(244, 240, 232), QColor(222, 210, 190), content.company);

  // Two people at a table: the interviewer and the guest.
  const QColor people[] = {QColor(60, 110, 170), QColor(200, 110, 40)};
  for (int k = 0; k < 2; ++k) {
    const qreal cx = 150 + k * 172;
    p.setPen(Qt::NoPen);
    p.setBrush(people[k]);
    p.drawEllipse(QPointF(cx, 120), 30, 30);
    p.drawRoundedRect(QRectF(cx - 50, 158, 100, 90), 30, 30);
  }
  p.setBrush(QColor(110, 80, 50));
  p.drawRoundedRect(QRectF(70, 236, 332, 18), 6, 6);
  p.setPen(QColor(40, 30, 20));
  p.setFont(Font(20, true));
  p.drawText(QRectF(0, 262, kSlideWidth, 32), Qt::AlignCenter, pres.transcriptTitle);
  p.setFont(Font(13));
  p.drawText(QRectF(10, 294, kSlideWidth - 20, 40), Qt::AlignCenter | Qt::TextWordWrap,
             pres.userText);
  return img;
}

QImage DrawAudioPicture(const Presentation& pres) {
  QImage img = Blank(kAudioWidth, kAudioHeight, QColor(16, 38, 74));
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  // A loudspeaker with sound waves.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(240, 240, 240));
  p.drawRect(QRectF(70, 70, 22, 40));
  QPainterPath cone;
  cone.moveTo(92, 70);
  cone.lineTo(122, 46);
  cone.lineTo(122, 134);
  cone.lineTo(92, 110);
  cone.closeSubpath();
  p.fillPath(cone, QColor(240, 240, 240));
  p.setBrush(Qt::NoBrush);
  for (int k = 0; k < 3; ++k) {
    p.setPen(QPen(QColor(255, 170, 60), 5, Qt::SolidLine, Qt::RoundCap));
    const qreal r = 22 + k * 16;
    p.drawArc(QRectF(126 - r, 90 - r, 2 * r, 2 * r), -45 * 16, 90 * 16);
  }
  p.setPen(Qt::white);
  p.setFont(Font(16, true));
  p.drawText(QRectF(0, 156, kAudioWidth, 26), Qt::AlignCenter, QStringLiteral("Audio recording"));
  p.setFont(Font(11));
  p.setPen(QColor(200, 210, 225));
  p.drawText(QRectF(6, 182, kAudioWidth - 12, 30), Qt::AlignCenter, pres.transcriptTitle);
  return img;
}

QSize ButtonSize(ButtonKind kind) {
  switch (kind) {
    case ButtonKind::kWindowsMedia:
      return {96, 68};
    case ButtonKind::kRealMedia:
      return {96, 69};
    case ButtonKind::kExit:
      return {60, 60};
    case ButtonKind::kWebLink:
      return {228, 24};
  }
  return {};
}

QImage DrawButton(ButtonKind kind, bool highlighted) {
  switch (kind) {
    case ButtonKind::kWindowsMedia:
      return PlayerTile(ButtonSize(kind), QColor(30, 90, 190), QStringLiteral("Windows Media"),
                        highlighted);
    case ButtonKind::kRealMedia:
      return PlayerTile(ButtonSize(kind), QColor(230, 110, 20), QStringLiteral("RealMedia"),
                        highlighted);
    case ButtonKind::kExit:
      return ExitButton(highlighted);
    case ButtonKind::kWebLink:
      return WebLinkButton(highlighted);
  }
  return {};
}

void SaveJpeg(const QImage& image, const QString& nativePath) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (!image.save(&buffer, "JPG", 90)) {
    throw GeneratorError(
        QStringLiteral("Cannot encode %1 as JPEG (is the Qt JPEG image plugin installed?)")
            .arg(nativePath));
  }
  WriteFileBytes(nativePath, bytes);
}

}  // namespace sample
