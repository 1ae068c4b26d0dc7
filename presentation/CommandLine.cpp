#include "presentation/CommandLine.h"

#include "medium/CommandLineOptions.h"
#include "medium/TextStream.h"

QString ReadCommandLine(const QString& argumentText, medium::Reporter& reporter) {
  using medium::PieceAt;
  QString presFolder;
  // Typed words split at every blank; an argument that holds a blank itself stays one word.
  const QStringList words = medium::ArgumentWords(argumentText);
  bool isSwitch = false;
  // An empty argument text has no first word: the test fails and is reported, and then counts
  // as not matching, so forming the "Invalid argument" message fails and is reported too.
  medium::ReportAndContinue(reporter, [&] {
    const QString first = PieceAt(words, 0).toLower();
    isSwitch = first == QLatin1String("-p") || first == QLatin1String("/p");
  });
  if (isSwitch) {
    if (words.size() == 1) {
      reporter.Report(QStringLiteral("Filename not specified, using default value."));
      presFolder = QStringLiteral("ABB");
    } else {
      presFolder = words.last();
    }
  } else {
    medium::ReportAndContinue(reporter, [&] {
      const QString text = QStringLiteral("Invalid argument: ") + PieceAt(words, 0);
      reporter.Report(text);
    });
  }
  return presFolder;
}
