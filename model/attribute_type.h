// The type codes of attributes. The code is what the document file stores for each
// attribute declaration, so the numbers never change.

#ifndef FERNWEAVE_MODEL_ATTRIBUTE_TYPE_H_
#define FERNWEAVE_MODEL_ATTRIBUTE_TYPE_H_

#include <string_view>

namespace fernweave {

// A code read from a file may lie outside the enumerators (a newer file, a damaged
// one); such a value is a valid `AttributeType` and every switch over it must have a
// default. Text of such a type is read by the generic parse.
enum class AttributeType : int {
  kString = 0,
  kColor = 1,
  kNumber = 2,
  kFile = 3,
  kBoolean = 4,
  kDate = 5,
  kUnsigned = 6,
  kAction = 7,
  kSet = 8,
  kURL = 9,
  kRectangle = 10,
};

inline constexpr int ToCode(AttributeType type) {
  return static_cast<int>(type);
}
inline constexpr AttributeType AttributeTypeFromCode(int code) {
  return static_cast<AttributeType>(code);
}

// "string", "color", "number", "file", "boolean", "date", "unsigned", "action", "set",
// "url", "rectangle"; "unknown" for a code outside the table.
std::string_view AttributeTypeName(AttributeType type);

// The reverse of AttributeTypeName for the eleven names above. Returns false and leaves
// *type unchanged for any other text.
bool AttributeTypeFromName(std::string_view name, AttributeType* type);

}  // namespace fernweave

#endif  // FERNWEAVE_MODEL_ATTRIBUTE_TYPE_H_
