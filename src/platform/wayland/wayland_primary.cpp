// Finding the primary output from what the desktop says.
#include "platform/wayland/wayland_primary.hpp"

#include <kde-output-order-v1-client-protocol.h>

#include <algorithm>
#include <cstdint>
#include <list>
#include <string_view>

#include "platform/wayland/wayland_gnome_shell.hpp"
#include "platform/wayland/wayland_private_registry.hpp"

namespace zimoklas::wayland {
namespace {

struct Output {
  wl_output* proxy = nullptr;
  OutputPlace place;
};

struct Globals {
  kde_output_order_v1* order = nullptr;
  std::vector<std::string> orderSoFar;  // the list being announced
  std::vector<std::string> kdeOrder;    // the last whole list
  std::list<Output> outputs;            // listeners point into it: a list never moves them
};

void OnGeometry(void* data, wl_output* /*output*/, std::int32_t x, std::int32_t y,
                std::int32_t /*widthMm*/, std::int32_t /*heightMm*/, std::int32_t /*subpixel*/,
                const char* /*make*/, const char* /*model*/, std::int32_t /*transform*/) {
  auto* output = static_cast<Output*>(data);
  output->place.x = x;
  output->place.y = y;
}

void OnName(void* data, wl_output* /*output*/, const char* name) {
  static_cast<Output*>(data)->place.name = name;
}

const wl_output_listener kOutputListener = {
    &OnGeometry,
    [](void*, wl_output*, std::uint32_t, std::int32_t, std::int32_t, std::int32_t) {},
    [](void*, wl_output*) {},
    [](void*, wl_output*, std::int32_t) {},
    &OnName,
    [](void*, wl_output*, const char*) {}};

const kde_output_order_v1_listener kOrderListener = {
    [](void* data, kde_output_order_v1* /*order*/, const char* name) {
      static_cast<Globals*>(data)->orderSoFar.emplace_back(name);
    },
    [](void* data, kde_output_order_v1* /*order*/) {
      auto* globals = static_cast<Globals*>(data);
      globals->kdeOrder = std::move(globals->orderSoFar);
      globals->orderSoFar.clear();
    }};

void OnGlobal(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
              std::uint32_t version) {
  auto* globals = static_cast<Globals*>(data);
  const std::string_view kind(interface);
  if (kind == kde_output_order_v1_interface.name && globals->order == nullptr) {
    globals->order = static_cast<kde_output_order_v1*>(
        wl_registry_bind(registry, name, &kde_output_order_v1_interface, 1));
    kde_output_order_v1_add_listener(globals->order, &kOrderListener, globals);
  } else if (kind == wl_output_interface.name) {
    // Names come with version 4; without one an output cannot be found in KDE's order.
    Output& output = globals->outputs.emplace_back();
    output.proxy = static_cast<wl_output*>(
        wl_registry_bind(registry, name, &wl_output_interface, std::min(version, 4U)));
    wl_output_add_listener(output.proxy, &kOutputListener, &output);
  }
}

void OnGlobalRemove(void* /*data*/, wl_registry* /*registry*/, std::uint32_t /*name*/) {}

// kde_output_order_v1 and the outputs' names and places, on a queue of their own.
PrimaryFacts ReadOutputs(wl_display* display, std::vector<OutputPlace>& outputs) {
  Globals globals;
  static const wl_registry_listener listener = {&OnGlobal, &OnGlobalRemove};
  PrivateRegistry registry(display, &listener, &globals);
  registry.Roundtrip();  // the globals, bound
  registry.Roundtrip();  // their events
  PrimaryFacts facts;
  facts.kdeOrder = std::move(globals.kdeOrder);
  for (Output& output : globals.outputs) {
    outputs.push_back(output.place);
    wl_output_destroy(output.proxy);
  }
  if (globals.order != nullptr) kde_output_order_v1_destroy(globals.order);
  return facts;
}

}  // namespace

std::optional<std::size_t> ChoosePrimaryOutput(const std::vector<OutputPlace>& outputs,
                                               const PrimaryFacts& facts) {
  const auto index = [&](auto match) -> std::optional<std::size_t> {
    const auto found = std::find_if(outputs.begin(), outputs.end(), match);
    if (found == outputs.end()) return std::nullopt;
    return static_cast<std::size_t>(found - outputs.begin());
  };
  if (facts.mutterPrimary) {
    const Position corner = *facts.mutterPrimary;
    return index([&](const OutputPlace& o) { return Position{o.x, o.y} == corner; });
  }
  // The first output in KDE's order that is there.
  for (const std::string& name : facts.kdeOrder) {
    if (auto found =
            index([&](const OutputPlace& o) { return !o.name.empty() && o.name == name; })) {
      return found;
    }
  }
  return std::nullopt;
}

std::optional<Position> PrimaryOutputPosition(wl_display* display) {
  std::vector<OutputPlace> outputs;
  PrimaryFacts facts = ReadOutputs(display, outputs);
  facts.mutterPrimary = GnomeShell().MutterPrimary();
  const std::optional<std::size_t> chosen = ChoosePrimaryOutput(outputs, facts);
  if (!chosen) return std::nullopt;
  return Position{outputs[*chosen].x, outputs[*chosen].y};
}

}  // namespace zimoklas::wayland
