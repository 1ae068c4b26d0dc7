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
void FakeEngine::SetFocus() { calls << QStringLiteral("SetFocus"); }
