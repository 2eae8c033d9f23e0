// Link types: the document's table that gives each link type name its label, colour,
// drawing style and visibility. Links refer to their type by name only; a name that
// is not in the table is drawn black, visible, labelled with its own name.

#ifndef FERNWEAVE_MODEL_LINK_TYPE_H_
#define FERNWEAVE_MODEL_LINK_TYPE_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model/color.h"

namespace fernweave {

class XMLItem;

// The name of the type of links without a name; it never shows its label.
inline constexpr char kUntitledLinkType[] = "*untitled";
// The name of the type that ties a prototype (source) to its notes (destination).
inline constexpr char kPrototypeLinkType[] = "prototype";

// How a link is drawn: a bit mask. 0 means "use the type's style".
class LinkStyle {
 public:
  static constexpr uint32_t kDotted = 8;
  static constexpr uint32_t kDashed = 16;
  static constexpr uint32_t kVariant = 32;  // a drawing variant without a setter
  static constexpr uint32_t kLinear = 64;
  static constexpr uint32_t kBold = 128;

  LinkStyle() = default;
  // Older files store small codes: 1 → linear, 2 → the variant, 3 → bold linear,
  // 4 → bold variant. Any other number is a mask already.
  explicit LinkStyle(uint32_t n);

  void Set(bool on, uint32_t mask) { mask_ = on ? (mask_ | mask) : (mask_ & ~mask); }
  void SetBold(bool on) { Set(on, kBold); }
  void SetDotted(bool on) { Set(on, kDotted); }
  void SetLinear(bool on) { Set(on, kLinear); }
  void SetDashed(bool on) { Set(on, kDashed); }
  bool Has(uint32_t mask) const { return (mask_ & mask) != 0; }
  uint32_t AsInt() const { return mask_; }
  friend bool operator==(const LinkStyle&, const LinkStyle&) = default;

 private:
  uint32_t mask_ = 0;
};

struct LinkType {
  std::string name;
  std::string label;
  PColor color;
  std::string color_string = "black";
  bool visible = true;
  bool show_label = true;
  LinkStyle style;
  bool required = false;

  // A type named `name` with the defaults of a type made on demand.
  static LinkType Named(std::string_view name);
  // Reads a `linkType` element: "name", "label", "color", "colorString", "visible",
  // "showLabel", "style", "required". A missing label is the name; a missing colour
  // string is the colour's file form; a missing "visible" or "showLabel" is true.
  // The untitled type never shows its label.
  static LinkType FromXML(const XMLItem& item);
};

// The ordered table of a document's link types.
class LinkTypes {
 public:
  // The type named `name`, or null. With create set, a missing type is added with the
  // defaults of `LinkType::Named` and returned. Owned by the table.
  LinkType* Get(std::string_view name, bool create);
  const LinkType* Get(std::string_view name) const;
  bool Has(std::string_view name) const { return Get(name) != nullptr; }
  // The label of the named type; the name itself when the type is missing.
  std::string GetLabel(std::string_view name) const;
  // The first type with that label; with create set, a missing one is made with the
  // label as its name.
  LinkType* GetForLabel(std::string_view label, bool create);
  // Adds the type, or replaces the one of the same name in place. Returns it.
  LinkType* Add(const LinkType& type);
  void Delete(std::string_view name);
  // Forgets every type except the untitled one, which is always present.
  void Reset();
  // Adds (or replaces) every `linkType` child of `parent`.
  void Read(const XMLItem& parent);
  // The labels in table order, for a menu of types; the untitled type is left out.
  std::vector<std::string> MenuLabels() const;

  size_t size() const { return types_.size(); }
  const LinkType& at(size_t i) const { return *types_[i]; }

  LinkTypes() { Reset(); }

 private:
  std::vector<std::unique_ptr<LinkType>> types_;
};

}  // namespace fernweave

#endif  // FERNWEAVE_MODEL_LINK_TYPE_H_
