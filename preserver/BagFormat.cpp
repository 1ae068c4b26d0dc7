#include "preserver/BagFormat.h"

namespace preserver {

QString EncodeBagPath(const QString& path) {
  QString out;
  out.reserve(path.size());
  for (QChar c : path) {
    if (c == u'%') {
      out += QLatin1String("%25");
    } else if (c == u'\n') {
      out += QLatin1String("%0A");
    } else if (c == u'\r') {
      out += QLatin1String("%0D");
    } else {
      out += c;
    }
  }
  return out;
}

QString DecodeBagPath(const QString& path) {
  QString out;
  out.reserve(path.size());
  for (qsizetype i = 0; i < path.size(); ++i) {
    const QStringView code = QStringView(path).mid(i, 3);
    if (code.compare(QLatin1String("%25"), Qt::CaseInsensitive) == 0) {
      out += u'%';
    } else if (code.compare(QLatin1String("%0A"), Qt::CaseInsensitive) == 0) {
      out += u'\n';
    } else if (code.compare(QLatin1String("%0D"), Qt::CaseInsensitive) == 0) {
      out += u'\r';
    } else {
      out += path[i];
      continue;
    }
    i += 2;
  }
  return out;
}

QString UnsafeBagPathReason(const QString& path) {
  if (path.isEmpty()) return QStringLiteral("an empty path");
  if (path.startsWith(u'/')) return QStringLiteral("an absolute path");
  for (const QString& part : path.split(u'/')) {
    if (part.isEmpty() || part == QLatin1String(".") || part == QLatin1String("..")) {
      return QStringLiteral("a path that leads outside the bag");
    }
  }
  return {};
}

QByteArray ManifestLine(const QByteArray& hexDigest, const QString& path) {
  return hexDigest + "  " + EncodeBagPath(path).toUtf8() + '\n';
}

namespace {

int HexLength(Algorithm algorithm) {
  switch (algorithm) {
    case Algorithm::Md5:
      return 32;
    case Algorithm::Sha1:
      return 40;
    case Algorithm::Sha256:
      return 64;
    case Algorithm::Sha512:
      break;
  }
  return 128;
}

bool IsHex(const QByteArray& text) {
  for (char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))) {
      return false;
    }
  }
  return true;
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

// The lines of a text file, each without its line end (LF, CR LF or CR alone).
QByteArrayList Lines(const QByteArray& text) {
  QByteArrayList lines;
  qsizetype start = 0;
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' || text[i] == '\r') {
      lines << text.mid(start, i - start);
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      start = i + 1;
    }
  }
  if (start < text.size()) lines << text.mid(start);
  return lines;
}

}  // namespace

ParsedManifest ParseManifest(const QByteArray& text, Algorithm algorithm) {
  ParsedManifest out;
  const QByteArrayList lines = Lines(text);
  for (qsizetype n = 0; n < lines.size(); ++n) {
    const QByteArray& line = lines[n];
    const int number = static_cast<int>(n + 1);
    if (line.trimmed().isEmpty()) continue;
    qsizetype gap = 0;
    while (gap < line.size() && !IsBlank(line[gap])) ++gap;
    qsizetype start = gap;
    while (start < line.size() && IsBlank(line[start])) ++start;
    // sha512sum marks a file read in binary mode with '*' before its name.
    if (start == gap + 1 && start < line.size() && line[start] == '*') ++start;
    const QByteArray digest = line.left(gap);
    if (start >= line.size()) {
      out.errors << QStringLiteral("line %1: no file named").arg(number);
      continue;
    }
    if (digest.size() != HexLength(algorithm) || !IsHex(digest)) {
      out.errors << QStringLiteral("line %1: \"%2\" is not a %3 digest")
                        .arg(number)
                        .arg(QString::fromUtf8(digest.left(40)), AlgorithmName(algorithm));
      continue;
    }
    out.entries.push_back(
        ManifestEntry{digest.toLower(), DecodeBagPath(QString::fromUtf8(line.mid(start))), number});
  }
  return out;
}

QString PayloadOxum(qint64 bytes, qint64 files) {
  return QStringLiteral("%1.%2").arg(bytes).arg(files);
}

bool ParsePayloadOxum(const QString& value, qint64* bytes, qint64* files) {
  const QStringList parts = value.trimmed().split(u'.');
  if (parts.size() != 2) return false;
  bool okBytes = false, okFiles = false;
  const qint64 b = parts[0].toLongLong(&okBytes);
  const qint64 f = parts[1].toLongLong(&okFiles);
  if (!okBytes || !okFiles || b < 0 || f < 0) return false;
  *bytes = b;
  *files = f;
  return true;
}

QByteArray FormatTagFields(const TagFields& fields) {
  QByteArray out;
  for (const auto& [label, value] : fields) {
    QString oneLine = value;
    oneLine.replace(u'\r', u' ').replace(u'\n', u' ');
    out += label.toUtf8() + ": " + oneLine.toUtf8() + '\n';
  }
  return out;
}

TagFields ParseTagFields(const QByteArray& text) {
  TagFields fields;
  for (const QByteArray& line : Lines(text)) {
    if (line.isEmpty()) continue;
    if (IsBlank(line[0])) {
      if (!fields.empty()) fields.back().second += u' ' + QString::fromUtf8(line.trimmed());
      continue;
    }
    const qsizetype colon = line.indexOf(':');
    if (colon <= 0) continue;
    fields.emplace_back(QString::fromUtf8(line.left(colon)).trimmed(),
                        QString::fromUtf8(line.mid(colon + 1)).trimmed());
  }
  return fields;
}

QString TagValue(const TagFields& fields, const QString& label) {
  for (const auto& [l, v] : fields) {
    if (l.compare(label, Qt::CaseInsensitive) == 0) return v;
  }
  return {};
}

QByteArray BagDeclaration() {
  return "BagIt-Version: 1.0\nTag-File-Character-Encoding: UTF-8\n";
}

QByteArray CsvRow(const QStringList& fields) {
  QByteArray row;
  for (qsizetype i = 0; i < fields.size(); ++i) {
    if (i > 0) row += ',';
    QByteArray f = fields[i].toUtf8();
    if (f.contains(',') || f.contains('"') || f.contains('\n') || f.contains('\r')) {
      f.replace("\"", "\"\"");
      f = '"' + f + '"';
    }
    row += f;
  }
  return row + "\r\n";
}

}  // namespace preserver
