#include "player/media/EngineFactory.h"

#include <QRegularExpression>
#include <QSet>

#include "player/media/Bindings.h"
#include "player/media/EngineControl.h"

// Two environment variables let the real player programs run where there is no screen or sound
// device (continuous integration, end-to-end tests):
//   PRESENTATION_ENGINE_HEADLESS=1  forces headless playback (no picture, no sound)
//   PRESENTATION_ENGINE_AO=<name>   overrides the audio output, e.g. "null"
MpvCoreOptions CoreOptionsFor(const EngineOptions& options) {
  MpvCoreOptions core;
  core.headless = options.headless || qEnvironmentVariable("PRESENTATION_ENGINE_HEADLESS") == "1";
  core.untimed = options.untimed;
  const QString ao = qEnvironmentVariable("PRESENTATION_ENGINE_AO");
  // An output name, or a list of them; nothing else is handed to the core.
  static const QRegularExpression kOutputNames(QStringLiteral("^[A-Za-z0-9_,-]{1,64}$"));
  if (kOutputNames.match(ao).hasMatch()) core.audioOutput = ao;
  return core;
}

std::unique_ptr<MediaEngine> CreateEngine(PlayerBuild kind, QWidget* parent,
                                          const EngineOptions& options) {
  auto* control = new EngineControl(CoreOptionsFor(options), parent);
  control->setGeometry(kEngineBox);
  if (kind == PlayerBuild::Tavisco) {
    control->setObjectName(QStringLiteral("MediaPlayer1"));
    return std::make_unique<WinMediaBinding>(MakeWinMediaControl(control), control);
  }
  control->setObjectName(QStringLiteral("RealAudio1"));
  return std::make_unique<RealMediaBinding>(MakeRealMediaControl(control), control);
}

// What each player build must be able to play: its container and the decoders of the
// recordings found on the old discs.
struct FormatNeeds {
  const char* demuxer;
  QStringList decoders;
};

static FormatNeeds NeedsOf(PlayerBuild kind) {
  if (kind == PlayerBuild::Tavisco) return {"asf", {"wmav1", "wmav2", "wmv1", "wmv2", "wmv3"}};
  return {"rm", {"ra_144", "ra_288", "cook", "rv10", "rv20", "rv30", "rv40"}};
}

bool ProbeEngine(PlayerBuild kind) {
  MpvCoreOptions options;
  options.headless = true;
  MpvCore core(options);
  if (!core.IsValid()) return false;
  const FormatNeeds needs = NeedsOf(kind);
  if (!core.StringList("demuxer-lavf-list").contains(QString::fromLatin1(needs.demuxer)))
    return false;
  const QStringList codecs = core.StringList("decoder-list", "codec");
  const QSet<QString> available(codecs.begin(), codecs.end());
  for (const QString& decoder : needs.decoders)
    if (!available.contains(decoder)) return false;
  return true;
}
