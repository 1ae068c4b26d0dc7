#include "exporter/WebVtt.h"

#include <cmath>

namespace exporter {

QString FormatVttTime(double ms) {
  if (!(ms > 0) || !std::isfinite(ms)) ms = 0;
  const auto total = static_cast<long long>(std::llround(ms));
  const long long millis = total % 1000;
  const long long seconds = (total / 1000) % 60;
  const long long minutes = (total / 60000) % 60;
  const long long hours = total / 3600000;
  return QStringLiteral("%1:%2:%3.%4")
      .arg(hours, 2, 10, QLatin1Char('0'))
      .arg(minutes, 2, 10, QLatin1Char('0'))
      .arg(seconds, 2, 10, QLatin1Char('0'))
      .arg(millis, 3, 10, QLatin1Char('0'));
}

QString EscapeVttText(const QString& text) {
  QString out;
  out.reserve(text.size());
  for (const QChar c : text) {
    switch (c.unicode()) {
      case '&':
        out += QLatin1String("&amp;");
        break;
      case '<':
        out += QLatin1String("&lt;");
        break;
      case '>':
        out += QLatin1String("&gt;");
        break;
      case '\r':
      case '\n':
        out += u' ';
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::vector<VttCue> CuesFromTimeline(const std::vector<TimedText>& entries, double endMs) {
  std::vector<VttCue> cues;
  for (size_t i = 0; i < entries.size(); ++i) {
    if (!entries[i].text) continue;
    const double start = entries[i].timeMs;
    const double end = i + 1 < entries.size() ? entries[i + 1].timeMs : endMs;
    // Compared as the file will say them, to the millisecond.
    if (std::llround(end) <= std::llround(std::max(start, 0.0))) continue;
    cues.push_back(VttCue{start, end, *entries[i].text});
  }
  return cues;
}

QByteArray WriteVtt(const std::vector<VttCue>& cues) {
  QString out = QStringLiteral("WEBVTT\n");
  int n = 0;
  for (const VttCue& cue : cues) {
    out += QStringLiteral("\n%1\n%2 --> %3\n%4\n")
               .arg(++n)
               .arg(FormatVttTime(cue.startMs), FormatVttTime(cue.endMs), EscapeVttText(cue.text));
  }
  return out.toUtf8();
}

}  // namespace exporter
