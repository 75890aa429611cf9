// The three levels of every key: the user's value, the machine-wide default, the design's
// default.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "settings/memory_store.hpp"
#include "settings/settings.hpp"

namespace zimoklas::settings {
namespace {

TEST(MachineDefaults, EachKeyTakesTheFirstLevelItsReaderTakes) {
  struct Row {
    const char* what;
    std::optional<const char*> user, machine;
    int colour;        // SnihG read as a byte
    std::int16_t box;  // pf in the settings window
    bool pfYear;       // pf at start-up
  };
  const Row rows[] = {
      {"neither level: design default", {}, {}, 255, kChecked, true},
      {"machine only", {}, "2", 2, kGrayed, false},
      {"user over machine", "1", "0", 1, kChecked, true},
      {"bad machine value counts as missing", {}, "abc", 255, kChecked, true},
      {"bad machine value under a user value", "2", "abc", 2, kGrayed, false},
      {"bad user value falls to the machine's", "abc", "0", 0, kUnchecked, false},
      {"both bad: design default", "-1", "300", 255, kChecked, true},
  };
  for (const Row& row : rows) {
    MemoryStore store;
    if (row.user) {
      store.Seed(kKeySnihG, *row.user);
      store.Seed(kKeyPf, *row.user);
    }
    if (row.machine) {
      store.SeedMachine(kKeySnihG, *row.machine);
      store.SeedMachine(kKeyPf, *row.machine);
    }
    EXPECT_EQ(ReadColour(store, kKeySnihG), row.colour) << row.what;
    EXPECT_EQ(ReadCheckState(store), row.box) << row.what;
    EXPECT_EQ(ReadPfAtStartup(store), row.pfYear ? kTrue : kFalse) << row.what;
    EXPECT_TRUE(store.writes().empty()) << "reading writes no level";
  }
}

TEST(MachineDefaults, TextsTakeAnyMachineValueAndAUsersEmptyTextWins) {
  MemoryStore store;
  store.SeedMachine(kKeyText1, "PF 2027 přeje Ombra s.r.o.");
  store.SeedMachine(kKeyText2, "machine");
  store.Seed(kKeyText2, "");
  Module1 module;
  ReadStartupSettings(store, module);
  EXPECT_EQ(module.GreetingText, "PF 2027 přeje Ombra s.r.o.");
  EXPECT_EQ(module.SecondText, "") << "the user's stored empty text is a value";
  EXPECT_EQ(module.SnowRed, 255) << "no level holds it";
}

}  // namespace
}  // namespace zimoklas::settings
