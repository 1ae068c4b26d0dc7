#include "tests/support/FakeEngine.h"

#include "medium/Error.h"

namespace {
void MaybeFail(bool failing) {
  if (failing) throw medium::AppError(medium::kEngineFailure, QStringLiteral("Engine failed"));
}
}  // namespace

void FakeEngine::OpenMedia(const QString& path) {
  calls << QStringLiteral("OpenMedia ") + path;
  MaybeFail(failing);
}
void FakeEngine::Play() {
  calls << QStringLiteral("Play");
  MaybeFail(failing);
  paused = false;
}
void FakeEngine::Pause() {
  calls << QStringLiteral("Pause");
  MaybeFail(failing);
  paused = true;
}
void FakeEngine::SetSpeed(double s) {
  calls << QStringLiteral("Speed ") + QString::number(s, 'g', 15);
  MaybeFail(failing);
  speed = s;
}
void FakeEngine::SetVolume(int percent) {
  calls << QStringLiteral("Volume %1").arg(percent);
  MaybeFail(failing);
  volume = percent;
}
void FakeEngine::SetMuted(bool m) {
  calls << QStringLiteral("Muted %1").arg(m ? 1 : 0);
  MaybeFail(failing);
  muted = m;
}
void FakeEngine::TellPosition(double ms) {
  position = ms;
  if (listener) listener->EnginePosition(ms);
}
void FakeEngine::TellPlaying(bool playing) {
  paused = !playing;
  if (listener) listener->EnginePlaying(playing);
}
void FakeEngine::TellSeeked() {
  if (listener) listener->EngineSeeked();
}
void FakeEngine::TellSpeed(double s) {
  speed = s;
  if (listener) listener->EngineSpeed(s);
}
double FakeEngine::GetPositionMs() {
  calls << QStringLiteral("GetPositionMs");
  MaybeFail(failing);
  return position;
}
void FakeEngine::SeekMs(double ms) {
  calls << QStringLiteral("SeekMs ") + QString::number(ms, 'g', 15);
  MaybeFail(failing);
}
void FakeEngine::ShowControlPanelOnly() {
  calls << QStringLiteral("ShowControlPanelOnly");
  MaybeFail(failing);
}
void FakeEngine::SetTop(int pixels) {
  calls << QStringLiteral("Top %1").arg(pixels);
  top = pixels;
}
void FakeEngine::SetHeight(int pixels) {
  calls << QStringLiteral("Height %1").arg(pixels);
  height = pixels;
}
void FakeEngine::SetFocus() {
  calls << QStringLiteral("SetFocus");
}

namespace {

class BorrowedEngine : public MediaEngine {
 public:
  explicit BorrowedEngine(MediaEngine& engine) : e_(engine) {}
  void OpenMedia(const QString& path) override { e_.OpenMedia(path); }
  void Play() override { e_.Play(); }
  double GetPositionMs() override { return e_.GetPositionMs(); }
  void SeekMs(double ms) override { e_.SeekMs(ms); }
  void ShowControlPanelOnly() override { e_.ShowControlPanelOnly(); }
  void SetTop(int pixels) override { e_.SetTop(pixels); }
  void SetHeight(int pixels) override { e_.SetHeight(pixels); }
  int Top() const override { return e_.Top(); }
  int Height() const override { return e_.Height(); }
  void SetFocus() override { e_.SetFocus(); }
  QWidget* Widget() override { return e_.Widget(); }
  void SetListener(MediaEngineListener* l) override { e_.SetListener(l); }
  void Pause() override { e_.Pause(); }
  bool Paused() const override { return e_.Paused(); }
  double DurationMs() const override { return e_.DurationMs(); }
  void SetSpeed(double s) override { e_.SetSpeed(s); }
  double Speed() const override { return e_.Speed(); }
  void SetVolume(int percent) override { e_.SetVolume(percent); }
  int Volume() const override { return e_.Volume(); }
  void SetMuted(bool m) override { e_.SetMuted(m); }
  bool Muted() const override { return e_.Muted(); }

 private:
  MediaEngine& e_;
};

}  // namespace

std::function<std::unique_ptr<MediaEngine>(QWidget* parent)> Borrow(MediaEngine& engine) {
  return [&engine](QWidget*) { return std::make_unique<BorrowedEngine>(engine); };
}
