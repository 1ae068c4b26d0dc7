#pragma once
// One presentation as the export sees it: read with the players' own readers, then laid out as
// a package of files (pictures under the names the timeline gives them, one WebVTT file per
// language) and described for the page and for a Paella player.

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "exporter/Transcoder.h"
#include "presentation/MediumLayout.h"
#include "presentation/Model.h"
#include "presentation/Readers.h"

namespace exporter {

struct LanguageTrack {
  QString name;     // as the player lists it (the file name up to its first ".")
  QString code;     // BCP 47 tag for the browser: "en", "fr", ... or "und"
  QString vttFile;  // NAME.vtt, unique in the package whatever the case of the names
  std::vector<std::optional<QString>> texts;  // per cue; nothing where the section is missing
};

struct PresentationContent {
  QString mediumRoot;  // the medium it was read from (medium form)
  QString name;
  QString folder;
  Settings settings;
  Slides_cls slides;
  Anns_cls anns;
  Trans_cls trans;
  std::vector<LanguageTrack> languages;
  int selectedLanguage = -1;  // the ENGLISH entry the player starts with, else -1
  QString details;
  QString recording;  // medium-form path of the recording the export takes; empty: none
  PlayerBuild recordingPlayer = PlayerBuild::Tavisco;  // the player that plays it

  layout::MediumLayout Medium() const { return layout::MediumLayout(mediumRoot); }
};

// Reads everything of one presentation. Problems are not reported here: the checker names them.
PresentationContent ReadPresentationContent(const layout::MediumLayout& medium, const QString& name,
                                            const QString& folder);

// The recording the Windows Media player would play, else the RealMedia one; empty when the
// folder holds neither. *player tells which player plays it.
QString ChooseRecording(const layout::MediumLayout& medium, const QString& presFolder,
                        PlayerBuild* player = nullptr);

// A file of the package: where it comes from on the medium (medium form), where it goes in the
// package ('/' separated, relative) and the same as a relative URL for the page.
struct PackageFile {
  QString source;
  QString target;
  QString url;
};

// Percent-encodes each '/' separated part, so that any name is a working relative URL.
QString RelativeUrl(const QString& target);

// The slide picture and the thumbnail of a slide in the package: "Slides/<deck>/Slide<n>.jpg"
// and "Slides/<deck>/thumbs/Slide<n>.jpg". Nothing when the deck name would lead out of the
// package (an empty part, "." or "..").
std::optional<PackageFile> SlidePictureFile(const layout::MediumLayout& medium,
                                            const Slide_cls& slide);
std::optional<PackageFile> ThumbnailFile(const layout::MediumLayout& medium,
                                         const Slide_cls& slide);

// The still picture and the audio picture, when the presentation shows them, as "slide.jpg" and
// "audio.jpg".
std::optional<PackageFile> StillPictureFile(const PresentationContent& content);
std::optional<PackageFile> AudioPictureFile(const PresentationContent& content, bool audioOnly);

// Every picture file the page uses, each once.
std::vector<PackageFile> PictureFiles(const PresentationContent& content, bool audioOnly);

// A language name to the tag browsers and Paella expect.
QString LanguageCode(const QString& languageName);

// The mark colour as "#rrggbb" by the player's rule (whole numbers, above 255 counts as 255), or
// nothing when a component is empty, not a number or negative: then the mark is not drawn.
std::optional<QString> MarkColour(const Ann_cls& ann);

// chapters.vtt: one cue per slide, its title, to the next slide's time or the recording's end.
QByteArray ChaptersVtt(const PresentationContent& content, double endMs);
// One language's transcript: one cue per section the language has, to the next cue's time.
QByteArray TranscriptVtt(const PresentationContent& content, int language, double endMs);

// What the exported recording is.
struct RecordingOutput {
  QString file;  // media.mp4 or media.m4a
  MediaInfo info;
};

// The page's data: everything it shows, as one JSON object.
QJsonObject PageData(const PresentationContent& content, const RecordingOutput& recording);
// The same as a script beside index.html, so the page works from file:// where nothing may be
// fetched: it sets window.presentationData.
QByteArray PageDataScript(const QJsonObject& data);
// The Paella Player 7 manifest (data.json).
QJsonObject PaellaManifest(const PresentationContent& content, const RecordingOutput& recording);
// index.html of the presentation, from the page template.
QByteArray PresentationPage(const PresentationContent& content, const RecordingOutput& recording);

// A file of the page compiled into the program: index.html, page.js, page.css, list.html.
QByteArray PageResource(const QString& name);
// Replaces each @KEY@ of the template by its value, in one pass: a value is never searched again.
QString FillTemplate(const QString& text, const QHash<QString, QString>& values);

// Text for HTML content and attribute values.
QString HtmlEscape(const QString& text);

}  // namespace exporter
