#pragma once
// libmpv, loaded when the engine is first needed rather than when the program starts. A player
// linked against libmpv waits at its very start for the dynamic loader to map libmpv and the
// FFmpeg libraries behind it (a hundred and more), before it can print its version or show its
// window; loaded here, on a thread of its own while the window is built, they cost the window
// nothing. Every call into libmpv goes through this table; its headers give the types only.

#include <mpv/client.h>
#include <mpv/render.h>

#include <QString>

struct MpvLibrary {
  decltype(&::mpv_create) create;
  decltype(&::mpv_initialize) initialize;
  decltype(&::mpv_terminate_destroy) terminate_destroy;
  decltype(&::mpv_set_option_string) set_option_string;
  decltype(&::mpv_set_property) set_property;
  decltype(&::mpv_set_property_string) set_property_string;
  decltype(&::mpv_get_property) get_property;
  decltype(&::mpv_observe_property) observe_property;
  decltype(&::mpv_command) command;
  decltype(&::mpv_wait_event) wait_event;
  decltype(&::mpv_set_wakeup_callback) set_wakeup_callback;
  decltype(&::mpv_error_string) error_string;
  decltype(&::mpv_free_node_contents) free_node_contents;
  decltype(&::mpv_get_time_us) get_time_us;
  decltype(&::mpv_render_context_create) render_context_create;
  decltype(&::mpv_render_context_set_update_callback) render_context_set_update_callback;
  decltype(&::mpv_render_context_update) render_context_update;
  decltype(&::mpv_render_context_render) render_context_render;
  decltype(&::mpv_render_context_get_info) render_context_get_info;
  decltype(&::mpv_render_context_free) render_context_free;
};

// Loads libmpv and resolves the table, once; safe from any thread, and later calls return at
// once. Null when libmpv cannot be loaded or lacks a function; *error then says why.
const MpvLibrary* LoadMpvLibrary(QString* error = nullptr);
// Whether LoadMpvLibrary has succeeded (it loads nothing itself).
bool MpvLibraryLoaded();
// The table, for code that runs only on a core that exists (and so on a loaded library).
const MpvLibrary& Mpv();
