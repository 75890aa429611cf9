// zimoklas-idle on the desktops it serves: it starts the saver after the idle time,
// starts it again after the next idle period once a key has ended it, and holds off
// while something inhibits idleness; headless sway (KDE's idle protocol, a window's idle
// inhibitor), KWin (ext-idle-notify-v1), GNOME (Mutter's idle monitor, the session
// manager's inhibitors) and Xvfb (the XSync idle counter, its own
// org.freedesktop.ScreenSaver).
#include <gio/gio.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <thread>

#include "e2e_harness.hpp"
#include "gnome_session.hpp"
#include "saver_scene.hpp"
#include "wayland_session.hpp"

namespace zimoklas::e2e {
namespace {

namespace fs = std::filesystem;

std::string MakeFolder(const std::string& name) {
  std::string pattern = (fs::temp_directory_path() / (name + "-XXXXXX")).string();
  return mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
}

// How often `text` stands in `log`.
int Occurrences(const std::string& log, const std::string& text) {
  int count = 0;
  for (auto at = log.find(text); at != std::string::npos; at = log.find(text, at + 1)) ++count;
  return count;
}

class IdleLauncherTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* program : {ZIMOKLAS_NATIVE_PATH, ZIMOKLAS_IDLE_PATH}) {
      struct stat st {};
      if (stat(program, &st) != 0 && Stop(std::string(program) + " is missing")) return;
    }
    folder_ = MakeFolder("zimoklas-idle");
    // The lock that keeps one launcher a display lives in the runtime folder.
    fs::create_directories(folder_ + "/runtime");
  }
  void TearDown() override {
    launcher_.reset();
    if (!folder_.empty()) fs::remove_all(folder_);
  }
  // Fails or skips the test for what is missing; true when the test is to stop.
  bool Stop(const std::string& missing) {
    if (missing.empty()) return false;
    if (EndToEndRequired()) {
      ADD_FAILURE() << "the end-to-end run is required, but " << missing;
    } else {
      [&missing] { GTEST_SKIP() << missing; }();
    }
    return true;
  }

  // `zimoklas-idle --verbose 1` with a private configuration folder and `environment`
  // in place of the test's own display and bus, after `launcher` when one is given.
  void StartLauncher(const std::vector<std::string>& environment,
                     std::vector<std::string> argv = {}) {
    argv.insert(argv.end(), {"env", "-u", "DBUS_SESSION_BUS_ADDRESS", "-u", "WAYLAND_DISPLAY", "-u",
                             "DISPLAY", "XDG_CONFIG_HOME=" + folder_});
    argv.insert(argv.end(), environment.begin(), environment.end());
    argv.insert(argv.end(), {ZIMOKLAS_IDLE_PATH, "--verbose", "1"});
    launcher_ = std::make_unique<Process>(argv, std::vector<std::string>{}, log());
  }
  std::string log() const { return folder_ + "/launcher.log"; }
  std::string Log() const { return ReadFile(log()); }
  int Starts() const { return Occurrences(Log(), "saver started"); }
  int Ends() const { return Occurrences(Log(), "saver ended (status 0"); }

  // Waits until the launcher has started `count` savers; how long that took from `since`.
  std::optional<Milliseconds> WaitForStart(int count, Clock::time_point since,
                                           Milliseconds timeout = 8s) {
    while (Clock::now() < since + timeout) {
      if (Starts() >= count) {
        return std::chrono::duration_cast<Milliseconds>(Clock::now() - since);
      }
      std::this_thread::sleep_for(20ms);
    }
    return std::nullopt;
  }
  bool WaitForEnd(int count) {
    const auto deadline = Clock::now() + 8s;
    while (Clock::now() < deadline && Ends() < count) std::this_thread::sleep_for(20ms);
    return Ends() >= count;
  }
  // Expects that the launcher starts saver number `count` no sooner than one idle second
  // after `since`, taken just before the last input (a busy machine may add to it).
  void ExpectStartAfterOneIdleSecond(int count, Clock::time_point since) {
    const auto took = WaitForStart(count, since);
    ASSERT_TRUE(took.has_value()) << "saver " << count << " never started:\n" << Log();
    EXPECT_GE(*took, 900ms) << "saver " << count << " came before the idle time:\n" << Log();
  }

  std::string folder_;
  std::unique_ptr<Process> launcher_;
};

