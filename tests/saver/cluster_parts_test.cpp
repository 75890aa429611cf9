// Where the scene and the settings window's text boxes cut an over-long cluster.
#include "common/cluster_parts.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zimoklas {
namespace {

constexpr char32_t kAcute = 0x0301;
constexpr char32_t kJoiner = 0x200D;

// Each character's step and whether a text box shows it, as letters: s(tarts),
// c(ontinues), n(ext part); upper case where a text box hides it.
std::string Walk(const std::u32string& text) {
  ClusterParts parts;
  std::string steps;
  for (const char32_t c : text) {
    const ClusterParts::Step step = parts.Next(c, c == kAcute);
    char letter = step == ClusterParts::Step::Starts      ? 's'
                  : step == ClusterParts::Step::Continues ? 'c'
                                                          : 'n';
    if (!parts.ShownInTextBox()) letter = static_cast<char>(letter - 'a' + 'A');
    steps += letter;
  }
  return steps;
}

TEST(ClusterPartsTest, AClusterIsCutEveryPartLengthAndATextBoxHidesOnlyLaterAttachedOnes) {
  // Short clusters and plain letters are never cut.
  EXPECT_EQ(Walk(U"ab\u0301c"), "sscs");
  EXPECT_EQ(Walk(U"\U0001F44D\U0001F3FD\uFE0Fx"), "sccs");
  // A letter under 70 marks: parts of 32, 32 and 7 characters; the next letter starts
  // afresh.
  std::u32string marks = U"a" + std::u32string(70, kAcute) + U"b";
  const std::string first = "s" + std::string(kMaxClusterChars - 1, 'c');
  const std::string later = "N" + std::string(kMaxClusterChars - 1, 'C');
  EXPECT_EQ(Walk(marks), first + later + "NCCCCCC" + "s");
  // A chain of joined letters: both sides of a joiner continue the cluster, so the letter
  // after the last joiner still belongs to it. A text box shows it all; a mark on a
  // letter of a later part is hidden.
  std::u32string chain;
  for (int i = 0; i < 20; ++i) chain.append({U'W', kJoiner});
  EXPECT_EQ(Walk(chain + U"!\u0301 "), first + "n" + std::string(8, 'c') + "C" + "s");
  // A mark with nothing before it starts the text's first cluster.
  EXPECT_EQ(Walk(std::u32string(1, kAcute) + U"a"), "ss");
}

}  // namespace
}  // namespace zimoklas
