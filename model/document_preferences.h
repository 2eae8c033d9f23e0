// The per-document preferences: numbered entries (read by preference attributes as
// their defaults, such as the document's `Creator` at index 1) and named entries that
// other parts of the system add. The document owns one; it stores its values itself.

#ifndef FERNWEAVE_MODEL_DOCUMENT_PREFERENCES_H_
#define FERNWEAVE_MODEL_DOCUMENT_PREFERENCES_H_

#include <map>
#include <string>
#include <string_view>

#include "model/value.h"

namespace fernweave {

class DocumentPreferences {
 public:
  // Index of the document's creator name, mirrored into new notes' ids.
  static constexpr int kCreator = 1;

  DocumentPreferences() = default;
  DocumentPreferences(const DocumentPreferences&) = delete;
  DocumentPreferences& operator=(const DocumentPreferences&) = delete;

  // The value at index, or null when none is set. Owned by the preferences.
  const Value* Get(int index) const;
  // Stores (owned) the value at index; a null value clears the entry.
  void Set(int index, ValuePtr value);
  bool Has(int index) const { return Get(index) != nullptr; }

  // The same for named entries.
  const Value* Get(std::string_view key) const;
  void Set(std::string_view key, ValuePtr value);

  // The text of the creator preference, or "" when none is set.
  std::string CreatorName() const;

  // Every entry, for the file writer: by index in index order, by key in key order.
  const std::map<int, ValuePtr>& IndexedEntries() const { return by_index_; }
  const std::map<std::string, ValuePtr, std::less<>>& KeyedEntries() const { return by_key_; }

 private:
  std::map<int, ValuePtr> by_index_;
  std::map<std::string, ValuePtr, std::less<>> by_key_;
};

}  // namespace fernweave

#endif  // FERNWEAVE_MODEL_DOCUMENT_PREFERENCES_H_
