#include "preserver/BagFormat.h"

#include "preserver/ManifestLine.h"

namespace preserver {

QByteArray ManifestLine(const QByteArray& hexDigest, const QString& path) {
  return ManifestLineOf(hexDigest, path.toUtf8());
}

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

}  // namespace

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
  for (const QByteArray& line : TextLines(text)) {
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
