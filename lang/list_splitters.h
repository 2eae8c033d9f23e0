// Splitting of list texts: function arguments (`ArgList`, on ","), statement lists
// (`ActionList`, on ";", where brace groups hold together too) and the members of a set
// value (`SetList`, on ";"). Parenthesised groups and double-quoted strings are never
// split; a single-quoted string at the very start of an item loses its quotes; a
// backslash before a double quote, a parenthesis or the separator (for statement lists
// also a brace) yields that character alone. Items are trimmed; empty items are dropped
// unless the list keeps them.

#ifndef FERNWEAVE_LANG_LIST_SPLITTERS_H_
#define FERNWEAVE_LANG_LIST_SPLITTERS_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace fernweave {

class ArgList {
 public:
  ArgList() = default;
  ArgList(std::string_view text, char separator = ',', bool keep_empty = false);
  virtual ~ArgList() = default;

  // The item at i, or "" past the end.
  const std::string& at(size_t i) const;
  size_t size() const { return items_.size(); }
  bool empty() const { return items_.empty(); }
  bool Has(std::string_view s) const { return Find(s) >= 0; }
  // The index of the first item equal to s, or -1.
  long Find(std::string_view s) const;
  const std::vector<std::string>& items() const { return items_; }

 protected:
  // Splits `text`; `braces` makes brace groups hold together.
  void Split(std::string_view text, bool braces);

  std::vector<std::string> items_;
  char separator_ = ',';
  bool keep_empty_ = false;
};

class ActionList : public ArgList {
 public:
  ActionList(std::string_view text, char separator = ';', bool keep_empty = false);
};

// A set value: distinct members in insertion order.
class SetList : public ArgList {
 public:
  explicit SetList(std::string_view text, char separator = ';');

  // Adds `s` unless it is empty or present; Remove drops it; Toggle does whichever
  // applies.
  void Add(const std::string& s);
  void Remove(std::string_view s);
  void Toggle(const std::string& s);
  // The members joined by the separator.
  std::string ToString() const;
  // Applies an edit text: "+a;b" adds, "-a" removes, "~a" toggles the members listed;
  // any other text replaces the whole set. Returns the new text.
  static std::string Edit(std::string_view current, std::string_view edit);
};

}  // namespace fernweave

#endif  // FERNWEAVE_LANG_LIST_SPLITTERS_H_
