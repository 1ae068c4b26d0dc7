#pragma once
// Names of files and folders as the system gives them: bytes, most often UTF-8, but a disc
// written on another system, or a copy of one, may name a folder with bytes that are no UTF-8
// at all. Qt reads such a name with a replacement character in place of each of them, and a
// name read that way names nothing: the folder cannot be opened again by it. These keep every
// byte: one that is no part of valid UTF-8 stands for itself as a code point of U+DC80..U+DCFF
// (lone surrogates, which no valid UTF-8 decodes to; Python's "surrogateescape" does the same),
// so that the bytes come back exactly. medium::PrintableText shows such a byte as \xNN.
//
// Qt's own file functions cannot open a path that holds such a byte; whoever opens one goes
// through the system's functions with BytesOfName, or through a link of a plain name to it.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace medium {

// bytes as text: valid UTF-8 decoded, every other byte as U+DC00 plus the byte.
QString NameFromBytes(QByteArrayView bytes);
// The bytes of a name NameFromBytes made, exactly; any other text as UTF-8.
QByteArray BytesOfName(const QString& name);
// Whether name holds a byte that is no part of valid UTF-8 (so Qt cannot open it by name).
bool HasRawBytes(const QString& name);

}  // namespace medium
