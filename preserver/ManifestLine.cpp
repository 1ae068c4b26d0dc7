#include "preserver/ManifestLine.h"

#include "medium/PrintableText.h"

namespace preserver {

QByteArray EncodeBagName(const QByteArray& path) {
  QByteArray out;
  out.reserve(path.size());
  for (char c : path) {
    if (c == '%') {
      out += "%25";
    } else if (c == '\n') {
      out += "%0A";
    } else if (c == '\r') {
      out += "%0D";
    } else {
      out += c;
    }
  }
  return out;
}

QByteArray DecodeBagName(const QByteArray& path) {
  QByteArray out;
  out.reserve(path.size());
  for (qsizetype i = 0; i < path.size(); ++i) {
    const QByteArray code = path.mid(i, 3).toUpper();
    if (code == "%25") {
      out += '%';
    } else if (code == "%0A") {
      out += '\n';
    } else if (code == "%0D") {
      out += '\r';
    } else {
      out += path[i];
      continue;
    }
    i += 2;
  }
  return out;
}

QString NormalBagPath(const QByteArray& path, QByteArray* normal) {
  normal->clear();
  if (path.isEmpty()) return QStringLiteral("an empty path");
  if (path.startsWith('/')) return QStringLiteral("an absolute path");
  if (path.startsWith('~')) return QStringLiteral("a path in a user's home folder");
  QByteArrayList parts;
  for (const QByteArray& part : path.split('/')) {
    if (part.isEmpty() || part == ".") continue;
    if (part == "..") {
      if (parts.isEmpty()) return QStringLiteral("a path that leads outside the bag");
      parts.removeLast();
      continue;
    }
    parts << part;
  }
  if (parts.isEmpty()) return QStringLiteral("the bag itself, not a file in it");
  *normal = parts.join('/');
  return {};
}

QByteArray ManifestLineOf(const QByteArray& hexDigest, const QByteArray& path) {
  return hexDigest + "  " + EncodeBagName(path) + '\n';
}

QByteArrayList TextLines(const QByteArray& text) {
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

namespace {

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

}  // namespace

ParsedManifest ParseManifest(const QByteArray& text, Algorithm algorithm) {
  ParsedManifest out;
  const QByteArrayList lines = TextLines(text);
  for (qsizetype n = 0; n < lines.size(); ++n) {
    const QByteArray& line = lines[n];
    const int number = static_cast<int>(n + 1);
    if (line.trimmed().isEmpty()) continue;
    // No file name holds one, and the system would take the name as ending there.
    if (line.contains('\0')) {
      out.errors << QStringLiteral("line %1: a NUL byte in it: not a manifest line").arg(number);
      continue;
    }
    qsizetype gap = 0;
    while (gap < line.size() && !IsBlank(line[gap])) ++gap;
    qsizetype start = gap;
    while (start < line.size() && IsBlank(line[start])) ++start;
    // md5sum and its kin mark a file read in binary mode with '*' before its name.
    const bool binary = start == gap + 1 && start < line.size() && line[start] == '*';
    if (binary) ++start;
    const QByteArray digest = line.left(gap);
    if (start >= line.size()) {
      out.errors << QStringLiteral("line %1: no file named").arg(number);
      continue;
    }
    if (digest.size() != HexLength(algorithm) || !IsHex(digest)) {
      out.errors << QStringLiteral("line %1: \"%2\" is not a %3 digest")
                        .arg(number)
                        .arg(medium::PrintableText(QString::fromUtf8(digest.left(40))),
                             AlgorithmName(algorithm));
      continue;
    }
    out.entries.push_back(
        ManifestEntry{digest.toLower(), DecodeBagName(line.mid(start)), number, binary});
  }
  return out;
}

}  // namespace preserver
