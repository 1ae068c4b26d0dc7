#pragma once
// Value conversions used by every reader of the medium's files. Whole numbers and numbers with a
// '.' fraction read the same in every locale.

#include <QString>
#include <cstdint>

namespace medium {

// Decimal text with an optional sign and blanks around it; a fraction rounds half to even
// (1.5 and 2.5 both give 2). Empty or not a number: type mismatch (13); outside
// -32768..32767: overflow (6).
int16_t ToInt16(const QString& text);
// Decimal text to double; type mismatch when it is not a number.
double ToDouble(const QString& text);
// True/False in any case, or a number (zero is false); anything else: type mismatch.
bool ToBool(const QString& text);
// Rounds half to even, as every whole-number conversion of the system does.
double RoundHalfEven(double value);

}  // namespace medium
