#include "librarywindow/ProblemGroups.h"

#include <QRegularExpression>
#include <map>

#include "medium/PrintableText.h"

namespace librarywindow {

namespace {

// A heading names a presentation by its title and folder, both read from config.txt.
constexpr int kHeadingTitleChars = 80;
constexpr int kHeadingFolderChars = 60;

const QString kConfigPrefix = QStringLiteral("Data/config.txt: ");

// The problems beyond those the index lists are counted in one last line of their own.
int CountedRest(const QString& problem) {
  static const QRegularExpression rest(QStringLiteral("^\\.\\.\\. and (\\d+) more$"));
  const QRegularExpressionMatch m = rest.match(problem);
  return m.hasMatch() ? m.captured(1).toInt() : 0;
}

struct Folding {
  QString heading;
  QStringList order;            // printable lines, first met first
  std::map<QString, int> seen;  // line -> times
  int count = 0;

  void Add(const QString& message) {
    const QString line = medium::PrintableText(message);
    if (seen[line]++ == 0) order << line;
    ++count;
  }

  ProblemGroup Folded() const {
    ProblemGroup g;
    g.heading = heading;
    g.count = count;
    for (const QString& line : order) {
      const int n = seen.at(line);
      g.lines << (n > 1 ? QStringLiteral("%1 \u00d7%2").arg(line).arg(n) : line);
    }
    return g;
  }
};

}  // namespace

std::vector<ProblemGroup> GroupProblems(const library::MediumEntry& medium) {
  Folding config{QStringLiteral("The list of presentations (Data/config.txt)"), {}, {}, 0};
  // One group per presentation folder, in the medium's order.
  std::vector<Folding> presentations;
  std::map<QString, size_t> byFolder;
  for (const library::PresentationEntry& p : medium.presentations) {
    if (byFolder.count(p.folder)) continue;
    byFolder[p.folder] = presentations.size();
    const QString title = p.title.trimmed().isEmpty() ? p.folder : p.title;
    presentations.push_back(
        {QStringLiteral("%1 (%2)").arg(medium::PrintableText(title, kHeadingTitleChars),
                                       medium::PrintableText(p.folder, kHeadingFolderChars)),
         {},
         {},
         0});
  }
  Folding other{QStringLiteral("The medium"), {}, {}, 0};
  int rest = 0;

  for (const QString& problem : medium.problems) {
    if (problem.startsWith(kConfigPrefix)) {
      config.Add(problem.mid(kConfigPrefix.size()));
      continue;
    }
    if (const int n = CountedRest(problem)) {
      rest += n;
      continue;
    }
    // The longest folder the line begins with: "Talk: ..." is not taken for "Talk 2: ...".
    Folding* best = nullptr;
    qsizetype bestLength = -1;
    for (const auto& [folder, k] : byFolder) {
      if (folder.size() > bestLength && problem.startsWith(folder + QStringLiteral(": "))) {
        best = &presentations[k];
        bestLength = folder.size();
      }
    }
    if (best) {
      best->Add(problem.mid(bestLength + 2));
    } else {
      other.Add(problem);
    }
  }

  std::vector<ProblemGroup> groups;
  if (config.count) groups.push_back(config.Folded());
  for (const Folding& f : presentations)
    if (f.count) groups.push_back(f.Folded());
  if (other.count || rest) {
    ProblemGroup g = other.Folded();
    if (rest) {
      g.lines << QStringLiteral("\u2026 and %1 more, not listed").arg(rest);
      g.count += rest;
    }
    groups.push_back(g);
  }
  return groups;
}

int ProblemCount(const library::MediumEntry& medium) {
  int n = 0;
  for (const QString& problem : medium.problems) {
    const int rest = CountedRest(problem);
    n += rest ? rest : 1;
  }
  return n;
}

QString ProblemsText(const std::vector<ProblemGroup>& groups) {
  QStringList paragraphs;
  for (const ProblemGroup& g : groups)
    paragraphs << g.heading + QStringLiteral(":\n  ") + g.lines.join(QStringLiteral("\n  "));
  return paragraphs.join(QStringLiteral("\n"));
}

}  // namespace librarywindow
