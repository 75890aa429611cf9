// Where a text is cut for the shaper. A cluster (a letter with its marks, a chain of
// joined characters) is shaped as a whole, and the shaper's work on one grows with the
// square of its length. Clusters of real text are short, so a cluster longer than
// kMaxClusterChars is taken as parts of that many characters each: the scene shapes each
// part on its own, and the settings window's text box shows, of the later parts, only
// the characters that do not attach to the one before them (the letters of a joined
// chain), while keeping the whole text.
#pragma once

#include <cstddef>

namespace zimoklas {

inline constexpr std::size_t kMaxClusterChars = 32;

// Whether `c` attaches to the character before it: a mark (`mark`, from the platform's
// character tables), a variation selector, an emoji modifier or tag.
constexpr bool Attaches(char32_t c, bool mark) {
  return mark || (c >= 0xFE00 && c <= 0xFE0F) || (c >= 0x1F3FB && c <= 0x1F3FF) ||
         (c >= 0xE0020 && c <= 0xE007F);
}

// Whether `c` belongs to the cluster of the character before it, `previous`: it attaches
// to it, or either is a zero-width joiner.
constexpr bool ContinuesCluster(char32_t c, char32_t previous, bool mark) {
  return Attaches(c, mark) || c == 0x200D || previous == 0x200D;
}

// Walks a text one character at a time and tells where each one stands.
class ClusterParts {
 public:
  enum class Step {
    Starts,     // the first character of a cluster
    Continues,  // the next character of the current part
    NextPart,   // the first character of a further part of an over-long cluster
  };

  Step Next(char32_t c, bool mark) {
    Step step = Step::Starts;
    if (any_ && ContinuesCluster(c, previous_, mark)) {
      step = chars_ < kMaxClusterChars ? Step::Continues : Step::NextPart;
    }
    any_ = true;
    previous_ = c;
    chars_ = step == Step::Continues ? chars_ + 1 : 1;
    beyond_ = step == Step::NextPart || (step == Step::Continues && beyond_);
    attaches_ = Attaches(c, mark);
    return step;
  }
  // Whether a text box shows the last character: not when it attaches to the character
  // before it beyond the first part of its cluster. Only such runs cost the shaper the
  // square of their length; a long chain of joined letters costs it no more than plain
  // text, and shows whole.
  bool ShownInTextBox() const { return !beyond_ || !attaches_; }

 private:
  bool any_ = false;
  char32_t previous_ = 0;
  std::size_t chars_ = 0;
  bool beyond_ = false;
  bool attaches_ = false;
};

}  // namespace zimoklas
