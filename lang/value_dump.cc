#include "lang/value_dump.h"

#include "lang/aa_value.h"

namespace fernweave {

std::string DumpTree(const AAValue* value) {
  if (value == nullptr) {
    return "<null>";
  }
  std::string out;
  for (const AAValue* item = value; item != nullptr; item = item->GetNextValue()) {
    if (item != value) {
      out += ", ";
    }
    item->Dump(&out);
  }
  return out;
}

}  // namespace fernweave
