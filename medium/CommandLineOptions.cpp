#include "CommandLineOptions.h"

namespace medium {

ProgramOptions ParseProgramOptions(const QStringList& args) {
  ProgramOptions o;
  for (qsizetype i = 0; i < args.size(); ++i) {
    const QString& a = args[i];
    if (a == QLatin1String("--medium") && i + 1 < args.size()) {
      o.medium = args[++i];
    } else if (a.startsWith(QLatin1String("--medium="))) {
      o.medium = a.mid(9);
    } else if (a == QLatin1String("--help")) {
      o.help = true;
    } else if (a == QLatin1String("--version")) {
      o.version = true;
    } else if (a == QLatin1String("--probe")) {
      o.probe = true;
    } else if (a == QLatin1String("--check")) {
      o.check = true;
    } else if (a == QLatin1String("--json")) {
      o.json = true;
    } else if (a == QLatin1String("--export")) {
      o.exportDir = i + 1 < args.size() ? args[++i] : QString();
    } else if (a == QLatin1String("--force")) {
      o.force = true;
    } else {
      o.rest << a;
    }
  }
  return o;
}

QString ArgumentText(const QStringList& rest) {
  return rest.join(u' ');
}

ProgramOptions ParseProgramOptions(int argc, char** argv) {
  QStringList args;
  for (int i = 1; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
  return ParseProgramOptions(args);
}

}  // namespace medium
