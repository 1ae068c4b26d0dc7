#include "checker/PictureCheck.h"

#include <QBuffer>
#include <QImageReader>
#include <QStringList>
#include <mutex>

namespace checker {
namespace {

uchar At(const QByteArray& b, qsizetype i) {
  return static_cast<uchar>(b[i]);
}

QString CutAt(qsizetype size) {
  return QStringLiteral("cut short: its data stops after %1 bytes, before the end of the picture")
      .arg(size);
}

// Walks the segments of a JPEG up to its end marker. The decoder fills a picture whose data
// stops early with grey without a word, so the walk is what finds a cut file.
QString JpegStructure(const QByteArray& b) {
  const qsizetype n = b.size();
  qsizetype pos = 2;  // after the start marker
  while (pos < n) {
    if (At(b, pos) != 0xFF) {
      // Stray bytes between segments: the decoder skips them (and warns, which is heard below).
      ++pos;
      continue;
    }
    while (pos < n && At(b, pos) == 0xFF) ++pos;
    if (pos >= n) break;
    const uchar marker = At(b, pos++);
    if (marker == 0xD9) return {};                                       // the end
    if ((marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) continue;  // no length
    if (pos + 2 > n) break;
    const qsizetype length = (qsizetype(At(b, pos)) << 8) | At(b, pos + 1);
    if (length < 2) {
      return QStringLiteral("damaged: a JPEG segment with length %1 (byte %2)")
          .arg(length)
          .arg(pos);
    }
    if (pos + length > n) break;
    pos += length;
    if (marker != 0xDA) continue;
    // The coded data of a scan runs to the next marker that is neither a stuffed 0xFF nor a
    // restart marker.
    while (pos < n) {
      if (At(b, pos) != 0xFF) {
        ++pos;
        continue;
      }
      if (pos + 1 >= n) {
        pos = n;
        break;
      }
      const uchar next = At(b, pos + 1);
      if (next == 0x00 || next == 0xFF || (next >= 0xD0 && next <= 0xD7)) {
        pos += next == 0xFF ? 1 : 2;
        continue;
      }
      break;
    }
  }
  return CutAt(n);
}

// Each thread collects its own decoder's warnings: checks run on several threads at once, and
// Qt has one message handler for the whole process. That handler is installed once and never
// taken back (another piece may have installed its own after it); outside a collecting scope it
// passes every message on.
thread_local DecoderWarnings* t_innermost = nullptr;
QtMessageHandler g_previous = nullptr;

void Collect(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (t_innermost && context.category &&
      QLatin1String(context.category).startsWith(QLatin1String("qt.gui.imageio"))) {
    t_innermost->Add(text);
    return;
  }
  if (g_previous) {
    g_previous(type, context, text);
  } else {
    qt_message_output(type, context, text);
  }
}

void InstallCollectorOnce() {
  static std::once_flag once;
  std::call_once(once, [] { g_previous = qInstallMessageHandler(&Collect); });
}

}  // namespace

DecoderWarnings::DecoderWarnings() : outer_(t_innermost) {
  InstallCollectorOnce();
  t_innermost = this;
}

DecoderWarnings::~DecoderWarnings() {
  t_innermost = outer_;
}

QString PictureDamage(const QByteArray& bytes) {
  const bool jpeg = bytes.size() >= 2 && At(bytes, 0) == 0xFF && At(bytes, 1) == 0xD8;
  if (jpeg) {
    const QString structure = JpegStructure(bytes);
    if (!structure.isEmpty()) return structure;
  }
  DecoderWarnings warnings;
  QByteArray copy = bytes;
  QBuffer buffer(&copy);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer);
  reader.setDecideFormatFromContent(true);
  const QImage image = reader.read();
  if (image.isNull())
    return QStringLiteral("damaged: it cannot be decoded (%1)").arg(reader.errorString());
  if (!warnings.Texts().isEmpty()) {
    QStringList texts = warnings.Texts();
    texts.removeDuplicates();
    return QStringLiteral("damaged: %1").arg(texts.join(QStringLiteral("; ")));
  }
  return {};
}

}  // namespace checker
