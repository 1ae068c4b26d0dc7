#include "checker/CheckCommand.h"

#include <cstdio>

#include "checker/MediumCheck.h"
#include "jobs/TerminalLine.h"
#include "presentation/MediumFolder.h"
#include "presentation/MediumLayout.h"

namespace checker {

int RunCheck(const std::optional<QString>& mediumFolder, bool json) {
  const QString folder = mediumFolder.value_or(layout::Current().NativeRoot());
  if (!medium::IsReadableFolder(folder)) {
    std::fprintf(stderr, "Ambrel: %s\n", qPrintable(medium::UnreadableMediumText(folder)));
    return 2;
  }
  const layout::MediumLayout medium(folder);
  CheckOptions options;
  jobs::TerminalLine line;
  if (line.Active()) {
    options.progress = [&line](const QString& file, double fraction) {
      if (file.isEmpty()) {
        line.Clear();
      } else {
        line.Show(QStringLiteral("Reading recording %1: %2%")
                      .arg(file)
                      .arg(static_cast<int>(fraction * 100), 3));
      }
    };
  }
  const CheckResult result = CheckMedium(medium, options);
  if (json) {
    const QByteArray out = FormatJson(result);
    std::fwrite(out.constData(), 1, static_cast<size_t>(out.size()), stdout);
  } else {
    std::fputs(FormatText(result).toLocal8Bit().constData(), stdout);
  }
  return result.ProblemCount() == 0 ? 0 : 1;
}

}  // namespace checker
