#include "CommandLineOptions.h"

#include <QRegularExpression>
#include <algorithm>

#include "medium/LocalNames.h"
#include "medium/TextStream.h"

namespace medium {

namespace {

enum : unsigned { kLauncher = 1, kPlayer = 2, kBoth = kLauncher | kPlayer };

struct OptionRule {
  const char* name;
  const char* value;  // the name of the option's value in the usage, or null for none
  unsigned programs;
  const char* help;
  void (*apply)(ProgramOptions& options, const QString& value);
};

// Every option of the programs: adding one is a row here and a field of ProgramOptions.
const OptionRule kOptions[] = {
    {"--medium", "DIR", kBoth, "the medium's root folder (default: the program's own folder)",
     [](ProgramOptions& o, const QString& v) { o.medium = v; }},
    {"--check", nullptr, kLauncher,
     "read every presentation of the medium and list every problem found; exit 0 when there is "
     "none, 1 when there are problems, 2 when there is no medium or it cannot be read",
     [](ProgramOptions& o, const QString&) { o.check = true; }},
    {"--json", nullptr, kLauncher, "with --check or --search: the report as JSON",
     [](ProgramOptions& o, const QString&) { o.json = true; }},
    {"--export", "OUTDIR", kLauncher,
     "write every presentation (or the FOLDERs named after it) as a web page with its recording "
     "in MP4/M4A, slides and WebVTT transcripts into OUTDIR/<folder>/; exit 0 all exported, 1 "
     "problems, 2 usage error or a medium that cannot be read",
     [](ProgramOptions& o, const QString& v) { o.exportDir = v; }},
    {"--force", nullptr, kLauncher,
     "with --export: replace presentation folders that exist in OUTDIR; with --preserve: "
     "replace the bag",
     [](ProgramOptions& o, const QString&) { o.force = true; }},
    {"--preserve", "OUTDIR", kLauncher,
     "write the medium as a BagIt bag into OUTDIR/<medium>/: every file with its SHA-512, the "
     "check's report, a description of every recording; exit 0 complete, 1 incomplete or not "
     "made, 2 usage error or a medium that cannot be read",
     [](ProgramOptions& o, const QString& v) { o.preserveDir = v; }},
    {"--masters", nullptr, kLauncher,
     "with --preserve: also a lossless master of every recording (FFV1 and FLAC or float PCM "
     "in Matroska), proved equal to the original when decoded",
     [](ProgramOptions& o, const QString&) { o.masters = true; }},
    {"--verify", nullptr, kLauncher,
     "check the bags named after it: every checksum, missing and extra files, Payload-Oxum, the "
     "tag manifest; exit 0 valid, 1 invalid, 2 not a bag",
     [](ProgramOptions& o, const QString&) { o.verify = true; }},
    {"--library", nullptr, kLauncher,
     "the library of every medium found in the DIRs named after it (up to four levels below), "
     "else in the folders named the last time; with --check, --export or --preserve: each of its "
     "media",
     [](ProgramOptions& o, const QString&) { o.library = true; }},
    {"--search", "QUERY", kLauncher,
     "search the library's titles, slide titles, transcripts and details for all the words of "
     "QUERY; exit 0 with hits, 1 with none, 2 usage error or no library",
     [](ProgramOptions& o, const QString& v) { o.search = v; }},
    {"--index", "URL", kLauncher,
     "with --library or --search: the library's index, sqlite:PATH (default: a file in the "
     "cache folder) or a PostgreSQL address postgresql://[user@][host][:port]/dbname shared by "
     "several workstations (remembered; the password comes from ~/.pgpass)",
     [](ProgramOptions& o, const QString& v) { o.index = v; }},
    {"--at", "TIME", kPlayer,
     "play from TIME (seconds, or m:ss) and show that moment's slide, marks and transcript at "
     "once",
     [](ProgramOptions& o, const QString& v) {
       o.atMs = ParseMomentMs(v);
       if (!o.atMs) {
         o.error = v.startsWith(u'-')
                       ? QStringLiteral("--at cannot be negative: %1").arg(v)
                       : QStringLiteral("--at needs a time in seconds or m:ss: %1").arg(v);
       }
     }},
    {"--probe", nullptr, kPlayer, "exit 0 when the engine can play this player's formats, else 1",
     [](ProgramOptions& o, const QString&) { o.probe = true; }},
    {"--help", nullptr, kBoth, "show this text",
     [](ProgramOptions& o, const QString&) { o.help = true; }},
    {"--version", nullptr, kBoth, "show the version",
     [](ProgramOptions& o, const QString&) { o.version = true; }},
};

unsigned MaskOf(OptionProgram program) {
  return program == OptionProgram::Launcher ? kLauncher : kPlayer;
}

const OptionRule* FindOption(const QString& name) {
  for (const OptionRule& rule : kOptions) {
    if (name == QLatin1String(rule.name)) return &rule;
  }
  return nullptr;
}

// The old players' switch, in either case and with either lead character.
bool IsPlayerSwitch(const QString& arg) {
  const QString lower = arg.toLower();
  return lower == QLatin1String("-p") || lower == QLatin1String("/p");
}

bool LooksLikeOption(const QString& arg) {
  return arg.size() > 1 && arg.startsWith(u'-');
}

// No option begins with a digit: "--at -5" is a negative time, not --at without one.
bool LooksLikeNegativeNumber(const QString& arg) {
  return arg.size() > 1 && arg.startsWith(u'-') && (arg[1].isDigit() || arg[1] == u'.');
}

class Parser {
 public:
  Parser(const QStringList& args, OptionProgram program) : args_(args), mask_(MaskOf(program)) {}

