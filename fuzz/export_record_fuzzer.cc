// Feeds any bytes to the reader of an export's record (a file anyone can damage in the
// destination folder). A record that reads back must write out as the same text.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "export/export_record.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::optional<fernweave::ExportRecord> record = fernweave::ExportRecord::Parse(text);
  if (record) {
    const std::string again = record->Serialize();
    // The input may spell numbers with leading zeros or capital hex digits, so only the
    // second round must give back exactly what it was given.
    const std::optional<fernweave::ExportRecord> reread = fernweave::ExportRecord::Parse(again);
    if (!again.empty() && (!reread || reread->Serialize() != again)) {
      std::abort();
    }
  }
  return 0;
}
