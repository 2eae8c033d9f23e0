// Arbitrary bytes as a document file. Reading must never crash or leak; whatever loads
// must save, load again, and save to the same bytes.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz/fuzz_support.h"

#include "persist/orvex_reader.h"
#include "persist/orvex_writer.h"

using fernweave::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Large inputs are merely slow; they find nothing small ones do not.
  if (size > 64 * 1024) {
    return 0;
  }
  fernweave::fuzz::Silence();
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  auto doc = fernweave::OrvexReader::ReadDocumentFromString(bytes);
  if (doc == nullptr) {
    return 0;
  }
  const std::string saved = fernweave::OrvexWriter::WriteToString(*doc);
  auto again = fernweave::OrvexReader::ReadDocumentFromString(saved);
  Check(again != nullptr);
  Check(fernweave::OrvexWriter::WriteToString(*again) == saved);
  return 0;
}
