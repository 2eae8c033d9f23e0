#include "model/attribute_type.h"

namespace fernweave {
namespace {

// Indexed by type code.
constexpr std::string_view kTypeNames[] = {"string",  "color", "number",   "file",
                                           "boolean", "date",  "unsigned", "action",
                                           "set",     "url",   "rectangle"};
constexpr int kTypeCount = sizeof(kTypeNames) / sizeof(kTypeNames[0]);

}  // namespace

std::string_view AttributeTypeName(AttributeType type) {
  int code = ToCode(type);
  if (code < 0 || code >= kTypeCount) {
    return "unknown";
  }
  return kTypeNames[code];
}

bool AttributeTypeFromName(std::string_view name, AttributeType* type) {
  for (int code = 0; code < kTypeCount; ++code) {
    if (kTypeNames[code] == name) {
      *type = AttributeTypeFromCode(code);
      return true;
    }
  }
  return false;
}

}  // namespace fernweave
