#pragma once
// Where everything lives on a medium. Every path the programs build from the medium's folder
// tree comes from here, in the medium's form (path rule applied), and so does the choice of the
// recording each player plays. A presentation folder or slide deck whose name would lead outside
// the medium (a ".." part, an absolute path) is refused: the function throws "Bad file name"
// (medium::AppError 52), which the caller's failure rule reports where the path was needed.
//
// A medium is a value: a MediumLayout is made from its root folder and handed to whatever reads
// it, so that any number of media can be read at once, on any thread. Only the two designed
// programs, which play the one medium they stand on, take it from the process-wide folder their
// main sets (Current()).

#include <QString>
#include <QStringList>

#include "medium/PlayerBuild.h"

struct Slide_cls;

namespace layout {

// "Tavisco" or "Norvanta": the program's name, its file name without a suffix.
QString PlayerName(PlayerBuild player);
// The player that opens a presentation: Tavisco where it can play it, else Norvanta.
PlayerBuild PreferredPlayer(bool taviscoPlays, bool norvantaPlays);

// \Data\config.txt below any medium's folder (native or medium form), for finding media.
QString ConfigPathOf(const QString& mediumFolder);

// The recordings a player looks for in a media folder, in order of preference, each with its
// leading backslash: "\media.wma", "\media.wmv" for Tavisco; "\media.rm" for Norvanta.
QStringList RecordingFiles(PlayerBuild player);
// Every recording file name any player opens, without the backslash ("media.wma", ...).
QStringList AllRecordingNames();
// Whether a media folder holds a recording the player can play. The file name is appended to the
// folder as it stands, without a second repair, as the launcher has always looked. An empty
// folder (one whose name was refused) holds none.
bool HasRecording(PlayerBuild player, const QString& mediaFolder);

// The names of the launcher's pictures below \Images\, each with its hover picture after it.
QStringList LauncherPictureNames();

class MediumLayout {
 public:
  // root: the medium's folder, native or in the medium's form; made absolute.
  explicit MediumLayout(const QString& root);
  // The medium the running program plays: the folder its main took from --medium, else the
  // program's own folder.
  static MediumLayout Current();

  const QString& Root() const { return root_; }  // medium form
  QString NativeRoot() const;
  // A medium-form path relative to the root, '/' separated, as reports name files.
  QString Relative(const QString& mediumPath) const;

  QString ConfigPath() const;                              // \Data\config.txt
  QString LauncherPicturePath(const QString& name) const;  // \Images\<name>.jpg

  // Below \Data\<P>\ and \Images\<P>\; file begins with a backslash.
  QString PresentationDataPath(const QString& presFolder, const QString& file) const;
  QString PresentationImagePath(const QString& presFolder, const QString& file) const;
  QString SettingsPath(const QString& presFolder) const;           // \Data\<P>\database.txt
  QString TimelinePath(const QString& presFolder) const;           // \Data\<P>\events.txt
  QString DetailsPath(const QString& presFolder) const;            // \Data\<P>\details.txt
  QString TranscriptsFolderPath(const QString& presFolder) const;  // \Data\<P>\transcripts\ .
  QString StillPicturePath(const QString& presFolder) const;       // \Images\<P>\slide.jpg
  QString AudioPicturePath(const QString& presFolder) const;       // \Images\<P>\audio.jpg

  QString SlidePicturePath(const Slide_cls& slide) const;  // \Slides\<deck>\Slide<n>.jpg
  QString ThumbnailPath(const Slide_cls& slide) const;     // \Slides\<deck>\thumbs\Slide<n>.jpg

  QString MediaFolderPath(const QString& presFolder) const;  // \Media\<P>
  // The recording a player opens: the first candidate the directory lookup finds, else the last
  // one, unchecked.
  QString RecordingPath(PlayerBuild player, const QString& presFolder) const;

 private:
  MediumLayout() = default;
  QString root_;
};

// The medium the running program plays (MediumLayout::Current()).
inline MediumLayout Current() {
  return MediumLayout::Current();
}

}  // namespace layout
