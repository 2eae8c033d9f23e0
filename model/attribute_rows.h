// Rows of a built-in attribute table: how each built-in attribute is declared when a
// document fills its registry. The application's documents declare the full table
// (model/orvex_properties.cc); generic documents declare a small subset
// (model/hypertext_properties.cc). Both go through DeclareRows so that a name
// declared in both places gets the same class, type, default and flags.

#ifndef FERNWEAVE_MODEL_ATTRIBUTE_ROWS_H_
#define FERNWEAVE_MODEL_ATTRIBUTE_ROWS_H_

#include <cstdint>
#include <span>

#include "model/attribute_type.h"
#include "model/change.h"
#include "model/special_attributes.h"

namespace fernweave {

class Props;

namespace builtin {

// The attribute class a row builds.
enum class Kind {
  kBasic,
  kPreference,
  kName,
  kText,
  kPath,
  kParent,
  kPrototype,
  kAlias,
  kDisplayName,
  kCached,
  kVantlemoorColor,
};

// Flags of a row. Without any flag an attribute is editable, shown in the inspector
// and inheritable, and takes the row's default text.
inline constexpr int kReadOnly = 1;   // not editable by the user
inline constexpr int kNoEditor = 2;   // not shown in the inspector
inline constexpr int kNoInherit = 4;  // not inherited (and not forwarded from an alias)
inline constexpr int kNoDefault = 8;  // keep the default of the type

inline constexpr uint32_t kRedraw = facet::kRedraw;
inline constexpr uint32_t kDisplay = facet::kDisplay;

struct AttributeRow {
  const char* name;
  const char* category;
  AttributeType type;
  const char* default_text;  // typed parse by the row's type, unless kNoDefault
  int flags;
  uint32_t facets;
  Kind kind;
  int preference;                    // kPreference: the document preference index
  CachedAttribute::Measure measure;  // kCached: what is computed
};

// Row makers, so that a table reads like a list of declarations.
constexpr AttributeRow Basic(const char* name, const char* category, AttributeType type,
                             const char* default_text, int flags = 0, uint32_t facets = 0) {
  return {name,         category, type,
          default_text, flags,    facets,
          Kind::kBasic, 0,        CachedAttribute::Measure::kWordCount};
}
// An attribute that keeps the default of its type.
constexpr AttributeRow Plain(const char* name, const char* category, AttributeType type,
                             int flags = 0, uint32_t facets = 0) {
  return Basic(name, category, type, "", flags | kNoDefault, facets);
}
// An attribute whose default is the document preference at index.
constexpr AttributeRow Preference(const char* name, const char* category, AttributeType type,
                                  int index, int flags = 0, uint32_t facets = 0) {
  return {name,
          category,
          type,
          "",
          flags | kNoDefault,
          facets,
          Kind::kPreference,
          index,
          CachedAttribute::Measure::kWordCount};
}
// One of the special classes of model/special_attributes.h other than computed numbers.
constexpr AttributeRow Special(const char* name, const char* category, Kind kind,
                               AttributeType type, const char* default_text, int flags = 0,
                               uint32_t facets = 0) {
  return {name,         category, type,
          default_text, flags,    facets,
          kind,         0,        CachedAttribute::Measure::kWordCount};
}
// A number computed from the note at each read (never editable).
constexpr AttributeRow Computed(const char* name, const char* category,
                                CachedAttribute::Measure measure, int flags = 0) {
  return {
      name, category, AttributeType::kNumber, "", flags | kReadOnly | kNoDefault, 0, Kind::kCached,
      0,    measure};
}

// The full built-in table of the application's documents, in creation order
// (defined in model/orvex_properties.cc).
std::span<const AttributeRow> FullTable();
// The categories under "System" of the full table, in creation order.
std::span<const char* const> FullCategories();

// Declares each row under its category, in order. The categories must exist. A row
// whose name is already declared in another category is skipped (names are unique).
void DeclareRows(Props& props, std::span<const AttributeRow> rows);

}  // namespace builtin
}  // namespace fernweave

#endif  // FERNWEAVE_MODEL_ATTRIBUTE_ROWS_H_
