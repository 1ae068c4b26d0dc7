#pragma once
// The lossless master of a recording: every picture and sound stream, in order, in Matroska;
// the picture as FFV1 version 3 (slices with CRCs, every frame a key frame), the sound as FLAC
// where the decoder gives integer samples and as PCM of the decoder's own float width where it
// gives floating point (the WMA and cook decoders do; FLAC would round them). The proof: the
// decoded streams of the original and of the master, hashed stream by stream (FFmpeg's
// streamhash), must be equal.

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <vector>

#include "jobs/ToolRunner.h"

namespace preserver {

struct StreamPlan {
  int index = 0;        // the stream's index in the original
  QString type;         // "video" or "audio"
  QString codec;        // the original's codec
  QString masterCodec;  // ffv1, flac, pcm_f32le, pcm_f64le, pcm_s32le
  QString hashCodec;    // how the decoded stream is hashed: rawvideo or a PCM of its samples
};

struct MasterPlan {
  std::vector<StreamPlan> streams;  // in the original's order
  QStringList left;                 // streams a master does not keep ("stream 2: subtitle")
  double durationS = 0;
  QString error;  // why no master can be made; empty when it can
};

// The plan from what "ffprobe -show_format -show_streams -of json" says of the original.
MasterPlan PlanMaster(const QJsonObject& probe);

// ffmpeg's arguments after "-i input": the master, and in the same run the hashes of the
// original's decoded streams (decoded once for both).
QStringList MasterArguments(const MasterPlan& plan, const QString& master,
                            const QString& originalHashes);
// After "-i master": the hashes of the master's decoded streams.
QStringList MasterHashArguments(const MasterPlan& plan, const QString& masterHashes);

// What differs between two streamhash files ("stream 1 (audio): decoded samples differ");
// empty when every stream of the plan is there in both and equal.
QStringList CompareStreamHashes(const MasterPlan& plan, const QByteArray& original,
                                const QByteArray& master);

struct MasterResult {
  bool made = false;    // the master was written
  bool proved = false;  // and its decoded streams equal the original's
  bool cancelled = false;
  QString error;
  QStringList differences;
  double seconds = 0;  // wall clock for the master and its proof
};

struct MasterJob {
  QString input;           // native path of the original (the bag's copy)
  QString master;          // the .mkv to write
  QString originalHashes;  // the streamhash files to write
  QString masterHashes;
};

MasterResult MakeMaster(const jobs::FfmpegTools& tools, const MasterPlan& plan,
                        const MasterJob& job, const std::function<void(int percent)>& progress,
                        const std::atomic<bool>* cancel);

}  // namespace preserver
