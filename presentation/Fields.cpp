#include "presentation/Fields.h"

#include "medium/Error.h"

namespace {

// Positions are 16-bit: the position after a "~" must still fit, so a "~" beyond character
// 32766 cannot be stepped over. Such a line is reported instead of yielding a wrong field.
qsizetype PositionAfter(qsizetype foundZeroBased) {
  const qsizetype after = foundZeroBased + 2;  // 1-based position of the next character
  if (after > INT16_MAX) medium::RaiseOverflow(QStringLiteral("field position %1").arg(after));
  return after - 1;  // back to 0-based
}

}  // namespace

int16_t GetNumFields(const QString& strMessage) {
  int16_t count = 0;
  qsizetype position = 0;
  for (;;) {
    const qsizetype found = strMessage.indexOf(u'~', position);
    if (found < 0) return count;
    position = PositionAfter(found);
    ++count;
  }
}

int16_t FieldStart(const QString& strMessage, int16_t n) {
  qsizetype position = 0;  // 0-based here; returned 1-based
  for (int16_t i = 0; i < n; ++i) {
    const qsizetype found = strMessage.indexOf(u'~', position);
    // Only called with n up to the separator count; a missing separator restarts the search,
    // which is what the old string search did for a position of 0.
    position = found < 0 ? 0 : PositionAfter(found);
  }
  return static_cast<int16_t>(position + 1);
}

QString GetField(int16_t iIndex, const QString& strMessage) {
  if (GetNumFields(strMessage) < iIndex) return QString();
  const int16_t start = FieldStart(strMessage, iIndex);
  const QString rest = strMessage.mid(start - 1);
  const qsizetype tilde = rest.indexOf(u'~');
  return tilde >= 0 ? rest.left(tilde) : rest;
}
