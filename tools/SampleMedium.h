#pragma once
// Writes a complete sample medium: the launcher's list and pictures, a slide-show presentation
// with a video recording and a still-picture presentation with an audio recording, each with
// its timeline, transcripts, details and recordings in both players' formats.

#include <QString>
#include <QStringList>
#include <functional>

namespace sample {

// Name of the file that marks a folder as written by the generator, so that a later run may
// replace its contents; any other non-empty folder is left alone.
inline constexpr char kMarkerFile[] = ".make_sample_medium";

using ProgressFn = std::function<void(const QString&)>;

// Writes the medium into the native folder outputDir (created when missing). Raises
// GeneratorError when a tool is missing or fails, or the folder cannot be used.
void GenerateSampleMedium(const QString& outputDir, const ProgressFn& progress = {});

// The program: "make_sample_medium OUTPUT_DIR". Returns the exit code; messages go to the
// two functions.
int RunGenerator(const QStringList& arguments, const ProgressFn& out, const ProgressFn& err);

}  // namespace sample
