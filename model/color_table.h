// A document's named colours: the table that turns a colour name a user or a default
// writes ("cool gray", "muted red") into channels. Names are matched ignoring ASCII
// case and surrounding blanks; the table keeps the order in which names were first
// added, which is the order the document file writes them in.
//
// The application's documents fill it from the configuration folder's "colors.xml"
// when they are made, and the file reader adds the colours a document stores.

#ifndef FERNWEAVE_MODEL_COLOR_TABLE_H_
#define FERNWEAVE_MODEL_COLOR_TABLE_H_

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "model/color.h"

namespace fernweave {

class XMLItem;

class ColorTable {
 public:
  struct Entry {
    std::string name;
    PColor color;
  };

  // Adds a name, or gives a known name a new colour (keeping its place and first
  // spelling). An empty or blank name is ignored.
  void Add(std::string_view name, const PColor& color);
  // The colour of the name, or null when the table does not hold it. The pointer is
  // valid until the table next changes.
  const PColor* Find(std::string_view name) const;
  // The channels a colour text stands for: one of the colour forms of PColor, else a
  // name of the table. Returns false and leaves *color unchanged for any other text.
  bool Resolve(std::string_view text, PColor* color) const;

  // Reads each `color` child of the element (attributes `name` and `color`, the colour
  // in one of the colour forms). A child without a name or with a colour that is not
  // a colour form is skipped. Returns how many colours were added or replaced.
  size_t ReadXML(const XMLItem& colors);
  // Reads a file whose root element holds `color` children (see ReadXML). Returns
  // false, changing nothing, when the file cannot be read or is not well-formed XML.
  bool ReadFile(const std::filesystem::path& file);

  const std::vector<Entry>& Entries() const { return entries_; }
  size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  void Clear() { entries_.clear(); }

 private:
  // The index of the entry with that name, or entries_.size().
  size_t IndexOf(std::string_view name) const;

  std::vector<Entry> entries_;
};

}  // namespace fernweave

#endif  // FERNWEAVE_MODEL_COLOR_TABLE_H_
