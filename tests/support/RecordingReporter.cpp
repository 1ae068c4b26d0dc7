#include "tests/support/RecordingReporter.h"

namespace medium {

QStringList RecordingReporter::Texts() const {
  QStringList texts;
  for (const auto& m : messages) texts << m.text;
  return texts;
}

}  // namespace medium