TEST_F(IdleLauncherTest, UnderSwayStartsAfterAnIdleSecondAgainAfterAKeyAndNeverOverAnInhibitor) {
  HeadlessSway sway;
  if (Stop(sway.missing())) return;
  std::vector<std::string> environment = sway.ClientEnvironment();
  StartLauncher(environment);
  const auto started = Clock::now();
  ExpectStartAfterOneIdleSecond(1, started);
  EXPECT_NE(Log().find("idle detection: Wayland org_kde_kwin_idle"), std::string::npos) << Log();
  // The saver covers the output.
  std::this_thread::sleep_for(1500ms);
  EXPECT_EQ(SaveShot(sway.Capture(), "idle-sway-saver").CountColour(kSwayBackground), 0);

  // A key ends it; the next idle second starts it again, and only one runs.
  const auto typed = Clock::now();
  sway.Type({"a"});
  ASSERT_TRUE(WaitForEnd(1)) << Log();
  ExpectStartAfterOneIdleSecond(2, typed);
  std::this_thread::sleep_for(1500ms);
  EXPECT_EQ(Starts(), 2) << Log();

  // A window whose idle inhibitor is on holds it off.
  environment.push_back("XDG_CONFIG_HOME=" + folder_);
  Process window({"env", "-u", "DISPLAY", ZIMOKLAS_NATIVE_PATH}, environment,
                 folder_ + "/window.log");
  sway.Type({"a"});
  ASSERT_TRUE(WaitForEnd(2)) << Log();
  ASSERT_TRUE(sway.WaitForWindow("zimoklas", 10s)) << sway.Tree();
  ASSERT_EQ(sway.Command("[app_id=zimoklas] inhibit_idle open"), 0);
  sway.Type({"a"});
  std::this_thread::sleep_for(4s);
  EXPECT_EQ(Starts(), 2) << "the saver started over a window that inhibits idleness:\n" << Log();

  // SIGTERM ends the launcher and the saver it started.
  ASSERT_EQ(sway.Command("[app_id=zimoklas] inhibit_idle none"), 0);
  sway.Type({"a"});
  ASSERT_TRUE(WaitForStart(3, Clock::now()).has_value()) << Log();
  launcher_->Signal(SIGTERM);
  EXPECT_EQ(launcher_->WaitForExit(10s), std::optional<int>(128 + SIGTERM));
  std::this_thread::sleep_for(500ms);
  EXPECT_GT(sway.Capture().CountColour(kSwayBackground), 0) << "the saver outlived its launcher";

  // A lost compositor ends the launcher with status 1 and one line saying so.
  StartLauncher(sway.ClientEnvironment());
  for (int i = 0; i < 100 && Occurrences(Log(), "idle detection") < 2; ++i) {
    std::this_thread::sleep_for(50ms);
  }
  sway.Kill();
  EXPECT_EQ(launcher_->WaitForExit(10s), std::optional<int>(1)) << Log();
  EXPECT_NE(Log().find("zimoklas-idle: the Wayland compositor has gone\n"), std::string::npos)
      << Log();
}

TEST_F(IdleLauncherTest, UnderKWinStartsThroughExtIdleNotify) {
  HeadlessKWin kwin(1280, 720, "1");
  if (Stop(kwin.missing())) return;
  const auto started = Clock::now();
  StartLauncher(kwin.ClientEnvironment());
  ExpectStartAfterOneIdleSecond(1, started);
  EXPECT_NE(Log().find("idle detection: Wayland ext-idle-notify-v1"), std::string::npos) << Log();
}

