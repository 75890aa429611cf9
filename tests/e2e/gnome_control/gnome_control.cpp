// Drives a headless gnome-shell for the end-to-end tests through its D-Bus interfaces:
// screenshots, keys and clicks through remote desktop, and the monitors' layout.
// Run as the shell's own account, with its bus address in DBUS_SESSION_BUS_ADDRESS.
//
//   zimoklas_gnome_control shot OUT.png        the whole stage, every monitor
//   zimoklas_gnome_control keys KEYSYM...      each keysym (0x61) pressed and released
//   zimoklas_gnome_control click DX DY...      the pointer moved by each DX,DY three times, then a
//   left click zimoklas_gnome_control monitors            one line a monitor: connector x y w h
//   primary zimoklas_gnome_control primary CONNECTOR   makes that monitor the primary one
#include <gio/gio.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace {

GDBusConnection* bus = nullptr;

GVariant* Call(const char* service, const char* path, const char* interface, const char* method,
               GVariant* parameters, const char* replyType = nullptr) {
  GError* error = nullptr;
  GVariant* reply =
      g_dbus_connection_call_sync(bus, service, path, interface, method, parameters,
                                  replyType != nullptr ? G_VARIANT_TYPE(replyType) : nullptr,
                                  G_DBUS_CALL_FLAGS_NONE, 10000, nullptr, &error);
  if (reply == nullptr) {
    std::fprintf(stderr, "%s: %s\n", method, error->message);
    std::exit(1);  // NOLINT(concurrency-mt-unsafe): one thread calls
  }
  return reply;
}

int Shot(const char* out) {
  // The shell lets only its own screenshot tool take one.
  GError* error = nullptr;
  GVariant* owned = g_dbus_connection_call_sync(
      bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
      g_variant_new("(su)", "org.gnome.Screenshot", 4U), G_VARIANT_TYPE("(u)"),
      G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, &error);
  if (owned == nullptr) {
    std::fprintf(stderr, "RequestName: %s\n", error->message);
    return 1;
  }
  g_variant_unref(owned);
  GVariant* reply = Call("org.gnome.Shell.Screenshot", "/org/gnome/Shell/Screenshot",
                         "org.gnome.Shell.Screenshot", "Screenshot",
                         g_variant_new("(bbs)", FALSE, FALSE, out), "(bs)");
  gboolean success = FALSE;
  g_variant_get(reply, "(b&s)", &success, nullptr);
  g_variant_unref(reply);
  return success != FALSE ? 0 : 1;
}

// A remote-desktop session of this process; it ends when the process does.
std::string StartRemoteSession() {
  GVariant* reply = Call("org.gnome.Mutter.RemoteDesktop", "/org/gnome/Mutter/RemoteDesktop",
                         "org.gnome.Mutter.RemoteDesktop", "CreateSession", nullptr, "(o)");
  const char* path = nullptr;
  g_variant_get(reply, "(&o)", &path);
  std::string session = path;
  g_variant_unref(reply);
  g_variant_unref(Call("org.gnome.Mutter.RemoteDesktop", session.c_str(),
                       "org.gnome.Mutter.RemoteDesktop.Session", "Start", nullptr));
  return session;
}

void Notify(const std::string& session, const char* method, GVariant* parameters) {
  g_variant_unref(Call("org.gnome.Mutter.RemoteDesktop", session.c_str(),
                       "org.gnome.Mutter.RemoteDesktop.Session", method, parameters));
}

