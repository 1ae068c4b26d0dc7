#pragma once
// FFmpeg's libraries, loaded when a recording is first read rather than when the program
// starts. The launcher links the checker, and FFmpeg's libraries (with the hundred codec
// libraries behind them) would otherwise be mapped before its window or even its --version;
// only --check, an export, the library's index and the right-click menu's check read recordings.
// Every call into FFmpeg goes through this table; its headers give the types only.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
#include <libavutil/log.h>
}

#include <QString>

namespace checker {

struct FfmpegLibrary {
  decltype(&::avformat_open_input) avformat_open_input;
  decltype(&::avformat_close_input) avformat_close_input;
  decltype(&::avformat_find_stream_info) avformat_find_stream_info;
  decltype(&::av_read_frame) av_read_frame;
  decltype(&::avio_size) avio_size;
  decltype(&::avio_feof) avio_feof;
  decltype(&::avio_seek) avio_seek;  // avio_tell is avio_seek(s, 0, SEEK_CUR), inline
  decltype(&::avcodec_find_decoder) avcodec_find_decoder;
  decltype(&::avcodec_get_name) avcodec_get_name;
  decltype(&::avcodec_descriptor_get_by_name) avcodec_descriptor_get_by_name;
  decltype(&::avcodec_alloc_context3) avcodec_alloc_context3;
  decltype(&::avcodec_free_context) avcodec_free_context;
  decltype(&::avcodec_parameters_to_context) avcodec_parameters_to_context;
  decltype(&::avcodec_open2) avcodec_open2;
  decltype(&::avcodec_send_packet) avcodec_send_packet;
  decltype(&::avcodec_receive_frame) avcodec_receive_frame;
  decltype(&::av_packet_alloc) av_packet_alloc;
  decltype(&::av_packet_free) av_packet_free;
  decltype(&::av_packet_unref) av_packet_unref;
  decltype(&::av_frame_alloc) av_frame_alloc;
  decltype(&::av_frame_free) av_frame_free;
  decltype(&::av_frame_unref) av_frame_unref;
  decltype(&::av_strerror) av_strerror;
  decltype(&::av_log_set_callback) av_log_set_callback;
  decltype(&::av_log_default_callback) av_log_default_callback;
};

// Loads the three libraries and resolves the table, once; safe from any thread. Null when they
// cannot be loaded; *error then says why.
const FfmpegLibrary* LoadFfmpeg(QString* error = nullptr);

}  // namespace checker
