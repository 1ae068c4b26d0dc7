#pragma once
// The lines of a BagIt manifest (RFC 8493), written and read as bytes: a file is named by the
// bytes its name has on the disk, so that a name that is not UTF-8 is written and found again as
// it is. A line end or a per cent sign in a name is per cent encoded (%0A, %0D, %25), as the bag
// format demands; nothing else is.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

#include "preserver/Digest.h"

namespace preserver {

QByteArray EncodeBagName(const QByteArray& path);
QByteArray DecodeBagName(const QByteArray& path);

// A path read from a manifest or fetch.txt in its plain form: "./" (the bag itself) and empty
// parts dropped, "a/../b" taken as "b". Empty when it is fine, else why it may not be opened:
// absolute, in a user's home folder ("~"), or climbing out of the bag.
QString NormalBagPath(const QByteArray& path, QByteArray* normal);

// One line "<hex digest>  <path>\n", the form sha512sum -c reads.
QByteArray ManifestLineOf(const QByteArray& hexDigest, const QByteArray& path);

struct ManifestEntry {
  QByteArray digest;  // lower-case hex
  QByteArray path;    // decoded, as written (not yet in its plain form)
  int line = 0;
  bool binaryMode = false;  // "<digest> *<path>", as md5sum -b writes it
};
struct ParsedManifest {
  std::vector<ManifestEntry> entries;
  QStringList errors;  // "line 3: ...", one per line that is not a manifest line
};
// text: the manifest as UTF-8 (see TagFiles for other encodings).
ParsedManifest ParseManifest(const QByteArray& text, Algorithm algorithm);

// The lines of a text file, each without its line end (LF, CR LF or CR alone).
QByteArrayList TextLines(const QByteArray& text);

}  // namespace preserver
