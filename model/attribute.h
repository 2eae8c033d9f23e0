// Attribute definitions. An `Attribute` names one kind of value a note may carry: its
// type, its default and its flags. Definitions form a tree (categories are attributes
// with children) owned by the document's registry (`Props`, model/props.h).
//
// The effective value of an attribute on a note (`Node::Get`, `Attribute::ValueFor`)
// is found in this order, and nowhere else:
//   1. `ImmediateValue(node)`, which asks the note's `DoGet`:
//      a. the value the note stores itself;
//      b. else, when the attribute is valid and can be inherited, the value stored by
//         the first note of the prototype chain (the note's prototype, its prototype,
//         and so on) that stores one. The walk stops at a note without prototype, at
//         the note being asked and at any prototype already visited, so a chain that
//         loops back still ends.
//      An alias first looks at its own stored value and then asks its original (its
//      own prototype is never consulted); `Created` and `Modified` come from the
//      original only.
//   2. Else the attribute's default for the note (`GetDefaultValue`): the declared
//      default, or for a preference attribute the document preference read at each
//      call.
// The special classes of model/special_attributes.h replace this rule by their own
// (the name reads through the original, the text is the note's text, counts are
// recomputed on every read).
//
// A value returned by a lookup belongs to the note or the attribute; do not keep it
// beyond the next change of that attribute on that note.

#ifndef FERNWEAVE_MODEL_ATTRIBUTE_H_
#define FERNWEAVE_MODEL_ATTRIBUTE_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "model/attribute_type.h"
#include "model/tree.h"
#include "model/value.h"

namespace fernweave {

class Hypertext;
class Node;

class Attribute : public TTree<Attribute*> {
 public:
  // The name is normalised as SetName does.
  Attribute(std::string_view name, AttributeType type, bool editable = true);
  virtual ~Attribute();

  // The effective value (see the top of this file). Never null.
  virtual const Value* ValueFor(const Node* node) const;
  // Step 1 of the lookup: the note's own or inherited value, or null.
  virtual const Value* ImmediateValue(const Node* node) const;
  // Stores value on the note (the base class stores nothing).
  virtual void Set(Node* node, ValuePtr value) const;
  // Resets the note to the default: its original drops its stored value.
  virtual void Remove(Node* node) const;
  // True when ValueFor computes its result afresh at each read (the result is
  // replaced by the next read, even of another note).
  virtual bool ComputesValues() const { return false; }
  // An attribute with children, or one declared as a category (while still empty), is
  // a category; it never holds values.
  virtual bool IsAttributeCategory() const { return category_ || Son() != nullptr; }
  void BeCategory() { category_ = true; }

  // Replaces the default (the old one is destroyed). A null value is ignored.
  virtual void SetDefault(ValuePtr value);
  // Typed parse of text by this attribute's type, then SetDefault.
  virtual void SetDefault(std::string_view text);
  virtual void SetDefaultBoolean(bool b);
  // The default as it applies to the note (the preference for preference
  // attributes). `node` may be null. Never null.
  virtual const Value* GetDefaultValue(const Node* node) const;
  // The declared default. Never null.
  virtual const Value* GetTheDefaultValue() const;
  std::string GetDefaultValueAsString(const Node* node) const;
  std::string GetDefaultValueAsString() const;
  std::string GetDefaultValueAsXML(const Hypertext* hypertext) const;

  // Called for every attribute when a note is made: numbers the note for a sequential
  // attribute; stamps a date default other than never into a note without a value.
  // REQUIRES: node is not null ("asrt").
  virtual void NewlyCreated(Node* node);

