// zimoklas-render: the fireworks and snow animation on an in-memory frame.
#include <iostream>
#include <string_view>
#include <vector>

#include "render.hpp"

int main(int argc, char** argv) {
  const std::vector<std::string_view> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  return zimoklas::render::RunRender(args, std::cout, std::cerr);
}
