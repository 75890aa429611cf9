// The end-to-end harness: processes (native and under Wine), the prefix's registry, the
// native program's key file, screenshots as images, and the fixtures.
#include "e2e_harness.hpp"

#include <fcntl.h>
#include <png.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>
#include <utility>

extern char** environ;

namespace zimoklas::e2e {
namespace {

// A Unix path as Wine's Z: drive shows it.
std::string WinePath(const std::string& unixPath) {
  std::string path = "Z:" + unixPath;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

std::string TempPath(const std::string& suffix) {
  static int counter = 0;
  return (std::filesystem::temp_directory_path() /
          ("zimoklas-e2e-" + std::to_string(getpid()) + "-" + std::to_string(++counter) + suffix))
      .string();
}

// The program prefers a Wayland compositor it can reach, so on a developer's Wayland
// session the X11 cases would miss their X server: none is left reachable for them. The
// Wayland cases name their own compositor.
[[maybe_unused]] const bool kNoCompositorByDefault = [] {
  unsetenv("WAYLAND_DISPLAY");
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && std::filesystem::exists(std::filesystem::path(runtime) / "wayland-0")) {
    static const std::string own = TempPath("-runtime");
    std::filesystem::create_directory(own);
    std::filesystem::permissions(own, std::filesystem::perms::owner_all);
    setenv("XDG_RUNTIME_DIR", own.c_str(), 1);
  }
  return true;
}();

// Runs `wine <arguments>` to completion; its exit status, or -1.
int RunWine(const std::vector<std::string>& arguments, Milliseconds timeout = 60s) {
  WineProcess process(arguments.front(),
                      std::vector<std::string>(arguments.begin() + 1, arguments.end()));
  return process.WaitForExit(timeout).value_or(-1);
}

std::vector<std::string> WineArgv(const std::string& program,
                                  const std::vector<std::string>& arguments) {
  std::vector<std::string> argv = {"wine", program};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  return argv;
}

void AppendUtf16(std::string& out, char32_t c) {
  const auto put = [&out](char16_t unit) {
    out.push_back(static_cast<char>(unit & 0xFF));
    out.push_back(static_cast<char>(unit >> 8));
  };
  if (c >= 0x10000) {
    c -= 0x10000;
    put(static_cast<char16_t>(0xD800 + (c >> 10)));
    put(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
  } else {
    put(static_cast<char16_t>(c));
  }
}

// UTF-8 text as UTF-16LE bytes, which is what .reg files of version 5 hold.
std::string ToUtf16Le(const std::string& utf8) {
  std::string out;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    const int length = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    char32_t c = length == 1 ? b : b & (0x3F >> (length - 1));
    for (int k = 1; k < length && i + k < utf8.size(); ++k) {
      c = (c << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    }
    AppendUtf16(out, c);
    i += length;
  }
  return out;
}

std::string FromUtf16Le(const std::string& bytes) {
  std::string out;
  const auto unit = [&bytes](std::size_t i) {
    return static_cast<char32_t>(static_cast<unsigned char>(bytes[i]) |
                                 (static_cast<unsigned char>(bytes[i + 1]) << 8));
  };
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    char32_t c = unit(i);
    if (c >= 0xD800 && c < 0xDC00 && i + 3 < bytes.size()) {
      c = 0x10000 + ((c - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
      i += 2;
    }
    if (c == 0xFEFF) continue;
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

std::string RegQuote(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '\\' || c == '"') out.push_back('\\');
    out.push_back(c);
  }
  return out + "\"";
}

void ImportRegText(const std::string& body) {
  const std::string path = TempPath(".reg");
  {
    std::ofstream file(path, std::ios::binary);
    file << "\xFF\xFE" << ToUtf16Le("Windows Registry Editor Version 5.00\r\n\r\n" + body);
  }
  // Once in hundreds of runs, right after a program had ended, Wine's reg import has
  // ended with status 1. It is tried again before the test fails for it.
  int status = -1;
  for (int attempt = 0; attempt < 3 && status != 0; ++attempt) {
    if (attempt > 0) std::this_thread::sleep_for(500ms);
    status = RunWine({"reg", "import", WinePath(path)});
  }
  std::filesystem::remove(path);
  ASSERT_EQ(status, 0) << "reg import failed three times for:\n" << body;
}

}  // namespace

bool EndToEndRequired() {
  const char* v = std::getenv("ZIMOKLAS_E2E_REQUIRED");
  return v != nullptr && std::string(v) == "1";
}

Program FindProgram() {
  setenv("WINEDEBUG", "-all", 0);
  Program program;
  struct stat st {};
  if (std::getenv("DISPLAY") == nullptr) {
    program.missing = "no DISPLAY";
  } else if (std::getenv("WINEPREFIX") == nullptr) {
    program.missing = "no WINEPREFIX";
  } else if (stat(ZIMOKLAS_SCR_PATH, &st) != 0) {
    program.missing = std::string(ZIMOKLAS_SCR_PATH) + " is missing";
  } else {
    program.path = ZIMOKLAS_SCR_PATH;
    // One server for the whole run (it stays 5 s after the last program) keeps each
    // program start short.
    static const int server = Process({"wineserver", "-p5"}).WaitForExit(30s).value_or(-1);
    static_cast<void>(server);
  }
  return program;
}

namespace registry {

void SeedTexts(const std::string& key, const std::map<std::string, std::string>& values) {
  std::string body = "[-" + key + "]\r\n\r\n";
  if (!values.empty()) {
    body += "[" + key + "]\r\n";
    for (const auto& [name, text] : values) body += RegQuote(name) + "=" + RegQuote(text) + "\r\n";
  }
  ImportRegText(body + "\r\n");
}

void Import(const std::vector<std::string>& lines) {
  std::string body;
  for (const std::string& line : lines) body += line + "\r\n";
  ImportRegText(body + "\r\n");
}

std::map<std::string, Value> Read(const std::string& key) {
  std::map<std::string, Value> values;
  const std::string path = TempPath(".reg");
  if (RunWine({"reg", "export", key, WinePath(path), "/y"}) != 0) return values;
  std::ifstream file(path, std::ios::binary);
  std::string text = FromUtf16Le(
      std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()));
  std::filesystem::remove(path);

  // Join continued lines, then take "name"=value lines.
  std::string joined;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == '\r' || text[i + 1] == '\n')) {
      while (i + 1 < text.size() &&
             (text[i + 1] == '\r' || text[i + 1] == '\n' || text[i + 1] == ' ')) {
        ++i;
      }
      continue;
    }
    joined.push_back(text[i]);
  }
  std::size_t start = 0;
  while (start < joined.size()) {
    std::size_t end = joined.find('\n', start);
    if (end == std::string::npos) end = joined.size();
    std::string line = joined.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() < 3 || line[0] != '"') continue;
    std::string name;
    std::size_t i = 1;
    for (; i < line.size() && line[i] != '"'; ++i) {
      if (line[i] == '\\' && i + 1 < line.size()) ++i;
      name.push_back(line[i]);
    }
    const std::string rest = line.substr(i + 2);  // after the closing quote and '='
    Value value;
    if (!rest.empty() && rest[0] == '"') {
      value.type = "REG_SZ";
      for (std::size_t k = 1; k + 1 < rest.size(); ++k) {
        if (rest[k] == '\\' && k + 2 < rest.size()) ++k;
        value.text.push_back(rest[k]);
      }
    } else if (rest.rfind("dword:", 0) == 0) {
      value = {"REG_DWORD", rest.substr(6)};
    } else if (rest.rfind("hex(2):", 0) == 0) {
      value = {"REG_EXPAND_SZ", rest.substr(7)};
    } else if (rest.rfind("hex(7):", 0) == 0) {
      value = {"REG_MULTI_SZ", rest.substr(7)};
    } else if (rest.rfind("hex:", 0) == 0) {
      value = {"REG_BINARY", rest.substr(4)};
    } else {
      value = {"other", rest};
    }
    values[name] = value;
  }
  return values;
}

