// Starting, reading and driving the headless GNOME sessions of the end-to-end tests.
#include "gnome_session.hpp"

#include <png.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csetjmp>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string_view>
#include <thread>

namespace zimoklas::e2e {
namespace {

namespace fs = std::filesystem;

constexpr const char* kShell = "/usr/bin/gnome-shell";
constexpr const char* kDbusDaemon = "/usr/bin/dbus-daemon";

// The shell's screenshots: 8-bit RGB or RGBA.
Image ReadPng(const std::string& path) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return {};
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  Image image;
  if (setjmp(png_jmpbuf(png))) {  // NOLINT(cert-err52-cpp): libpng reports errors so
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    return {};
  }
  png_init_io(png, file);
  png_read_info(png, info);
  png_set_strip_16(png);
  png_set_palette_to_rgb(png);
  png_set_strip_alpha(png);
  png_read_update_info(png, info);
  const int width = static_cast<int>(png_get_image_width(png, info));
  const int height = static_cast<int>(png_get_image_height(png, info));
  if (png_get_channels(png, info) == 3 && width > 0 && height > 0) {
    image = Image(width, height);
    std::vector<png_byte> row(png_get_rowbytes(png, info));
    for (int y = 0; y < height; ++y) {
      png_read_row(png, row.data(), nullptr);
      for (int x = 0; x < width; ++x) {
        image.set(x, y, {row[x * 3], row[(x * 3) + 1], row[(x * 3) + 2]});
      }
    }
  }
  png_destroy_read_struct(&png, &info, nullptr);
  std::fclose(file);
  return image;
}

// The pids of nobody's processes whose environment names this runtime folder: what the
// session's buses started for it (portals, settings daemons, ...).
std::vector<pid_t> ProcessesOf(const std::string& runtimeDir, uid_t uid) {
  std::vector<pid_t> pids;
  const std::string variable = "XDG_RUNTIME_DIR=" + runtimeDir;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator("/proc", error)) {
    const std::string name = entry.path().filename();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    struct stat st {};
    if (stat(entry.path().c_str(), &st) != 0 || st.st_uid != uid) continue;
    std::ifstream file(entry.path() / "environ", std::ios::binary);
    std::string value;
    while (std::getline(file, value, '\0')) {
      if (value == variable) {
        pids.push_back(static_cast<pid_t>(std::stol(name)));
        break;
      }
    }
  }
  return pids;
}

// The last `count` lines of `text`.
std::string LastLines(const std::string& text, int count) {
  std::size_t from = text.size();
  for (int i = 0; i <= count && from > 0; ++i) from = text.rfind('\n', from - 1);
  return from == std::string::npos ? text : text.substr(from + 1);
}

}  // namespace

HeadlessGnome::HeadlessGnome(int monitors, bool overview, int width, int height) {
  std::vector<std::string> arguments{kShell, "--headless", "--wayland", "--no-x11"};
  for (int i = 0; i < monitors; ++i) {
    arguments.insert(arguments.end(),
                     {"--virtual-monitor", std::to_string(width) + "x" + std::to_string(height)});
  }
  waylandDisplay_ = "wayland-gnome";
  arguments.insert(arguments.end(), {"--wayland-display", waylandDisplay_});
  Start(arguments, {}, monitors, overview);
}

HeadlessGnome::HeadlessGnome(X11Tag /*tag*/, const std::string& display, bool overview) {
  x11Display_ = display;
  Start({kShell, "--x11", "--replace"}, display, 1, overview);
}

std::unique_ptr<HeadlessGnome> HeadlessGnome::OnX11(const std::string& display, bool overview) {
  return std::unique_ptr<HeadlessGnome>(new HeadlessGnome(X11Tag{}, display, overview));
}

void HeadlessGnome::Start(const std::vector<std::string>& shellArguments,
                          const std::string& display, int monitors, bool overview) {
  for (const char* tool : {kShell, kDbusDaemon, ZIMOKLAS_GNOME_CONTROL_PATH}) {
    if (access(tool, X_OK) != 0) {
      missing_ = std::string(tool) + " is not installed";
      return;
    }
  }
  // A shell that has not come up in time is started once more, from scratch: on a busy
  // machine one start in many hangs before it lays out its monitors.
  std::string earlier;
  for (int attempt = 0; attempt < 2; ++attempt) {
    missing_.clear();
    if (Launch(shellArguments, display, monitors, overview)) return;
    if (runtimeDir_.empty()) return;
    earlier = missing_ + ":\n" + LastLines(ReadFile(runtimeDir_ + "-shell.log"), 15);
    Stop(true);
  }
  missing_ = earlier;
}

