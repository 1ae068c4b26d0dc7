#pragma once
// Reading a bag's tag files as RFC 8493 has them: bagit.txt exactly as the declaration must be
// (two lines, UTF-8 without a byte-order mark, one space after each colon), the other tag files
// in the encoding bagit.txt declares, and the lines of fetch.txt.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

namespace preserver {

struct BagDeclarationCheck {
  QString version;       // empty: bagit.txt names none, so it declares no bag
  QString encoding;      // "UTF-8" when it names none
  QStringList problems;  // each a way in which it is not what the format demands
};
BagDeclarationCheck CheckBagDeclaration(const QByteArray& bagit);

// The encoding of the tag files. UTF-8 (or what Qt's and ICU's converters know by the name) is
// read into UTF-8: for UTF-8 itself the bytes as they are, so that a name that is not UTF-8 stays
// the name it is.
class TagEncoding {
 public:
  explicit TagEncoding(const QString& name);
  bool IsKnown() const { return known_; }
  const QString& Name() const { return name_; }
  // The text of a tag file as UTF-8; false (with why) when it is not text in this encoding.
  bool ToUtf8(const QByteArray& raw, QByteArray* utf8, QString* why) const;

 private:
  QString name_;
  bool utf8_ = true;
  bool known_ = true;
};

struct FetchEntry {
  QByteArray url;
  qint64 length = -1;  // -1: "-", not stated
  QByteArray path;     // decoded, as written
  int line = 0;
};
struct ParsedFetch {
  std::vector<FetchEntry> entries;
  QStringList errors;  // "line 3: ..."
};
// fetch.txt (as UTF-8): "<url> <length or -> <path>" per line.
ParsedFetch ParseFetch(const QByteArray& text);

}  // namespace preserver
