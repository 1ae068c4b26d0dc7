#include "Convert.h"

#include <QLocale>
#include <QRegularExpression>
#include <cmath>

#include "Error.h"

namespace medium {
namespace {

// Blanks and tabs around a value are allowed; inside it they are not.
QString Strip(const QString& text) {
  qsizetype b = 0, e = text.size();
  while (b < e && (text[b] == u' ' || text[b] == u'\t')) ++b;
  while (e > b && (text[e - 1] == u' ' || text[e - 1] == u'\t')) --e;
  return text.mid(b, e - b);
}

bool ParseDecimal(const QString& text, double* out) {
  static const QRegularExpression kNumber(
      QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?$"));
  const QString s = Strip(text);
  if (!kNumber.match(s).hasMatch()) return false;
  bool ok = false;
  const double v = QLocale::c().toDouble(s, &ok);
  if (!ok || !std::isfinite(v)) return false;
  *out = v;
  return true;
}

}  // namespace

double RoundHalfEven(double value) {
  const double r = std::round(value);  // halves away from zero
  if (std::fabs(value - std::trunc(value)) == 0.5) return 2.0 * std::round(value / 2.0);
  return r;
}

int16_t ToInt16(const QString& text) {
  double v = 0;
  if (!ParseDecimal(text, &v)) RaiseTypeMismatch(text);
  const double r = RoundHalfEven(v);
  if (r < -32768.0 || r > 32767.0) RaiseOverflow(text);
  return static_cast<int16_t>(r);
}

double ToDouble(const QString& text) {
  double v = 0;
  if (!ParseDecimal(text, &v)) RaiseTypeMismatch(text);
  return v;
}

bool ToBool(const QString& text) {
  const QString s = Strip(text);
  if (s.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0) return true;
  if (s.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0) return false;
  double v = 0;
  if (!ParseDecimal(s, &v)) RaiseTypeMismatch(text);
  return v != 0.0;
}

}  // namespace medium