bool HeadlessGnome::Launch(const std::vector<std::string>& shellArguments,
                           const std::string& display, int monitors, bool overview) {
  const passwd* nobody = getpwnam("nobody");
  std::string pattern = (fs::temp_directory_path() / "zimoklas-gnome-XXXXXX").string();
  if (nobody == nullptr || mkdtemp(pattern.data()) == nullptr ||
      chown(pattern.c_str(), nobody->pw_uid, nobody->pw_gid) != 0) {
    missing_ = "cannot make a runtime folder for the account nobody";
    return false;
  }
  runtimeDir_ = pattern;
  chmod(runtimeDir_.c_str(), 0700);
  std::vector<std::string> asNobody{"runuser", "-u", "nobody",         "--", "env", "-u",
                                    "DISPLAY", "-u", "WAYLAND_DISPLAY"};
  const std::vector<std::string> environment = ClientEnvironment();
  asNobody.insert(asNobody.end(), environment.begin(), environment.end());
  asNobody.insert(
      asNobody.end(),
      {"HOME=" + runtimeDir_, "DBUS_SYSTEM_BUS_ADDRESS=unix:path=" + runtimeDir_ + "/system_bus"});
  // The "system" bus only has to exist: without one the shell ends in its login-manager
  // code. The session bus is at a known address, for the tools to reach. Neither starts
  // services on demand: the shell needs none of them here, and the calendar, portal and
  // volume services it would start cost a shared machine much.
  const std::string standard = ReadFile("/usr/share/dbus-1/session.conf");
  for (const char* bus : {"system_bus", "bus"}) {
    // The standard session bus, at this address and without its service folders.
    std::string text = standard;
    const std::size_t listen = text.find("<listen>");
    const std::size_t listenEnd = text.find("</listen>");
    const std::size_t services = text.find("<standard_session_servicedirs />");
    if (listen == std::string::npos || listenEnd < listen || services == std::string::npos) {
      missing_ = "/usr/share/dbus-1/session.conf is not the standard session bus";
      return false;
    }
    text.erase(services, std::string_view("<standard_session_servicedirs />").size());
    text.replace(listen, listenEnd - listen, "<listen>unix:path=" + runtimeDir_ + "/" + bus);
    const std::string config = runtimeDir_ + "/" + bus + ".conf";
    std::ofstream(config) << text;
    std::vector<std::string> argv = asNobody;
    argv.insert(argv.end(), {kDbusDaemon, "--config-file=" + config, "--nofork", "--nopidfile"});
    (std::string(bus) == "bus" ? sessionBus_ : systemBus_) = std::make_unique<Process>(
        argv, std::vector<std::string>{}, runtimeDir_ + "-" + bus + ".log");
  }
  // A shared, busy machine can take most of a minute to bring the shell up.
  const auto deadline = Clock::now() + 75s;
  while (Clock::now() < deadline &&
         !(fs::exists(runtimeDir_ + "/bus") && fs::exists(runtimeDir_ + "/system_bus"))) {
    std::this_thread::sleep_for(50ms);
  }
  std::vector<std::string> argv = asNobody;
  if (!display.empty()) argv.push_back("DISPLAY=" + display);
  argv.insert(argv.end(), {"XDG_SESSION_TYPE=" + std::string(display.empty() ? "wayland" : "x11"),
                           "GSETTINGS_BACKEND=memory", "NO_AT_BRIDGE=1"});
  argv.insert(argv.end(), shellArguments.begin(), shellArguments.end());
  shell_ = std::make_unique<Process>(argv, std::vector<std::string>{}, runtimeDir_ + "-shell.log");
  // Ready once it lays out its monitors and takes a screenshot.
  while (Clock::now() < deadline && shell_->Running()) {
    if (static_cast<int>(Monitors().size()) == monitors && Capture().width() > 0) {
      // The shell is busy with its start for a while after its first screenshot.
      std::this_thread::sleep_for(2s);
      if (!overview) {
        Keys({kKeyEscape});
        std::this_thread::sleep_for(1s);
      }
      return true;
    }
    std::this_thread::sleep_for(250ms);
  }
  missing_ = "gnome-shell did not start (see " + runtimeDir_ + "-shell.log)";
  return false;
}

HeadlessGnome::~HeadlessGnome() {
  Stop(::testing::Test::HasFailure());
}

