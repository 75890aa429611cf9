// The launcher's rules against a recording host: when the saver starts, that it never
// runs twice, the back-off after failed starts, and the inhibitors' cookies.
#include <gtest/gtest.h>

#include <vector>

#include "idle/idle_command_line.hpp"
#include "idle/idle_launcher.hpp"
#include "idle/inhibitor_book.hpp"

namespace zimoklas::idle {
namespace {

using namespace std::chrono_literals;

class RecordingHost : public LauncherHost {
 public:
  bool StartSaver() override {
    ++starts;
    return startWorks;
  }
  void ArmRetry(Milliseconds delay) override { retries.push_back(delay); }
  void RearmIdleWatch() override { ++rearms; }

  bool startWorks = true;
  int starts = 0;
  int rearms = 0;
  std::vector<Milliseconds> retries;
};

TEST(IdleLauncher, StartsOneSaverPerIdlePeriodAndOnlyWhenNothingInhibits) {
  RecordingHost host;
  IdleLauncher launcher(host);
  launcher.SetInhibited(true);
  launcher.Idle();
  EXPECT_EQ(host.starts, 0) << "a film playing holds the saver off";
  launcher.SetInhibited(false);
  EXPECT_EQ(host.starts, 1) << "the seat is still idle once the film stops";
  launcher.Idle();
  launcher.SetInhibited(false);
  EXPECT_EQ(host.starts, 1) << "never a second saver while one runs";

  launcher.SaverEnded(SaverEnd{0});
  EXPECT_EQ(host.rearms, 1);
  launcher.SetInhibited(false);
  EXPECT_EQ(host.starts, 1) << "a saver that ended waits for a new idle period";
  launcher.Active();
  launcher.Idle();
  EXPECT_EQ(host.starts, 2);
  launcher.SaverEnded(SaverEnd{0});
  launcher.SaverEnded(SaverEnd{0});
  EXPECT_EQ(host.rearms, 2) << "an end heard twice counts once";
}

TEST(IdleLauncher, BacksOffWhileSaversFailAndForgetsOnceOneRuns) {
  RecordingHost host;
  host.startWorks = false;
  IdleLauncher launcher(host);
  launcher.Idle();
  for (int i = 0; i < 8; ++i) {
    launcher.Idle();  // idle reports meanwhile do not hurry the next try
    launcher.RetryDue();
  }
  const std::vector<Milliseconds> expected{5s, 10s, 20s, 40s, 80s, 160s, 300s, 300s, 300s};
  EXPECT_EQ(host.retries, expected);
  EXPECT_EQ(host.starts, 9);

  // A saver that starts but ends with an error also counts as failed.
  host.startWorks = true;
  host.retries.clear();
  launcher.RetryDue();
  EXPECT_TRUE(launcher.saverRunning());
  launcher.SaverEnded(SaverEnd{0, 11});
  EXPECT_EQ(host.retries, std::vector<Milliseconds>{300s}) << "a crash is a failure";
  launcher.RetryDue();
  launcher.SaverEnded(SaverEnd{0, 15});
  EXPECT_EQ(launcher.failuresInARow(), 0) << "a saver that was asked to end did not fail";
  host.startWorks = false;
  host.retries.clear();
  launcher.Idle();
  EXPECT_EQ(host.retries, std::vector<Milliseconds>{5s});
}

TEST(InhibitorBook, CountsCookiesPerCallerAndDropsCallersThatLeave) {
  InhibitorBook book;
  const auto film = book.Inhibit(":1.7", "player", "film");
  const auto talk = book.Inhibit(":1.7", "player", "second tab");
  const auto web = book.Inhibit(":1.9", "browser", "video call");
  EXPECT_NE(film, 0U);
  EXPECT_NE(film, talk);
  EXPECT_NE(talk, web);
  EXPECT_FALSE(book.UnInhibit(":1.9", film)) << "only the caller that took a cookie gives it back";
  EXPECT_FALSE(book.UnInhibit(":1.7", 4242));
  EXPECT_TRUE(book.UnInhibit(":1.7", film));
  EXPECT_FALSE(book.UnInhibit(":1.7", film)) << "a cookie is given back once";
  EXPECT_TRUE(book.Holds(":1.7"));
  EXPECT_EQ(book.CallerVanished(":1.7"), 1U);
  EXPECT_FALSE(book.Holds(":1.7"));
  EXPECT_TRUE(book.inhibited());
  EXPECT_EQ(book.CallerVanished(":1.9"), 1U);
  EXPECT_FALSE(book.inhibited());
}

TEST(IdleCommandLine, ReadsSecondsAndRejectsWhatIsNotAnIdleTime) {
  EXPECT_EQ(ParseIdleCommandLine({}).seconds, 300);
  const IdleCommandLine line = ParseIdleCommandLine({"--verbose", "60"});
  EXPECT_EQ(line.action, IdleCommandLine::Action::kRun);
  EXPECT_EQ(line.seconds, 60);
  EXPECT_TRUE(line.verbose);
  EXPECT_EQ(ParseIdleCommandLine({"--help", "x"}).action, IdleCommandLine::Action::kHelp);
  EXPECT_EQ(ParseIdleCommandLine({"--version"}).action, IdleCommandLine::Action::kVersion);
  for (const char* bad : {"0", "-5", "86401", "5s", "", "1e3", "99999999999"}) {
    const IdleCommandLine rejected = ParseIdleCommandLine({bad});
    EXPECT_EQ(rejected.action, IdleCommandLine::Action::kError) << bad;
    EXPECT_FALSE(rejected.error.empty()) << bad;
  }
  EXPECT_EQ(ParseIdleCommandLine({"10", "20"}).action, IdleCommandLine::Action::kError);
  EXPECT_EQ(ParseIdleCommandLine({"--fast"}).action, IdleCommandLine::Action::kError);
}

}  // namespace
}  // namespace zimoklas::idle