TEST_F(IdleLauncherTest, UnderGnomeStartsThroughMuttersIdleMonitorAgainAfterAKeyNotWhileInhibited) {
  constexpr const char* kSessionManager = "/usr/libexec/gnome-session-binary";
  if (access(kSessionManager, X_OK) != 0 && Stop(std::string(kSessionManager) + " is missing"))
    return;
  HeadlessGnome gnome;
  if (Stop(gnome.missing())) return;
  // The launcher and its saver run as the shell's account, which reads this folder.
  fs::permissions(folder_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                               fs::perms::others_read | fs::perms::others_exec);
  // GNOME's session manager with a session of no programs, for its idle inhibitors.
  const std::string sessions = folder_ + "/data/gnome-session/sessions";
  fs::create_directories(sessions);
  std::ofstream(sessions + "/zimoklas.session") << "[GNOME Session]\nName=Zimoklas test\n"
                                                   "RequiredComponents=\n";
  fs::permissions(folder_ + "/data", fs::perms::all, fs::perm_options::add);
  const auto asShell = [&gnome](std::vector<std::string> words) {
    std::vector<std::string> argv = gnome.AsShellUser();
    argv.insert(argv.end(), words.begin(), words.end());
    return argv;
  };
  Process session(
      asShell({"XDG_DATA_DIRS=" + folder_ + "/data:/usr/share", "GSETTINGS_BACKEND=memory",
               "DBUS_SYSTEM_BUS_ADDRESS=unix:path=" + gnome.runtimeDir() + "/system_bus",
               kSessionManager, "--builtin", "--session=zimoklas", "--disable-acceleration-check"}),
      {}, folder_ + "/session.log");
  bool managed = false;
  for (int i = 0; i < 50 && !managed; ++i) {
    Process probe(asShell({"gdbus", "introspect", "--session", "--dest", "org.gnome.SessionManager",
                           "--object-path", "/org/gnome/SessionManager"}),
                  {}, "/dev/null");
    managed = probe.WaitForExit(5s) == std::optional<int>(0);
    if (!managed) std::this_thread::sleep_for(200ms);
  }
  ASSERT_TRUE(managed) << ReadFile(folder_ + "/session.log");

  // Mutter counts idle time from the last input, which may lie long before the launcher
  // starts: a Shift first, so that the idle second starts now.
  const auto started = Clock::now();
  gnome.Keys({kKeyShift});
  StartLauncher(gnome.ClientEnvironment(), gnome.AsShellUser());
  ExpectStartAfterOneIdleSecond(1, started);
  EXPECT_NE(
      Log().find("idle detection: GNOME org.gnome.Mutter.IdleMonitor watches, inhibitors from "
                 "org.gnome.SessionManager"),
      std::string::npos)
      << Log();
  std::this_thread::sleep_for(2s);
  const auto typed = Clock::now();
  gnome.Keys({kKeyA});
  ASSERT_TRUE(WaitForEnd(1)) << Log();
  ExpectStartAfterOneIdleSecond(2, typed);
  std::this_thread::sleep_for(1500ms);
  EXPECT_EQ(Starts(), 2) << Log();

  // A program that inhibits idleness for 6 s holds the saver off until it ends.
  Process film(asShell({"gnome-session-inhibit", "--inhibit", "idle", "sleep", "6"}), {},
               folder_ + "/inhibit.log");
  std::this_thread::sleep_for(1s);
  gnome.Keys({kKeyA});
  ASSERT_TRUE(WaitForEnd(2)) << Log();
  std::this_thread::sleep_for(3s);
  EXPECT_EQ(Starts(), 2) << "the saver started while GNOME's session was inhibited:\n" << Log();
  EXPECT_TRUE(WaitForStart(3, Clock::now(), 8s).has_value()) << Log();
  // The launcher heard it from the session manager, and heard it end.
  const std::string text = Log();
  EXPECT_LT(text.find("zimoklas-idle: inhibited\n"),
            text.find("zimoklas-idle: no longer inhibited\n"))
      << text;
}

TEST_F(IdleLauncherTest, UnderGnomeOnX11StartsThroughMuttersIdleMonitorAndAgainAfterAKey) {
  // An Xvfb of the test's own that outlives its first clients, as gnome-shell --x11 needs.
  std::string name;
  std::unique_ptr<Process> xvfb;
  for (int n = 170; n < 190 && !xvfb; ++n) {
    if (fs::exists("/tmp/.X11-unix/X" + std::to_string(n)) ||
        fs::exists("/tmp/.X" + std::to_string(n) + "-lock")) {
      continue;
    }
    name = ":" + std::to_string(n);
    xvfb = std::make_unique<Process>(std::vector<std::string>{"Xvfb", name, "-noreset", "-nolisten",
                                                              "tcp", "-screen", "0", "1280x720x24"},
                                     std::vector<std::string>{}, folder_ + "/xvfb.log");
  }
  for (int i = 0; i < 100 && !fs::exists("/tmp/.X11-unix/X" + name.substr(1)); ++i) {
    std::this_thread::sleep_for(50ms);
  }
  const auto gnome = HeadlessGnome::OnX11(name);
  if (Stop(gnome->missing())) return;
  Screen screen(name);
  ASSERT_TRUE(screen.ok());
  fs::permissions(folder_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                               fs::perms::others_read | fs::perms::others_exec);
  const auto started = Clock::now();
  screen.TapKey("Shift_L");
  StartLauncher(gnome->ClientEnvironment(), gnome->AsShellUser());
  ExpectStartAfterOneIdleSecond(1, started);
  EXPECT_NE(Log().find("idle detection: GNOME org.gnome.Mutter.IdleMonitor"), std::string::npos)
      << Log();
  ASSERT_TRUE(screen.WaitForWindow(kSceneTitle, 5s)) << Log();
  const auto typed = Clock::now();
  screen.TapKey("a");
  ASSERT_TRUE(WaitForEnd(1)) << Log();
  ExpectStartAfterOneIdleSecond(2, typed);
}

