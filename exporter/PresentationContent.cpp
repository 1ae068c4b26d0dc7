#include "exporter/PresentationContent.h"

#include "exporter/ScriptText.h"

#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>
#include <QUrl>
#include <cmath>

#include "exporter/WebVtt.h"
#include "medium/Convert.h"
#include "medium/Error.h"
#include "medium/Paths.h"
#include "presentation/Marks.h"
#include "presentation/MediumLayout.h"
#include "presentation/PresentationLoader.h"

// Resources of a static library are registered by hand, from the global namespace.
static void InitExporterResources() {
  Q_INIT_RESOURCE(exporter);
}

namespace exporter {

namespace {

// The deck's folder below Slides as package parts; nothing when it would leave the package.
std::optional<QStringList> DeckParts(const QString& deck) {
  QStringList parts;
  for (const QString& part : QString(deck).replace(u'\\', u'/').split(u'/')) {
    if (part.isEmpty()) continue;  // doubled separators collapse on the medium as well
    if (part == QLatin1String(".") || part == QLatin1String("..")) return std::nullopt;
    parts << part;
  }
  if (parts.isEmpty()) return std::nullopt;
  return parts;
}

std::optional<PackageFile> DeckFile(const layout::MediumLayout& medium, const Slide_cls& slide,
                                    bool thumb) {
  const std::optional<QStringList> deck = DeckParts(slide.SlidePres);
  if (!deck) return std::nullopt;
  QStringList parts = QStringList{QStringLiteral("Slides")} + *deck;
  if (thumb) parts << QStringLiteral("thumbs");
  parts << QStringLiteral("Slide%1.jpg").arg(slide.SlideNum);
  PackageFile file;
  file.source = thumb ? medium.ThumbnailPath(slide) : medium.SlidePicturePath(slide);
  file.target = parts.join(u'/');
  file.url = RelativeUrl(file.target);
  return file;
}

// A package name for a language's track that no other language of the presentation has, also
// where the names differ only in case.
QString UniqueTrackName(const QString& language, QSet<QString>& taken) {
  QString base = language.isEmpty() ? QStringLiteral("transcript") : language;
  // A name from the medium may hold characters a web server or file system treats specially.
  for (QChar& c : base) {
    if (c == u'/' || c == u'\\' || c == u':' || c.unicode() < 0x20) c = u'_';
  }
  QString name = base;
  for (int n = 2; taken.contains(name.toLower()); ++n)
    name = QStringLiteral("%1-%2").arg(base).arg(n);
  taken.insert(name.toLower());
  return name + QStringLiteral(".vtt");
}

double Seconds(double ms) {
  return std::round(ms) / 1000.0;
}

}  // namespace

QString ChooseRecording(const layout::MediumLayout& medium, const QString& presFolder,
                        PlayerBuild* player) {
  for (const PlayerBuild build : {PlayerBuild::Tavisco, PlayerBuild::Norvanta}) {
    const QString path = medium.RecordingPath(build, presFolder);
    if (medium::FileExists(path)) {
      if (player) *player = build;
      return path;
    }
  }
  return {};
}

PresentationContent ReadPresentationContent(const layout::MediumLayout& medium, const QString& name,
                                            const QString& folder) {
  PresentationContent c;
  c.mediumRoot = medium.Root();
  c.name = name;
  c.folder = folder;
  LoadedPresentation p = LoadPresentation(medium, folder);
  QSet<QString> taken;
  for (int i = 0; i < p.languages.names.size(); ++i) {
    LanguageTrack track;
    track.name = p.languages.names[i];
    track.code = LanguageCode(track.name);
    track.vttFile = UniqueTrackName(track.name, taken);
    track.texts = p.SectionTexts(i);
    c.languages.push_back(std::move(track));
  }
  c.selectedLanguage = p.languages.selected;
  c.settings = p.settings;
  if (p.slides) c.slides = std::move(*p.slides);
  if (p.anns) c.anns = std::move(*p.anns);
  if (p.trans) c.trans = std::move(*p.trans);
  c.details = p.details;
  c.recording = ChooseRecording(medium, folder, &c.recordingPlayer);
  return c;
}

QString RelativeUrl(const QString& target) {
  QStringList parts;
  for (const QString& part : target.split(u'/')) {
    parts << QString::fromLatin1(QUrl::toPercentEncoding(part));
  }
  return parts.join(u'/');
}

std::optional<PackageFile> SlidePictureFile(const layout::MediumLayout& medium,
                                            const Slide_cls& slide) {
  return DeckFile(medium, slide, false);
}

std::optional<PackageFile> ThumbnailFile(const layout::MediumLayout& medium,
                                         const Slide_cls& slide) {
  return DeckFile(medium, slide, true);
}

std::optional<PackageFile> StillPictureFile(const PresentationContent& content) {
  if (content.settings.SlideMode != 2) return std::nullopt;
  return PackageFile{content.Medium().StillPicturePath(content.folder), QStringLiteral("slide.jpg"),
                     QStringLiteral("slide.jpg")};
}

std::optional<PackageFile> AudioPictureFile(const PresentationContent& content, bool audioOnly) {
  const QString source = content.Medium().AudioPicturePath(content.folder);
  // The player shows it for an audio-only presentation; a recording without a picture stream
  // shows it as well when the medium has one.
  if (content.settings.MediaMode != 2 && !(audioOnly && medium::FileExists(source))) {
    return std::nullopt;
  }
  return PackageFile{source, QStringLiteral("audio.jpg"), QStringLiteral("audio.jpg")};
}

std::vector<PackageFile> PictureFiles(const PresentationContent& content, bool audioOnly) {
  std::vector<PackageFile> files;
  QSet<QString> seen;
  auto add = [&](const std::optional<PackageFile>& f) {
    if (!f || seen.contains(f->target)) return;
    seen.insert(f->target);
    files.push_back(*f);
  };
  add(StillPictureFile(content));
  add(AudioPictureFile(content, audioOnly));
  const layout::MediumLayout medium = content.Medium();
  for (int k = 1; k <= content.slides.Slides.Count(); ++k) {
    add(SlidePictureFile(medium, content.slides.Slides.Item(k)));
    add(ThumbnailFile(medium, content.slides.Slides.Item(k)));
  }
  return files;
}

QString LanguageCode(const QString& languageName) {
  static const QHash<QString, QString> codes = {
      {QStringLiteral("ENGLISH"), QStringLiteral("en")},
      {QStringLiteral("FRENCH"), QStringLiteral("fr")},
      {QStringLiteral("FRANCAIS"), QStringLiteral("fr")},
      {QStringLiteral("FRAN\u00C7AIS"), QStringLiteral("fr")},
      {QStringLiteral("GERMAN"), QStringLiteral("de")},
      {QStringLiteral("DEUTSCH"), QStringLiteral("de")},
      {QStringLiteral("SPANISH"), QStringLiteral("es")},
      {QStringLiteral("ESPANOL"), QStringLiteral("es")},
      {QStringLiteral("ESPA\u00D1OL"), QStringLiteral("es")},
      {QStringLiteral("ITALIAN"), QStringLiteral("it")},
      {QStringLiteral("ITALIANO"), QStringLiteral("it")},
      {QStringLiteral("PORTUGUESE"), QStringLiteral("pt")},
      {QStringLiteral("DUTCH"), QStringLiteral("nl")},
      {QStringLiteral("NEDERLANDS"), QStringLiteral("nl")},
      {QStringLiteral("SWEDISH"), QStringLiteral("sv")},
      {QStringLiteral("DANISH"), QStringLiteral("da")},
      {QStringLiteral("NORWEGIAN"), QStringLiteral("no")},
      {QStringLiteral("FINNISH"), QStringLiteral("fi")},
      {QStringLiteral("POLISH"), QStringLiteral("pl")},
      {QStringLiteral("CZECH"), QStringLiteral("cs")},
      {QStringLiteral("HUNGARIAN"), QStringLiteral("hu")},
      {QStringLiteral("RUSSIAN"), QStringLiteral("ru")},
      {QStringLiteral("GREEK"), QStringLiteral("el")},
      {QStringLiteral("TURKISH"), QStringLiteral("tr")},
      {QStringLiteral("JAPANESE"), QStringLiteral("ja")},
      {QStringLiteral("CHINESE"), QStringLiteral("zh")},
      {QStringLiteral("KOREAN"), QStringLiteral("ko")},
      {QStringLiteral("ARABIC"), QStringLiteral("ar")},
  };
  return codes.value(languageName.trimmed().toUpper(), QStringLiteral("und"));
}

std::optional<QString> MarkColour(const Ann_cls& ann) {
  const std::optional<QColor> colour = AnnotationColour(ann);
  if (!colour) return std::nullopt;
  return colour->name(QColor::HexRgb);
}

namespace {

// The page draws each mark as it is given: the player's rule is applied here, once.
QJsonValue MarkShapeName(MarkShape shape) {
  switch (shape) {
    case MarkShape::Line:
      return QStringLiteral("line");
    case MarkShape::Rectangle:
      return QStringLiteral("rectangle");
    case MarkShape::Text:
      return QStringLiteral("text");
    case MarkShape::None:
      break;
  }
  return QJsonValue();
}

}  // namespace

QByteArray ChaptersVtt(const PresentationContent& content, double endMs) {
  std::vector<TimedText> entries;
  for (int k = 1; k <= content.slides.Slides.Count(); ++k) {
    const Slide_cls& s = content.slides.Slides.Item(k);
    entries.push_back({s.SlideTime, s.SlideName});
  }
  return WriteVtt(CuesFromTimeline(entries, endMs));
}

QByteArray TranscriptVtt(const PresentationContent& content, int language, double endMs) {
  const LanguageTrack& track = content.languages.at(static_cast<size_t>(language));
  std::vector<TimedText> entries;
  for (int k = 1; k <= content.trans.Trans.Count(); ++k) {
    entries.push_back(
        {content.trans.Trans.Item(k).TranTime, track.texts[static_cast<size_t>(k - 1)]});
  }
  return WriteVtt(CuesFromTimeline(entries, endMs));
}

QJsonObject PageData(const PresentationContent& content, const RecordingOutput& recording) {
  const bool audioOnly = !recording.info.hasVideo;
  const layout::MediumLayout medium = content.Medium();
  QJsonArray slides;
  for (int k = 1; k <= content.slides.Slides.Count(); ++k) {
    const Slide_cls& s = content.slides.Slides.Item(k);
    const auto picture = SlidePictureFile(medium, s);
    const auto thumb = ThumbnailFile(medium, s);
    slides.append(QJsonObject{{"time", s.SlideTime},
                              {"title", s.SlideName},
                              {"picture", picture ? picture->url : QString()},
                              {"thumb", thumb ? thumb->url : QString()}});
  }
  QJsonArray marks;
  for (int k = 1; k <= content.anns.Anns.Count(); ++k) {
    const Ann_cls& a = content.anns.Anns.Item(k);
    const ResolvedMark mark = ResolveMark(a);
    QJsonObject entry{
        {"time", a.AnnTime},
        {"type", a.AnnType},
        {"shape", MarkShapeName(mark.shape)},
        {"x", mark.from.x()},
        {"y", mark.from.y()},
        {"x2", mark.to.x()},
        {"y2", mark.to.y()},
        {"colour",
         mark.colour.isValid() ? QJsonValue(mark.colour.name(QColor::HexRgb)) : QJsonValue()},
        {"text", a.AnnText}};
    if (mark.shape == MarkShape::Text) entry.insert("size", kTextMarkPoints * 20.0);  // twips
    marks.append(entry);
  }
  QJsonArray cues;
  for (int k = 1; k <= content.trans.Trans.Count(); ++k) {
    const Tran_cls& t = content.trans.Trans.Item(k);
    cues.append(QJsonObject{{"time", t.TranTime}, {"section", t.TranNum}});
  }
  QJsonArray languages;
  for (const LanguageTrack& track : content.languages) {
    QJsonArray texts;
    for (const auto& text : track.texts) texts.append(text ? QJsonValue(*text) : QJsonValue());
    languages.append(QJsonObject{{"name", track.name},
                                 {"code", track.code},
                                 {"track", RelativeUrl(track.vttFile)},
                                 {"texts", texts}});
  }
  const auto still = StillPictureFile(content);
  const auto audio = AudioPictureFile(content, audioOnly);
  QString details = content.details;
  details.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  QJsonArray audioTracks;
  for (const AudioTrack& track : recording.info.audioTracks) {
    audioTracks.append(QJsonObject{{"language", track.language}, {"label", track.label}});
  }
  return QJsonObject{
      {"name", content.name},
      {"folder", content.folder},
      {"media", QJsonObject{{"file", recording.file},
                            {"video", recording.info.hasVideo},
                            {"durationMs", std::round(recording.info.durationS * 1000.0)},
                            {"audioTracks", audioTracks}}},
      {"slideMode", content.settings.SlideMode},
      {"mediaMode", content.settings.MediaMode},
      {"still", still ? QJsonValue(still->url) : QJsonValue()},
      {"audioPicture", audio ? QJsonValue(audio->url) : QJsonValue()},
      {"slides", slides},
      {"marks", marks},
      {"cues", cues},
      {"languages", languages},
      {"language", content.selectedLanguage},
      {"details", details},
      {"freeText",
       content.settings.UserDef1 ? QJsonValue(*content.settings.UserDef1) : QJsonValue()},
  };
}

QByteArray PageDataScript(const QJsonObject& data) {
  return "window.presentationData = " + ScriptJson(QJsonDocument(data)) + ";\n";
}

QJsonObject PaellaManifest(const PresentationContent& content, const RecordingOutput& recording) {
  const bool audioOnly = !recording.info.hasVideo;
  const layout::MediumLayout medium = content.Medium();
  QJsonArray frames;
  std::optional<PackageFile> preview;
  for (int k = 1; k <= content.slides.Slides.Count(); ++k) {
    const Slide_cls& s = content.slides.Slides.Item(k);
    const auto picture = SlidePictureFile(medium, s);
    const auto thumb = ThumbnailFile(medium, s);
    if (!picture || !thumb) continue;
    if (!preview) preview = picture;
    frames.append(QJsonObject{{"id", QStringLiteral("frame_%1").arg(k)},
                              {"mimetype", QStringLiteral("image/jpeg")},
                              {"time", Seconds(s.SlideTime)},
                              {"url", picture->url},
                              {"thumb", thumb->url}});
  }
  if (const auto still = StillPictureFile(content)) preview = still;
  if (const auto audio = AudioPictureFile(content, audioOnly); audio && !preview) preview = audio;
  QJsonObject metadata{{"duration", std::round(recording.info.durationS * 1000.0) / 1000.0},
                       {"title", content.name}};
  if (preview) {
    QString url = preview->url;
    // Paella's audio canvas loads the preview as it stands, relative to the page rather than to
    // the manifest; the picture itself in the manifest needs no address, wherever the page is.
    // Written "data://" so that Paella's poster, which joins every address it does not take
    // for an absolute one to the manifest's, takes it as it stands too; a browser tells the
    // picture's type from its bytes, as it does for every picture.
    if (audioOnly) {
      try {
        url = QStringLiteral("data://image/jpeg;base64,") +
              QString::fromLatin1(medium::ReadRegularFile(preview->source).toBase64());
      } catch (const medium::AppError&) {
        // A picture that cannot be read is named by the checker; the address is kept.
      }
    }
    metadata.insert("preview", url);
  }

  QJsonObject stream;
  if (audioOnly) {
    stream = QJsonObject{
        {"sources", QJsonObject{{"audio", QJsonArray{QJsonObject{{"src", recording.file}}}}}},
        {"content", QStringLiteral("presenter")},
        {"role", QStringLiteral("mainAudio")},
        {"canvas", QJsonArray{QStringLiteral("audio")}}};
  } else {
    stream = QJsonObject{
        {"sources", QJsonObject{{"mp4", QJsonArray{QJsonObject{
                                            {"src", recording.file},
                                            {"mimetype", QStringLiteral("video/mp4")},
                                            {"res", QJsonObject{{"w", recording.info.width},
                                                                {"h", recording.info.height}}}}}}}},
        {"content", QStringLiteral("presenter")},
        {"role", QStringLiteral("mainAudio")},
        {"canvas", QJsonArray{QStringLiteral("video")}}};
  }
  QJsonArray captions;
  for (const LanguageTrack& track : content.languages) {
    if (content.trans.Trans.IsEmpty()) break;
    captions.append(QJsonObject{{"lang", track.code},
                                {"text", track.name},
                                {"format", QStringLiteral("vtt")},
                                {"url", RelativeUrl(track.vttFile)}});
  }
  QJsonObject manifest{{"metadata", metadata}, {"streams", QJsonArray{stream}}};
  // The plain list is what every Paella 7 release reads; later ones accept it still.
  if (!frames.isEmpty()) manifest.insert("frameList", frames);
  if (!captions.isEmpty()) manifest.insert("captions", captions);
  return manifest;
}

QString HtmlEscape(const QString& text) {
  return text.toHtmlEscaped();
}

QByteArray PageResource(const QString& name) {
  static const bool registered = (InitExporterResources(), true);
  (void)registered;
  QFile file(QStringLiteral(":/exporter/page/") + name);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

QString FillTemplate(const QString& text, const QHash<QString, QString>& values) {
  QString out;
  qsizetype from = 0;
  for (;;) {
    const qsizetype at = text.indexOf(u'@', from);
    const qsizetype end = at < 0 ? -1 : text.indexOf(u'@', at + 1);
    if (end < 0) break;
    const QString key = text.mid(at + 1, end - at - 1);
    if (!values.contains(key)) {
      out += text.mid(from, end - from);
      from = end;
      continue;
    }
    out += text.mid(from, at - from) + values.value(key);
    from = end + 1;
  }
  return out + text.mid(from);
}

QByteArray PresentationPage(const PresentationContent& content, const RecordingOutput& recording) {
  const QString page = QString::fromUtf8(PageResource(QStringLiteral("index.html")));
  const bool video = recording.info.hasVideo;
  const QString element = video ? QStringLiteral("video") : QStringLiteral("audio");
  QString media = QStringLiteral("<%1 id=\"media\" controls preload=\"auto\"%2>\n")
                      .arg(element, video ? QStringLiteral(" playsinline") : QString());
  media += QStringLiteral("      <source src=\"%1\" type=\"%2\">\n")
               .arg(HtmlEscape(RelativeUrl(recording.file)),
                    video ? QStringLiteral("video/mp4") : QStringLiteral("audio/mp4"));
  const QString chapterLang =
      content.selectedLanguage >= 0
          ? content.languages[static_cast<size_t>(content.selectedLanguage)].code
          : QStringLiteral("en");
  if (!content.slides.Slides.IsEmpty()) {
    media += QStringLiteral(
                 "      <track kind=\"chapters\" src=\"chapters.vtt\" srclang=\"%1\" "
                 "label=\"Slides\">\n")
                 .arg(chapterLang);
  }
  if (!content.trans.Trans.IsEmpty()) {
    for (const LanguageTrack& track : content.languages) {
      media += QStringLiteral(
                   "      <track kind=\"subtitles\" src=\"%1\" srclang=\"%2\" "
                   "label=\"%3\">\n")
                   .arg(HtmlEscape(RelativeUrl(track.vttFile)), track.code, HtmlEscape(track.name));
    }
  }
  media += QStringLiteral("    </%1>").arg(element);
  return FillTemplate(page, {{QStringLiteral("TITLE"), HtmlEscape(content.name)},
                             {QStringLiteral("MEDIA"), media}})
      .toUtf8();
}

}  // namespace exporter
