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

 private:
  MediaEngine& e_;
};

}  // namespace

std::function<std::unique_ptr<MediaEngine>(QWidget* parent)> Borrow(MediaEngine& engine) {
  return [&engine](QWidget*) { return std::make_unique<BorrowedEngine>(engine); };
}
