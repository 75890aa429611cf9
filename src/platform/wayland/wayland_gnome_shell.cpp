// Asking Mutter and GNOME's shell over the session bus.
#include "platform/wayland/wayland_gnome_shell.hpp"

#include <string_view>

namespace zimoklas::wayland {
namespace {

// A desktop that is there answers at once; one that is not, at once too.
constexpr int kCallTimeoutMs = 1000;

}  // namespace

GnomeShell::GnomeShell() {
  gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
  // No bus: GIO would launch one of its own for an X display.
  if (address != nullptr && !std::string_view(address).starts_with("autolaunch:")) {
    bus_ = g_dbus_connection_new_for_address_sync(
        address,
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, nullptr);
  }
  g_free(address);
}

GnomeShell::~GnomeShell() {
  if (bus_ == nullptr) return;
  // Sends what is queued (the overview's closing) before the connection goes.
  g_dbus_connection_flush_sync(bus_, nullptr, nullptr);
  g_dbus_connection_close_sync(bus_, nullptr, nullptr);
  g_object_unref(bus_);
}

std::optional<Position> GnomeShell::MutterPrimary() {
  if (bus_ == nullptr) return std::nullopt;
  GVariant* state = g_dbus_connection_call_sync(
      bus_, "org.gnome.Mutter.DisplayConfig", "/org/gnome/Mutter/DisplayConfig",
      "org.gnome.Mutter.DisplayConfig", "GetCurrentState", nullptr,
      G_VARIANT_TYPE("(ua((ssss)a(siiddada{sv})a{sv})a(iiduba(ssss)a{sv})a{sv})"),
      G_DBUS_CALL_FLAGS_NO_AUTO_START, kCallTimeoutMs, nullptr, nullptr);
  if (state == nullptr) return std::nullopt;
  std::optional<Position> primary;
  GVariant* logicals = g_variant_get_child_value(state, 2);
  for (gsize i = 0; i < g_variant_n_children(logicals) && !primary; ++i) {
    gint32 x = 0, y = 0;
    gboolean isPrimary = FALSE;
    GVariant* logical = g_variant_get_child_value(logicals, i);
    g_variant_get_child(logical, 0, "i", &x);
    g_variant_get_child(logical, 1, "i", &y);
    g_variant_get_child(logical, 4, "b", &isPrimary);
    if (isPrimary != FALSE) primary = Position{x, y};
    g_variant_unref(logical);
  }
  g_variant_unref(logicals);
  g_variant_unref(state);
  return primary;
}

void GnomeShell::LeaveOverview() {
  if (bus_ == nullptr) return;
  // The shell's own switch for the overview, as Esc in the overview is.
  GVariant* reply = g_dbus_connection_call_sync(
      bus_, "org.gnome.Shell", "/org/gnome/Shell", "org.freedesktop.DBus.Properties", "Set",
      g_variant_new("(ssv)", "org.gnome.Shell", "OverviewActive", g_variant_new_boolean(FALSE)),
      nullptr, G_DBUS_CALL_FLAGS_NO_AUTO_START, kCallTimeoutMs, nullptr, nullptr);
  if (reply != nullptr) g_variant_unref(reply);
}

}  // namespace zimoklas::wayland
