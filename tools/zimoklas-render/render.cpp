// The render tool: options, draws, ticks, log and picture.
#include "render.hpp"

#include <charconv>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <memory>
#include <string>

#include "animation/animation_state.hpp"
#include "animation/random.hpp"
#include "animation/tick.hpp"
#include "draws_file.hpp"
#include "gif_writer.hpp"
#include "platform/headless/frame.hpp"
#include "platform/headless/scripted_random.hpp"
#include "png_writer.hpp"
#include "render_options.hpp"

namespace zimoklas::render {

namespace {

constexpr std::string_view kName = "zimoklas-render: ";
constexpr int kOutputFailed = 1;
constexpr int kBadInput = 2;

// Draws the pixels on the frame and appends "X Y COLOUR" lines to a tick's log text.
class LoggingFrameSink {
 public:
  LoggingFrameSink(headless::Frame& frame, std::string& text) : frame_(frame), text_(text) {}

  void SetPixel(std::int32_t x, std::int32_t y, Colour colour) {
    frame_.SetPixel(x, y, colour);
    Append(x);
    text_ += ' ';
    Append(y);
    text_ += ' ';
    Append(colour);
    text_ += '\n';
  }

 private:
  template <class T>
  void Append(T value) {
    char digits[16];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    text_.append(digits, result.ptr);
  }

  headless::Frame& frame_;
  std::string& text_;
};

struct Run {
  const RenderOptions& options;
  headless::Frame& frame;
  std::ostream* log;  // none without --log
  GifWriter* gif;     // none without --gif
  std::ostream& err;
};

// After every gif step of ticks, the frame joins the GIF. A tick is 5 ms and a GIF counts
// centiseconds: each frame's delay is the rounded time since the start less the delays
// so far, so the whole keeps the ticks' pace.
bool AddGifFrame(const Run& run, std::uint64_t tick) {
  if (run.gif == nullptr || tick % run.options.gifStep != 0) return true;
  const auto centiseconds = [](std::uint64_t ticks) {
    return static_cast<int>((ticks * 5 + 5) / 10);
  };
  const int delay = centiseconds(tick) - centiseconds(tick - run.options.gifStep);
  if (const auto error = run.gif->Add(run.frame, delay)) {
    run.err << kName << "cannot write '" << *run.options.gifFile << "': " << *error << "\n";
    return false;
  }
  return true;
}

// Runs the ticks; a tick's log text is written only once the tick is complete.
template <class Random>
int RunTicks(const Run& run, Random& random) {
  auto state = std::make_unique<animation::AnimationState>();
  state->SnowColour = run.options.snow;
  const animation::ScaleSize scale{static_cast<float>(run.options.width),
                                   static_cast<float>(run.options.height)};
  std::string text;
  LoggingFrameSink logging(run.frame, text);
  for (std::uint64_t tick = 1; tick <= run.options.ticks; ++tick) {
    try {
      if (run.log == nullptr) {
        animation::Tick(*state, random, run.frame, scale);
      } else {
        text = "tick " + std::to_string(tick) + "\n";
        animation::Tick(*state, random, logging, scale);
        *run.log << text;
        if (!*run.log) {
          run.err << kName << "the log could not be written\n";
          return kOutputFailed;
        }
      }
      if (!AddGifFrame(run, tick)) return kOutputFailed;
    } catch (const headless::DrawsExhausted& e) {
      run.err << kName << "the draws file ran out on tick " << tick << " after " << e.used()
              << " draws\n";
      return kBadInput;
    }
  }
  return 0;
}

}  // namespace

int RunRender(std::span<const std::string_view> args, std::ostream& out, std::ostream& err) {
  const auto parsed = ParseOptions(args);
  if (const auto* message = std::get_if<std::string>(&parsed)) {
    err << kName << *message << "\n";
    return kBadInput;
  }
  const RenderOptions& options = std::get<RenderOptions>(parsed);
  if (options.help) {
    out << kUsage;
    return 0;
  }

  std::unique_ptr<headless::ScriptedRandom> scripted;
  if (options.drawsFile) {
    std::ifstream in(*options.drawsFile);
    if (!in) {
      err << kName << "cannot open the draws file '" << *options.drawsFile << "'\n";
      return kBadInput;
    }
    auto draws = ReadDraws(in);
    if (const auto* message = std::get_if<std::string>(&draws)) {
      err << kName << *message << "\n";
      return kBadInput;
    }
    scripted =
        std::make_unique<headless::ScriptedRandom>(std::move(std::get<std::vector<float>>(draws)));
  }

  std::ofstream logFile;
  std::ostream* log = nullptr;
  if (options.logFile) {
    if (*options.logFile == "-") {
      log = &out;
    } else {
      logFile.open(*options.logFile, std::ios::binary);
      if (!logFile) {
        err << kName << "cannot write the log '" << *options.logFile << "'\n";
        return kOutputFailed;
      }
      log = &logFile;
    }
  }

  GifWriter gifFile;
  GifWriter* gif = nullptr;
  if (options.gifFile) {
    if (const auto error = gifFile.Open(*options.gifFile, options.width, options.height)) {
      err << kName << "cannot write '" << *options.gifFile << "': " << *error << "\n";
      return kOutputFailed;
    }
    gif = &gifFile;
  }

  headless::Frame frame(options.width, options.height);
  const Run run{options, frame, log, gif, err};
  int status = 0;
  if (scripted) {
    status = RunTicks(run, *scripted);
  } else {
    const std::uint64_t seed =
        options.seed ? *options.seed
                     : static_cast<std::uint64_t>(
                           std::chrono::system_clock::now().time_since_epoch().count());
    animation::Pcg32 random(seed);
    status = RunTicks(run, random);
  }
  if (status != 0) return status;

  if (log != nullptr) {
    log->flush();
    if (!*log) {
      err << kName << "the log could not be written\n";
      return kOutputFailed;
    }
  }
  if (gif != nullptr) {
    if (const auto error = gif->Close()) {
      err << kName << "cannot write '" << *options.gifFile << "': " << *error << "\n";
      return kOutputFailed;
    }
  }
  if (options.pngFile) {
    if (const auto error = WritePng(frame, *options.pngFile)) {
      err << kName << "cannot write '" << *options.pngFile << "': " << *error << "\n";
      return kOutputFailed;
    }
  }
  return 0;
}

}  // namespace zimoklas::render
