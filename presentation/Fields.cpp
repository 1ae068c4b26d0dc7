#include "presentation/Fields.h"

int16_t GetNumFields(const QString& strMessage) {
  int16_t count = 0;
  qsizetype position = 0;
  for (;;) {
    const qsizetype found = strMessage.indexOf(u'~', position);
    if (found < 0) return count;
    position = found + 1;
    ++count;
  }
}

int16_t FieldStart(const QString& strMessage, int16_t n) {
  qsizetype position = 0;  // 0-based here; returned 1-based
  for (int16_t i = 0; i < n; ++i) {
    const qsizetype found = strMessage.indexOf(u'~', position);
    // Only called with n up to the separator count; a missing separator restarts the search,
    // which is what the old string search did for a position of 0.
    position = found + 1;
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
