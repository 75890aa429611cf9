// zimoklas-idle: starts the saver after the seat's idle time, through the idle detection
// of the desktop it finds at start-up, and ends with the session.
#include <fcntl.h>
#include <glib-unix.h>
#include <glib.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "dbus_screensaver_service.hpp"
#include "idle/idle_command_line.hpp"
#include "idle/idle_launcher.hpp"
#include "idle/idle_watch.hpp"
#include "platform/posix/end_by_signal.hpp"
#include "posix_saver_process.hpp"
#include "x11_version.h"

namespace zimoklas::idle {
namespace {

class SaverHost final : public LauncherHost {
 public:
  SaverHost(int seconds, bool verbose) : seconds_(seconds), verbose_(verbose) {}

  void Attach(IdleLauncher& launcher, IdleWatch& watch) {
    launcher_ = &launcher;
    watch_ = &watch;
  }

  bool StartSaver() override {
    std::string error;
    const pid_t pid = StartSaverProcess(error);
    if (pid < 0) {
      std::fprintf(stderr, "zimoklas-idle: %s\n", error.c_str());
      return false;
    }
    saver_ = pid;
    started_ = std::chrono::steady_clock::now();
    Say("idle for " + std::to_string(seconds_) + " s: saver started (pid " + std::to_string(pid) +
        ")");
    g_child_watch_add(pid, OnSaverEnded, this);
    return true;
  }

  void ArmRetry(Milliseconds delay) override {
    std::fprintf(stderr, "zimoklas-idle: the saver failed to start; next try in %lld s\n",
                 static_cast<long long>(delay.count() / 1000));
    g_timeout_add(static_cast<guint>(delay.count()), OnRetry, this);
  }

  void RearmIdleWatch() override { watch_->Rearm(); }

