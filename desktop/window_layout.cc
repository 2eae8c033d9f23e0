#include "desktop/window_layout.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "model/document_records.h"
#include "model/hypertext.h"
#include "model/node.h"
#include "views/map_scale.h"

namespace fernweave {

namespace {

constexpr std::string_view kCombinedWindow = "skepmap";
// Sizes beyond this are taken as damage, not as a screen.
constexpr int kLargestSize = 100000;

// The comma-separated whole numbers of `text`; empty when any part does not read.
std::vector<int> Numbers(std::string_view text) {
  std::vector<int> numbers;
  while (true) {
    const size_t comma = text.find(',');
    const std::string_view part = text.substr(0, comma);
    int n = 0;
    const auto [end, ec] = std::from_chars(part.data(), part.data() + part.size(), n);
    if (ec != std::errc() || end != part.data() + part.size()) {
      return {};
    }
    numbers.push_back(n);
    if (comma == std::string_view::npos) {
      return numbers;
    }
    text.remove_prefix(comma + 1);
  }
}

// Keeps `n` in `*field` when it lies in [low, high].
void Take(int64_t n, int low, int high, int* field) {
  if (n >= low && n <= high) {
    *field = static_cast<int>(n);
  }
}

}  // namespace

void RecordWindowLayout(Hypertext* hypertext, const WindowLayout& layout,
                        const Node* container) {
  std::vector<WindowRecord>& windows = hypertext->Records().Windows();
  std::erase_if(windows, [](const WindowRecord& w) { return w.type == kCombinedWindow; });
  WindowRecord record;
  record.type = std::string(kCombinedWindow);
  if (container != nullptr) {
    record.id = container->GetID().id();
    record.creator = container->GetID().creator();
  }
  // "bounds" is left, top, right, bottom, as every saved window writes it.
  record.state = {
      {"bounds", "0,0," + std::to_string(layout.width) + "," + std::to_string(layout.height)},
      {"scale", std::to_string(layout.zoom)},
      {"split", std::to_string(layout.outline_width) + "," + std::to_string(layout.map_width)},
  };
  windows.insert(windows.begin(), std::move(record));
}

std::optional<WindowLayout> ReadWindowLayout(const Hypertext& hypertext, Node** container) {
  *container = nullptr;
  const std::vector<WindowRecord>& windows = hypertext.Records().Windows();
  const auto found = std::find_if(windows.begin(), windows.end(), [](const WindowRecord& w) {
    return w.type == kCombinedWindow;
  });
  if (found == windows.end()) {
    return std::nullopt;
  }
  Node* shown = hypertext.FindNode(found->id, found->creator);
  if (shown != nullptr && !shown->IsHidden()) {
    *container = shown;
  }
  WindowLayout layout;
  for (const auto& [name, text] : found->state) {
    const std::vector<int> n = Numbers(text);
    if (name == "bounds" && n.size() == 4) {
      Take(int64_t{n[2]} - n[0], 1, kLargestSize, &layout.width);
      Take(int64_t{n[3]} - n[1], 1, kLargestSize, &layout.height);
    } else if (name == "scale" && n.size() == 1) {
      Take(n[0], MapScale::kMinSetting, MapScale::kMaxSetting, &layout.zoom);
    } else if (name == "split" && n.size() == 2) {
      Take(n[0], 1, kLargestSize, &layout.outline_width);
      Take(n[1], 1, kLargestSize, &layout.map_width);
    }
  }
  return layout;
}

}  // namespace fernweave