  ProgramOptions Run() {
    for (i_ = 0; i_ < args_.size() && o_.error.isEmpty(); ++i_) {
      const QString& a = args_[i_];
      if (a == QLatin1String("--")) {
        EndOfOptions(i_ + 1);
        break;
      }
      if (mask_ == kPlayer && IsPlayerSwitch(a)) {
        o_.rest = args_.mid(i_);
        break;
      }
      if (LooksLikeOption(a)) {
        Option(a);
      } else if (mask_ == kPlayer) {
        // The old argument text without its switch: the player says "Invalid argument".
        o_.rest = args_.mid(i_);
        break;
      } else {
        BareFolder(a);
      }
    }
    SettleFolders();
    SettleCommand();
    return o_;
  }

 private:
  void EndOfOptions(qsizetype from) {
    if (mask_ == kPlayer) {
      o_.rest = args_.mid(from);
      return;
    }
    for (qsizetype k = from; k < args_.size() && o_.error.isEmpty(); ++k) BareFolder(args_[k]);
  }

  void Option(const QString& a) {
    const qsizetype equals = a.indexOf(u'=');
    const QString name = equals < 0 ? a : a.left(equals);
    const OptionRule* rule = FindOption(name);
    if (!rule) {
      o_.error = QStringLiteral("unknown option %1").arg(name);
      return;
    }
    if (!(rule->programs & mask_)) {
      o_.error =
          mask_ == kPlayer
              ? QStringLiteral("%1 is an option of the launcher, not of a player").arg(name)
              : QStringLiteral("%1 is an option of the players, not of the launcher").arg(name);
      return;
    }
    QString value;
    if (rule->value) {
      if (equals >= 0) {
        value = a.mid(equals + 1);
      } else if (i_ + 1 < args_.size() &&
                 (!LooksLikeOption(args_[i_ + 1]) || LooksLikeNegativeNumber(args_[i_ + 1]))) {
        value = args_[++i_];
      }
      if (value.isEmpty()) {
        o_.error = QStringLiteral("%1 needs a value: %1 %2").arg(name, QLatin1String(rule->value));
        return;
      }
      if (name == QLatin1String("--medium")) media_ << value;
    } else if (equals >= 0) {
      o_.error = QStringLiteral("%1 takes no value").arg(name);
      return;
    }
    rule->apply(o_, value);
  }

  // A folder given to the launcher without --medium is the medium (a desktop's "open with");
  // with --export, wherever it stands, the folders are the presentations to export, with
  // --verify the bags to check. Which it is is known only once every option has been read.
  void BareFolder(const QString& a) {
    bare_ << a;
    media_ << a;
  }

  // The one command of a launcher's run, and the options that go with it.
  void SettleCommand() {
    if (!o_.error.isEmpty() || mask_ != kLauncher || o_.help || o_.version) return;
    QStringList given;
    if (o_.check) given << QStringLiteral("--check");
    if (o_.exportDir) given << QStringLiteral("--export");
    if (o_.preserveDir) given << QStringLiteral("--preserve");
    if (o_.verify) given << QStringLiteral("--verify");
    if (o_.search) given << QStringLiteral("--search");
    if (given.size() > 1) {
      o_.error = QStringLiteral("%1 and %2 cannot be given together: one command at a time")
                     .arg(given[0], given[1]);
      return;
    }
    const QString command = given.value(0, o_.library ? QStringLiteral("--library") : QString());
    if (o_.library && o_.verify) {
      o_.error = QStringLiteral("--verify takes bags, not a library: --verify BAG...");
      return;
    }
    auto belongs = [&](bool set, const char* option, const QStringList& commands) {
      if (!set || !o_.error.isEmpty() || commands.contains(command)) return;
      o_.error = QStringLiteral("%1 goes with %2%3")
                     .arg(QLatin1String(option), commands.join(QStringLiteral(" or ")),
                          command.isEmpty() ? QString() : QStringLiteral(", not with ") + command);
    };
    belongs(o_.json, "--json", {QStringLiteral("--check"), QStringLiteral("--search")});
    belongs(o_.force, "--force", {QStringLiteral("--export"), QStringLiteral("--preserve")});
    belongs(o_.masters, "--masters", {QStringLiteral("--preserve")});
    if (o_.index && !o_.library && o_.error.isEmpty()) {
      o_.error = QStringLiteral("--index goes with --library or --search%1")
                     .arg(command.isEmpty() ? QString() : QStringLiteral(", not with ") + command);
    }
    if (!o_.error.isEmpty()) return;
    if (o_.search) {
      o_.command = LauncherCommand::Search;
    } else if (o_.check) {
      o_.command = o_.library ? LauncherCommand::LibraryCheck : LauncherCommand::Check;
    } else if (o_.exportDir) {
      o_.command = o_.library ? LauncherCommand::LibraryExport : LauncherCommand::Export;
    } else if (o_.preserveDir) {
      o_.command = o_.library ? LauncherCommand::LibraryPreserve : LauncherCommand::Preserve;
    } else if (o_.verify) {
      o_.command = LauncherCommand::Verify;
    } else if (o_.library) {
      o_.command = LauncherCommand::Library;
    }
  }

