#pragma once
// Text read from a damaged file, made fit to show on one line: a terminal, a list row, a page.
// What a damaged config.txt or timeline holds is arbitrary bytes; shown raw, control characters
// move the cursor, ring bells or break a list row in two.

#include <QString>

namespace medium {

// The longest line a report shows of such text, in characters, before it is cut with "…".
inline constexpr int kPrintableTextLimit = 200;

// Every character that is not printable (controls, line ends, tabs, unassigned and private
// code points, lone surrogates) as \xNN (or \u{XXXX} above 0xFF), a byte of a file's name that
// is no UTF-8 (medium/LocalNames.h) as \xNN of that byte; the rest as it is; cut after maxChars
// characters of the result with "…".
QString PrintableText(const QString& text, int maxChars = kPrintableTextLimit);

}  // namespace medium
