// Feeds any bytes to the word index: the part before the first '\x01' becomes a stop
// list, the rest a note's text. Checks what the index promises: every entry is found
// again by its own word, counts add up, and similarity stays within [0, 1] and is 1
// for an index against itself.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "model/word_index.h"

namespace {

// Longer inputs only cost time: building is linear in the text.
constexpr size_t kMaxInput = 4096;

void Check(bool condition) {
  if (!condition) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > kMaxInput) {
    return 0;
  }
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const size_t split = input.find('\x01');
  const std::string_view stop_text = split == std::string_view::npos ? "" : input.substr(0, split);
  const std::string_view text = split == std::string_view::npos ? input : input.substr(split + 1);
  const fernweave::StopList stop = fernweave::StopList::FromText(stop_text);
  const fernweave::WordIndex index = fernweave::WordIndex::Build(text, stop);

  size_t total = 0;
  for (size_t i = 0; i < index.size(); ++i) {
    const std::string_view word = index.WordAt(i);
    Check(!word.empty());
    Check(index.CountFolded(word) == index.CountAt(i));
    Check(!stop.Contains(word));
    if (i > 0) {
      Check(index.CompareAt(i - 1, index, i) < 0);
    }
    total += index.CountAt(i);
  }
  Check(total == index.TotalWords());
  const double self = fernweave::Similarity(index, index);
  Check(index.empty() ? self == 0 : std::fabs(self - 1) < 1e-9);
  const fernweave::WordIndex other = fernweave::WordIndex::Build(stop_text, fernweave::StopList());
  const double cross = fernweave::Similarity(index, other);
  Check(cross >= 0 && cross <= 1);
  index.Count(text);
  fernweave::FoldWord(text);
  return 0;
}