namespace {
constexpr const char* kDesktopKey = "[HKEY_CURRENT_USER\\Control Panel\\Desktop]";
}  // namespace

ScopedScreenDpi::ScopedScreenDpi(int dpi) {
  char value[32];
  std::snprintf(value, sizeof(value), "\"LogPixels\"=dword:%08x", static_cast<unsigned>(dpi));
  Import({kDesktopKey, value});
}

ScopedScreenDpi::~ScopedScreenDpi() {
  Import({kDesktopKey, "\"LogPixels\"=-"});
}

namespace {
constexpr const char* kColoursKey = "[HKEY_CURRENT_USER\\Control Panel\\Colors]";
}  // namespace

ScopedSystemColour::ScopedSystemColour(std::string name, int red, int green, int blue)
    : name_(std::move(name)) {
  Import({kColoursKey, "\"" + name_ + "\"=\"" + std::to_string(red) + " " + std::to_string(green) +
                           " " + std::to_string(blue) + "\""});
}

ScopedSystemColour::~ScopedSystemColour() {
  Import({kColoursKey, "\"" + name_ + "\"=-"});
}

}  // namespace registry

Process::Process(std::vector<std::string> argv, const std::vector<std::string>& environment,
                 const std::string& log) {
  std::vector<char*> pointers;
  for (std::string& word : argv) pointers.push_back(word.data());
  pointers.push_back(nullptr);
  // The environment with `environment`'s variables added or replaced.
  std::vector<std::string> variables(environment);
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string_view entry(*e);
    const std::string_view name = entry.substr(0, entry.find('='));
    bool replaced = false;
    for (const std::string& v : environment) {
      replaced = replaced || (v.size() > name.size() && v.compare(0, name.size(), name) == 0 &&
                              v[name.size()] == '=');
    }
    if (!replaced) variables.emplace_back(entry);
  }
  std::vector<char*> envp;
  for (std::string& v : variables) envp.push_back(v.data());
  envp.push_back(nullptr);
  // Output goes to a log, not to the test's own pipes: Wine's desktop process inherits
  // them and outlives the program, and ctest would wait for it.
  const std::string output = log.empty() ? ArtifactPath("program-output.log") : log;
  std::filesystem::create_directories(std::filesystem::path(output).parent_path());
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(),
                                   O_WRONLY | O_CREAT | O_APPEND, 0644);
  posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  if (posix_spawnp(&pid_, pointers[0], &actions, nullptr, pointers.data(), envp.data()) != 0) {
    pid_ = -1;
  }
  posix_spawn_file_actions_destroy(&actions);
}

