// One element of a parsed XML file, and its attributes. `XMLReader` builds a tree of
// items; the reader's client walks it with the accessors below. An item owns its
// children; a tree of any depth is destroyed without recursion.

#ifndef FERNWEAVE_FOUNDATION_XML_ITEM_H_
#define FERNWEAVE_FOUNDATION_XML_ITEM_H_

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "foundation/geometry.h"
#include "foundation/unicoder.h"

namespace fernweave {

// Attribute name → value, both UTF-8 exactly as the parser delivered them, kept sorted
// by name in byte order. A name occurs once; a later Add of the same name replaces the
// value.
class XMLAttributes {
 public:
  using Entry = std::pair<std::string, std::string>;
  using const_iterator = std::vector<Entry>::const_iterator;

  virtual ~XMLAttributes() = default;

  // Adds names[i] = values[i] for each pair. REQUIRES: the lists are equally long.
  virtual void Add(const std::vector<std::string>& names, const std::vector<std::string>& values);
  virtual void Add(const std::string& name, const std::string& value);
  // The value, or the empty string when absent.
  virtual const std::string& Get(std::string_view name) const;
  virtual bool Has(std::string_view name) const;
  const_iterator begin() const { return entries_.begin(); }
  const_iterator end() const { return entries_.end(); }
  // The names in order.
  virtual std::vector<std::string> GetAttributeList() const;

  size_t size() const { return entries_.size(); }
  void Reserve(size_t count) { entries_.reserve(count); }
  // Forgets every attribute and releases their memory.
  void Clear() { std::vector<Entry>().swap(entries_); }
  // Empties the list but keeps its room.
  void ClearKeepingRoom() { entries_.clear(); }
  // Adds one attribute as the parser hands it, without building strings first.
  void AddParsed(std::string_view name, std::string_view value);

 private:
  // The entry of that name, or end().
  const_iterator Find(std::string_view name) const;

  // Sorted by name; a handful of attributes per element make a vector faster than a map.
  std::vector<Entry> entries_;
};

class XMLItem {
 public:
  // An item without parent; AddChild places it in a tree.
  XMLItem(std::string kind, std::string name_space);
  // Deletes the children and all their descendants, iteratively.
  virtual ~XMLItem();

  XMLItem(const XMLItem&) = delete;
  XMLItem& operator=(const XMLItem&) = delete;

  // Navigation. Each returns null when there is no such item; the items stay owned by
  // their parents.
  virtual XMLItem* Parent() const { return parent_; }
  virtual bool IsRoot() const { return parent_ == nullptr; }
  virtual XMLItem* Son() const { return first_child_; }
  virtual XMLItem* Brother() const { return brother_; }
  virtual XMLItem* ElderBrother() const { return elder_brother_; }
  virtual XMLItem* LastChild() const { return last_child_; }
  // The first child of this kind.
  virtual XMLItem* First(std::string_view kind) const;
  // The next later sibling of this kind.
  virtual XMLItem* Next(std::string_view kind) const;
  // The number of items below this one, at any depth.
  virtual size_t Descendants() const;
  // The number of direct children.
  virtual size_t Children() const { return children_; }

  virtual bool Is(std::string_view kind) const { return kind_ == kind; }
  // The element's local name.
  virtual const std::string& Kind() const { return kind_; }
  virtual std::string& Kind() { return kind_; }
  // The element's namespace URI; empty when it has none.
  const std::string& Namespace() const { return namespace_; }

  // All character data directly inside the element (text between child elements
  // included), converted to Mac OS Roman. The conversion happens on the first call
  // after text was added, so a tree whose clients read only the unicode text never
  // pays for it; an item is therefore not read from two threads at once.
  virtual const std::string& Text() const;
  // The same character data exactly as received (UTF-8).
  virtual const std::string& UnicodeText() const { return unicode_text_; }
  // The text read as a whole number (leading white space skipped); 0 when unreadable.
  virtual long TextAsInt() const;

  // Stores the name/value pairs of a null-terminated list, as the parser hands them.
  virtual void SetAttributes(const char** pairs);
  virtual void AddAttribute(const std::string& name, const std::string& value);
  // Appends raw UTF-8 to the unicode text (and so its Mac OS Roman form to the text).
  virtual void AddText(const char* chars, size_t length) { unicode_text_.append(chars, length); }
  virtual void AddText(const std::string& text) { AddText(text.data(), text.size()); }

  virtual bool Has(std::string_view name) const { return attributes_.Has(name); }
  // The attribute's value; empty when absent.
  virtual const std::string& Get(std::string_view name) const { return attributes_.Get(name); }
  // The value read as a decimal number; 0 when absent, unreadable or out of range.
  // A negative value is unreadable for GetUnsignedLong.
  virtual long GetLong(std::string_view name) const;
  virtual unsigned long GetUnsignedLong(std::string_view name) const;
  // The value read as a real number (always with a '.' point); 0 when absent or
  // unreadable.
  virtual double GetDouble(std::string_view name) const;
  // The colour of a "#rrggbb" or "#rgb" value; black when absent or unreadable.
  virtual RGBColor GetColor(std::string_view name) const;
  // "true" and "1" are true; "false", "0", absent and empty are false; any other value
  // is read as a whole number and is true when that is non-zero ("yes" reads as 0).
  virtual bool GetBoolean(std::string_view name) const;
  virtual void Set(const std::string& name, const std::string& value) { AddAttribute(name, value); }
  virtual const XMLAttributes& Attributes() const { return attributes_; }

  // Appends child as the last child and returns it (still owned by this item).
  // REQUIRES: child is not null.
  virtual XMLItem* AddChild(std::unique_ptr<XMLItem> child);
  // Deletes the last child and everything below it (iteratively); nothing when there
  // are no children. A reader that builds as it parses frees each finished element so.
  void DeleteLastChild() { DetachLastChild(); }
  // Unlinks the last child (with everything below it) and hands it to the caller; null
  // when there are no children.
  std::unique_ptr<XMLItem> DetachLastChild();
  // Makes a detached item (no parent, no children) a new, empty element of the given
  // kind, keeping the room its attributes and text had, so that a reader can use one
  // item for many elements in turn.
  void Reuse(std::string_view kind, std::string_view name_space);

  // Releases the spare capacity the text gathered while it arrived in pieces; the
  // reader calls it when the element ends.
  void Compact() { unicode_text_.shrink_to_fit(); }

  // The converter Text uses: UTF-8 to Mac OS Roman.
  static Unicoder& inputConverter();

 private:
  // Brings the 8-bit text up to date with the unicode text.
  void SyncText() const;
  // Moves the children into `out` and forgets them; the caller then owns them.
  void TakeChildren(std::vector<XMLItem*>* out);

  XMLItem* parent_ = nullptr;
  XMLItem* brother_ = nullptr;
  XMLItem* elder_brother_ = nullptr;
  // The children form a list through brother_/elder_brother_, owned by this item.
  XMLItem* first_child_ = nullptr;
  XMLItem* last_child_ = nullptr;
  size_t children_ = 0;

  XMLAttributes attributes_;
  std::string kind_;
  std::string namespace_;
  std::string unicode_text_;
  // While the unicode text is all ASCII its 8-bit form is the same bytes and text_
  // stays empty; `converted_` counts the unicode bytes the 8-bit text reflects.
  // Mutable so that Text() can catch up with text added since its last call.
  mutable std::string text_;
  mutable size_t converted_ = 0;
  mutable bool text_is_unicode_ = true;
};

}  // namespace fernweave

#endif  // FERNWEAVE_FOUNDATION_XML_ITEM_H_
