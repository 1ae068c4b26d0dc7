#include "checker/FfmpegLibrary.h"

#include <dlfcn.h>

#include <mutex>
#include <string>

namespace checker {

namespace {

// Each library's file name carries the major version of the headers the code was compiled
// with, so the table is filled from the very libraries the code was written against.
std::string Soname(const char* name, int major) {
  return std::string("lib") + name + ".so." + std::to_string(major);
}

FfmpegLibrary table;
QString failure;
bool loaded = false;
std::once_flag loadOnce;

void* Open(const std::string& soname) {
  // Never unloaded: decoders may keep threads and tables of their own.
  void* library = dlopen(soname.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    const char* why = dlerror();
    failure = QStringLiteral("%1 could not be loaded: %2")
                  .arg(QString::fromStdString(soname), QString::fromLocal8Bit(why ? why : ""));
  }
  return library;
}

template <class Fn>
bool Resolve(void* library, const char* name, Fn& into) {
  into = reinterpret_cast<Fn>(dlsym(library, name));
  if (!into) failure = QStringLiteral("FFmpeg has no %1").arg(QLatin1String(name));
  return into != nullptr;
}

void Load() {
  void* util = Open(Soname("avutil", LIBAVUTIL_VERSION_MAJOR));
  void* codec = util ? Open(Soname("avcodec", LIBAVCODEC_VERSION_MAJOR)) : nullptr;
  void* format = codec ? Open(Soname("avformat", LIBAVFORMAT_VERSION_MAJOR)) : nullptr;
  if (!format) return;
  FfmpegLibrary t{};
  const bool complete =
      Resolve(format, "avformat_open_input", t.avformat_open_input) &&
      Resolve(format, "avformat_close_input", t.avformat_close_input) &&
      Resolve(format, "avformat_find_stream_info", t.avformat_find_stream_info) &&
      Resolve(format, "av_read_frame", t.av_read_frame) &&
      Resolve(format, "avio_size", t.avio_size) && Resolve(format, "avio_feof", t.avio_feof) &&
      Resolve(format, "avio_seek", t.avio_seek) &&
      Resolve(codec, "avcodec_find_decoder", t.avcodec_find_decoder) &&
      Resolve(codec, "avcodec_get_name", t.avcodec_get_name) &&
      Resolve(codec, "avcodec_descriptor_get_by_name", t.avcodec_descriptor_get_by_name) &&
      Resolve(codec, "avcodec_alloc_context3", t.avcodec_alloc_context3) &&
      Resolve(codec, "avcodec_free_context", t.avcodec_free_context) &&
      Resolve(codec, "avcodec_parameters_to_context", t.avcodec_parameters_to_context) &&
      Resolve(codec, "avcodec_open2", t.avcodec_open2) &&
      Resolve(codec, "avcodec_send_packet", t.avcodec_send_packet) &&
      Resolve(codec, "avcodec_receive_frame", t.avcodec_receive_frame) &&
      Resolve(codec, "av_packet_alloc", t.av_packet_alloc) &&
      Resolve(codec, "av_packet_free", t.av_packet_free) &&
      Resolve(codec, "av_packet_unref", t.av_packet_unref) &&
      Resolve(util, "av_frame_alloc", t.av_frame_alloc) &&
      Resolve(util, "av_frame_free", t.av_frame_free) &&
      Resolve(util, "av_frame_unref", t.av_frame_unref) &&
      Resolve(util, "av_strerror", t.av_strerror) &&
      Resolve(util, "av_log_set_callback", t.av_log_set_callback) &&
      Resolve(util, "av_log_default_callback", t.av_log_default_callback);
  if (!complete) return;
  table = t;
  loaded = true;
}

}  // namespace

const FfmpegLibrary* LoadFfmpeg(QString* error) {
  std::call_once(loadOnce, Load);
  if (loaded) return &table;
  if (error) *error = failure;
  return nullptr;
}

}  // namespace checker