void HeadlessGnome::Stop(bool keepLog) {
  // runuser passes the signal on; the shell first, then its buses.
  for (auto* process : {&shell_, &sessionBus_, &systemBus_}) {
    if (!*process) continue;
    (*process)->Signal(SIGTERM);
    (*process)->WaitForExit(5s);
    process->reset();
  }
  if (runtimeDir_.empty()) return;
  EndStrays();
  // The document portal may have mounted its folder there.
  if (fs::exists(runtimeDir_ + "/doc")) {
    Process unmount({"fusermount", "-u", "-z", runtimeDir_ + "/doc"}, {}, "/dev/null");
    unmount.WaitForExit(5s);
  }
  std::error_code error;
  fs::remove_all(runtimeDir_, error);
  for (const char* file : {"-control.log", "-bus.log", "-system_bus.log"}) {
    fs::remove(runtimeDir_ + file, error);
  }
  if (!keepLog) fs::remove(runtimeDir_ + "-shell.log", error);
  runtimeDir_.clear();
}

void HeadlessGnome::EndStrays() {
  const passwd* nobody = getpwnam("nobody");
  if (nobody == nullptr) return;
  for (int signal : {SIGTERM, SIGKILL}) {
    const std::vector<pid_t> pids = ProcessesOf(runtimeDir_, nobody->pw_uid);
    if (pids.empty()) return;
    for (pid_t pid : pids) kill(pid, signal);
    std::this_thread::sleep_for(500ms);
  }
}

std::vector<std::string> HeadlessGnome::ClientEnvironment() const {
  std::vector<std::string> environment{
      "XDG_RUNTIME_DIR=" + runtimeDir_,
      "DBUS_SESSION_BUS_ADDRESS=unix:path=" + runtimeDir_ + "/bus"};
  if (!waylandDisplay_.empty()) environment.push_back("WAYLAND_DISPLAY=" + waylandDisplay_);
  if (!x11Display_.empty()) environment.push_back("DISPLAY=" + x11Display_);
  return environment;
}

std::vector<std::string> HeadlessGnome::AsShellUser() const {
  // The session has no accessibility bus to find.
  std::vector<std::string> words{
      "runuser",       "-u", "nobody", "--", "env", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY",
      "NO_AT_BRIDGE=1"};
  const std::vector<std::string> environment = ClientEnvironment();
  words.insert(words.end(), environment.begin(), environment.end());
  return words;
}

int HeadlessGnome::Control(const std::vector<std::string>& arguments, const std::string& output) {
  std::vector<std::string> argv = AsShellUser();
  argv.emplace_back(ZIMOKLAS_GNOME_CONTROL_PATH);
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  Process tool(argv, {}, output);
  return tool.WaitForExit(15s).value_or(-1);
}

Image HeadlessGnome::Capture() {
  const std::string path = runtimeDir_ + "/shot.png";
  Image image;
  if (Control({"shot", path}, runtimeDir_ + "-control.log") == 0) image = ReadPng(path);
  std::error_code error;
  fs::remove(path, error);
  return image;
}

void HeadlessGnome::Keys(const std::vector<std::string>& keysyms) {
  std::vector<std::string> arguments{"keys"};
  arguments.insert(arguments.end(), keysyms.begin(), keysyms.end());
  Control(arguments, runtimeDir_ + "-control.log");
}

void HeadlessGnome::Click(const std::vector<std::pair<int, int>>& moves) {
  std::vector<std::string> arguments{"click"};
  for (const auto& [dx, dy] : moves) {
    arguments.insert(arguments.end(), {std::to_string(dx), std::to_string(dy)});
  }
  Control(arguments, runtimeDir_ + "-control.log");
}

std::vector<HeadlessGnome::Monitor> HeadlessGnome::Monitors() {
  const std::string output = runtimeDir_ + "-monitors.txt";
  std::error_code error;
  fs::remove(output, error);
  std::vector<Monitor> monitors;
  if (Control({"monitors"}, output) == 0) {
    std::istringstream lines(ReadFile(output));
    Monitor m;
    int x = 0, y = 0, width = 0, height = 0, primary = 0;
    while (lines >> m.connector >> x >> y >> width >> height >> primary) {
      m.box = {x, y, x + width, y + height};
      m.primary = primary != 0;
      monitors.push_back(m);
    }
  }
  fs::remove(output, error);
  return monitors;
}

bool HeadlessGnome::MakePrimary(const std::string& connector) {
  if (Control({"primary", connector}, runtimeDir_ + "-control.log") != 0) return false;
  // The shell moves its panel over in its own time.
  std::this_thread::sleep_for(1s);
  for (const Monitor& m : Monitors()) {
    if (m.primary) return m.connector == connector;
  }
  return false;
}

}  // namespace zimoklas::e2e
