#include "tools/Artwork.h"

#include <QBuffer>
#include <QFile>
#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include "tools/GeneratorError.h"
#include "tools/TextFiles.h"

// The generator is a static library, so its built-in pictures are registered by hand.
static void InitDesignPictures() {
  Q_INIT_RESOURCE(design_pictures);
}

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

QByteArray DesignButtonFile(ButtonKind kind) {
  InitDesignPictures();
  const char* name = "";
  switch (kind) {
    case ButtonKind::kWindowsMedia:
      name = "command1.jpg";
      break;
    case ButtonKind::kRealMedia:
      name = "command2.jpg";
      break;
    case ButtonKind::kExit:
      name = "image1.jpg";
      break;
    case ButtonKind::kWebLink:
      name = "image2.jpg";
      break;
  }
  QFile file(QStringLiteral(":/design/") + QLatin1String(name));
  if (!file.open(QIODevice::ReadOnly)) {
    throw GeneratorError(QStringLiteral("The launcher's design picture %1 is not built in")
                             .arg(QLatin1String(name)));
  }
  return file.readAll();
}

QImage DrawButton(ButtonKind kind, bool highlighted) {
  QImage img = QImage::fromData(DesignButtonFile(kind)).convertToFormat(QImage::Format_RGB32);
  if (!highlighted || img.isNull()) return img;
  // Lit up, with a yellow frame: the same picture under the pointer.
  QPainter p(&img);
  p.fillRect(img.rect(), QColor(255, 255, 255, 60));
  p.setPen(QPen(QColor(255, 221, 0), 2));
  p.drawRect(QRectF(img.rect()).adjusted(1, 1, -1, -1));
  return img;
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
