// Explodes arbitrary text (ill-formed UTF-8 included) by every mode and checks what a
// run promises: the notes' texts appear in the text in order, separated only by white
// space and skipped delimiters, and every note's text is whole characters. The first
// byte chooses the mode, the chunk size and the name mode; with a delimiter, the bytes
// up to the first 0 byte are the typed delimiter.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "model/content.h"
#include "model/exploder.h"
#include "model/node.h"
#include "model/orvex.h"

namespace {

constexpr size_t kMaxInput = 4096;

class FuzzExploder : public fernweave::Exploder {
 public:
  bool AskToExplode(fernweave::ExplodeSettings*) override { return true; }
};

bool OnlySkipped(std::string_view gap, std::string_view delimiter) {
  for (char c : gap) {
    if (c != ' ' && c != '\t' && c != '\n' && c != '\v' && c != '\f' && c != '\r' &&
        delimiter.find(c) == std::string_view::npos) {
      return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace fernweave;
  if (size < 1 || size > kMaxInput) {
    return 0;
  }
  fuzz::Silence();
  const uint8_t choice = data[0];
  std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  ExplodeSettings settings;
  settings.chunk_size = choice & 0x1F;
  settings.name_mode = (choice >> 5) & 0x3;
  settings.cut_name = false;
  if ((choice & 0x80) != 0) {
    const size_t zero = rest.find('\0');
    const std::string_view typed = rest.substr(0, zero);
    settings.delimiter = Exploder::ProcessSpecialExplodeChars(typed);
    settings.skip_delimiter = (choice & 0x40) != 0;
    rest = zero == std::string_view::npos ? std::string_view() : rest.substr(zero + 1);
  }

  std::unique_ptr<Orvex> doc = Orvex::Create("Fuzz.skep");
  Node* note = doc->MakeNode("Fuzz", nullptr, nullptr, 0, 0);
  note->SetText(rest);
  const std::string text = note->GetText();
  FuzzExploder exploder;
  Node* exploded = exploder.Do(note, settings);
  fuzz::Check(exploded != nullptr);
  fuzz::Check(note->GetText() == text);

  size_t at = 0;
  for (const Node* n = exploded->Son(); n != nullptr; n = n->Brother()) {
    const std::string chunk = n->GetText();
    fuzz::Check(!chunk.empty());
    // Whole characters: the chunk's length is the same counted alone or in the text.
    const size_t found = text.find(chunk, at);
    fuzz::Check(found != std::string::npos);
    fuzz::Check(OnlySkipped(std::string_view(text).substr(at, found - at), settings.delimiter));
    fuzz::Check(Utf16Length(chunk) == Utf16OffsetForUtf8(text, found + chunk.size()) -
                                          Utf16OffsetForUtf8(text, found));
    at = found + chunk.size();
  }
  fuzz::Check(OnlySkipped(std::string_view(text).substr(at), settings.delimiter));

  // Cutting the names must leave each note a suffix of what it held.
  for (Node* n = exploded->Son(); n != nullptr; n = n->Brother()) {
    const std::string before = n->GetText();
    exploder.MakeNameFor(n, settings.name_mode, true);
    const std::string after = n->GetText();
    fuzz::Check(after.size() <= before.size() &&
                before.compare(before.size() - after.size(), after.size(), after) == 0);
  }
  return 0;
}
