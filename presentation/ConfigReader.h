#pragma once
// Reading the medium's presentation list, \Data\config.txt. Line 1 holds the count as its second
// blank-separated piece; then one pair of lines per presentation, name first, folder second.
// Every step runs under report-and-continue: a failed step is reported and changes nothing.

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

#include "medium/Report.h"
#include "medium/TextStream.h"
#include "presentation/MediumLayout.h"
#include "presentation/PresList.h"

namespace launcher {

class ConfigReader {
 public:
  ConfigReader(const layout::MediumLayout& medium, medium::Reporter& reporter)
      : medium_(medium), reporter_(reporter) {}

  // Creates the text stream, builds the path, opens the file, reads and splits line 1 and takes
  // the count from its second piece: one step each.
  void ReadCount();
  // The count; 0 when it could not be read.
  int16_t Count() const { return count_; }
  // Two or more presentations are offered in a list; anything else is one presentation.
  bool IsMulti() const { return count_ > 1; }
  // The next line into a field, as one step; a failed read leaves the field as it was.
  void ReadField(QString& field);
  // Closes the file; the stream itself goes with the reader.
  void Release();
  const QString& Path() const { return path_; }

 private:
  layout::MediumLayout medium_;
  medium::Reporter& reporter_;
  std::optional<medium::TextStream> stream_;
  QString path_;
  QStringList firstLine_;
  int16_t count_ = 0;
};

// Fills the list after ReadCount: N pairs when the count is 2 or more, else exactly one pair.
// In the multi case addEntry receives each name as its own step, before the record is appended.
// Returns true for the multi case.
bool FillPresentationList(medium::Reporter& reporter, ConfigReader& reader, PresArr_cls& list,
                          const std::function<void(const QString&)>& addEntry);

// The whole list of a medium's presentations, read as the launcher reads it (the count, the
// pairs, the file closed), every failed step reported. What the checker, the exporter, the
// preserver and the library read; the launcher's window reads it step by step to fill its list.
PresArr_cls ReadPresentationList(const layout::MediumLayout& medium, medium::Reporter& reporter);

}  // namespace launcher