  void SetEditable(bool editable) { editable_ = editable; }
  bool IsEditable() const { return editable_; }
  // True when users may not write or reset the attribute: a built-in attribute that is
  // not editable (`Created`, `Alias`, ...) and every computed one. `Node::Set` and
  // `Node::Remove` ignore such an attribute; the system keeps its values itself through
  // `Node::SetBySystem`. A user attribute stays writable whatever its flag says (the
  // flag only keeps the inspector from editing it).
  virtual bool IsReadOnly() const;
  bool IsHidden() const { return hidden_; }
  void Hide(bool hidden) { hidden_ = hidden; }
  virtual bool IsValid() const { return true; }
  virtual bool IsPreferenceAttribute() const { return false; }
  // True when the attribute lies under the "User" category.
  bool IsUserAttribute() const;
  // The class of attribute as the file writer and inspector name it.
  virtual std::string_view GetKind() const { return "attribute"; }
  bool VisibleInEditor() const { return visible_in_editor_; }
  void VisibleInEditor(bool visible) { visible_in_editor_ = visible; }

  const std::string& Name() const { return name_; }
  // Keeps each non-blank letter or digit, replaces any other non-blank character by
  // "_" and drops blanks: "Due date" becomes "Duedate", "a-b" becomes "a_b".
  // REQUIRES: the attribute is not registered (the registry is keyed by name).
  void SetName(std::string_view text);
  static std::string NormalizeName(std::string_view text);
  // True for any non-empty text.
  static bool IsValidAttributeName(std::string_view text) { return !text.empty(); }

  void SetType(AttributeType type) { type_ = type; }
  AttributeType GetType() const { return type_; }
  bool IsString() const { return type_ == AttributeType::kString; }
  bool IsSet() const { return type_ == AttributeType::kSet; }
  void BeSequential(bool sequential) { sequential_ = sequential; }
  bool IsSequential() const { return sequential_; }
  uint32_t GetChangeFacets() const { return change_facets_; }
  void Changes(uint32_t facets) { change_facets_ = facets; }
  bool CanInherit() const { return can_inherit_; }
  void CanInherit(bool can_inherit) { can_inherit_ = can_inherit; }

  // Numbers every live note of the document in document order (for an attribute that
  // has just become sequential). Does nothing unless the attribute is sequential.
  void Initialize(Hypertext* hypertext);
  // For a sequential number attribute: unless the note is an alias or already holds a
  // value above the default d, sets the default to d + 1 and gives the note d + 1.
  void InitializeSequentialValue(Node* node);

 private:
  std::string name_;
  AttributeType type_;
  bool editable_;
  bool sequential_ = false;
  bool hidden_ = false;
  bool visible_in_editor_ = true;
  bool can_inherit_ = true;
  bool category_ = false;
  uint32_t change_facets_ = 0;
};

// An attribute with a default value of its own (the usual kind).
class BasicAttribute : public Attribute {
 public:
  // The default starts as the default of the type (see DefaultForType).
  BasicAttribute(std::string_view name, AttributeType type, bool editable);
  ~BasicAttribute() override;

  void Set(Node* node, ValuePtr value) const override;
  void SetDefault(ValuePtr value) override;
  const Value* GetTheDefaultValue() const override { return default_.get(); }
  const Value* GetDefaultValue(const Node* node) const override;
  std::string_view GetKind() const override { return "basic"; }

  // The default a declaration of the type starts with: the empty text for string and
  // most types, the integer 0 for numbers, false for booleans, never for dates.
  static ValuePtr DefaultForType(AttributeType type);

 private:
  ValuePtr default_;
};

// Writing and removing are ignored.
class ReadOnlyAttribute : public BasicAttribute {
 public:
  ReadOnlyAttribute(std::string_view name, AttributeType type)
      : BasicAttribute(name, type, false) {}
  void Set(Node* node, ValuePtr value) const override;
  void Remove(Node* node) const override;
  bool IsReadOnly() const override { return true; }
  std::string_view GetKind() const override { return "readonly"; }
};

// The object standing for an unknown attribute name ("NoSuchAttribute"): reads give
// its default (the empty text), writes and removes do nothing.
class NullAttribute : public ReadOnlyAttribute {
 public:
  explicit NullAttribute(std::string_view name) : ReadOnlyAttribute(name, AttributeType::kString) {}
  bool IsValid() const override { return false; }
  const Value* ImmediateValue(const Node* node) const override;
  std::string_view GetKind() const override { return "null"; }
};

}  // namespace fernweave

#endif  // FERNWEAVE_MODEL_ATTRIBUTE_H_
