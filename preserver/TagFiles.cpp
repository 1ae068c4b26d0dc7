#include "preserver/TagFiles.h"

#include <QRegularExpression>
#include <QStringDecoder>

#include "medium/PrintableText.h"
#include "preserver/BagTree.h"
#include "preserver/ManifestLine.h"

namespace preserver {

namespace {

const QString kVersionLabel = QStringLiteral("BagIt-Version");
const QString kEncodingLabel = QStringLiteral("Tag-File-Character-Encoding");

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

QString Shown(const QByteArray& line) {
  return medium::PrintableText(QString::fromUtf8(line));
}

}  // namespace

BagDeclarationCheck CheckBagDeclaration(const QByteArray& bagit) {
  BagDeclarationCheck c;
  QByteArray text = bagit;
  if (text.startsWith("\xEF\xBB\xBF")) {
    c.problems << QStringLiteral("begins with a byte-order mark, which bagit.txt may not have");
    text = text.mid(3);
  } else if (text.startsWith("\xFE\xFF") || text.startsWith("\xFF\xFE")) {
    c.problems << QStringLiteral(
        "is UTF-16 (it begins with its byte-order mark): it must be UTF-8");
  }
  if (!IsUtf8(text)) c.problems << QStringLiteral("is not UTF-8");
  const QByteArrayList lines = TextLines(text);
  const QString labels[2] = {kVersionLabel, kEncodingLabel};
  bool namesEncoding = false;
  for (qsizetype i = 0; i < lines.size(); ++i) {
    const QByteArray& line = lines[i];
    const qsizetype colon = line.indexOf(':');
    const QString label = QString::fromUtf8(colon < 0 ? line : line.left(colon)).trimmed();
    const QString value = colon < 0 ? QString() : QString::fromUtf8(line.mid(colon + 1)).trimmed();
    const int number = static_cast<int>(i + 1);
    if (label.compare(kVersionLabel, Qt::CaseInsensitive) == 0 && c.version.isEmpty()) {
      c.version = value;
    }
    if (label.compare(kEncodingLabel, Qt::CaseInsensitive) == 0 && !namesEncoding) {
      c.encoding = value;
      namesEncoding = true;
    }
    if (i >= 2) continue;
    const QString expected = labels[i];
    if (label.compare(expected, Qt::CaseInsensitive) != 0) {
      c.problems << QStringLiteral("line %1: \"%2\" stands where \"%3: ...\" must")
                        .arg(number)
                        .arg(Shown(line), expected);
      continue;
    }
    // Exactly "<label>: <value>": one space after the colon, none anywhere else around them.
    if (line != (expected + QStringLiteral(": ") + value).toUtf8() || value.isEmpty() ||
        value.contains(u'\t')) {
      c.problems << QStringLiteral(
                        "line %1: \"%2\" is not \"%3: <value>\" (one space after the colon, no "
                        "other blank around label or value)")
                        .arg(number)
                        .arg(Shown(line), expected);
    }
  }
  if (lines.size() > 2) {
    c.problems
        << QStringLiteral("holds %1 lines: the declaration is exactly two").arg(lines.size());
  }
  if (!namesEncoding) {
    c.problems
        << QStringLiteral("names no %1: the tag files are read as UTF-8").arg(kEncodingLabel);
    c.encoding = QStringLiteral("UTF-8");
  }
  static const QRegularExpression kVersion(QStringLiteral("^[0-9]+\\.[0-9]+$"));
  if (!c.version.isEmpty() && !kVersion.match(c.version).hasMatch()) {
    c.problems << QStringLiteral("the version \"%1\" is not <major>.<minor>")
                      .arg(medium::PrintableText(c.version));
  }
  return c;
}

TagEncoding::TagEncoding(const QString& name) : name_(name) {
  const QString squeezed = name.toLower().remove(u'-').remove(u'_');
  utf8_ = squeezed == QLatin1String("utf8");
  if (utf8_) return;
  // Qt's own converters, and with ICU every encoding ICU knows by this name.
  known_ = QStringDecoder(name.toLatin1().constData()).isValid();
}

bool TagEncoding::ToUtf8(const QByteArray& raw, QByteArray* utf8, QString* why) const {
  if (utf8_) {
    *utf8 = raw.startsWith("\xEF\xBB\xBF") ? raw.mid(3) : raw;
    return true;
  }
  if (!known_) {
    if (why) *why = QStringLiteral("the encoding \"%1\" is not known here").arg(name_);
    return false;
  }
  // A byte-order mark at the start tells the byte order and is not text.
  QStringDecoder decoder(name_.toLatin1().constData());
  const QString text = decoder.decode(raw);
  if (decoder.hasError()) {
    if (why) *why = QStringLiteral("is not text in %1, which bagit.txt declares").arg(name_);
    return false;
  }
  *utf8 = text.toUtf8();
  return true;
}

ParsedFetch ParseFetch(const QByteArray& text) {
  ParsedFetch out;
  const QByteArrayList lines = TextLines(text);
  for (qsizetype n = 0; n < lines.size(); ++n) {
    const QByteArray& line = lines[n];
    const int number = static_cast<int>(n + 1);
    if (line.trimmed().isEmpty()) continue;
    auto bad = [&](const QString& why) {
      out.errors << QStringLiteral("line %1: %2").arg(number).arg(why);
    };
    if (line.contains('\0')) {
      bad(QStringLiteral("a NUL byte in it: not a fetch line"));
      continue;
    }
    // Three fields: the address, the length and the path, which may hold blanks itself.
    QByteArrayList fields;
    qsizetype at = 0;
    for (int k = 0; k < 2; ++k) {
      while (at < line.size() && IsBlank(line[at])) ++at;
      const qsizetype from = at;
      while (at < line.size() && !IsBlank(line[at])) ++at;
      fields << line.mid(from, at - from);
    }
    while (at < line.size() && IsBlank(line[at])) ++at;
    fields << line.mid(at);
    if (fields[0].isEmpty() || fields[1].isEmpty() || fields[2].isEmpty()) {
      bad(QStringLiteral("\"%1\" is not \"<url> <length> <path>\"").arg(Shown(line)));
      continue;
    }
    FetchEntry e;
    e.url = fields[0];
    e.line = number;
    e.path = DecodeBagName(fields[2]);
    if (fields[1] != "-") {
      bool ok = false;
      e.length = fields[1].toLongLong(&ok);
      if (!ok || e.length < 0) {
        bad(QStringLiteral("the length \"%1\" is neither a number nor \"-\"")
                .arg(Shown(fields[1])));
        continue;
      }
    }
    out.entries.push_back(e);
  }
  return out;
}

}  // namespace preserver