void Process::Signal(int signal) {
  if (Running()) kill(pid_, signal);
}

Process::~Process() {
  if (Running()) {
    kill(pid_, SIGKILL);
    WaitForExit(5s);
  }
}

bool Process::Running() {
  return pid_ > 0 && !WaitForExit(0ms).has_value();
}

std::optional<int> Process::WaitForExit(Milliseconds timeout) {
  if (status_ || pid_ <= 0) return status_;
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    int raw = 0;
    const pid_t done = waitpid(pid_, &raw, WNOHANG);
    if (done == pid_) {
      status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
      return status_;
    }
    if (Clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(5ms);
  }
}

WineProcess::WineProcess(const std::string& program, const std::vector<std::string>& arguments)
    : Process(WineArgv(program, arguments)) {}

Box Image::Clip(std::optional<Box> area) const {
  Box box = area.value_or(Box{0, 0, width_, height_});
  box.left = std::max(box.left, 0);
  box.top = std::max(box.top, 0);
  box.right = std::min(box.right, width_);
  box.bottom = std::min(box.bottom, height_);
  return box;
}

Image Image::Crop(const Box& box) const {
  Image part(box.width(), box.height());
  for (int y = 0; y < box.height(); ++y) {
    for (int x = 0; x < box.width(); ++x) part.set(x, y, at(box.left + x, box.top + y));
  }
  return part;
}

Box Image::BoundsOf(Rgb colour, std::optional<Box> area) const {
  const Box box = Clip(area);
  Box found{box.right, box.bottom, box.left, box.top};
  for (int y = box.top; y < box.bottom; ++y) {
    for (int x = box.left; x < box.right; ++x) {
      if (at(x, y) == colour) {
        found.left = std::min(found.left, x);
        found.top = std::min(found.top, y);
        found.right = std::max(found.right, x + 1);
        found.bottom = std::max(found.bottom, y + 1);
      }
    }
  }
  return found.empty() ? Box{} : found;
}

