// Saves one of KWin's screens as a binary PPM through KWin's screenshot interface on the
// session bus, for the end-to-end tests. Run as KWin's own account, with its bus address
// in DBUS_SESSION_BUS_ADDRESS.
//
//   zimoklas_kwin_capture SCREEN OUT.ppm
#include <fcntl.h>
#include <gio/gio.h>
#include <gio/gunixfdlist.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

std::uint32_t Field(GVariant* results, const char* key) {
  std::uint32_t value = 0;
  g_variant_lookup(results, key, "u", &value);
  return value;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: zimoklas_kwin_capture SCREEN OUT.ppm\n", stderr);
    return 2;
  }
  GError* error = nullptr;
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
  int pipeFds[2];
  if (bus == nullptr || pipe2(pipeFds, O_CLOEXEC) != 0) {
    std::fprintf(stderr, "no session bus: %s\n", error != nullptr ? error->message : "pipe");
    return 1;
  }
  GUnixFDList* fds = g_unix_fd_list_new();
  const int handle = g_unix_fd_list_append(fds, pipeFds[1], nullptr);
  close(pipeFds[1]);
  GVariantBuilder options;
  g_variant_builder_init(&options, G_VARIANT_TYPE("a{sv}"));
  g_variant_builder_add(&options, "{sv}", "native-resolution", g_variant_new_boolean(TRUE));
  g_variant_builder_add(&options, "{sv}", "include-cursor", g_variant_new_boolean(FALSE));

  // KWin writes the pixels while and after it answers, so they are read meanwhile.
  std::atomic<GVariant*> reply{nullptr};
  std::atomic<bool> answered{false};
  std::thread call([&] {
    GError* callError = nullptr;
    reply = g_dbus_connection_call_with_unix_fd_list_sync(
        bus, "org.kde.KWin", "/org/kde/KWin/ScreenShot2", "org.kde.KWin.ScreenShot2",
        "CaptureScreen", g_variant_new("(sa{sv}h)", argv[1], &options, handle),
        G_VARIANT_TYPE("(a{sv})"), G_DBUS_CALL_FLAGS_NONE, 10000, fds, nullptr, nullptr,
        &callError);
    if (callError != nullptr) std::fprintf(stderr, "CaptureScreen: %s\n", callError->message);
    answered = true;
  });
  std::vector<unsigned char> data;
  std::uint32_t width = 0, height = 0, stride = 0;
  std::size_t wanted = SIZE_MAX;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(12);
  while (data.size() < wanted && std::chrono::steady_clock::now() < deadline) {
    if (answered && wanted == SIZE_MAX) {
      if (reply == nullptr) break;
      GVariant* results = g_variant_get_child_value(reply, 0);
      width = Field(results, "width");
      height = Field(results, "height");
      stride = Field(results, "stride");
      g_variant_unref(results);
      wanted = static_cast<std::size_t>(stride) * height;
    }
    pollfd ready{pipeFds[0], POLLIN, 0};
    if (poll(&ready, 1, 50) <= 0) continue;
    unsigned char chunk[65536];
    const ssize_t got = read(pipeFds[0], chunk, sizeof chunk);
    if (got <= 0) {
      if (answered) break;
      continue;
    }
    data.insert(data.end(), chunk, chunk + got);
  }
  call.join();
  if (reply != nullptr) g_variant_unref(reply);
  if (width == 0 || stride < width * 4 || data.size() < wanted) {
    std::fprintf(stderr, "no screenshot (%zu bytes)\n", data.size());
    return 1;
  }
  // 32-bit pixels, blue, green, red and alpha in memory order.
  FILE* out = std::fopen(argv[2], "wb");
  if (out == nullptr) return 1;
  std::fprintf(out, "P6\n%u %u\n255\n", width, height);
  std::vector<unsigned char> row(static_cast<std::size_t>(width) * 3);
  for (std::uint32_t y = 0; y < height; ++y) {
    const unsigned char* in = &data[static_cast<std::size_t>(y) * stride];
    for (std::uint32_t x = 0; x < width; ++x) {
      row[(x * 3) + 0] = in[(x * 4) + 2];
      row[(x * 3) + 1] = in[(x * 4) + 1];
      row[(x * 3) + 2] = in[x * 4];
    }
    std::fwrite(row.data(), 1, row.size(), out);
  }
  return std::fclose(out) == 0 ? 0 : 1;
}
