#pragma once
// The readers of a presentation's text files: settings, transcript languages and sections,
// details and the timeline. They work without a window: each takes an already created
// medium::TextStream and reports every failed step through the reporter and goes on, so a
// checker can run them with a reporter that records where the stream stood.

#include <QHash>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "medium/Report.h"
#include "medium/TextStream.h"
#include "presentation/MediumLayout.h"
#include "presentation/Model.h"

// ---- database.txt ----------------------------------------------------------------------------

struct Settings {
  int16_t SlideMode = 0;
  int16_t MediaMode = 0;
  std::optional<QString> UserDef1;  // the fourth value, when its line could be read
};

// Opens path, reads the four lines (name "=" value) and closes the stream. A line that fails
// leaves its setting as it was.
void ReadSettings(medium::TextStream& stream, const QString& path, medium::Reporter& reporter,
                  Settings& settings);

// ---- transcripts -----------------------------------------------------------------------------

struct LanguageList {
  QStringList names;  // in listing order: the entries of Transcript_cmb
  int selected = -1;  // the last entry whose name reads ENGLISH in upper case, else -1
};

// Lists the ordinary files of the transcripts folder; a language is the file name up to its
// first ".". A name without "." is reported and repeats the previous language.
LanguageList ListTranscriptLanguages(const QString& transcriptsFolder, medium::Reporter& reporter);

// Where the timeline reader gets a section's text in one language.
class TranscriptTexts {
 public:
  virtual ~TranscriptTexts() = default;
  // The line after the first line (from the top) that contains "SECTION" + section. Throws:
  // the file cannot be opened, the marker is missing, or the marker is the last line.
  virtual QString GetTranscriptText(int16_t languagePosition, int16_t section) = 0;
};

// Reads each language's file once, when it is first asked for, and indexes its markers, so a
// lookup costs no rescan. The answers are those of a scan from the top for every call: a line
// holding SECTION12 also marks sections 1 and 12, and the first such line wins.
// The file of a language's transcript: the folder (repaired) + name + ".html".
QString TranscriptFilePath(const QString& transcriptsFolder, const QString& language);

class TranscriptIndex : public TranscriptTexts {
 public:
  TranscriptIndex(QString transcriptsFolder, QStringList languages);
  QString GetTranscriptText(int16_t languagePosition, int16_t section) override;
  // The file of a language: the folder (repaired) + name + ".html".
  QString FilePath(int languagePosition) const;

 private:
  struct File {
    bool loaded = false;
    std::optional<int> errorNumber;  // the open failed: raised again for every lookup
    QString errorText;
    QStringList lines;
    QHash<int, int> firstMarker;  // section -> index of the first line that marks it
  };
  void Load(File& file, const QString& path);
  QString folder_;
  QStringList languages_;
  std::vector<File> files_;
};

// ---- details.txt -----------------------------------------------------------------------------

// Opens path and appends every line followed by CR LF to text; nothing when it cannot be opened.
void ReadDetails(medium::TextStream& stream, const QString& path, medium::Reporter& reporter,
                 QString& text);

// ---- events.txt ------------------------------------------------------------------------------

// What the window does while the timeline is read.
class TimelineSink {
 public:
  virtual ~TimelineSink() = default;
  // The slide list gains the title of a slide line (before the record is appended).
  virtual void AddSlideTitle(const QString& title) = 0;
  // The per-slide window steps for the slide just appended; k is the new number of slides.
  // Each step reports its own failures.
  virtual void SlideAppended(const Slide_cls& slide, int16_t k) = 0;
  // Every line of the timeline once it has been taken into the lists (or failed to be).
  virtual void LineRead() {}
};

// Reads an opened timeline until the stream stands at the end of a line (an empty line or the
// end of the file), filling the three lists; does not close the stream. A stream that is not
// open reads nothing. Every field assignment is a step of its own.
void ReadTimeline(medium::TextStream& stream, medium::Reporter& reporter, int16_t slideMode,
                  TranscriptTexts& texts, int languageCount, Slides_cls& slides, Anns_cls& anns,
                  Trans_cls& trans, TimelineSink& sink);
