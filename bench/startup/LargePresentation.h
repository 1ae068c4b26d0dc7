#pragma once
// The large synthetic presentation the start-up benches open: 1,000 slides, 5,000 transcript
// sections in three languages and 2,000 marks over an hour.

#include <QString>
#include <QStringList>

inline constexpr int kLargeSlides = 1000;
inline constexpr int kLargeCues = 5000;
inline constexpr int kLargeAnns = 2000;
inline const QStringList kLargeLanguages = {"ENGLISH", "FRENCH", "GERMAN"};

// Writes Data/<folder> and the thumbnails below root, every thumbnail a copy of one small JPEG;
// with slidePictures every slide picture too (one JPEG of slideRgb, 472 x 360). The recording
// is left to the caller.
void WriteLargePresentation(const QString& root, const QString& folder, bool slidePictures = false,
                            unsigned slideRgb = 0x5a78c8);
