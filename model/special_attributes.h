// Attribute classes whose values are not simply stored on notes: they read through
// the original, compute from the note, or come from the document preferences. Each
// replaces the lookup rule of model/attribute.h as its comment says.

#ifndef FERNWEAVE_MODEL_SPECIAL_ATTRIBUTES_H_
#define FERNWEAVE_MODEL_SPECIAL_ATTRIBUTES_H_

#include <cstdint>
#include <string_view>

#include "model/attribute.h"

namespace fernweave {

// The note's name: reading and writing act on the original, so aliases share it.
class NameAttribute : public BasicAttribute {
 public:
  NameAttribute(std::string_view name, bool editable)
      : BasicAttribute(name, AttributeType::kString, editable) {}
  const Value* ImmediateValue(const Node* node) const override;
  void Set(Node* node, ValuePtr value) const override;
  void Remove(Node* node) const override;
  std::string_view GetKind() const override { return "name"; }
};

// The note's plain text; writing replaces the text.
class TextAttribute : public BasicAttribute {
 public:
  TextAttribute(std::string_view name, bool editable)
      : BasicAttribute(name, AttributeType::kString, editable) {}
  const Value* ImmediateValue(const Node* node) const override;
  void Set(Node* node, ValuePtr value) const override;
  void Remove(Node* node) const override;
  std::string_view GetKind() const override { return "text"; }

 private:
  bool ComputesValues() const override { return true; }
  mutable ValuePtr cache_;
};

// "/" and the names from the top-level ancestor down to the note, joined by "/".
// Writing is ignored.
class PathAttribute : public BasicAttribute {
 public:
  PathAttribute(std::string_view name, bool editable)
      : BasicAttribute(name, AttributeType::kString, editable) {}
  const Value* ImmediateValue(const Node* node) const override;
  void Set(Node*, ValuePtr) const override {}
  void Remove(Node*) const override {}
  bool IsReadOnly() const override { return true; }
  std::string_view GetKind() const override { return "path"; }

 private:
  bool ComputesValues() const override { return true; }
  mutable ValuePtr cache_;
};

// The path name of the note's father ("/A/", "/" for a top-level note), empty for the
// root. Writing a slash path moves the note to the end of the children of the note at
// that path (the root for an empty text). Nothing happens when no note lies at the
// path yet (creating missing notes along it comes with path resolution), when that
// note is already the father, lies inside the moved note, or it or an ancestor cannot
// receive children. REQUIRES for Set: node and value are not null ("asrt").
class ParentAttribute : public BasicAttribute {
 public:
  ParentAttribute(std::string_view name, bool editable)
      : BasicAttribute(name, AttributeType::kString, editable) {}
  const Value* ImmediateValue(const Node* node) const override;
  void Set(Node* node, ValuePtr value) const override;
  void Remove(Node*) const override {}
  std::string_view GetKind() const override { return "parent"; }

 private:
  bool ComputesValues() const override { return true; }
  mutable ValuePtr cache_;
};

// The name of the original's prototype, or empty. Writing a name assigns that note's
// original as prototype; empty text clears it (assigning needs the prototype relation
// of the link registry: until it is installed, see `PrototypeAssigner`).
// REQUIRES for Set: node and value are not null ("asrt").
class PrototypeAttribute : public BasicAttribute {
 public:
  PrototypeAttribute(std::string_view name, bool editable)
      : BasicAttribute(name, AttributeType::kString, editable) {}
  const Value* ImmediateValue(const Node* node) const override;
  void Set(Node* node, ValuePtr value) const override;
  void Remove(Node* node) const override;
  std::string_view GetKind() const override { return "prototype"; }

