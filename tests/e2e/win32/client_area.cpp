// Writes where the client area of a top-level window lies on the screen, as Windows
// itself keeps it, so that the end-to-end tests measure it instead of deducing it from
// the frame. Arguments: the window's title and the file for "left top right bottom".
// Exit status 0 when the window was found and the file written, 1 otherwise.
#include <windows.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 3) return 1;
  SetProcessDPIAware();  // pixels as the screen has them, not scaled for an old program
  HWND window = FindWindowA(nullptr, argv[1]);
  RECT client{};
  if (window == nullptr || GetClientRect(window, &client) == FALSE) return 1;
  POINT topLeft{client.left, client.top};
  POINT bottomRight{client.right, client.bottom};
  if (ClientToScreen(window, &topLeft) == FALSE || ClientToScreen(window, &bottomRight) == FALSE) {
    return 1;
  }
  std::FILE* out = std::fopen(argv[2], "w");
  if (out == nullptr) return 1;
  const int written =
      std::fprintf(out, "%ld %ld %ld %ld\n", topLeft.x, topLeft.y, bottomRight.x, bottomRight.y);
  return std::fclose(out) == 0 && written > 0 ? 0 : 1;
}
