// The figures a benchmark prints: one machine-readable "name value unit" line each, in
// the order they were added, then a human summary with the target beside each figure.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace zimoklas::bench {

struct Figure {
  std::string name;
  double value = 0;
  std::string unit;
  std::string label;   // what the figure is, for the summary
  std::string target;  // e.g. "<= 150", empty when there is none
};

class Report {
 public:
  void Add(std::string name, double value, std::string unit, std::string label,
           std::string target = {}) {
    figures_.push_back(
        {std::move(name), value, std::move(unit), std::move(label), std::move(target)});
  }

  void Print(const std::string& title) const {
    for (const Figure& f : figures_) {
      std::printf("%s %.6g %s\n", f.name.c_str(), f.value, f.unit.c_str());
    }
    std::printf("\n%s\n", title.c_str());
    for (const Figure& f : figures_) {
      std::printf("  %-44s %12.3f %-6s %s\n", f.label.c_str(), f.value, f.unit.c_str(),
                  f.target.empty() ? "" : ("(target " + f.target + ")").c_str());
    }
    std::fflush(stdout);
  }

 private:
  std::vector<Figure> figures_;
};

}  // namespace zimoklas::bench