  // Ends the saver this launcher started, if it still runs.
  void EndSaver() {
    if (saver_ <= 0) return;
    kill(saver_, SIGTERM);
    for (int i = 0; i < 100; ++i) {
      if (waitpid(saver_, nullptr, WNOHANG) != 0) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    kill(saver_, SIGKILL);
    waitpid(saver_, nullptr, 0);
  }

  void Say(const std::string& line) const {
    if (verbose_) std::fprintf(stderr, "zimoklas-idle: %s\n", line.c_str());
  }

  bool saverRunning() const { return saver_ > 0; }

 private:
  static void OnSaverEnded(GPid /*pid*/, gint status, gpointer data) {
    auto* self = static_cast<SaverHost*>(data);
    self->saver_ = -1;
    const SaverEnd end =
        WIFEXITED(status) ? SaverEnd{WEXITSTATUS(status), 0} : SaverEnd{0, WTERMSIG(status)};
    const auto ran = std::chrono::duration_cast<std::chrono::seconds>(
        std::chrono::steady_clock::now() - self->started_);
    self->Say("saver ended (" +
              (end.signal == 0 ? "status " + std::to_string(end.status)
                               : "signal " + std::to_string(end.signal)) +
              ", after " + std::to_string(ran.count()) + " s)");
    self->launcher_->SaverEnded(end);
  }

  static gboolean OnRetry(gpointer data) {
    static_cast<SaverHost*>(data)->launcher_->RetryDue();
    return G_SOURCE_REMOVE;
  }

  int seconds_;
  bool verbose_;
  IdleLauncher* launcher_ = nullptr;
  IdleWatch* watch_ = nullptr;
  pid_t saver_ = -1;
  std::chrono::steady_clock::time_point started_;
};

// A signal that ends the launcher, and the saver it started first.
struct EndSignal {
  int signal;
  SaverHost* host;
};

gboolean OnEndSignal(gpointer data) {
  const auto* end = static_cast<const EndSignal*>(data);
  end->host->EndSaver();
  posix::EndBySignal(end->signal);
}

// Whether a session bus can be reached without starting one.
bool HaveSessionBus() {
  if (const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
      address != nullptr && *address) {
    return true;
  }
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  return runtime != nullptr && std::filesystem::exists(std::string(runtime) + "/bus");
}

// One launcher for each display of a user: a second one leaves at once. False when one
// already runs.
bool TakeSessionLock() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime == nullptr || *runtime == '\0') return true;
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  const char* x11 = std::getenv("DISPLAY");
  std::string session = wayland != nullptr && *wayland ? wayland : (x11 != nullptr ? x11 : "");
  for (char& c : session) {
    if (c == '/') c = '_';
  }
  const std::string path = std::string(runtime) + "/zimoklas-idle-" + session + ".lock";
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  // The descriptor stays open, and the lock held, for the whole run.
  return fd < 0 || flock(fd, LOCK_EX | LOCK_NB) == 0;
}

int Run(const IdleCommandLine& line) {
  if (!TakeSessionLock()) {
    std::fprintf(stderr, "zimoklas-idle: already running in this session\n");
    return 0;
  }
  SaverHost host(line.seconds, line.verbose);
  IdleLauncher launcher(host);
  IdleEvents events{[&launcher] { launcher.Idle(); }, [&launcher] { launcher.Active(); },
                    [&launcher, &host](bool inhibited) {
                      if (inhibited != launcher.inhibited())
                        host.Say(inhibited ? "inhibited" : "no longer inhibited");
                      launcher.SetInhibited(inhibited);
                    },
                    [&host](const std::string& what) {
                      host.EndSaver();
                      std::fprintf(stderr, "zimoklas-idle: %s\n", what.c_str());
                      std::fflush(stderr);
                      std::_Exit(1);
                    }};

  // GNOME first, on X11 as on Wayland: its idle monitor knows the session's inhibitors.
  std::vector<std::string> tried;
  std::string why;
  std::unique_ptr<IdleWatch> watch;
  const bool bus = HaveSessionBus();
  if (bus) watch = StartGnomeIdleWatch(line.seconds, events, why);
  tried.push_back(bus ? why : "no session bus");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  const bool onWayland = wayland != nullptr && *wayland != '\0';
  if (!watch && onWayland) {
    watch = StartWaylandIdleWatch(line.seconds, events, why);
    tried.push_back(why);
  }
  std::unique_ptr<ScreenSaverService> service;
  if (!watch && !onWayland) {
    watch = StartX11IdleWatch(line.seconds, events, why);
    tried.push_back(why);
    if (watch && bus) {
      service =
          OfferScreenSaverService([&launcher](bool inhibited) { launcher.SetInhibited(inhibited); },
                                  [&host] { return host.saverRunning(); }, line.verbose, why);
      host.Say(service ? "inhibitors: this launcher owns org.freedesktop.ScreenSaver"
                       : "inhibitors: not offered, " + why);
    }
  }
  if (!watch) {
    std::string text;
    for (const std::string& reason : tried) text += (text.empty() ? "" : "; ") + reason;
    std::fprintf(stderr, "zimoklas-idle: no idle detection here (%s)\n", text.c_str());
    return 2;
  }
  host.Say("idle detection: " + watch->Mechanism() + "; idle time " + std::to_string(line.seconds) +
           " s");
  host.Attach(launcher, *watch);
  std::array<EndSignal, 3> ends{{{SIGTERM, &host}, {SIGINT, &host}, {SIGHUP, &host}}};
  for (EndSignal& end : ends) g_unix_signal_add(end.signal, OnEndSignal, &end);
  GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
  g_main_loop_run(loop);
  return 0;
}

}  // namespace
}  // namespace zimoklas::idle

int main(int argc, char** argv) {
  using zimoklas::idle::IdleCommandLine;
  const std::vector<std::string_view> arguments(argv + 1, argv + argc);
  const IdleCommandLine line = zimoklas::idle::ParseIdleCommandLine(arguments);
  switch (line.action) {
    case IdleCommandLine::Action::kHelp:
      std::fputs(zimoklas::idle::IdleUsage().c_str(), stdout);
      return 0;
    case IdleCommandLine::Action::kVersion:
      std::printf("zimoklas-idle %s\n", ZIMOKLAS_VERSION_TEXT);
      return 0;
    case IdleCommandLine::Action::kError:
      std::fprintf(stderr, "zimoklas-idle: %s\nTry 'zimoklas-idle --help'.\n", line.error.c_str());
      return 2;
    case IdleCommandLine::Action::kRun:
      break;
  }
  return zimoklas::idle::Run(line);
}
