#pragma once
// The playback core: one libmpv handle with the options our engine controls need, its events
// turned into Qt signals on the GUI thread, and the few properties the controls read and set.
//
// The core can start in the background: libmpv is loaded and the handle made and initialised on
// a thread of its own while the window is built and shown; what is asked of the core before it
// has started (pause, volume, mute, speed) is remembered and applied when it has.

#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>
#include <mutex>
#include <thread>

struct mpv_handle;

struct MpvCoreOptions {
  bool headless = false;  // no picture and no sound device: vo=null, ao=null
  bool untimed = false;   // decode as fast as possible (tests)
  // Overrides the audio outputs when not empty: a name or a comma-separated list (e.g. "null");
  // an empty entry stands for the outputs the core would try by itself.
  QString audioOutput;
};

// The audio outputs a core tries, in order: the requested ones (or, for none, the core's own
// list of outputs it would try by itself), with the silent "null" output last, so that a
// recording plays on, silently, where no sound output can be opened. autoprobed: the core's own
// list, without "null".
QString AudioOutputList(const QString& requested, const QStringList& autoprobed);

class MpvCore : public QObject {
  Q_OBJECT

 public:
  enum class Start {
    Now,           // the constructor returns with the core started (or failed)
    InBackground,  // the constructor returns at once; started() or startFailed() follows
    Later,         // nothing yet; StartInBackground() starts it
  };
  explicit MpvCore(const MpvCoreOptions& options, Start start = Start::Now,
                   QObject* parent = nullptr);
  ~MpvCore() override;
  MpvCore(const MpvCore&) = delete;
  MpvCore& operator=(const MpvCore&) = delete;

  // Null until the core has started, and when it could not; every call is then harmless.
  mpv_handle* Handle() const { return handle_; }
  bool IsValid() const { return handle_ != nullptr; }
  // Starts the core in the background (once; later calls do nothing).
  void StartInBackground();
  // Still starting in the background.
  bool IsStarting() const { return starting_; }
  // The core could not start; FailureText says why.
  bool HasFailed() const { return !failure_.isEmpty(); }
  const QString& FailureText() const { return failure_; }
  const MpvCoreOptions& Options() const { return options_; }

  // Starts loading a native file path. withVideo false loads the sound only (no picture window).
  // A startSeconds of 0 or more starts playback there (an exact seek before the first frame).
  void Load(const QString& nativePath, bool withVideo, double startSeconds = -1);
  // Closes the file; the core is idle again.
  void Unload();
  void SetPaused(bool paused);
  bool Paused() const;
  // Exact seek to an absolute time; returns false when nothing is loaded to seek in.
  bool SeekSeconds(double seconds);
  // The playing position; negative while no recording is open.
  double PositionSeconds() const;
  double DurationSeconds() const;
  bool AtEnd() const;
  // True once the recording plays into the silent output although a sound output was wanted:
  // none of the machine's sound outputs could be opened.
  bool SoundOutputMissing() const { return soundOutputMissing_; }
  void SetVolume(int percent);
  void SetMuted(bool muted);
  // Playback speed (1 normal); mpv keeps the pitch of the voice by itself.
  void SetSpeed(double speed);
  double Speed() const;

  // Reads a property as a string list (mpv string lists, or a list of maps by one key).
  QStringList StringList(const char* property, const char* key = nullptr) const;
  // Reads a property as a number; fallback when it cannot be read.
  double Double(const char* property, double fallback = -1) const;
  bool Flag(const char* property) const;

 signals:
  // The core started in the background is ready: files may be loaded now.
  void started();
  // It could not be started; reason says why.
  void startFailed(const QString& reason);
  void fileLoaded();
  // The file could not be opened or played; reason is the core's own text.
  void loadFailed(const QString& reason);
  void seekFinished();
  void positionChanged(double seconds);  // negative when it becomes unavailable
  void durationChanged(double seconds);
  void pausedChanged(bool paused);
  // The end of the recording was reached (it stays open there) or left again.
  void endReachedChanged(bool atEnd);
  void soundOutputMissingChanged(bool missing);
  void speedChanged(double speed);

 private slots:
  void DrainEvents();

 private:
  // What the background thread hands over.
  struct Made {
    mpv_handle* handle = nullptr;
    bool silenceWanted = false;
    QString failure;
  };
  static Made Make(const MpvCoreOptions& options);
  void Adopt(Made made);
  void TakeBackgroundResult();
  static void OnWakeup(void* self);
  void HandlePropertyChange(void* event);

  MpvCoreOptions options_;
  mpv_handle* handle_ = nullptr;
  bool starting_ = false;
  bool startAsked_ = false;
  QString failure_;
  bool silenceWanted_ = false;  // the silent output was asked for first (tests, headless)
  bool soundOutputMissing_ = false;
  // Wishes made before the core started.
  bool paused_ = false;
  int volume_ = -1;
  int muted_ = -1;
  double speed_ = 1.0;
  // The background start: the thread, and its result until the GUI thread takes it.
  std::thread starter_;
  std::mutex madeLock_;
  std::unique_ptr<Made> made_;
};
