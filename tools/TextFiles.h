#pragma once
// The medium's text files are single-byte Windows-1252 with CR LF line ends, as the old media
// were written; the players read them byte by byte in that code page.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace sample {

// Encodes text in Windows-1252. A character the code page cannot hold is a mistake in the
// content, so it raises GeneratorError instead of being replaced silently.
QByteArray EncodeWindows1252(const QString& text);
// Every line encoded and followed by CR LF, the last one included.
QByteArray CrLfLines(const QStringList& lines);
// Writes the bytes to a native path, creating its folder; raises GeneratorError on failure.
void WriteFileBytes(const QString& nativePath, const QByteArray& bytes);
void WriteTextLines(const QString& nativePath, const QStringList& lines);

}  // namespace sample
