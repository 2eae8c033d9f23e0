// Arbitrary bytes as a clipping pasted into an open document, twice. Pasting must never
// crash or leak, never give two live notes the same identity, and the document must
// still save and load.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <utility>

#include "fuzz/fuzz_support.h"

#include "model/orvex.h"
#include "persist/orvex_reader.h"
#include "persist/orvex_writer.h"

using fernweave::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 64 * 1024) {
    return 0;
  }
  fernweave::fuzz::Silence();
  using fernweave::Node;
  auto doc = fernweave::Orvex::Create("target");
  Node* a = doc->MakeNode("A", nullptr, nullptr, 0, 0);
  Node* box = doc->MakeNode("Box", nullptr, a, 4, 0);
  Node* inside = doc->MakeNode("Inside", box, nullptr, 0, 0);
  inside->SetText("some text");
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  fernweave::OrvexReader::PasteClipping(bytes, box, inside);
  fernweave::OrvexReader::PasteClipping(bytes, doc->Root(), nullptr);

  std::set<std::pair<uint32_t, std::string>> ids;
  for (Node* n : doc->AllNodes()) {
    Check(ids.emplace(n->GetID().id(), n->Creator()).second);
  }
  const std::string saved = fernweave::OrvexWriter::WriteToString(*doc);
  Check(fernweave::OrvexReader::ReadDocumentFromString(saved) != nullptr);
  return 0;
}
