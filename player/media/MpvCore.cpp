#include "player/media/MpvCore.h"

#include "player/media/MpvLibrary.h"

#include <QFileInfo>
#include <QPointer>
#include <clocale>
#include <cmath>

namespace {

// Options every core gets. A recording on an archive disc is played and nothing else: no user
// configuration, scripts, network helpers or watch-later files, no on-screen display of mpv's
// own (we draw our own control panel), and no following of references to other files or
// addresses stored inside a recording or playlist.
const char* const kFixedOptions[][2] = {
    {"config", "no"},
    {"terminal", "no"},
    {"idle", "yes"},
    {"keep-open", "yes"},  // the position stays valid at the end of the recording
    {"hr-seek", "yes"},    // seeks land on the exact time, not the previous key frame
    {"input-default-bindings", "no"},
    {"input-vo-keyboard", "no"},
    {"osc", "no"},
    {"load-scripts", "no"},
    {"ytdl", "no"},
    {"osd-level", "0"},
    {"osd-bar", "no"},
    {"sub-auto", "no"},
    {"audio-file-auto", "no"},
    {"access-references", "no"},
    {"resume-playback", "no"},
    {"save-position-on-quit", "no"},
    {"load-stats-overlay", "no"},
    {"load-osd-console", "no"},
    {"load-auto-profiles", "no"},
    {"hwdec", "no"},
    // A frame is handed to our picture window when it is due, not up to 50 ms before: the window
    // shows it as soon as it gets it, and the position the core reports (the time stamp of the
    // frame handed over last) is then that of the frame on screen, at any speed, which is what
    // brings each slide out with the frame that starts it.
    {"video-timing-offset", "0"},
    {"audio-client-name", "presentation-player"},
};

double ReadDouble(mpv_handle* h, const char* name) {
  double value = 0;
  if (!h || Mpv().get_property(h, name, MPV_FORMAT_DOUBLE, &value) < 0 || !std::isfinite(value))
    return -1;
  return value;
}

bool ReadFlag(mpv_handle* h, const char* name) {
  int flag = 0;
  if (!h || Mpv().get_property(h, name, MPV_FORMAT_FLAG, &flag) < 0) return false;
  return flag != 0;
}

// A string list (mpv string lists, or a list of maps by one key) of a core that may not belong
// to a MpvCore yet.
QStringList StringListOf(mpv_handle* h, const char* property, const char* key) {
  QStringList result;
  mpv_node node;
  if (!h || Mpv().get_property(h, property, MPV_FORMAT_NODE, &node) < 0) return result;
  if (node.format == MPV_FORMAT_NODE_ARRAY) {
    for (int i = 0; i < node.u.list->num; ++i) {
      const mpv_node& item = node.u.list->values[i];
      if (item.format == MPV_FORMAT_STRING && !key) {
        result << QString::fromUtf8(item.u.string);
      } else if (item.format == MPV_FORMAT_NODE_MAP && key) {
        const mpv_node_list* map = item.u.list;
        for (int k = 0; k < map->num; ++k) {
          if (qstrcmp(map->keys[k], key) == 0 && map->values[k].format == MPV_FORMAT_STRING)
            result << QString::fromUtf8(map->values[k].u.string);
        }
      }
    }
  }
  Mpv().free_node_contents(&node);
  return result;
}

}  // namespace

QString AudioOutputList(const QString& requested, const QStringList& autoprobed) {
  QStringList outputs;
  const QStringList entries = requested.isEmpty() ? QStringList{QString()} : requested.split(',');
  for (const QString& entry : entries) {
    for (const QString& name : entry.isEmpty() ? autoprobed : QStringList{entry}) {
      if (!name.isEmpty() && !outputs.contains(name)) outputs << name;
    }
  }
  if (!outputs.contains(QStringLiteral("null"))) outputs << QStringLiteral("null");
  return outputs.join(',');
}

MpvCore::MpvCore(const MpvCoreOptions& options, Start start, QObject* parent)
    : QObject(parent), options_(options) {
  // libmpv refuses to start under a locale whose decimal point is not '.', and QApplication sets
  // the user's locale. Set here, on the GUI thread, before any thread of the core exists.
  std::setlocale(LC_NUMERIC, "C");
  if (start == Start::Now) {
    startAsked_ = true;
    Adopt(Make(options_));
  } else if (start == Start::InBackground) {
    StartInBackground();
  }
}

void MpvCore::StartInBackground() {
  if (startAsked_) return;
  startAsked_ = true;
  starting_ = true;
  starter_ = std::thread([this, options = options_] {
    auto made = std::make_unique<Made>(Make(options));
    {
      std::lock_guard<std::mutex> hold(madeLock_);
      made_ = std::move(made);
    }
    // Dropped by Qt when the core is gone by then; the destructor then frees the handle.
    QMetaObject::invokeMethod(this, &MpvCore::TakeBackgroundResult, Qt::QueuedConnection);
  });
}

