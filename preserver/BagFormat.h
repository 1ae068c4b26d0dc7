#pragma once
// The text files of a BagIt bag (RFC 8493) and of its event log: written and read here only, so
// that the bag writer and the verifier agree on every character.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

#include "preserver/Digest.h"

namespace preserver {

// One manifest line for a file we named ourselves (a tag file, a master), the form sha512sum -c
// reads; preserver/ManifestLine writes and reads the lines of any name, as bytes.
QByteArray ManifestLine(const QByteArray& hexDigest, const QString& path);

// Payload-Oxum: "<octets>.<files>".
QString PayloadOxum(qint64 bytes, qint64 files);
bool ParsePayloadOxum(const QString& value, qint64* bytes, qint64* files);

// bag-info.txt: labels and values in order. A value is written on one line (line ends inside it
// become blanks); reading joins continuation lines (ones that begin with a blank or a tab).
using TagFields = std::vector<std::pair<QString, QString>>;
QByteArray FormatTagFields(const TagFields& fields);
TagFields ParseTagFields(const QByteArray& text);
// The first value of label (labels compared ignoring case), empty when there is none.
QString TagValue(const TagFields& fields, const QString& label);

// bagit.txt of a BagIt 1.0 bag in UTF-8.
QByteArray BagDeclaration();

// One row of a CSV file (RFC 4180): fields with a comma, a quote or a line end are quoted.
QByteArray CsvRow(const QStringList& fields);

}  // namespace preserver
