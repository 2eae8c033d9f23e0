// The attribute registry of one document. Attribute definitions form a tree under the
// root "anything": the invalid "NoSuchAttribute" (what every unknown name resolves
// to), and the categories "System" (the built-in categories) and "User" (every
// user-defined attribute). The registry owns every definition in its tree; a name
// map gives lookup by name.
//
// Invariants: names are unique; a category (an attribute with children) never holds
// values; the children of every category stay sorted by name, byte-wise.

#ifndef FERNWEAVE_MODEL_PROPS_H_
#define FERNWEAVE_MODEL_PROPS_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "model/attribute.h"

namespace fernweave {

class Node;

inline constexpr char kRootAttributeName[] = "anything";
inline constexpr char kNoSuchAttributeName[] = "NoSuchAttribute";
inline constexpr char kSystemCategory[] = "System";
inline constexpr char kUserCategory[] = "User";

class Props {
 public:
  Props();
  ~Props();
  Props(const Props&) = delete;
  Props& operator=(const Props&) = delete;

  Attribute* Root() const { return root_; }
  Attribute* NoSuchAttribute() const { return no_such_; }

  // The registered attribute, else the "NoSuchAttribute" object. Never null.
  Attribute* GetAttribute(std::string_view name) const;
  // The registered attribute, or null.
  Attribute* Find(std::string_view name) const;
  // True for a non-null, valid attribute that descends from the root.
  bool Has(const Attribute* attribute) const;

  // A new string attribute under the root, not editable.
  Attribute* CreateBasicAttribute(std::string_view name);
  // Under the category parent_name (null when that is unknown). An attribute of that
  // name already under the category (at any depth) is returned as it is; one elsewhere
  // makes the call return null and change nothing. The name is normalised first.
  Attribute* CreateBasicAttribute(std::string_view name, std::string_view parent_name,
                                  bool editable, AttributeType type);
  // Registers any attribute built by the caller under parent_name, with the same
  // rules. Returns the attribute now registered under that name, or null.
  Attribute* CreateAttribute(std::unique_ptr<Attribute> attribute, std::string_view parent_name);
  // A category under parent_name (or the root when parent_name is empty).
  Attribute* CreateCategory(std::string_view name, std::string_view parent_name);

  // Registers an attribute already linked into the tree and re-sorts its category.
  // REQUIRES: attribute is not null ("asrt").
  void AddAttribute(Attribute* attribute);
  // Drops the name from the map and destroys the attribute (and anything under it).
  // REQUIRES: attribute is not null ("asrt"); it must not be the root or
  // "NoSuchAttribute". Notes must no longer store values for it.
  void RemoveAttribute(Attribute* attribute);
  // Takes an attribute out of the name map and the tree without destroying it, so the
  // values notes still store for it stay valid; the registry keeps owning it until it
  // is cleared. Nothing for null, the root or "NoSuchAttribute".
  void Unregister(Attribute* attribute);
  // Puts an unregistered attribute back under `parent`. False (and nothing changes)
  // when its name is now taken or parent is not registered.
  bool RegisterAgain(Attribute* attribute, Attribute* parent);
  // Sets the default of the named attribute from text; nothing for unknown names.
  void SetDefault(std::string_view name, std::string_view text);
  // Destroys every attribute and recreates the root and "NoSuchAttribute".
  void Clear();
  // Runs every attribute's NewlyCreated. REQUIRES: node is not null ("asrt").
  void NewlyCreated(Node* node);

  // Every registered attribute, in tree order (categories included).
  std::vector<Attribute*> All() const;
  size_t size() const { return by_name_.size(); }
  // Changes whenever a name starts or stops leading to an attribute, and is never the
  // same for two registries of the process: a lookup by name remembered with the stamp
  // holds while the stamp does.
  uint64_t Stamp() const { return stamp_; }

 private:
  struct NameHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
  };
  void Reset();
  // Takes ownership of an attribute linked under parent.
  Attribute* Adopt(std::unique_ptr<Attribute> attribute, Attribute* parent);

  std::unordered_map<std::string, Attribute*, NameHash, std::equal_to<>> by_name_;
  std::vector<std::unique_ptr<Attribute>> owned_;
  Attribute* root_ = nullptr;
  Attribute* no_such_ = nullptr;
  uint64_t stamp_ = 0;
};

// A stamp no registry has had yet (see Props::Stamp).
uint64_t NewPropsStamp();

}  // namespace fernweave

#endif  // FERNWEAVE_MODEL_PROPS_H_