// A program that inhibits idleness through org.freedesktop.ScreenSaver, on a bus
// connection of its own.
class Inhibitor {
 public:
  explicit Inhibitor(const std::string& bus) {
    connection_ = g_dbus_connection_new_for_address_sync(
        bus.c_str(),
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, nullptr);
  }
  Inhibitor(const Inhibitor&) = delete;
  Inhibitor& operator=(const Inhibitor&) = delete;
  ~Inhibitor() { Leave(); }

  // The cookie; 0 when the call failed.
  guint32 Inhibit() {
    GVariant* reply = Call("Inhibit", g_variant_new("(ss)", "film player", "a film is playing"));
    guint32 cookie = 0;
    if (reply != nullptr) {
      g_variant_get(reply, "(u)", &cookie);
      g_variant_unref(reply);
    }
    return cookie;
  }
  bool UnInhibit(guint32 cookie) {
    GVariant* reply = Call("UnInhibit", g_variant_new("(u)", cookie));
    if (reply != nullptr) g_variant_unref(reply);
    return reply != nullptr;
  }
  // Takes a bus name as a desktop's own service does; true when it is this program's.
  bool Own(const char* name) {
    GVariant* reply = Bus("RequestName", g_variant_new("(su)", name, 0U));
    guint32 result = 0;
    if (reply != nullptr) {
      g_variant_get(reply, "(u)", &result);
      g_variant_unref(reply);
    }
    return result == 1;  // the primary owner
  }
  // Whether this program owns `name`.
  bool Owns(const char* name) {
    GVariant* reply = Bus("GetNameOwner", g_variant_new("(s)", name));
    if (reply == nullptr) return false;
    const gchar* owner = nullptr;
    g_variant_get(reply, "(&s)", &owner);
    const bool mine = std::string(owner) == g_dbus_connection_get_unique_name(connection_);
    g_variant_unref(reply);
    return mine;
  }
  // Leaves the bus, as a player that quits or crashes does.
  void Leave() {
    if (connection_ == nullptr) return;
    g_dbus_connection_close_sync(connection_, nullptr, nullptr);
    g_object_unref(connection_);
    connection_ = nullptr;
  }

 private:
  GVariant* Bus(const char* method, GVariant* arguments) {
    return g_dbus_connection_call_sync(connection_, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                       "org.freedesktop.DBus", method, arguments, nullptr,
                                       G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr);
  }
  GVariant* Call(const char* method, GVariant* arguments) {
    if (connection_ == nullptr) return nullptr;
    return g_dbus_connection_call_sync(connection_, "org.freedesktop.ScreenSaver",
                                       "/org/freedesktop/ScreenSaver",
                                       "org.freedesktop.ScreenSaver", method, arguments, nullptr,
                                       G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr);
  }
  GDBusConnection* connection_ = nullptr;
};

