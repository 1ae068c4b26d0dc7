#include "bench/startup/LargePresentation.h"

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

void WriteFile(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path).path());
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly)) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    std::exit(2);
  }
  f.write(bytes);
}

QByteArray Jpeg(int width, int height, const QColor& colour) {
  QImage picture(width, height, QImage::Format_RGB32);
  picture.fill(colour);
  QByteArray jpeg;
  QBuffer buffer(&jpeg);
  buffer.open(QIODevice::WriteOnly);
  picture.save(&buffer, "JPG", 90);
  return jpeg;
}

}  // namespace

void WriteLargePresentation(const QString& root, const QString& folder, bool slidePictures,
                            unsigned slideRgb) {
  const QString data = root + "/Data/" + folder;
  WriteFile(data + "/database.txt", "SlideMode=1\r\nMediaMode=1\r\nFlag=0\r\nText=Big\r\n");
  const QByteArray thumb = Jpeg(80, 65, QColor(90, 120, 200));
  const QByteArray slide = slidePictures ? Jpeg(472, 360, QColor::fromRgb(slideRgb)) : QByteArray();
  for (int i = 1; i <= kLargeSlides; ++i) {
    WriteFile(root + QStringLiteral("/Slides/Deck/thumbs/Slide%1.jpg").arg(i), thumb);
    if (slidePictures) WriteFile(root + QStringLiteral("/Slides/Deck/Slide%1.jpg").arg(i), slide);
  }
  // One timeline, the three kinds interleaved in ascending time.
  struct Line {
    double time;
    QByteArray text;
  };
  std::vector<Line> lines;
  const double length = 3600000;
  for (int i = 0; i < kLargeSlides; ++i) {
    const double t = length * i / kLargeSlides;
    lines.push_back({t, "0~" + QByteArray::number(t, 'f', 0) + "~Deck~" +
                            QByteArray::number(i + 1) + "~Slide title number " +
                            QByteArray::number(i + 1)});
  }
  for (int i = 0; i < kLargeCues; ++i) {
    const double t = length * i / kLargeCues;
    lines.push_back({t, "2~" + QByteArray::number(t, 'f', 0) + "~" + QByteArray::number(i + 1)});
  }
  for (int i = 0; i < kLargeAnns; ++i) {
    const double t = length * i / kLargeAnns + 1;
    lines.push_back({t, "1~" + QByteArray::number(t, 'f', 0) + "~3~1~0~300~2000~400~900~255~0~0"});
  }
  std::stable_sort(lines.begin(), lines.end(),
                   [](const Line& a, const Line& b) { return a.time < b.time; });
  QByteArray events;
  for (const Line& l : lines) events += l.text + "\r\n";
  WriteFile(data + "/events.txt", events);
  for (const QString& language : kLargeLanguages) {
    QByteArray page = "<html><body>\r\n";
    for (int s = 1; s <= kLargeCues; ++s) {
      page += "<p class=\"m\">SECTION" + QByteArray::number(s) + "</p>\r\n" + language.toLatin1() +
              ": what the speaker said in section " + QByteArray::number(s) + ".\r\n";
    }
    page += "</body></html>\r\n";
    WriteFile(data + "/transcripts/" + language + ".html", page);
  }
  WriteFile(data + "/details.txt", "A large synthetic presentation\r\n");
}
