#include "player/media/MpvLibrary.h"

#include <dlfcn.h>

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <string>

namespace {

// The library's file name carries the major number of the client API its headers describe, so
// the table is filled from the very library the code was compiled for.
const std::string kSoname = "libmpv.so." + std::to_string(MPV_CLIENT_API_VERSION >> 16);

MpvLibrary table;
QString failure;
std::once_flag loadOnce;
std::atomic<bool> loaded{false};

template <class Fn>
bool Resolve(void* library, const char* name, Fn& into) {
  into = reinterpret_cast<Fn>(dlsym(library, name));
  if (!into) failure = QStringLiteral("libmpv has no %1").arg(QLatin1String(name));
  return into != nullptr;
}

void Load() {
  // Never unloaded: the core's threads and the render context live until the program ends.
  void* library = dlopen(kSoname.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    const char* why = dlerror();
    failure = QStringLiteral("%1 could not be loaded: %2")
                  .arg(QString::fromStdString(kSoname), QString::fromLocal8Bit(why ? why : ""));
    return;
  }
  MpvLibrary t{};
  const bool complete =
      Resolve(library, "mpv_create", t.create) &&
      Resolve(library, "mpv_initialize", t.initialize) &&
      Resolve(library, "mpv_terminate_destroy", t.terminate_destroy) &&
      Resolve(library, "mpv_set_option_string", t.set_option_string) &&
      Resolve(library, "mpv_set_property", t.set_property) &&
      Resolve(library, "mpv_set_property_string", t.set_property_string) &&
      Resolve(library, "mpv_get_property", t.get_property) &&
      Resolve(library, "mpv_observe_property", t.observe_property) &&
      Resolve(library, "mpv_command", t.command) &&
      Resolve(library, "mpv_wait_event", t.wait_event) &&
      Resolve(library, "mpv_set_wakeup_callback", t.set_wakeup_callback) &&
      Resolve(library, "mpv_error_string", t.error_string) &&
      Resolve(library, "mpv_free_node_contents", t.free_node_contents) &&
      Resolve(library, "mpv_get_time_us", t.get_time_us) &&
      Resolve(library, "mpv_render_context_create", t.render_context_create) &&
      Resolve(library, "mpv_render_context_set_update_callback",
              t.render_context_set_update_callback) &&
      Resolve(library, "mpv_render_context_update", t.render_context_update) &&
      Resolve(library, "mpv_render_context_render", t.render_context_render) &&
      Resolve(library, "mpv_render_context_get_info", t.render_context_get_info) &&
      Resolve(library, "mpv_render_context_free", t.render_context_free);
  if (!complete) return;
  table = t;
  loaded = true;
}

}  // namespace

const MpvLibrary* LoadMpvLibrary(QString* error) {
  std::call_once(loadOnce, Load);
  if (loaded) return &table;
  if (error) *error = failure;
  return nullptr;
}

bool MpvLibraryLoaded() {
  return loaded;
}

const MpvLibrary& Mpv() {
  // Only code that holds a core calls this, and a core exists only once the library is loaded.
  if (!loaded) std::abort();
  return table;
}
