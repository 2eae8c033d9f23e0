// Arbitrary bytes through both text entry points of XMLReader: neither may crash, leak
// or hand out a tree whose texts are out of step, and Zap must always leave well-formed
// UTF-8 of the same length.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"

#include "foundation/unicoder.h"
#include "foundation/xml_reader.h"
#include "foundation/xml_writer.h"

namespace {

using fernweave::fuzz::Check;

// Visits every item without recursion, touching the accessors a client would use.
void Walk(const fernweave::XMLItem* root) {
  std::vector<const fernweave::XMLItem*> pending = {root};
  size_t seen = 0;
  while (!pending.empty()) {
    const fernweave::XMLItem* item = pending.back();
    pending.pop_back();
    ++seen;
    Check(item->Text().size() <= item->UnicodeText().size());
    (void)item->GetBoolean("a");
    (void)item->GetLong("a");
    for (const fernweave::XMLItem* child = item->Son(); child != nullptr;
         child = child->Brother()) {
      Check(child->Parent() == item);
      pending.push_back(child);
    }
  }
  Check(seen == root->Descendants() + 1);
}

bool IsWellFormed(const std::string& text) {
  for (size_t i = 0; i < text.size();) {
    fernweave::Utf8Step step = fernweave::DecodeUtf8(text, i);
    if (step.code_point == fernweave::Utf8Step::kIllFormed ||
        (step.code_point >= 0xD800 && step.code_point <= 0xDFFF)) {
      return false;
    }
    i += step.length;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Larger inputs only cost time; three blocks cover every block boundary case.
  if (size > 100000) {
    return 0;
  }
  fernweave::fuzz::Silence();
  const std::string text(reinterpret_cast<const char*>(data), size);

  fernweave::XMLReader reader;
  if (reader.Parse(text)) {
    Walk(reader.root());
  }
  std::istringstream in(text);
  if (reader.Parse(in, size)) {
    Walk(reader.root());
  }

  std::string zapped = fernweave::XMLReader::Zap(text);
  Check(zapped.size() == text.size());
  Check(IsWellFormed(zapped));
  Check(IsWellFormed(fernweave::XMLWriter::CleanText(text)));
  return 0;
}
