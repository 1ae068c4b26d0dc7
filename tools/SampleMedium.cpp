#include "tools/SampleMedium.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include "tools/Artwork.h"
#include "tools/GeneratorError.h"
#include "tools/MediaTools.h"
#include "tools/SampleContent.h"
#include "tools/TextFiles.h"

namespace sample {

namespace {

// The four folders of a medium; a run replaces them whole.
const QStringList kMediumFolders = {QStringLiteral("Data"), QStringLiteral("Images"),
                                    QStringLiteral("Media"), QStringLiteral("Slides")};

void Say(const ProgressFn& progress, const QString& text) {
  if (progress) progress(text);
}

// Makes outputDir an empty medium folder. A folder that holds anything but an earlier output
// of the generator is refused rather than emptied.
void PrepareOutput(const QDir& root) {
  if (root.exists()) {
    const QStringList entries =
        root.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    if (!entries.isEmpty() && !entries.contains(QString::fromLatin1(kMarkerFile))) {
      throw GeneratorError(QStringLiteral("%1 is not empty and was not written by "
                                          "make_sample_medium; choose a new or empty folder.")
                               .arg(QDir::toNativeSeparators(root.absolutePath())));
    }
    for (const QString& folder : kMediumFolders) {
      QDir sub(root.filePath(folder));
      if (sub.exists() && !sub.removeRecursively()) {
        throw GeneratorError(QStringLiteral("Cannot remove the earlier %1")
                                 .arg(QDir::toNativeSeparators(sub.path())));
      }
    }
  } else if (!QDir().mkpath(root.absolutePath())) {
    throw GeneratorError(QStringLiteral("Cannot create the folder %1")
                             .arg(QDir::toNativeSeparators(root.absolutePath())));
  }
  WriteFileBytes(root.filePath(QString::fromLatin1(kMarkerFile)),
                 "Written by make_sample_medium; a new run replaces Data, Images, Media and "
                 "Slides.\n");
}

void WriteDeck(const QDir& root, const SampleContent& content) {
  const QString deck = QStringLiteral("Slides/") + content.deck.folder;
  for (int n = 1; n <= static_cast<int>(content.deck.slides.size()); ++n) {
    const QImage slide = DrawSlide(content, n);
    SaveJpeg(slide, root.filePath(deck + QStringLiteral("/Slide%1.jpg").arg(n)));
    SaveJpeg(DrawThumbnail(slide),
             root.filePath(deck + QStringLiteral("/thumbs/Slide%1.jpg").arg(n)));
  }
}

void WriteLauncherPictures(const QDir& root) {
  const struct {
    ButtonKind kind;
    int number;
  } buttons[] = {{ButtonKind::kWindowsMedia, 1},
                 {ButtonKind::kRealMedia, 2},
                 {ButtonKind::kExit, 3},
                 {ButtonKind::kWebLink, 4}};
  for (const auto& b : buttons) {
    WriteFileBytes(root.filePath(QStringLiteral("Images/button%1.jpg").arg(b.number)),
                   DesignButtonFile(b.kind));
    SaveJpeg(DrawButton(b.kind, true),
             root.filePath(QStringLiteral("Images/button%1b.jpg").arg(b.number)));
  }
}

void WritePresentationFiles(const QDir& root, const SampleContent& content, const Presentation& p) {
  const QString data = QStringLiteral("Data/") + p.folder;
  WriteTextLines(root.filePath(data + QStringLiteral("/database.txt")), DatabaseLines(p));
  WriteTextLines(root.filePath(data + QStringLiteral("/events.txt")), EventsLines(p, content.deck));
  for (int k = 0; k < p.languages.size(); ++k) {
    WriteTextLines(root.filePath(data + QStringLiteral("/transcripts/") + p.languages[k] +
                                 QStringLiteral(".html")),
                   TranscriptLines(p, k));
  }
  WriteTextLines(root.filePath(data + QStringLiteral("/details.txt")), DetailsLines(p));
  if (p.slideMode == 2) {
    SaveJpeg(DrawStillPicture(content, p),
             root.filePath(QStringLiteral("Images/") + p.folder + QStringLiteral("/slide.jpg")));
  }
  if (p.mediaMode == 2) {
    SaveJpeg(DrawAudioPicture(p),
             root.filePath(QStringLiteral("Images/") + p.folder + QStringLiteral("/audio.jpg")));
  }
}

void WriteRecordings(const QDir& root, const SampleContent& content, const Presentation& p,
                     const Toolset& tools, const QString& work) {
  const QString narration =
      MakeNarration(tools, NarrationSegments(p), p.durationMs, work, p.folder);
  std::vector<VideoStill> stills;
  if (p.hasVideo) {
    for (size_t i = 0; i < p.slides.size(); ++i) {
      const QString picture = root.filePath(
          QStringLiteral("Slides/%1/Slide%2.jpg").arg(content.deck.folder).arg(p.slides[i].number));
      const int start = i == 0 ? 0 : p.slides[i].timeMs;
      stills.push_back({picture, p.SlideEndMs(i) - start});
    }
  }
  EncodeRecordings(tools, stills, narration, p.durationMs, p.withWma,
                   root.filePath(QStringLiteral("Media/") + p.folder));
}

}  // namespace

void GenerateSampleMedium(const QString& outputDir, const ProgressFn& progress) {
  // The tools are looked for first, so that a missing one leaves nothing half written.
  const Toolset tools = FindTools();
  if (tools.espeak.isEmpty()) {
    Say(progress, QStringLiteral("espeak-ng was not found: the narration is a tone instead."));
  }
  const QDir root(QDir(outputDir).absolutePath());
  PrepareOutput(root);
  const SampleContent& content = Content();

  Say(progress, QStringLiteral("Writing the launcher list and pictures"));
  WriteTextLines(root.filePath(QStringLiteral("Data/config.txt")), ConfigLines(content));
  WriteLauncherPictures(root);
  Say(progress, QStringLiteral("Drawing the slide deck %1").arg(content.deck.folder));
  WriteDeck(root, content);

  QTemporaryDir work;
  if (!work.isValid()) {
    throw GeneratorError(
        QStringLiteral("Cannot create a temporary folder: %1").arg(work.errorString()));
  }
  for (const Presentation& p : content.presentations) {
    Say(progress, QStringLiteral("Writing the presentation %1").arg(p.folder));
    WritePresentationFiles(root, content, p);
    Say(progress, QStringLiteral("Recording %1 (%2 s)").arg(p.folder).arg(p.durationMs / 1000));
    WriteRecordings(root, content, p, tools, work.path());
  }
}

int RunGenerator(const QStringList& arguments, const ProgressFn& out, const ProgressFn& err) {
  const QString usage = QStringLiteral(
      "Usage: make_sample_medium OUTPUT_DIR\n"
      "Writes a sample medium (Data, Images, Media, Slides) into OUTPUT_DIR, replacing what an\n"
      "earlier run wrote there. Needs ffmpeg; uses espeak-ng for the narration when present.");
  const QStringList args = arguments.mid(1);
  if (args.size() == 1 && (args[0] == u"--help" || args[0] == u"-h")) {
    Say(out, usage);
    return 0;
  }
  if (args.size() != 1 || args[0].isEmpty() || args[0].startsWith(u'-')) {
    Say(err, usage);
    return 2;
  }
  try {
    QElapsedTimer timer;
    timer.start();
    GenerateSampleMedium(args[0], out);
    Say(out, QStringLiteral("Sample medium written to %1 in %2 s")
                 .arg(QDir::toNativeSeparators(QDir(args[0]).absolutePath()))
                 .arg(timer.elapsed() / 1000.0, 0, 'f', 1));
    return 0;
  } catch (const GeneratorError& e) {
    Say(err, QStringLiteral("make_sample_medium: ") + e.message());
    return 1;
  }
}

}  // namespace sample