bool Image::SavePng(const std::string& path) const {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, width_, height_, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  std::vector<png_byte> row(static_cast<std::size_t>(width_) * 3);
  for (int y = 0; y < height_; ++y) {
    for (int x = 0; x < width_; ++x) {
      const Rgb c = at(x, y);
      row[x * 3] = c.r;
      row[x * 3 + 1] = c.g;
      row[x * 3 + 2] = c.b;
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  std::fclose(file);
  return true;
}

Box WineClientBox(const std::string& title) {
  const std::string path = TempPath(".client");
  WineProcess probe(ZIMOKLAS_CLIENT_AREA_PATH, {title, WinePath(path)});
  Box box;
  if (probe.WaitForExit(30s) == std::optional<int>(0)) {
    std::ifstream in(path);
    if (!(in >> box.left >> box.top >> box.right >> box.bottom)) box = Box{};
  }
  std::filesystem::remove(path);
  return box;
}

Program FindNativeProgram() {
  Program program;
  struct stat st {};
  if (std::getenv("DISPLAY") == nullptr) {
    program.missing = "no DISPLAY";
  } else if (stat(ZIMOKLAS_NATIVE_PATH, &st) != 0) {
    program.missing = std::string(ZIMOKLAS_NATIVE_PATH) + " is missing";
  } else {
    program.path = ZIMOKLAS_NATIVE_PATH;
  }
  return program;
}

void ProgramTest::Require(const Program& program) {
  if (!program.missing.empty()) {
    if (EndToEndRequired()) FAIL() << "the end-to-end run is required, but " << program.missing;
    GTEST_SKIP() << program.missing;
  }
  program_ = program.path;
  screen_.emplace();
  ASSERT_TRUE(screen_->ok()) << "cannot open the display";
}

void NativeTest::SetUp() {
  Require(FindNativeProgram());
  if (Stopped()) return;
  configHome_ = TempPath("-config");
  std::filesystem::create_directories(configHome_);
}

void NativeTest::TearDown() {
  if (!configHome_.empty()) std::filesystem::remove_all(configHome_);
}

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void WriteKeyFile(const std::string& configHome, const Settings& values) {
  const std::filesystem::path folder = std::filesystem::path(configHome) / "Ombra";
  std::filesystem::create_directories(folder);
  std::ofstream file(folder / "Zimoklas.conf");
  file << "[Zimoklas]\n";
  for (const auto& [key, value] : values) file << key << '=' << value << '\n';
}

std::unique_ptr<Process> NativeTest::Start(const std::vector<std::string>& arguments,
                                           std::vector<std::string> environment,
                                           const std::vector<std::string>& launcher) {
  std::vector<std::string> argv = launcher;
  argv.push_back(program_);
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  environment.push_back("XDG_CONFIG_HOME=" + configHome_);
  return std::make_unique<Process>(argv, environment, log());
}

const Settings kDefaults = {{"SnihR", "255"},  {"SnihG", "255"},
                            {"SnihB", "255"},  {"Text1", "Veselé vánoce a šťastný nový rok..."},
                            {"Text2", "P.F."}, {"pf", "1"}};

Settings DefaultsWith(const Settings& changes) {
  Settings settings = kDefaults;
  for (const auto& [name, value] : changes) settings[name] = value;
  return settings;
}

std::string ArtifactPath(const std::string& name) {
  return std::string(ZIMOKLAS_E2E_ARTIFACTS) + "/" + name;
}

Image SaveShot(Image image, const std::string& name) {
  const std::string path = ArtifactPath(name + ".png");
  image.SavePng(path);
  ::testing::Test::RecordProperty("screenshot", path);
  return image;
}

void WineTest::SetUp() {
  Require(FindProgram());
  if (Stopped()) return;
  registry::SeedTexts(registry::kSettingsKey, {});
}

void WineTest::TearDown() {
  if (!program_.empty()) registry::SeedTexts(registry::kSettingsKey, {});
}

}  // namespace zimoklas::e2e
