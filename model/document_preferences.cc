#include "model/document_preferences.h"

namespace fernweave {

const Value* DocumentPreferences::Get(int index) const {
  auto it = by_index_.find(index);
  return it == by_index_.end() ? nullptr : it->second.get();
}

void DocumentPreferences::Set(int index, ValuePtr value) {
  if (value == nullptr) {
    by_index_.erase(index);
  } else {
    by_index_[index] = std::move(value);
  }
}

const Value* DocumentPreferences::Get(std::string_view key) const {
  auto it = by_key_.find(key);
  return it == by_key_.end() ? nullptr : it->second.get();
}

void DocumentPreferences::Set(std::string_view key, ValuePtr value) {
  if (value == nullptr) {
    auto it = by_key_.find(key);
    if (it != by_key_.end()) {
      by_key_.erase(it);
    }
  } else {
    by_key_[std::string(key)] = std::move(value);
  }
}

std::string DocumentPreferences::CreatorName() const {
  const Value* v = Get(kCreator);
  return v == nullptr ? std::string() : v->AsString();
}

}  // namespace fernweave
