#include "presentation/MediumLayout.h"

#include "medium/Paths.h"
#include "presentation/Model.h"

namespace layout {

using medium::ApplicationFolder;
using medium::BuildPath;

namespace {

// Names read from the medium's own files must keep every path inside the medium: the players
// and the checker read whatever a path names, and an export would copy it.
const QString& Inside(const QString& name, const char* what) {
  medium::RequireInsideMedium(name, QLatin1String(what));
  return name;
}

const QString& PresFolderInside(const QString& presFolder) {
  return Inside(presFolder, "presentation folder");
}

}  // namespace

QString PlayerName(PlayerBuild player) {
  return player == PlayerBuild::Norvanta ? QStringLiteral("Norvanta") : QStringLiteral("Tavisco");
}

QString ConfigPath() {
  return ConfigPathOf(ApplicationFolder());
}

QString ConfigPathOf(const QString& mediumFolder) {
  return BuildPath({medium::ToMediumForm(mediumFolder), QStringLiteral("\\Data\\config.txt")});
}

QString LauncherPicturePath(const QString& name) {
  return BuildPath({ApplicationFolder(), QStringLiteral("\\Images\\"), Inside(name, "picture name"),
                    QStringLiteral(".jpg")});
}

QString PresentationDataPath(const QString& presFolder, const QString& file) {
  return BuildPath(
      {ApplicationFolder(), QStringLiteral("\\Data\\"), PresFolderInside(presFolder), file});
}

QString PresentationImagePath(const QString& presFolder, const QString& file) {
  return BuildPath(
      {ApplicationFolder(), QStringLiteral("\\Images\\"), PresFolderInside(presFolder), file});
}

QString SettingsPath(const QString& presFolder) {
  return PresentationDataPath(presFolder, QStringLiteral("\\database.txt"));
}

QString TimelinePath(const QString& presFolder) {
  return PresentationDataPath(presFolder, QStringLiteral("\\events.txt"));
}

QString DetailsPath(const QString& presFolder) {
  return PresentationDataPath(presFolder, QStringLiteral("\\details.txt"));
}

QString TranscriptsFolderPath(const QString& presFolder) {
  return PresentationDataPath(presFolder, QStringLiteral("\\transcripts\\"));
}

QString StillPicturePath(const QString& presFolder) {
  return PresentationImagePath(presFolder, QStringLiteral("\\slide.jpg"));
}

QString AudioPicturePath(const QString& presFolder) {
  return PresentationImagePath(presFolder, QStringLiteral("\\audio.jpg"));
}

QString SlidePicturePath(const Slide_cls& slide) {
  return BuildPath({ApplicationFolder(), QStringLiteral("\\Slides\\"),
                    Inside(slide.SlidePres, "slide deck"), QStringLiteral("\\Slide"),
                    QString::number(slide.SlideNum), QStringLiteral(".jpg")});
}

QString ThumbnailPath(const Slide_cls& slide) {
  return BuildPath({ApplicationFolder(), QStringLiteral("\\Slides\\"),
                    Inside(slide.SlidePres, "slide deck"), QStringLiteral("\\thumbs\\Slide"),
                    QString::number(slide.SlideNum), QStringLiteral(".jpg")});
}

QString MediaFolderPath(const QString& presFolder) {
  return BuildPath(
      {ApplicationFolder(), QStringLiteral("\\Media\\"), PresFolderInside(presFolder)});
}

QStringList RecordingFiles(PlayerBuild player) {
  if (player == PlayerBuild::Norvanta) return {QStringLiteral("\\media.rm")};
  return {QStringLiteral("\\media.wma"), QStringLiteral("\\media.wmv")};
}

QString RecordingPath(PlayerBuild player, const QString& presFolder) {
  const QString folder = MediaFolderPath(presFolder);
  QString path;
  for (const QString& file : RecordingFiles(player)) {
    path = BuildPath({folder, file});
    if (medium::FileExists(path)) break;
  }
  return path;
}

bool HasRecording(PlayerBuild player, const QString& mediaFolder) {
  // No folder (its name was refused): nothing to play, and nothing looked for at the root.
  if (mediaFolder.isEmpty()) return false;
  for (const QString& file : RecordingFiles(player)) {
    if (medium::FileExists(mediaFolder + file)) return true;
  }
  return false;
}

}  // namespace layout
