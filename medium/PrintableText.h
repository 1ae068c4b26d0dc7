#pragma once
// Text read from a damaged file, made fit to show: a reader's problem names what it read, and
// what it read may be anything. Whatever is shown (on a terminal, in a window, on a web page)
// is one line of printable text: a character that does not print (a control character, a line
// break, an invisible or direction-changing format character, half of a surrogate pair) is
// written as \xNN (\uNNNN above 0xFF), a tab as a blank, and a line longer than the limit is
// cut with "…". A backslash stays as it is: it is common in a medium's paths.
//
//   PrintableText(u"Data/config.txt: bad line \"\x1b[31mred\"")
//       == "Data/config.txt: bad line \"\x1B[31mred\""   (the escape as the four characters \x1B)

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>

namespace medium {

// The length a shown line is cut at: a problem and the start of what it quotes fit, a whole
// file read as one line does not.
inline constexpr int kPrintableTextLength = 300;

// One line of printable text, at most maxLength characters ("…" included).
QString PrintableText(QStringView text, int maxLength = kPrintableTextLength);

// The same for bytes of unknown encoding: UTF-8 as far as it is valid; each byte that is not
// is written as \xNN.
QString PrintableText(QByteArrayView bytes, int maxLength = kPrintableTextLength);

// A text of several lines (split at CR LF, LF or CR) as printable lines, each cut alone; after
// maxLines lines, one more says how many were left out.
QStringList PrintableTextLines(QStringView text, int maxLines,
                               int maxLength = kPrintableTextLength);

}  // namespace medium
