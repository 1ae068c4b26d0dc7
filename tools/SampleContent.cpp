#include "tools/SampleContent.h"

#include <algorithm>
#include <tuple>

namespace sample {

namespace {

constexpr int kSlideLengthMs = 6000;
constexpr int kInterviewSectionMs = 8000;
const QString kPresenterVoice = QStringLiteral("en-us+f3");
const QString kInterviewerVoice = QStringLiteral("en-us+f3");
const QString kGuestVoice = QStringLiteral("en-gb+m3");

Deck MakeDeck() {
  Deck deck;
  deck.folder = QStringLiteral("ZentoLaunch");
  deck.caption = QStringLiteral("zENTO Archive \u2022 Spring Conference 2004");
  deck.slides = {
      {QStringLiteral("Welcome to zENTO Launch 2004"),
       {QStringLiteral("Spring Conference, Lyon"), QStringLiteral("Claire Martin"),
        QStringLiteral("Product management, zENTO")}},
      {QStringLiteral("Agenda"),
       {QStringLiteral("Where we stand"), QStringLiteral("What is new in Archive 4"),
        QStringLiteral("Roll-out and support"), QStringLiteral("Questions")}},
      {QStringLiteral("Our year in numbers"),
       {QStringLiteral("1,200 customers in 14 countries"),
        QStringLiteral("38 million records archived"),
        QStringLiteral("Support calls down by a fifth")}},
      {QStringLiteral("Meet zENTO Archive 4"),
       {QStringLiteral("One archive for mail, scans and recordings"),
        QStringLiteral("Search across everything at once"),
        QStringLiteral("Runs on the servers you have")}},
      {QStringLiteral("Faster search"),
       {QStringLiteral("New index built overnight"), QStringLiteral("Results while you type"),
        QStringLiteral("Filters by date, author and project")}},
      {QStringLiteral("Safe by design"),
       {QStringLiteral("Every record signed and dated"),
        QStringLiteral("Retention rules per department"),
        QStringLiteral("An audit trail you can print")}},
      {QStringLiteral("Roll-out plan"),
       {QStringLiteral("Pilot customers from June"), QStringLiteral("General release in September"),
        QStringLiteral("Free upgrade on current contracts")}},
      {QStringLiteral("Thank you"),
       {QStringLiteral("Questions are welcome"), QStringLiteral("Slides and recording on this CD"),
        QStringLiteral("www.example.com")}},
  };
  return deck;
}

Presentation MakeLaunch(const Deck& deck) {
  Presentation p;
  p.name = QStringLiteral("zENTO Launch 2004 \u2013 Archive 4 keynote");
  p.folder = QStringLiteral("Launch2004");
  p.slideMode = 0;
  p.mediaMode = 0;
  p.flag = true;
  p.userText = QStringLiteral("Recorded at the zENTO Spring Conference, Lyon, 14 May 2004");
  p.deck = deck.folder;
  p.hasVideo = true;
  p.languages = {QStringLiteral("ENGLISH"), QStringLiteral("FRENCH")};
  p.transcriptTitle = QStringLiteral("zENTO Launch 2004");

  const QStringList english = {
      QStringLiteral("Slide one: Welcome to zENTO Launch 2004. I am Claire Martin, from product "
                     "management."),
      QStringLiteral("Slide two: The agenda. Where we stand, what is new, the roll-out, and your "
                     "questions."),
      QStringLiteral("Slide three: Our year in numbers. Twelve hundred customers in fourteen "
                     "countries."),
      QStringLiteral("Slide four: Meet zENTO Archive 4. One archive for mail, scans and "
                     "recordings."),
      QStringLiteral("Slide five: Faster search. Results appear while you type."),
      QStringLiteral("Slide six: Safe by design. Every record is signed and dated."),
      QStringLiteral("Slide seven: The roll-out plan. Pilots in June, general release in "
                     "September."),
      QStringLiteral("Slide eight: Thank you for listening. Your questions are welcome."),
  };
  const QStringList french = {
      QStringLiteral("Diapositive un : bienvenue à zENTO Launch 2004. Je suis Claire Martin, du "
                     "marketing produit."),
      QStringLiteral("Diapositive deux : le programme. Où nous en sommes, les nouveautés, le "
                     "déploiement et vos questions."),
      QStringLiteral("Diapositive trois : notre année en chiffres. Mille deux cents clients dans "
                     "quatorze pays."),
      QStringLiteral("Diapositive quatre : voici zENTO Archive 4. Une seule archive pour le "
                     "courrier, les scans et les enregistrements."),
      QStringLiteral("Diapositive cinq : une recherche plus rapide. Les résultats s\u2019affichent "
                     "pendant la saisie."),
      QStringLiteral("Diapositive six : la sécurité dès la conception. Chaque document est signé "
                     "et daté."),
      QStringLiteral("Diapositive sept : le plan de déploiement. Pilotes en juin, diffusion "
                     "générale en septembre."),
      QStringLiteral("Diapositive huit : merci de votre attention. Vos questions sont les "
                     "bienvenues."),
  };
  for (int k = 0; k < static_cast<int>(deck.slides.size()); ++k) {
    const int time = k * kSlideLengthMs;
    p.slides.push_back({time, k + 1});
    p.cues.push_back({time, k + 1});
    p.sections.push_back({{english[k], french[k]}, {{kPresenterVoice, english[k]}}});
  }
  p.durationMs = static_cast<int>(deck.slides.size()) * kSlideLengthMs;

  // Text marks carry no time of their own in the player's model, so they come first: the
  // marks stay in ascending time order as the player reads them. Rectangles are given by two
  // corners in twips of the slide picture and frame one bullet line.
  using A = AnnotationLine;
  p.annotations = {
      {1000, A::kText, 600, 4800, 0, 0, 0, 0, 255, 255, 255, QStringLiteral("Welcome")},
      {2000, A::kText, 600, 5100, 0, 0, 0, 0, 255, 255, 0, QStringLiteral("Lyon, May 2004")},
      {7000, A::kShape, 300, 2820, 6700, 3300, 0, 1, 255, 0, 0, {}},
      {13000, A::kShape, 300, 2190, 6700, 2670, 0, 1, 255, 0, 0, {}},
      {19000, A::kShape, 300, 2820, 6700, 3300, 1, 1, 0, 120, 230, {}},
      {25000, A::kShape, 300, 2820, 6700, 3300, 0, 1, 255, 140, 0, {}},
      {31000, A::kShape, 300, 2190, 6700, 2670, 0, 1, 255, 0, 0, {}},
      {37000, A::kShape, 300, 3450, 6700, 3930, 0, 1, 255, 140, 0, {}},
      {43000, A::kShape, 300, 2820, 6700, 3300, 1, 1, 0, 120, 230, {}},
  };
  p.details = {
      QStringLiteral("zENTO Launch 2004"),
      QStringLiteral("Keynote: zENTO Archive 4"),
      QStringLiteral("Speaker: Claire Martin, product management"),
      QString(),
      QStringLiteral("Recorded 14 May 2004, Spring Conference, Lyon."),
      QStringLiteral("Running time: 48 seconds (sample recording)."),
  };
  return p;
}

Presentation MakeInterview(const Deck& deck) {
  Presentation p;
  p.name = QStringLiteral("zENTO Archive interview \u2013 Paul Renaud");
  p.folder = QStringLiteral("Interview");
  p.slideMode = 2;
  p.mediaMode = 2;
  p.flag = false;
  p.userText = QStringLiteral("An interview with Paul Renaud, head of engineering at zENTO");
  p.deck = deck.folder;
  p.hasVideo = false;
  p.languages = {QStringLiteral("ENGLISH")};
  p.transcriptTitle = QStringLiteral("zENTO Archive interview");

  const std::vector<std::vector<SpokenPart>> talk = {
      {{kInterviewerVoice, QStringLiteral("Welcome to the zENTO Archive interview.")},
       {kGuestVoice, QStringLiteral("Thank you for having me.")}},
      {{kInterviewerVoice, QStringLiteral("How did the archive start?")},
       {kGuestVoice, QStringLiteral("With our own paper files, five years ago.")}},
      {{kInterviewerVoice, QStringLiteral("What was the hardest part?")},
       {kGuestVoice, QStringLiteral("Search. People expect answers at once.")}},
      {{kInterviewerVoice, QStringLiteral("And what comes next?")},
       {kGuestVoice, QStringLiteral("Recordings, as easy to find as a letter.")}},
  };
  for (int k = 0; k < static_cast<int>(talk.size()); ++k) {
    p.cues.push_back({k * kInterviewSectionMs, k + 1});
    const QString text =
        QStringLiteral("Interviewer: %1 Paul Renaud: %2").arg(talk[k][0].text, talk[k][1].text);
    p.sections.push_back({{text}, talk[k]});
  }
  p.durationMs = static_cast<int>(talk.size()) * kInterviewSectionMs;
  // A still-picture presentation ignores slide lines; these keep the timeline in the shape
  // such media were written in.
  p.slides = {{0, 1}, {16000, 8}};
  p.details = {
      QStringLiteral("zENTO Archive interview"),
      QStringLiteral("Guest: Paul Renaud, head of engineering"),
      QStringLiteral("Recorded in the zENTO studio, Lyon, June 2004."),
  };
  return p;
}

SampleContent MakeContent() {
  SampleContent c;
  c.company = QStringLiteral("zENTO Archive");
  c.deck = MakeDeck();
  c.presentations.push_back(MakeLaunch(c.deck));
  c.presentations.push_back(MakeInterview(c.deck));
  // The keynote once more with its video alone, so that Tavisco shows the picture too.
  Presentation video = MakeLaunch(c.deck);
  video.name = QStringLiteral("zENTO Launch 2004 \u2013 keynote with video");
  video.folder = QStringLiteral("Launch2004Video");
  video.withWma = false;
  c.presentations.push_back(video);
  return c;
}

}  // namespace

int Presentation::CueEndMs(size_t i) const {
  return i + 1 < cues.size() ? cues[i + 1].timeMs : durationMs;
}

int Presentation::SlideEndMs(size_t i) const {
  return i + 1 < slides.size() ? slides[i + 1].timeMs : durationMs;
}

const SampleContent& Content() {
  static const SampleContent content = MakeContent();
  return content;
}

QStringList ConfigLines(const SampleContent& content) {
  QStringList lines{QStringLiteral("Presentations %1").arg(content.presentations.size())};
  for (const Presentation& p : content.presentations) lines << p.name << p.folder;
  return lines;
}

QStringList DatabaseLines(const Presentation& p) {
  return {QStringLiteral("SlideMode=%1").arg(p.slideMode),
          QStringLiteral("MediaMode=%1").arg(p.mediaMode),
          QStringLiteral("ShowDetails=%1").arg(p.flag ? u"True" : u"False"),
          QStringLiteral("UserDefined=%1").arg(p.userText)};
}

QStringList EventsLines(const Presentation& p, const Deck& deck) {
  // (time, kind, order within the kind, line): the kinds are interleaved by time, and each
  // kind keeps its own order, which ascends.
  std::vector<std::tuple<int, int, size_t, QString>> rows;
  for (size_t i = 0; i < p.slides.size(); ++i) {
    const SlideLine& s = p.slides[i];
    const QString title = deck.slides.at(static_cast<size_t>(s.number - 1)).title;
    rows.emplace_back(
        s.timeMs, 0, i,
        QStringLiteral("0~%1~%2~%3~%4").arg(s.timeMs).arg(p.deck).arg(s.number).arg(title));
  }
  for (size_t i = 0; i < p.annotations.size(); ++i) {
    const AnnotationLine& a = p.annotations[i];
    QString line;
    if (a.kind == AnnotationLine::kText) {
      line = QStringLiteral("1~%1~2~%2~%3~%4~%5~%6~%7")
                 .arg(a.timeMs)
                 .arg(a.x)
                 .arg(a.y)
                 .arg(a.red)
                 .arg(a.green)
                 .arg(a.blue)
                 .arg(a.text);
    } else {
      line = QStringLiteral("1~%1~3~%2~%3~%4~%5~%6~%7~%8~%9~%10")
                 .arg(a.timeMs)
                 .arg(a.shape)
                 .arg(a.style)
                 .arg(a.x)
                 .arg(a.width)
                 .arg(a.y)
                 .arg(a.height)
                 .arg(a.red)
                 .arg(a.green)
                 .arg(a.blue);
    }
    rows.emplace_back(a.timeMs, 1, i, line);
  }
  for (size_t i = 0; i < p.cues.size(); ++i) {
    rows.emplace_back(p.cues[i].timeMs, 2, i,
                      QStringLiteral("2~%1~%2").arg(p.cues[i].timeMs).arg(p.cues[i].section));
  }
  std::stable_sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) {
    return std::tie(std::get<0>(a), std::get<1>(a), std::get<2>(a)) <
           std::tie(std::get<0>(b), std::get<1>(b), std::get<2>(b));
  });
  QStringList lines;
  for (const auto& row : rows) lines << std::get<3>(row);
  return lines;
}

QStringList TranscriptLines(const Presentation& p, int language) {
  const QString name = p.languages.at(language);
  const QString langCode = name == u"FRENCH" ? QStringLiteral("fr") : QStringLiteral("en");
  QStringList lines = {
      QStringLiteral("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">"),
      QStringLiteral("<html lang=\"%1\">").arg(langCode),
      QStringLiteral("<head>"),
      QStringLiteral(
          "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1252\">"),
      QStringLiteral("<title>%1</title>").arg(p.transcriptTitle),
      QStringLiteral("</head>"),
      QStringLiteral("<body>"),
      QStringLiteral("<h1>%1</h1>").arg(p.transcriptTitle),
  };
  // The players take the one line after each marker line as the section's text, so the text
  // stays on a line of its own, free of markup.
  for (size_t i = 0; i < p.sections.size(); ++i) {
    lines << QStringLiteral("<p><a name=\"SECTION%1\"></a>").arg(i + 1)
          << p.sections[i].texts.at(language) << QStringLiteral("</p>");
  }
  lines << QStringLiteral("</body>") << QStringLiteral("</html>");
  return lines;
}

QStringList DetailsLines(const Presentation& p) {
  return p.details;
}

}  // namespace sample