MpvCore::Made MpvCore::Make(const MpvCoreOptions& options) {
  Made made;
  QString error;
  const MpvLibrary* mpv = LoadMpvLibrary(&error);
  if (!mpv) {
    made.failure = error;
    return made;
  }
  mpv_handle* h = mpv->create();
  if (!h) {
    made.failure = QStringLiteral("libmpv could not make a core");
    return made;
  }
  for (const auto& option : kFixedOptions) mpv->set_option_string(h, option[0], option[1]);
  if (options.headless) {
    mpv->set_option_string(h, "vo", "null");
  } else {
    // Pictures go through our picture window only; never a window of mpv's own.
    mpv->set_option_string(h, "vo", "libmpv");
  }
  if (options.untimed) {
    mpv->set_option_string(h, "untimed", "yes");
    mpv->set_option_string(h, "ao-null-untimed", "yes");
  }
  if (mpv->initialize(h) < 0) {
    mpv->terminate_destroy(h);
    made.failure = QStringLiteral("libmpv could not be initialised");
    return made;
  }
  // Without any sound output the core would give up a recording that has no picture, and play
  // one with a picture without its sound track; with the silent output last it plays on, timed
  // as usual, and we can tell the user why nothing is heard. The outputs the core would try by
  // itself are known only once it runs; it opens none before a file is loaded.
  QString requested = options.audioOutput;
  if (requested.isEmpty() && options.headless) requested = QStringLiteral("null");
  QStringList autoprobed;
  for (const QString& name : StringListOf(h, "option-info/ao/choices", nullptr)) {
    if (name == QLatin1String("null")) break;  // the core tries only those before it
    autoprobed << name;
  }
  const QString outputs = AudioOutputList(requested, autoprobed);
  made.silenceWanted = outputs.startsWith(QLatin1String("null"));
  mpv->set_property_string(h, "ao", outputs.toUtf8().constData());
  made.handle = h;
  return made;
}

void MpvCore::TakeBackgroundResult() {
  std::unique_ptr<Made> made;
  {
    std::lock_guard<std::mutex> hold(madeLock_);
    made = std::move(made_);
  }
  if (starter_.joinable()) starter_.join();
  if (!made) return;
  starting_ = false;
  Adopt(*made);
  if (handle_)
    emit started();
  else
    emit startFailed(failure_);
}

void MpvCore::Adopt(Made made) {
  starting_ = false;
  if (!made.handle) {
    failure_ = made.failure;
    return;
  }
  handle_ = made.handle;
  silenceWanted_ = made.silenceWanted;
  const MpvLibrary& mpv = Mpv();
  mpv.observe_property(handle_, 0, "playback-time", MPV_FORMAT_DOUBLE);
  mpv.observe_property(handle_, 0, "duration", MPV_FORMAT_DOUBLE);
  mpv.observe_property(handle_, 0, "pause", MPV_FORMAT_FLAG);
  mpv.observe_property(handle_, 0, "eof-reached", MPV_FORMAT_FLAG);
  mpv.observe_property(handle_, 0, "current-ao", MPV_FORMAT_STRING);
  mpv.observe_property(handle_, 0, "speed", MPV_FORMAT_DOUBLE);
  // What was asked before the core existed.
  SetPaused(paused_);
  if (volume_ >= 0) SetVolume(volume_);
  if (muted_ >= 0) SetMuted(muted_ != 0);
  if (speed_ != 1.0) SetSpeed(speed_);
  mpv.set_wakeup_callback(handle_, &MpvCore::OnWakeup, this);
}

MpvCore::~MpvCore() {
  // A background start still under way is waited for; a core it made and nobody took is freed.
  if (starter_.joinable()) starter_.join();
  {
    std::lock_guard<std::mutex> hold(madeLock_);
    if (made_ && made_->handle) Mpv().terminate_destroy(made_->handle);
    made_.reset();
  }
  if (!handle_) return;
  // After this returns mpv no longer calls into this object from its threads.
  Mpv().set_wakeup_callback(handle_, nullptr, nullptr);
  Mpv().terminate_destroy(handle_);
  handle_ = nullptr;
}

void MpvCore::OnWakeup(void* self) {
  // Runs on an mpv thread: never call mpv here, only ask the GUI thread to look.
  QMetaObject::invokeMethod(static_cast<MpvCore*>(self), "DrainEvents", Qt::QueuedConnection);
}

void MpvCore::Load(const QString& nativePath, bool withVideo, double startSeconds) {
  if (!handle_) return;
  Mpv().set_property_string(handle_, "vid", withVideo ? "auto" : "no");
  // An absolute path can never be taken for a protocol or an option.
  const QByteArray path = QFileInfo(nativePath).absoluteFilePath().toUtf8();
  // Started where it is wanted, the first frame shown is that moment's, not the file's first.
  const QByteArray start = startSeconds >= 0 && std::isfinite(startSeconds)
                               ? "start=" + QByteArray::number(startSeconds, 'f', 6)
                               : QByteArray();
  const char* command[] = {"loadfile", path.constData(), "replace",
                           start.isEmpty() ? nullptr : start.constData(), nullptr};
  Mpv().command(handle_, command);
}

