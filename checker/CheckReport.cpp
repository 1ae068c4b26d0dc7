#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include "checker/MediumCheck.h"

// The report of a check, as the terminal, the menu's window and a bag's metadata show it.

namespace checker {

QString FormatText(const CheckResult& result) {
  QString out;
  QTextStream s(&out);
  auto line = [&](const Problem& p) {
    s << "  " << p.file;
    if (p.line > 0) s << ':' << p.line;
    s << ": " << (p.severity == Severity::Note ? "note: " : "") << p.message << '\n';
  };
  s << "Medium " << result.root << '\n';
  for (const auto& p : result.problems) line(p);
  for (const auto& pres : result.presentations) {
    s << "Presentation \"" << pres.name << "\" (" << pres.folder << "): " << pres.slides
      << " slides, " << pres.annotations << " annotations, " << pres.cues << " cues, "
      << pres.languages << " languages\n";
    for (const auto& p : pres.problems) line(p);
  }
  const int n = result.ProblemCount();
  if (n == 0) {
    s << "No problems found.\n";
  } else {
    s << n << (n == 1 ? " problem" : " problems") << " found.\n";
  }
  // Notes are listed but never make a medium faulty.
  const int notes = result.NoteCount();
  if (notes > 0) s << notes << (notes == 1 ? " note" : " notes") << ".\n";
  return out;
}

QByteArray FormatJson(const CheckResult& result) {
  auto problems = [](const std::vector<Problem>& list) {
    QJsonArray a;
    for (const auto& p : list) {
      a.append(QJsonObject{{"file", p.file},
                           {"line", p.line},
                           {"message", p.message},
                           {"severity", p.severity == Severity::Note ? QStringLiteral("note")
                                                                     : QStringLiteral("problem")}});
    }
    return a;
  };
  QJsonArray presentations;
  for (const auto& p : result.presentations) {
    presentations.append(QJsonObject{{"name", p.name},
                                     {"folder", p.folder},
                                     {"slides", p.slides},
                                     {"annotations", p.annotations},
                                     {"cues", p.cues},
                                     {"languages", p.languages},
                                     {"problems", problems(p.problems)}});
  }
  const QJsonObject root{{"medium", result.root},
                         {"problemCount", result.ProblemCount()},
                         {"noteCount", result.NoteCount()},
                         {"problems", problems(result.problems)},
                         {"presentations", presentations}};
  return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

}  // namespace checker