 private:
  bool ComputesValues() const override { return true; }
  mutable ValuePtr cache_;
};

// Assigns prototypes for `PrototypeAttribute`; the layer that owns the prototype links
// installs one. Without one, assigning sets the note's prototype cache directly.
class PrototypeAssigner {
 public:
  virtual ~PrototypeAssigner() = default;
  // Makes p (null: none) the prototype of note.
  virtual void SetPrototype(Node* note, Node* p) = 0;
  static void Install(PrototypeAssigner* assigner);
  static PrototypeAssigner* Installed();
};

// Boolean: the note is an alias. Writing is ignored.
class AliasAttribute : public BasicAttribute {
 public:
  AliasAttribute(std::string_view name, bool editable)
      : BasicAttribute(name, AttributeType::kBoolean, editable) {}
  const Value* ImmediateValue(const Node* node) const override;
  void Set(Node*, ValuePtr) const override {}
  void Remove(Node*) const override {}
  bool IsReadOnly() const override { return true; }
  std::string_view GetKind() const override { return "alias"; }
};

// Its default is the document preference at its index, read at each call (the
// declared default when the preference is not set).
class PreferenceAttribute : public BasicAttribute {
 public:
  PreferenceAttribute(std::string_view name, AttributeType type, bool editable, int index)
      : BasicAttribute(name, type, editable), index_(index) {}
  const Value* GetDefaultValue(const Node* node) const override;
  bool IsPreferenceAttribute() const override { return true; }
  std::string_view GetKind() const override { return "preference"; }
  int PreferenceIndex() const { return index_; }

 private:
  int index_;
};

// A colour attribute of the sibling file format; stored like any colour.
class VantlemoorColorAttribute : public BasicAttribute {
 public:
  VantlemoorColorAttribute(std::string_view name, bool editable)
      : BasicAttribute(name, AttributeType::kColor, editable) {}
  std::string_view GetKind() const override { return "vantlemoorColor"; }
};

// The note's DisplayName().
class DisplayNameAttribute : public ReadOnlyAttribute {
 public:
  explicit DisplayNameAttribute(std::string_view name)
      : ReadOnlyAttribute(name, AttributeType::kString) {}
  const Value* ImmediateValue(const Node* node) const override;
  std::string_view GetKind() const override { return "displayName"; }

 private:
  bool ComputesValues() const override { return true; }
  mutable ValuePtr cache_;
};

// A number computed from the note at each read.
class CachedAttribute : public ReadOnlyAttribute {
 public:
  enum class Measure {
    kWordCount,
    kChildCount,
    kDescendantCount,
    kTextLength,
    kOutlineOrder,
    kSiblingOrder,
    kOutlineDepth,
    kInboundLinks,  // link counts stay 0 until the note links exist
    kOutboundLinks,
    kWebLinks,
  };
  CachedAttribute(std::string_view name, Measure measure)
      : ReadOnlyAttribute(name, AttributeType::kNumber), measure_(measure) {}
  const Value* ImmediateValue(const Node* node) const override;
  std::string_view GetKind() const override { return "cached"; }
  // The number for the note.
  int64_t DoGetValue(const Node* node) const;
  Measure GetMeasure() const { return measure_; }

 private:
  Measure measure_;
  bool ComputesValues() const override { return true; }
  mutable ValuePtr cache_;
};

// The computed attributes by name of their measure.
template <CachedAttribute::Measure M>
class CachedMeasureAttribute : public CachedAttribute {
 public:
  explicit CachedMeasureAttribute(std::string_view name) : CachedAttribute(name, M) {}
};
using WordCountAttribute = CachedMeasureAttribute<CachedAttribute::Measure::kWordCount>;
using ChildCountAttribute = CachedMeasureAttribute<CachedAttribute::Measure::kChildCount>;
using DescendantCountAttribute = CachedMeasureAttribute<CachedAttribute::Measure::kDescendantCount>;
using TextLengthAttribute = CachedMeasureAttribute<CachedAttribute::Measure::kTextLength>;
using OutlineOrderAttribute = CachedMeasureAttribute<CachedAttribute::Measure::kOutlineOrder>;
using SiblingOrderAttribute = CachedMeasureAttribute<CachedAttribute::Measure::kSiblingOrder>;
using OutlineDepthAttribute = CachedMeasureAttribute<CachedAttribute::Measure::kOutlineDepth>;
using InboundLinksAttribute = CachedMeasureAttribute<CachedAttribute::Measure::kInboundLinks>;
using OutboundLinksAttribute = CachedMeasureAttribute<CachedAttribute::Measure::kOutboundLinks>;
using WebLinksAttribute = CachedMeasureAttribute<CachedAttribute::Measure::kWebLinks>;

}  // namespace fernweave

#endif  // FERNWEAVE_MODEL_SPECIAL_ATTRIBUTES_H_
