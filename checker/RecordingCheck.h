#pragma once
// Reading a recording through as a player would play it, but without window or sound and far
// faster than real time: every packet is demultiplexed and decoded, so a file cut short or with
// damaged bytes shows up here and not only halfway through a presentation.

#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <vector>

namespace checker {

// A stretch of the recording, in seconds from its start.
struct Stretch {
  double from = 0;
  double to = 0;
};

struct RecordingReading {
  QString openError;             // not empty: the recording cannot be opened or has no stream
  double statedSeconds = -1;     // the length the file states in its header; -1 when none
  double readSeconds = 0;        // how far the packets that could be read reach
  std::vector<Stretch> damaged;  // stretches that could not be read or decoded, in time order
  // Stretches where pictures are missing: a gap in the picture's times of more than two frames
  // of the stream's own rate, in time order.
  std::vector<Stretch> missingPictures;
  // How far short of the stated length a whole recording may end: its longest packet (a block of
  // sound, a frame) and the rounding of its times. A short recording may not lose a second.
  double toleranceSeconds = 0.1;
  // The packets stop before the stated length by more than the tolerance.
  bool EndsEarly() const;
};

// Called while a recording is read with the share read so far, from 0 to 1.
using ReadProgress = std::function<void(double fraction)>;

// How deep a recording is read: demultiplexed only (the times and sizes of its packets, which
// finds a recording cut short, bytes the demultiplexer cannot read and missing pictures), or
// also decoded (which finds what only a decoder sees).
enum class ReadDepth { Packets, Decoded };

// Reads the recording at a native path through. Never shows or plays anything. A set cancel flag
// leaves the reading where it stands.
RecordingReading ReadRecording(const QString& nativePath, const ReadProgress& progress = {},
                               const std::atomic<bool>* cancel = nullptr,
                               ReadDepth depth = ReadDepth::Decoded);

// Puts a damaged stretch into a list in time order, joined with one it touches or nearly touches
// (closer than a second).
void AddDamage(std::vector<Stretch>& damaged, double from, double to);

// The length to show for a recording: the header's statement, else FFmpeg's estimate from its
// first packets (a RealMedia header states none that FFmpeg takes); -1 when neither is known.
double LengthSeconds(const QString& nativePath);

// The name FFmpeg's decoder of a codec writes its log lines under ("real_144" for the codec
// ffprobe calls "ra_144", "cook" for "cook"); the codec's own name when FFmpeg has no decoder
// for it. What a decoder logs is damage; what the demultiplexer says of the container is judged by
// the reading of the packets.
QString DecoderName(const QString& codecName);

// What a player would show wrongly or fail to play, one sentence each; empty when it plays
// through.
QStringList DescribeDamage(const RecordingReading& reading);

// A time as minutes, seconds and tenths: 1:05.3.
QString FormatTime(double seconds);

}  // namespace checker
