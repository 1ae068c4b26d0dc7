#pragma once
// Where everything lives on a medium. Every path the programs build from the medium's folder
// tree comes from here, in the medium's form (path rule applied), and so does the choice of the
// recording each player plays. A presentation folder or slide deck whose name would lead outside
// the medium (a ".." part, an absolute path) is refused: the function throws "Bad file name"
// (medium::AppError 52), which the caller's failure rule reports where the path was needed.

#include <QString>
#include <QStringList>

#include "medium/PlayerBuild.h"

struct Slide_cls;

namespace layout {

// "Tavisco" or "Norvanta": the program's name, its file name without a suffix.
QString PlayerName(PlayerBuild player);

QString ConfigPath();                              // \Data\config.txt
QString LauncherPicturePath(const QString& name);  // \Images\<name>.jpg
// \Data\config.txt below any medium's folder (native or medium form), for finding media.
QString ConfigPathOf(const QString& mediumFolder);

// Below \Data\<P>\ and \Images\<P>\; file begins with a backslash.
QString PresentationDataPath(const QString& presFolder, const QString& file);
QString PresentationImagePath(const QString& presFolder, const QString& file);
QString SettingsPath(const QString& presFolder);           // \Data\<P>\database.txt
QString TimelinePath(const QString& presFolder);           // \Data\<P>\events.txt
QString DetailsPath(const QString& presFolder);            // \Data\<P>\details.txt
QString TranscriptsFolderPath(const QString& presFolder);  // \Data\<P>\transcripts\ (repaired)
QString StillPicturePath(const QString& presFolder);       // \Images\<P>\slide.jpg
QString AudioPicturePath(const QString& presFolder);       // \Images\<P>\audio.jpg

QString SlidePicturePath(const Slide_cls& slide);  // \Slides\<deck>\Slide<n>.jpg
QString ThumbnailPath(const Slide_cls& slide);     // \Slides\<deck>\thumbs\Slide<n>.jpg

QString MediaFolderPath(const QString& presFolder);  // \Media\<P>
// The recordings a player looks for in a media folder, in order of preference, each with its
// leading backslash: "\media.wma", "\media.wmv" for Tavisco; "\media.rm" for Norvanta.
QStringList RecordingFiles(PlayerBuild player);
// The recording a player opens: the first candidate the directory lookup finds, else the last
// one, unchecked.
QString RecordingPath(PlayerBuild player, const QString& presFolder);
// Whether a media folder holds a recording the player can play. The file name is appended to the
// folder as it stands, without a second repair, as the launcher has always looked. An empty
// folder (one whose name was refused) holds none.
bool HasRecording(PlayerBuild player, const QString& mediaFolder);

}  // namespace layout
