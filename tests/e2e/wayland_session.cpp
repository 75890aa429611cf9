// Starting, reading and typing into the headless compositors of the Wayland end-to-end
// tests.
#include "wayland_session.hpp"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <thread>

namespace zimoklas::e2e {
namespace {

namespace fs = std::filesystem;

// A binary PPM (P6, maxval 255) as grim writes it.
Image ReadPpm(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::string magic;
  int width = 0, height = 0, maxval = 0;
  file >> magic >> width >> height >> maxval;
  file.get();
  if (!file || magic != "P6" || maxval != 255 || width <= 0 || height <= 0) return {};
  Image image(width, height);
  std::vector<unsigned char> row(static_cast<std::size_t>(width) * 3);
  for (int y = 0; y < height; ++y) {
    if (!file.read(reinterpret_cast<char*>(row.data()), static_cast<std::streamsize>(row.size()))) {
      return {};
    }
    for (int x = 0; x < width; ++x) {
      image.set(x, y, {row[x * 3], row[(x * 3) + 1], row[(x * 3) + 2]});
    }
  }
  return image;
}

// A runtime folder of nobody's own for a compositor that needs `tools`; else empty, with
// `missing` saying why.
std::string NobodysFolder(const std::string& name, std::initializer_list<const char*> tools,
                          std::string& missing) {
  for (const char* tool : tools) {
    if (access(tool, X_OK) != 0) {
      missing = std::string(tool) + " is not installed";
      return {};
    }
  }
  const passwd* nobody = getpwnam("nobody");
  std::string pattern = (fs::temp_directory_path() / (name + "-XXXXXX")).string();
  if (nobody == nullptr) {
    missing = "there is no account \"nobody\" to run the compositor as";
  } else if (mkdtemp(pattern.data()) == nullptr ||
             chown(pattern.c_str(), nobody->pw_uid, nobody->pw_gid) != 0) {
    missing = "cannot make a runtime folder for nobody";
  } else {
    chmod(pattern.c_str(), 0700);
    return pattern;
  }
  return {};
}

}  // namespace

HeadlessSway::HeadlessSway(int width, int height) {
  runtimeDir_ = NobodysFolder("zimoklas-sway",
                              {"/usr/bin/sway", "/usr/bin/grim", "/usr/bin/wtype",
                               "/usr/bin/swaymsg", "/usr/bin/swayidle", ZIMOKLAS_SWAY_POINTER_PATH},
                              missing_);
  if (runtimeDir_.empty()) return;
  const std::string config = runtimeDir_ + "/config";
  std::ofstream(config) << "output HEADLESS-1 resolution " << width << "x" << height
                        << " bg #FF00FF solid_color\n";
  server_ = std::make_unique<Process>(
      std::vector<std::string>{"runuser", "-u", "nobody", "--", "env", "-u", "DISPLAY",
                               "HOME=" + runtimeDir_, "XDG_RUNTIME_DIR=" + runtimeDir_,
                               "WLR_BACKENDS=headless", "WLR_RENDERER=pixman",
                               "WLR_LIBINPUT_NO_DEVICES=1", "sway", "-c", config},
      std::vector<std::string>{}, runtimeDir_ + "-sway.log");
  // Ready once its socket is there and its background is drawn.
  const auto deadline = Clock::now() + 10s;
  while (Clock::now() < deadline && server_->Running()) {
    if (fs::exists(runtimeDir_ + "/wayland-1") && Capture().CountColour(kSwayBackground) > 0) {
      return;
    }
    std::this_thread::sleep_for(100ms);
  }
  missing_ = "sway did not start (see " + runtimeDir_ + "-sway.log)";
}

HeadlessSway::~HeadlessSway() {
  Kill();
  if (runtimeDir_.empty()) return;
  fs::remove_all(runtimeDir_);
  // The tools' output lies beside the folder; the compositor's log stays when a test
  // failed, for a person to read.
  for (const char* file :
       {"-grim.log", "-wtype.log", "-pointer.log", "-tree.json", "-shot.ppm", "-swaymsg.log"}) {
    fs::remove(runtimeDir_ + file);
  }
  if (!::testing::Test::HasFailure()) fs::remove(runtimeDir_ + "-sway.log");
}

void HeadlessSway::Kill() {
  if (!server_) return;
  // runuser passes the signal on to sway, which ends its background process too.
  server_->Signal(SIGTERM);
  server_->WaitForExit(5s);
  server_.reset();
}

std::vector<std::string> HeadlessSway::ClientEnvironment() const {
  return {"XDG_RUNTIME_DIR=" + runtimeDir_, "WAYLAND_DISPLAY=wayland-1"};
}

int HeadlessSway::Run(const std::vector<std::string>& argv, const std::string& output,
                      std::vector<std::string> environment) {
  std::vector<std::string> command{"env", "-u", "DISPLAY"};
  command.insert(command.end(), argv.begin(), argv.end());
  for (const std::string& v : ClientEnvironment()) environment.push_back(v);
  fs::remove(output);
  Process tool(command, environment, output);
  return tool.WaitForExit(10s).value_or(-1);
}

Image HeadlessSway::Capture() {
  const std::string path = runtimeDir_ + "-shot.ppm";
  Image image;
  if (Run({"grim", "-t", "ppm", path}, runtimeDir_ + "-grim.log") == 0) image = ReadPpm(path);
  fs::remove(path);
  return image;
}

void HeadlessSway::Type(const std::vector<std::string>& arguments) {
  std::vector<std::string> argv{"wtype", "-s", "300"};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  Run(argv, runtimeDir_ + "-wtype.log");
}

void HeadlessSway::Point(const std::vector<std::string>& arguments) {
  std::vector<std::string> argv{ZIMOKLAS_SWAY_POINTER_PATH};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  Run(argv, runtimeDir_ + "-pointer.log");
}

std::string HeadlessSway::SwaySocket() const {
  std::string socket;
  for (const auto& entry : fs::directory_iterator(runtimeDir_)) {
    if (entry.path().filename().string().rfind("sway-ipc.", 0) == 0) socket = entry.path();
  }
  return "SWAYSOCK=" + socket;
}

std::string HeadlessSway::Tree() {
  const std::string output = runtimeDir_ + "-tree.json";
  Run({"swaymsg", "-t", "get_tree"}, output, {SwaySocket()});
  return ReadFile(output);
}

int HeadlessSway::Command(const std::string& command) {
  return Run({"swaymsg", command}, runtimeDir_ + "-swaymsg.log", {SwaySocket()});
}

bool HeadlessSway::WaitForWindow(const std::string& name, Milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  const std::string quoted = "\"" + name + "\"";
  while (Clock::now() < deadline) {
    if (Tree().find(quoted) != std::string::npos) return true;
    std::this_thread::sleep_for(100ms);
  }
  return false;
}

HeadlessKWin::HeadlessKWin(int width, int height, const std::string& scale, int outputs) {
  runtimeDir_ = NobodysFolder(
      "zimoklas-kwin",
      {"/usr/bin/kwin_wayland", "/usr/bin/dbus-daemon", ZIMOKLAS_KWIN_CAPTURE_PATH}, missing_);
  if (runtimeDir_.empty()) return;
  // Debian's kwin_wayland carries a file capability that a container may not grant, and
  // then it cannot start at all; a copy carries none and needs none here.
  const std::string kwin = runtimeDir_ + "/kwin_wayland";
  fs::copy_file("/usr/bin/kwin_wayland", kwin);
  const std::string bus = "unix:path=" + runtimeDir_ + "/bus";
  const std::vector<std::string> asNobody{"runuser",
                                          "-u",
                                          "nobody",
                                          "--",
                                          "env",
                                          "-u",
                                          "DISPLAY",
                                          "-u",
                                          "WAYLAND_DISPLAY",
                                          "HOME=" + runtimeDir_,
                                          "XDG_RUNTIME_DIR=" + runtimeDir_,
                                          "DBUS_SESSION_BUS_ADDRESS=" + bus};
  std::vector<std::string> argv = asNobody;
  argv.insert(argv.end(),
              {"dbus-daemon", "--session", "--address=" + bus, "--nofork", "--nopidfile"});
  bus_ = std::make_unique<Process>(argv, std::vector<std::string>{}, runtimeDir_ + "-bus.log");
  // Screenshots need KWin to let any client take them.
  argv = asNobody;
  argv.insert(argv.end(),
              {"KWIN_SCREENSHOT_NO_PERMISSION_CHECKS=1", kwin, "--virtual", "--no-lockscreen",
               "--no-global-shortcuts", "--no-kactivities", "--width", std::to_string(width),
               "--height", std::to_string(height), "--scale", scale, "--output-count",
               std::to_string(outputs), "--socket", "wayland-1"});
  const auto deadline = Clock::now() + 20s;
  while (Clock::now() < deadline && !fs::exists(runtimeDir_ + "/bus")) {
    std::this_thread::sleep_for(50ms);
  }
  server_ = std::make_unique<Process>(argv, std::vector<std::string>{}, runtimeDir_ + "-kwin.log");
  while (Clock::now() < deadline && server_->Running()) {
    if (fs::exists(runtimeDir_ + "/wayland-1") && Capture().width() > 0) return;
    std::this_thread::sleep_for(100ms);
  }
  missing_ = "KWin did not start (see " + runtimeDir_ + "-kwin.log)";
}

HeadlessKWin::~HeadlessKWin() {
  for (auto* process : {&server_, &bus_}) {
    if (!*process) continue;
    (*process)->Signal(SIGTERM);
    (*process)->WaitForExit(5s);
  }
  if (runtimeDir_.empty()) return;
  fs::remove_all(runtimeDir_);
  fs::remove(runtimeDir_ + "-capture.log");
  fs::remove(runtimeDir_ + "-bus.log");
  if (!::testing::Test::HasFailure()) fs::remove(runtimeDir_ + "-kwin.log");
}

std::vector<std::string> HeadlessKWin::ClientEnvironment() const {
  return {"XDG_RUNTIME_DIR=" + runtimeDir_, "WAYLAND_DISPLAY=wayland-1"};
}

Image HeadlessKWin::Capture(const std::string& output) {
  // Taken as KWin's own account, on its bus, into its folder.
  const std::string path = runtimeDir_ + "/shot.ppm";
  Process tool({"runuser", "-u", "nobody", "--", "env",
                "DBUS_SESSION_BUS_ADDRESS=unix:path=" + runtimeDir_ + "/bus",
                ZIMOKLAS_KWIN_CAPTURE_PATH, output, path},
               {}, runtimeDir_ + "-capture.log");
  Image image;
  if (tool.WaitForExit(15s).value_or(-1) == 0) image = ReadPpm(path);
  fs::remove(path);
  return image;
}

}  // namespace zimoklas::e2e
