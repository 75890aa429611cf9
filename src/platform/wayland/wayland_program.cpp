// Starting `zimoklas` on a Wayland compositor.
#include "platform/wayland/wayland_program.hpp"

#include <gtk/gtk.h>

#include <cstdio>
#include <string_view>

#include "platform/glib/printable.hpp"
#include "platform/posix/end_by_signal.hpp"
#include "platform/wayland/wayland_loop.hpp"
#include "platform/wayland/wayland_scene.hpp"
#include "saver/form1.hpp"

namespace zimoklas::wayland {
namespace {

// GDK ends the program with status 1 when the compositor's connection fails, after a
// message that depends on where it noticed ("Error flushing display: Broken pipe", ...).
// The program says it in its own words instead.
GLogWriterOutput WriteLog(GLogLevelFlags level, const GLogField* fields, gsize count,
                          gpointer data) {
  std::string_view domain;
  std::string_view message;
  for (gsize i = 0; i < count; ++i) {
    const std::string_view key(fields[i].key);
    if (fields[i].length >= 0) continue;  // text fields are nul-terminated
    const auto* value = static_cast<const char*>(fields[i].value);
    if (key == "GLIB_DOMAIN") domain = value;
    if (key == "MESSAGE") message = value;
  }
  if (domain == "Gdk" && message.starts_with("Error ") &&
      message.find("display") != std::string_view::npos) {
    std::fputs("zimoklas: lost the connection to the Wayland compositor\n", stderr);
    return G_LOG_WRITER_HANDLED;
  }
  return g_log_writer_default(level, fields, count, data);
}

}  // namespace

int RunProgram(std::string_view argumentText, bool toplevel, const ProgramParts& parts) {
  // The toplevel's app id; GTK takes it from the program's name.
  g_set_prgname("zimoklas");
  gdk_set_allowed_backends("wayland");
  if (gtk_init_check(nullptr, nullptr) == FALSE) {
    const char* name = g_getenv("WAYLAND_DISPLAY");
    std::fprintf(stderr, "zimoklas: cannot connect to the Wayland compositor \"%s\"\n",
                 glib::Printable(name != nullptr ? name : "wayland-0").c_str());
    return 1;
  }
  g_log_set_writer_func(&WriteLog, nullptr, nullptr);

  int settingsExitCode = 0;
  SceneWindow window(toplevel, [&] { settingsExitCode = parts.runSettingsWindow(); });
  saver::Form1 form(window, parts.store, parts.clock, parts.random, parts.module);
  window.Attach(&form);
  if (form.Form_Load(argumentText) != saver::Mode::Saver) return settingsExitCode;
  window.Show();
  LoopStats stats;
  if (RunSceneLoop(window, form, stats) == LoopEnd::Signalled && stats.signal != 0) {
    // The form is unloaded and its surface gone; the signal ends the process, as it does
    // on X11 and before its handling exists. (Where the caller's thread of the signals
    // runs, it ends the process first.)
    gdk_display_flush(gdk_display_get_default());
    posix::EndBySignal(stats.signal);
  }
  return 0;
}

void KeepGtkOnX11() {
  gdk_set_allowed_backends("x11");
}

}  // namespace zimoklas::wayland
