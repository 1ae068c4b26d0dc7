#include "Error.h"

namespace medium {

void RaiseSubscriptOutOfRange() {
  throw AppError(kSubscriptOutOfRange, "Subscript out of range");
}

void RaiseTypeMismatch(const QString& value) {
  throw AppError(kTypeMismatch, QStringLiteral("Type mismatch: \"%1\" is not a number").arg(value));
}

void RaiseOverflow(const QString& value) {
  throw AppError(kOverflow, QStringLiteral("Overflow: %1 is out of range").arg(value.trimmed()));
}

}  // namespace medium
