#pragma once
// The medium's pictures, drawn here: slides and thumbnails, the still and audio pictures of a
// presentation without slides, and the launcher's buttons. Our own simple artwork, drawn the
// same way on every run.

#include <QByteArray>
#include <QImage>
#include <QString>

#include "tools/SampleContent.h"

namespace sample {

inline constexpr int kSlideWidth = 472, kSlideHeight = 360;
inline constexpr int kThumbWidth = 80, kThumbHeight = 65;
inline constexpr int kAudioWidth = 270, kAudioHeight = 220;

// Slide number (from 1) of the deck, with its number large in a corner, title and bullets.
QImage DrawSlide(const SampleContent& content, int number);
QImage DrawThumbnail(const QImage& slide);
QImage DrawStillPicture(const SampleContent& content, const Presentation& p);
QImage DrawAudioPicture(const Presentation& p);

enum class ButtonKind { kWindowsMedia, kRealMedia, kExit, kWebLink };
// The launcher's design picture, the JPEG file as built into the launcher: the launcher shows it
// until the pointer first moves and the medium's picture after that, so the two must be one.
QByteArray DesignButtonFile(ButtonKind kind);
// The normal picture, or with highlighted the one shown while the pointer rests on it.
QImage DrawButton(ButtonKind kind, bool highlighted);
// Size of each launcher picture.
QSize ButtonSize(ButtonKind kind);

// Saves as JPEG to a native path, creating its folder; raises GeneratorError on failure.
void SaveJpeg(const QImage& image, const QString& nativePath);

}  // namespace sample