TEST_F(IdleLauncherTest, OnXvfbStartsAfterTheIdleTimeAndAnInhibitorHoldsItOffUntilGivenBackOrGone) {
  VirtualDisplay display;
  if (!display.ok() && Stop("Xvfb did not start")) return;
  std::optional<Screen> input(std::in_place, display.name());
  Screen& screen = *input;
  ASSERT_TRUE(screen.ok());
  const std::string bus = "unix:path=" + folder_ + "/bus";
  Process daemon({"dbus-daemon", "--session", "--address=" + bus, "--nofork", "--nopidfile"}, {},
                 folder_ + "/bus.log");
  for (int i = 0; i < 100 && !fs::exists(folder_ + "/bus"); ++i) std::this_thread::sleep_for(50ms);
  StartLauncher({"DISPLAY=" + display.name(), "DBUS_SESSION_BUS_ADDRESS=" + bus,
                 "XDG_RUNTIME_DIR=" + folder_ + "/runtime"});
  const auto pressed = Clock::now();
  screen.TapKey("Shift_L");
  ExpectStartAfterOneIdleSecond(1, pressed);
  EXPECT_NE(Log().find("idle detection: X11 XSync IDLETIME"), std::string::npos) << Log();
  EXPECT_NE(Log().find("owns org.freedesktop.ScreenSaver"), std::string::npos) << Log();
  EXPECT_TRUE(screen.WaitForWindow(kSceneTitle, 5s)) << Log();

  // A key ends the saver; the next idle second starts it again.
  const auto typed = Clock::now();
  screen.TapKey("a");
  ASSERT_TRUE(WaitForEnd(1)) << Log();
  ExpectStartAfterOneIdleSecond(2, typed);

  // An inhibitor holds it off until it is given back...
  Inhibitor player(bus);
  const guint32 cookie = player.Inhibit();
  ASSERT_NE(cookie, 0U) << Log();
  ASSERT_TRUE(screen.WaitForWindow(kSceneTitle, 5s)) << Log();
  screen.TapKey("a");
  ASSERT_TRUE(WaitForEnd(2)) << Log();
  std::this_thread::sleep_for(3s);
  EXPECT_EQ(Starts(), 2) << "the saver started while inhibited:\n" << Log();
  ASSERT_TRUE(player.UnInhibit(cookie));
  EXPECT_TRUE(WaitForStart(3, Clock::now(), 3s).has_value()) << Log();

  // ... or until the program that took it leaves the bus.
  ASSERT_NE(player.Inhibit(), 0U);
  ASSERT_TRUE(screen.WaitForWindow(kSceneTitle, 5s)) << Log();
  screen.TapKey("a");
  ASSERT_TRUE(WaitForEnd(3)) << Log();
  std::this_thread::sleep_for(3s);
  EXPECT_EQ(Starts(), 3) << "the saver started while inhibited:\n" << Log();
  player.Leave();
  EXPECT_TRUE(WaitForStart(4, Clock::now(), 3s).has_value()) << Log();

  // A second launcher for the same display leaves at once.
  Process second({"env", "DISPLAY=" + display.name(), "XDG_RUNTIME_DIR=" + folder_ + "/runtime",
                  "DBUS_SESSION_BUS_ADDRESS=" + bus, ZIMOKLAS_IDLE_PATH},
                 {}, folder_ + "/second.log");
  EXPECT_EQ(second.WaitForExit(5s), std::optional<int>(0));
  EXPECT_NE(ReadFile(folder_ + "/second.log").find("already running"), std::string::npos);

  // A lost display ends the launcher with status 1 and one line saying so.
  input.reset();
  display.Kill();
  EXPECT_EQ(launcher_->WaitForExit(10s), std::optional<int>(1)) << Log();
  const std::string text = Log();
  EXPECT_NE(text.find("zimoklas-idle: the X display has gone\n"), std::string::npos) << text;

  // Where a desktop owns org.freedesktop.ScreenSaver, the launcher leaves the name to it.
  VirtualDisplay other;
  ASSERT_TRUE(other.ok());
  Inhibitor desktop(bus);
  ASSERT_TRUE(desktop.Own("org.freedesktop.ScreenSaver"));
  StartLauncher({"DISPLAY=" + other.name(), "DBUS_SESSION_BUS_ADDRESS=" + bus,
                 "XDG_RUNTIME_DIR=" + folder_ + "/runtime"});
  for (int i = 0; i < 100 && Occurrences(Log(), "idle detection") < 2; ++i) {
    std::this_thread::sleep_for(50ms);
  }
  EXPECT_NE(Log().find("inhibitors: not offered, another program owns org.freedesktop.ScreenSaver"),
            std::string::npos)
      << Log();
  EXPECT_TRUE(desktop.Owns("org.freedesktop.ScreenSaver"));
}

}  // namespace
}  // namespace zimoklas::e2e