void MpvCore::Unload() {
  if (!handle_) return;
  const char* command[] = {"stop", nullptr};
  Mpv().command(handle_, command);
}

void MpvCore::SetPaused(bool paused) {
  paused_ = paused;
  if (!handle_) return;
  int flag = paused ? 1 : 0;
  Mpv().set_property(handle_, "pause", MPV_FORMAT_FLAG, &flag);
}

bool MpvCore::Paused() const {
  return handle_ ? ReadFlag(handle_, "pause") : paused_;
}

bool MpvCore::SeekSeconds(double seconds) {
  if (!handle_ || !std::isfinite(seconds)) return false;
  const QByteArray target = QByteArray::number(std::max(0.0, seconds), 'f', 6);
  const char* command[] = {"seek", target.constData(), "absolute+exact", nullptr};
  return Mpv().command(handle_, command) >= 0;
}

double MpvCore::PositionSeconds() const {
  return ReadDouble(handle_, "playback-time");
}

double MpvCore::DurationSeconds() const {
  return ReadDouble(handle_, "duration");
}

bool MpvCore::AtEnd() const {
  return ReadFlag(handle_, "eof-reached");
}

void MpvCore::SetVolume(int percent) {
  volume_ = std::clamp(percent, 0, 100);
  if (!handle_) return;
  double volume = volume_;
  Mpv().set_property(handle_, "volume", MPV_FORMAT_DOUBLE, &volume);
}

void MpvCore::SetMuted(bool muted) {
  muted_ = muted ? 1 : 0;
  if (!handle_) return;
  int flag = muted_;
  Mpv().set_property(handle_, "mute", MPV_FORMAT_FLAG, &flag);
}

void MpvCore::SetSpeed(double speed) {
  if (!std::isfinite(speed) || speed <= 0) return;
  speed_ = speed;
  if (!handle_) return;
  Mpv().set_property(handle_, "speed", MPV_FORMAT_DOUBLE, &speed);
}

double MpvCore::Speed() const {
  if (!handle_) return speed_;
  const double speed = ReadDouble(handle_, "speed");
  return speed > 0 ? speed : 1.0;
}

QStringList MpvCore::StringList(const char* property, const char* key) const {
  return StringListOf(handle_, property, key);
}

double MpvCore::Double(const char* property, double fallback) const {
  double value = 0;
  if (!handle_ || Mpv().get_property(handle_, property, MPV_FORMAT_DOUBLE, &value) < 0)
    return fallback;
  return value;
}

bool MpvCore::Flag(const char* property) const {
  return ReadFlag(handle_, property);
}

void MpvCore::DrainEvents() {
  // A receiver of one of our signals may delete us; stop draining then.
  QPointer<MpvCore> alive(this);
  while (alive && handle_) {
    mpv_event* event = Mpv().wait_event(handle_, 0);
    if (event->event_id == MPV_EVENT_NONE) break;
    switch (event->event_id) {
      case MPV_EVENT_FILE_LOADED:
        emit fileLoaded();
        break;
      case MPV_EVENT_END_FILE: {
        const auto* end = static_cast<mpv_event_end_file*>(event->data);
        if (end->reason == MPV_END_FILE_REASON_ERROR)
          emit loadFailed(QString::fromUtf8(Mpv().error_string(end->error)));
        break;
      }
      case MPV_EVENT_PLAYBACK_RESTART:
        emit seekFinished();
        break;
      case MPV_EVENT_PROPERTY_CHANGE:
        HandlePropertyChange(event->data);
        break;
      default:
        break;
    }
  }
}

void MpvCore::HandlePropertyChange(void* data) {
  const auto* property = static_cast<mpv_event_property*>(data);
  const bool isDouble = property->format == MPV_FORMAT_DOUBLE;
  const double value = isDouble ? *static_cast<double*>(property->data) : -1;
  if (qstrcmp(property->name, "playback-time") == 0) {
    emit positionChanged(isDouble ? value : -1);
  } else if (qstrcmp(property->name, "duration") == 0) {
    emit durationChanged(isDouble ? value : -1);
  } else if (qstrcmp(property->name, "speed") == 0) {
    if (isDouble && value > 0) emit speedChanged(value);
  } else if (qstrcmp(property->name, "pause") == 0 && property->format == MPV_FORMAT_FLAG) {
    emit pausedChanged(*static_cast<int*>(property->data) != 0);
  } else if (qstrcmp(property->name, "eof-reached") == 0 && property->format == MPV_FORMAT_FLAG) {
    emit endReachedChanged(*static_cast<int*>(property->data) != 0);
  } else if (qstrcmp(property->name, "current-ao") == 0 && property->format == MPV_FORMAT_STRING) {
    // Between files no output is open at all; only an opened one says whether sound is heard.
    const bool missing =
        !silenceWanted_ && qstrcmp(*static_cast<char**>(property->data), "null") == 0;
    if (missing != soundOutputMissing_) {
      soundOutputMissing_ = missing;
      emit soundOutputMissingChanged(missing);
    }
  }
}
