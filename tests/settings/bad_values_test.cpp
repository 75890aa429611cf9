// What the readers make of values that people or other programs store by hand. The
// same rows stand in docs/settings.md; keep the two in step.
#include <gtest/gtest.h>

#include <string>

#include "settings/memory_store.hpp"
#include "settings/settings.hpp"

namespace zimoklas::settings {
namespace {

TEST(BadStoredValues, Colour) {
  struct Row {
    const char* stored;
    int read;
  };
  const Row rows[] = {
      {"", 255},      {" ", 255},       {"abc", 255},  {"-1", 255},    {"256", 255},
      {"255.6", 255}, {"1000", 255},    {"0x10", 255}, {"1,5", 255},   {"١٢", 255},
      {"１２", 255},  {"NaN", 255},     {"inf", 255},  {"1e309", 255}, {"1e39", 255},
      {"12abc", 255}, {"1 2", 255},     {"--1", 255},  {".", 255},     {"1e", 255},
      {"200\n", 255}, {"\"12\"", 255},  {"-0", 0},     {"-0.5", 0},    {"1e-50", 0},
      {" 12 ", 12},   {"\t200\t", 200}, {"+7", 7},     {"00012", 12},  {"1e2", 100},
      {"127.5", 128}, {"128.5", 128},   {".5", 0},     {"5.", 5},      {"254.500001", 254},
  };
  for (const Row& row : rows) {
    MemoryStore store;
    store.Seed(kKeySnihG, row.stored);
    EXPECT_EQ(ReadColour(store, kKeySnihG), row.read) << '"' << row.stored << '"';
  }
}

TEST(BadStoredValues, Pf) {
  // The settings window's check box, and whether start-up shows "P.F. <year>".
  struct Row {
    const char* stored;
    std::int16_t box;
    bool pfYear;
  };
  const Row rows[] = {
      {"", 1, true},        {"abc", 1, true},   {"3", 1, true},     {"-1", 1, true},
      {"2.51", 1, true},    {"32768", 1, true}, {"0x1", 1, true},   {"true", 1, true},
      {"NaN", 1, true},     {"1e309", 1, true}, {"1,0", 1, true},   {"١", 1, true},
      {"1 0", 1, true},     {"ano", 1, true},   {"1.0.0", 1, true}, {"-", 1, true},
      {"2", 2, false},      {"1.4", 1, false},  {"0.6", 1, false},  {"1.5", 2, false},
      {"2.5", 2, false},    {"-0.5", 0, false}, {"-0", 0, false},   {"0.5", 0, false},
      {"1e-400", 0, false}, {" 1 ", 1, true},   {"1.0", 1, true},   {"1e0", 1, true},
      {"01", 1, true},      {"+1", 1, true},
  };
  for (const Row& row : rows) {
    MemoryStore store;
    store.Seed(kKeyPf, row.stored);
    EXPECT_EQ(ReadCheckState(store), row.box) << '"' << row.stored << '"';
    EXPECT_EQ(ReadPfAtStartup(store), row.pfYear ? kTrue : kFalse) << '"' << row.stored << '"';
  }
}

}  // namespace
}  // namespace zimoklas::settings
