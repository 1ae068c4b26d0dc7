#include "presentation/MediumLayout.h"

#include "medium/Paths.h"
#include "presentation/Model.h"

namespace layout {

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

PlayerBuild PreferredPlayer(bool taviscoPlays, bool norvantaPlays) {
  return taviscoPlays || !norvantaPlays ? PlayerBuild::Tavisco : PlayerBuild::Norvanta;
}

QString ConfigPathOf(const QString& mediumFolder) {
  return BuildPath({medium::ToMediumForm(mediumFolder), QStringLiteral("\\Data\\config.txt")});
}

QStringList RecordingFiles(PlayerBuild player) {
  if (player == PlayerBuild::Norvanta) return {QStringLiteral("\\media.rm")};
  return {QStringLiteral("\\media.wma"), QStringLiteral("\\media.wmv")};
}

QStringList AllRecordingNames() {
  QStringList names;
  for (const PlayerBuild player : {PlayerBuild::Tavisco, PlayerBuild::Norvanta}) {
    for (const QString& file : RecordingFiles(player)) names << file.mid(1);
  }
  return names;
}

bool HasRecording(PlayerBuild player, const QString& mediaFolder) {
  // No folder (its name was refused): nothing to play, and nothing looked for at the root.
  if (mediaFolder.isEmpty()) return false;
  for (const QString& file : RecordingFiles(player)) {
    if (medium::FileExists(mediaFolder + file)) return true;
  }
  return false;
}

QStringList LauncherPictureNames() {
  return {QStringLiteral("button1"),  QStringLiteral("button1b"), QStringLiteral("button2"),
          QStringLiteral("button2b"), QStringLiteral("button3"),  QStringLiteral("button3b"),
          QStringLiteral("button4"),  QStringLiteral("button4b")};
}

MediumLayout::MediumLayout(const QString& root) : root_(medium::AbsoluteMediumForm(root)) {}

MediumLayout MediumLayout::Current() {
  MediumLayout current;
  current.root_ = medium::ApplicationFolder();
  return current;
}

QString MediumLayout::NativeRoot() const {
  return medium::NativePath(root_);
}

QString MediumLayout::Relative(const QString& mediumPath) const {
  QString rel = mediumPath;
  if (rel.startsWith(root_)) rel = rel.mid(root_.size());
  while (rel.startsWith(u'\\')) rel.remove(0, 1);
  while (rel.endsWith(u'\\')) rel.chop(1);
  return rel.replace(u'\\', u'/');
}

QString MediumLayout::ConfigPath() const {
  return ConfigPathOf(root_);
}

QString MediumLayout::LauncherPicturePath(const QString& name) const {
  return BuildPath(
      {root_, QStringLiteral("\\Images\\"), Inside(name, "picture name"), QStringLiteral(".jpg")});
}

QString MediumLayout::PresentationDataPath(const QString& presFolder, const QString& file) const {
  return BuildPath({root_, QStringLiteral("\\Data\\"), PresFolderInside(presFolder), file});
}

QString MediumLayout::PresentationImagePath(const QString& presFolder, const QString& file) const {
  return BuildPath({root_, QStringLiteral("\\Images\\"), PresFolderInside(presFolder), file});
}

QString MediumLayout::SettingsPath(const QString& presFolder) const {
  return PresentationDataPath(presFolder, QStringLiteral("\\database.txt"));
}

QString MediumLayout::TimelinePath(const QString& presFolder) const {
  return PresentationDataPath(presFolder, QStringLiteral("\\events.txt"));
}

QString MediumLayout::DetailsPath(const QString& presFolder) const {
  return PresentationDataPath(presFolder, QStringLiteral("\\details.txt"));
}

QString MediumLayout::TranscriptsFolderPath(const QString& presFolder) const {
  return PresentationDataPath(presFolder, QStringLiteral("\\transcripts\\"));
}

QString MediumLayout::StillPicturePath(const QString& presFolder) const {
  return PresentationImagePath(presFolder, QStringLiteral("\\slide.jpg"));
}

QString MediumLayout::AudioPicturePath(const QString& presFolder) const {
  return PresentationImagePath(presFolder, QStringLiteral("\\audio.jpg"));
}

QString MediumLayout::SlidePicturePath(const Slide_cls& slide) const {
  return BuildPath({root_, QStringLiteral("\\Slides\\"), Inside(slide.SlidePres, "slide deck"),
                    QStringLiteral("\\Slide"), QString::number(slide.SlideNum),
                    QStringLiteral(".jpg")});
}

QString MediumLayout::ThumbnailPath(const Slide_cls& slide) const {
  return BuildPath({root_, QStringLiteral("\\Slides\\"), Inside(slide.SlidePres, "slide deck"),
                    QStringLiteral("\\thumbs\\Slide"), QString::number(slide.SlideNum),
                    QStringLiteral(".jpg")});
}

QString MediumLayout::MediaFolderPath(const QString& presFolder) const {
  return BuildPath({root_, QStringLiteral("\\Media\\"), PresFolderInside(presFolder)});
}

QString MediumLayout::RecordingPath(PlayerBuild player, const QString& presFolder) const {
  const QString folder = MediaFolderPath(presFolder);
  QString path;
  for (const QString& file : RecordingFiles(player)) {
    path = BuildPath({folder, file});
    if (medium::FileExists(path)) break;
  }
  return path;
}

}  // namespace layout