void Pause(int milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

int Keys(int count, char** keysyms) {
  const std::string session = StartRemoteSession();
  // The first key makes the virtual keyboard; a Shift is harmless wherever it lands, and
  // the client takes the new keyboard's keymap meanwhile.
  constexpr unsigned kShift = 0xffe1;
  Notify(session, "NotifyKeyboardKeysym", g_variant_new("(ub)", kShift, TRUE));
  Notify(session, "NotifyKeyboardKeysym", g_variant_new("(ub)", kShift, FALSE));
  Pause(300);
  for (int i = 0; i < count; ++i) {
    const auto keysym = static_cast<unsigned>(std::strtoul(keysyms[i], nullptr, 0));
    Notify(session, "NotifyKeyboardKeysym", g_variant_new("(ub)", keysym, TRUE));
    Notify(session, "NotifyKeyboardKeysym", g_variant_new("(ub)", keysym, FALSE));
    Pause(100);
  }
  Pause(200);
  return 0;
}

int Click(int count, char** moves) {
  const std::string session = StartRemoteSession();
  // The first event makes the virtual pointer, which takes the next ones only once it is
  // there.
  Notify(session, "NotifyPointerMotionRelative", g_variant_new("(dd)", 0.0, 0.0));
  Pause(1000);
  // A busy shell still drops a move now and then, so each move is sent three times: the
  // callers push the pointer against a monitor's edges, where a repeat changes nothing.
  for (int i = 0; i + 1 < count; i += 2) {
    const double dx = std::strtod(moves[i], nullptr);
    const double dy = std::strtod(moves[i + 1], nullptr);
    for (int repeat = 0; repeat < 3; ++repeat) {
      Notify(session, "NotifyPointerMotionRelative", g_variant_new("(dd)", dx, dy));
      Pause(150);
    }
  }
  Pause(150);
  constexpr int kLeftButton = 0x110;  // BTN_LEFT
  Notify(session, "NotifyPointerButton", g_variant_new("(ib)", kLeftButton, TRUE));
  Notify(session, "NotifyPointerButton", g_variant_new("(ib)", kLeftButton, FALSE));
  Pause(300);
  return 0;
}

GVariant* CurrentState() {
  return Call("org.gnome.Mutter.DisplayConfig", "/org/gnome/Mutter/DisplayConfig",
              "org.gnome.Mutter.DisplayConfig", "GetCurrentState", nullptr,
              "(ua((ssss)a(siiddada{sv})a{sv})a(iiduba(ssss)a{sv})a{sv})");
}

// The connector of the first monitor of a logical monitor.
std::string ConnectorOf(GVariant* logical) {
  GVariant* monitors = g_variant_get_child_value(logical, 5);
  std::string connector;
  if (g_variant_n_children(monitors) > 0) {
    GVariant* first = g_variant_get_child_value(monitors, 0);
    const char* name = nullptr;
    g_variant_get_child(first, 0, "&s", &name);
    connector = name;
    g_variant_unref(first);
  }
  g_variant_unref(monitors);
  return connector;
}

// The current mode's id of the monitor with that connector.
std::string CurrentMode(GVariant* monitors, const std::string& connector) {
  for (gsize i = 0; i < g_variant_n_children(monitors); ++i) {
    GVariant* monitor = g_variant_get_child_value(monitors, i);
    const char* name = nullptr;
    g_variant_get_child(monitor, 0, "(&ssss)", &name, nullptr, nullptr, nullptr);
    GVariant* modes = g_variant_get_child_value(monitor, 1);
    std::string found;
    for (gsize m = 0; connector == name && m < g_variant_n_children(modes); ++m) {
      GVariant* mode = g_variant_get_child_value(modes, m);
      const char* id = nullptr;
      GVariant* properties = g_variant_get_child_value(mode, 6);
      gboolean current = FALSE;
      g_variant_get_child(mode, 0, "&s", &id);
      if (g_variant_lookup(properties, "is-current", "b", &current) && current != FALSE) found = id;
      g_variant_unref(properties);
      g_variant_unref(mode);
    }
    g_variant_unref(modes);
    g_variant_unref(monitor);
    if (!found.empty()) return found;
  }
  return {};
}

int Monitors() {
  GVariant* state = CurrentState();
  GVariant* logicals = g_variant_get_child_value(state, 2);
  GVariant* monitors = g_variant_get_child_value(state, 1);
  for (gsize i = 0; i < g_variant_n_children(logicals); ++i) {
    GVariant* logical = g_variant_get_child_value(logicals, i);
    gint32 x = 0, y = 0;
    gboolean primary = FALSE;
    g_variant_get_child(logical, 0, "i", &x);
    g_variant_get_child(logical, 1, "i", &y);
    g_variant_get_child(logical, 4, "b", &primary);
    const std::string connector = ConnectorOf(logical);
    int width = 0, height = 0;
    std::sscanf(CurrentMode(monitors, connector).c_str(), "%dx%d", &width, &height);
    std::printf("%s %d %d %d %d %d\n", connector.c_str(), x, y, width, height,
                primary != FALSE ? 1 : 0);
    g_variant_unref(logical);
  }
  g_variant_unref(monitors);
  g_variant_unref(logicals);
  g_variant_unref(state);
  return 0;
}

int MakePrimary(const std::string& wanted) {
  GVariant* state = CurrentState();
  guint32 serial = 0;
  g_variant_get_child(state, 0, "u", &serial);
  GVariant* monitors = g_variant_get_child_value(state, 1);
  GVariant* logicals = g_variant_get_child_value(state, 2);
  // The same layout, with only the primary moved.
  GVariantBuilder layout;
  g_variant_builder_init(&layout, G_VARIANT_TYPE("a(iiduba(ssa{sv}))"));
  for (gsize i = 0; i < g_variant_n_children(logicals); ++i) {
    GVariant* logical = g_variant_get_child_value(logicals, i);
    gint32 x = 0, y = 0;
    double scale = 1;
    guint32 transform = 0;
    g_variant_get_child(logical, 0, "i", &x);
    g_variant_get_child(logical, 1, "i", &y);
    g_variant_get_child(logical, 2, "d", &scale);
    g_variant_get_child(logical, 3, "u", &transform);
    const std::string connector = ConnectorOf(logical);
    GVariantBuilder members;
    g_variant_builder_init(&members, G_VARIANT_TYPE("a(ssa{sv})"));
    g_variant_builder_add(&members, "(ss@a{sv})", connector.c_str(),
                          CurrentMode(monitors, connector).c_str(),
                          g_variant_new_array(G_VARIANT_TYPE("{sv}"), nullptr, 0));
    g_variant_builder_add(&layout, "(iidub@a(ssa{sv}))", x, y, scale, transform,
                          connector == wanted ? TRUE : FALSE, g_variant_builder_end(&members));
    g_variant_unref(logical);
  }
  constexpr guint32 kTemporary = 1;
  g_variant_unref(Call("org.gnome.Mutter.DisplayConfig", "/org/gnome/Mutter/DisplayConfig",
                       "org.gnome.Mutter.DisplayConfig", "ApplyMonitorsConfig",
                       g_variant_new("(uu@a(iiduba(ssa{sv}))@a{sv})", serial, kTemporary,
                                     g_variant_builder_end(&layout),
                                     g_variant_new_array(G_VARIANT_TYPE("{sv}"), nullptr, 0))));
  g_variant_unref(logicals);
  g_variant_unref(monitors);
  g_variant_unref(state);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string_view command = argc > 1 ? argv[1] : "";
  GError* error = nullptr;
  bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
  if (bus == nullptr) {
    std::fprintf(stderr, "no session bus: %s\n", error->message);
    return 1;
  }
  if (command == "shot" && argc == 3) return Shot(argv[2]);
  if (command == "keys" && argc >= 3) return Keys(argc - 2, argv + 2);
  if (command == "click" && argc >= 4 && argc % 2 == 0) return Click(argc - 2, argv + 2);
  if (command == "monitors" && argc == 2) return Monitors();
  if (command == "primary" && argc == 3) return MakePrimary(argv[2]);
  std::fputs(
      "usage: zimoklas_gnome_control shot OUT.png | keys KEYSYM... | click DX DY... | "
      "monitors | primary CONNECTOR\n",
      stderr);
  return 2;
}
