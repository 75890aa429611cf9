// Starting `zimoklas` on a Wayland compositor.
#include "platform/wayland/wayland_program.hpp"

#include <gtk/gtk.h>

#include <cstdio>

#include "platform/wayland/wayland_loop.hpp"
#include "platform/wayland/wayland_scene.hpp"
#include "saver/form1.hpp"

namespace zimoklas::wayland {

int RunProgram(std::string_view argumentText, bool toplevel, const ProgramParts& parts) {
  // The toplevel's app id; GTK takes it from the program's name.
  g_set_prgname("zimoklas");
  gdk_set_allowed_backends("wayland");
  if (gtk_init_check(nullptr, nullptr) == FALSE) {
    const char* name = g_getenv("WAYLAND_DISPLAY");
    std::fprintf(stderr, "zimoklas: cannot connect to the Wayland compositor \"%s\"\n",
                 name != nullptr ? name : "wayland-0");
    return 1;
  }

  int settingsExitCode = 0;
  SceneWindow window(toplevel, [&] { settingsExitCode = parts.runSettingsWindow(); });
  saver::Form1 form(window, parts.store, parts.clock, parts.random, parts.module);
  window.Attach(&form);
  if (form.Form_Load(argumentText) != saver::Mode::Saver) return settingsExitCode;
  window.Show();
  LoopStats stats;
  RunSceneLoop(window, form, stats);
  return 0;
}

void KeepGtkOnX11() {
  gdk_set_allowed_backends("x11");
}

}  // namespace zimoklas::wayland