  void SettleFolders() {
    if (!o_.error.isEmpty()) return;
    if (o_.search) o_.library = true;
    if (o_.library) {
      // Every folder given is one of the library's; a medium named with --medium is not.
      if (o_.medium) {
        o_.error =
            QStringLiteral("--medium names one medium; a library is named with --library DIR");
      }
      o_.libraryDirs = bare_;
      return;
    }
    if (bare_.isEmpty()) return;
    if (o_.exportDir || o_.verify) {
      o_.rest << bare_;
    } else if (media_.size() > 1) {
      o_.error = QStringLiteral("more than one medium given: %1").arg(media_[1]);
    } else {
      o_.medium = bare_.front();
    }
  }

  const QStringList& args_;
  const unsigned mask_;
  qsizetype i_ = 0;
  QStringList bare_;   // folders given without an option, in order
  QStringList media_;  // every medium named, by --medium or bare, in order
  ProgramOptions o_;
};

}  // namespace

ProgramOptions ParseProgramOptions(const QStringList& args, OptionProgram program) {
  return Parser(args, program).Run();
}

ProgramOptions ParseProgramOptions(int argc, char** argv, OptionProgram program) {
  QStringList args;
  // A folder's name that is no UTF-8 keeps its bytes (medium/LocalNames.h).
  for (int i = 1; i < argc; ++i) args << NameFromBytes(argv[i]);
  return ParseProgramOptions(args, program);
}

std::optional<double> ParseMomentMs(const QString& text) {
  // h:mm:ss, m:ss (minutes may run on: 75:10) or seconds, each with up to three decimals; whole
  // parts of at most nine digits keep every value exact and far from overflow.
  static const QRegularExpression moment(
      QStringLiteral("^(?:([0-9]{1,6}):([0-5][0-9]):([0-5][0-9])|([0-9]{1,9}):([0-5][0-9])|"
                     "([0-9]{1,9}))(?:\\.([0-9]{1,3}))?$"));
  const QRegularExpressionMatch m = moment.match(text);
  if (!m.hasMatch()) return std::nullopt;
  const auto part = [&m](int n) { return m.captured(n).toDouble(); };  // empty is 0
  double seconds = part(6);
  if (m.capturedLength(1) > 0) seconds = (part(1) * 60 + part(2)) * 60 + part(3);
  if (m.capturedLength(4) > 0) seconds = part(4) * 60 + part(5);
  return seconds * 1000 + m.captured(7).leftJustified(3, u'0').toDouble();
}

QString OptionsHelp(OptionProgram program) {
  QString text;
  for (const OptionRule& rule : kOptions) {
    if (!(rule.programs & MaskOf(program))) continue;
    QString head = QLatin1String(rule.name);
    if (rule.value) head += u' ' + QLatin1String(rule.value);
    // Two columns, the description wrapped at blanks to stay within 80 characters.
    QString line = QStringLiteral("  %1 ").arg(head, -21);
    const qsizetype indent = line.size();
    for (const QString& word : QString::fromLatin1(rule.help).split(u' ')) {
      if (line.size() + word.size() > 79 && line.size() > indent) {
        line.chop(1);
        text += line + u'\n';
        line = QString(indent, u' ');
      }
      line += word + u' ';
    }
    line.chop(1);
    text += line + u'\n';
  }
  return text;
}

QString ArgumentText(const QStringList& rest) {
  const bool wholeArguments =
      std::any_of(rest.begin(), rest.end(), [](const QString& a) { return a.contains(u' '); });
  if (!wholeArguments) return rest.join(u' ');
  QString text;
  for (const QString& a : rest) text += QChar(kArgumentBoundary) + a;
  return text;
}

QStringList ArgumentWords(const QString& argumentText) {
  if (argumentText.startsWith(QChar(kArgumentBoundary))) {
    return argumentText.mid(1).split(QChar(kArgumentBoundary), Qt::KeepEmptyParts);
  }
  return SplitPieces(argumentText, u' ');
}

}  // namespace medium
