// One note. A `Node` is an element of the document's note tree, carries its identity
// (`NodeID`), its own attribute values (`PropertyMap`) and its text (`Content`). The
// document (`Hypertext`) owns every note, live or deleted; a note only points back at
// it. Concrete notes are `CNode` and its subclasses (model/cnode.h,
// model/alias_node.h).
//
// Attribute access goes through the operations below; the lookup order of an
// effective value is documented once, in model/attribute.h.

#ifndef FERNWEAVE_MODEL_NODE_H_
#define FERNWEAVE_MODEL_NODE_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "model/color.h"
#include "model/linked.h"
#include "model/node_id.h"
#include "model/property_map.h"
#include "model/tree.h"
#include "model/value.h"

namespace fernweave {

class Attribute;
class ChangeHolder;
class Content;
class Hypertext;
class LAction;
class WordIndex;
struct WordIndexCache;

// A position on a container's map.
struct MapPoint {
  double x = 0;
  double y = 0;
  friend bool operator==(const MapPoint&, const MapPoint&) = default;
};

class Node : public TTree<Node*>, public Linked {
 public:
  Node* LinkedNode() override { return this; }
  Node(const Node&) = delete;
  Node& operator=(const Node&) = delete;
  virtual ~Node();

  // --- Kind -------------------------------------------------------------------
  // "item", "agent", "adornment" or "alias": the element the file writer uses.
  virtual std::string_view XMLKind() const { return "item"; }
  virtual bool IsAgent() const { return false; }
  virtual bool IsAdornment() const { return false; }
  virtual bool IsAlias() const { return false; }
  virtual bool IsAliasFor(const Node* n) const;
  // The note this one stands for: itself unless it is an alias. An alias whose
  // original was destroyed answers null.
  virtual Node* GetOriginal() { return this; }
  virtual const Node* GetOriginal() const { return this; }
  virtual bool CanBeAliased() const { return true; }
  // The original's id number for an alias, 0 otherwise.
  virtual uint32_t GetAliasID() const { return 0; }
  virtual bool CanReceiveChildren() const { return true; }

  // --- Identity and naming ----------------------------------------------------
  const NodeID& GetID() const { return id_; }
  // Replaces the identity, mirrors it into `ID` and `Creator` (on the note itself,
  // even for an alias) and re-indexes the note.
  virtual void SetID(const NodeID& id);
  void SetID(uint32_t id, const std::string& creator) { SetID(NodeID(id, creator)); }
  const std::string& Creator() const { return id_.creator(); }
  // The `Name` of the original.
  std::string Name() const;
  void SetName(std::string_view name);
  // The value of the note's `DisplayExpression` when it has one and the language is
  // installed (model/path_evaluator.h); the name otherwise.
  virtual std::string DisplayName() const;
  // "/" for the root, else "/" + the names from the top-level ancestor down to this
  // note, each followed by "/" ("/A/B/").
  std::string PathName() const;
  bool IsUntitled() const;
  // MakeNameForCopy("a") is "a copy", "a copy" gives "a copy 1", "a copy 4" gives
  // "a copy 5"; any other text after the last " copy" gets " copy" appended.
  static std::string MakeNameForCopy(std::string_view name);

  // For a note made empty (Hypertext::MakeEmptyNode) and filled from a file: gives it
  // what the file left out of a new note's defaults, `Created` and `Modified` of `now`
  // and position (0, 0), and a fresh identity when it has none.
  void CompleteFromFile(int64_t now);

  // --- Document and tree ------------------------------------------------------
  Hypertext* GetHypertext() const { return hypertext_; }
  void SetHypertext(Hypertext* hypertext) { hypertext_ = hypertext; }
  ChangeHolder* GetChangeHolder() const;
  // Forwards to the document's PostAction (model/action.h).
  bool PostAction(std::unique_ptr<LAction> action);
  // The document's FindNodeNamed.
  Node* FindNodeNamed(std::string_view name) const;
  bool IsSelected() const;
  void Select(bool selected);
  void ToggleSelection() { Select(!IsSelected()); }
  bool IsRootNote() const;
  // 1 + the number of elder siblings.
  size_t SiblingOrder() const { return CountElderSiblings() + 1; }
  // True when at least one child is not an adornment.
  bool IsContainer() const;
  bool IsSeparator() const;
  bool IsHidden() const { return hidden_; }
  bool CanEdit() const;
  bool CanBeDeleted() const { return CanEdit() && !IsRootNote(); }
  bool NeedsUpdate() const { return needs_update_; }
  void NeedsUpdate(bool needs) { needs_update_ = needs; }
  // The note's place in document order: 0 for the root, then 1, 2, ... through the
  // live tree in pre-order. Numbered for the whole document at once and renumbered on
  // the first read after the tree changes. 0 for a deleted note.
  uint32_t GetOutlineOrder() const;
  void SetOutlineOrder(uint32_t order) { outline_order_ = order; }
  // The colour the note is first drawn in (black for a new note). A plain field: it is
  // not the `Color` attribute, which the note inherits.
  const PColor& DrawingColor() const { return drawing_color_; }
  void SetDrawingColor(const PColor& color) { drawing_color_ = color; }

  // --- Text -------------------------------------------------------------------
  // The note's text (an alias answers its original's). Never null for a plain note.
  // REQUIRES for an alias: it has an original ("asrt").
  virtual Content* GetContent();
  virtual const Content* GetContent() const;
  std::string GetText() const;
  void SetText(std::string_view text);
  bool HasText() const;
  size_t WordCount() const;

  // --- Attributes (see model/attribute.h for the lookup order) ---------------
  // The attribute named `name` (one leading "$" is ignored), or "NoSuchAttribute".
  // REQUIRES: the note belongs to a document ("asrt").
  Attribute* GetAttribute(std::string_view name) const;
  // The name is registered, valid and not a category.
  bool HasAttribute(std::string_view name) const;
  // The effective value. Never null. Null attribute: "nilP".
  const Value* Get(const Attribute* attribute) const;
  const Value* Get(std::string_view name) const { return Get(GetAttribute(name)); }
  std::string GetString(std::string_view name) const { return Get(name)->AsString(); }
  std::string GetShortString(std::string_view name) const { return Get(name)->AsShortString(); }
  std::string GetExportString(std::string_view name, std::string_view format) const;
  int32_t GetLong(std::string_view name) const { return Get(name)->AsLong(); }
  uint32_t GetUnsignedLong(std::string_view name) const { return Get(name)->AsUnsignedLong(); }
  double GetDouble(std::string_view name) const { return Get(name)->AsDouble(); }
  double GetDouble(const Attribute* attribute) const { return Get(attribute)->AsDouble(); }
  bool GetBoolean(std::string_view name) const { return Get(name)->AsBoolean(); }
  int64_t GetDate(std::string_view name) const { return Get(name)->AsDate(); }
  std::string GetFile(std::string_view name) const { return Get(name)->AsFile(); }
  std::string GetAction(std::string_view name) const;
  const Value* GetDefault(std::string_view name) const;
  std::string GetDefaultAsString(std::string_view name) const;
  bool GetDefaultAsBoolean(std::string_view name) const;
  double GetDefaultAsDouble(std::string_view name) const;
  // The note itself stores a value.
  bool HasImmediate(std::string_view name) const;
  bool HasImmediate(const Attribute* attribute) const;
  // Neither the note nor any prototype of its chain stores a value.
  bool UsesDefault(const Attribute* attribute) const;
  // The value a prototype of the chain stores, or null.
  const Value* InheritFromPrototype(const Attribute* attribute) const;

  // Stores a value through the attribute (which may refuse or redirect). A read-only
  // or computed attribute is ignored (see Attribute::IsReadOnly); writing `Creator`
  // changes the note's identity. A null attribute is "nilP"; a null value is "asrt".
  void Set(const Attribute* attribute, ValuePtr value);
  // Stores a value the system keeps itself, read-only attributes included (`Created`,
  // `Modified`, ...). Same preconditions as Set.
  void SetBySystem(const Attribute* attribute, ValuePtr value);
  // Typed parse of the text by the attribute's type, then Set.
  void Set(const Attribute* attribute, std::string_view text);
  void Set(std::string_view name, std::string_view text) { Set(GetAttribute(name), text); }
  void SetLong(std::string_view name, int32_t n);
  void SetUnsigned(std::string_view name, uint32_t n);
  void SetDouble(std::string_view name, double x);
  void SetBoolean(std::string_view name, bool b);
  // `seconds` since 1904 (0 is never).
  void SetDate(std::string_view name, int64_t seconds);
  void SetFile(std::string_view name, std::string_view path);
  // For a set attribute, text beginning with "+", "-" or "~" adds, removes or toggles
  // the ";"-separated members it lists; any other text replaces the value.
  void SetSet(std::string_view name, std::string_view text);
  // Resets to the default: the original drops its stored value. A read-only attribute
  // is ignored; resetting `Creator` gives the identity the creator of new notes.
  void Remove(const Attribute* attribute);
  void Remove(std::string_view name) { Remove(GetAttribute(name)); }
  // Stores a copy of the other note's effective value.
  void CloneValue(std::string_view name, const Node* from);
  // Copies every value `from` stores for an attribute that is neither hidden nor
  // inheritable, by the typed parse of its file form.
  virtual void CopyAttributesFrom(const Node* from);

  // The low-level operations attributes call. DoGet: own value, else inherited (an
  // alias overrides). DoSet: store and report. DoRemove: drop and report.
  virtual const Value* DoGet(const Attribute* attribute) const;
  virtual void DoSet(const Attribute* attribute, ValuePtr value);
  virtual void DoRemove(const Attribute* attribute);
  // The value this very note stores, or null (no inheritance, no forwarding).
  const Value* StoredValue(const Attribute* attribute) const { return properties_.Find(attribute); }
  const PropertyMap& Properties() const { return properties_; }
  // Gives back the room kept for values beyond those stored (the file reader calls it
  // once a note's values are in).
  void CompactValues() { properties_.ShrinkToFit(); }
  // Makes room for `count` values in all, so that a note read from a file is filled
  // without the list growing step by step.
  void ReserveValues(size_t count) { properties_.Reserve(count); }

  // --- Prototypes -------------------------------------------------------------
  // The prototype, or null (also when the prototype is deleted).
  virtual Node* GetPrototype() const { return nullptr; }
  // Assigns (or, for null, clears) the original's prototype; see model/prototype.h.
  void SetPrototype(Node* p, bool clone_children);
  // Whether p may become the original's prototype; without p, `IsPrototype`.
  bool CanBePrototype(const Node* p) const;
  bool CanBePrototype() const;

  // --- Links (defined in model/link_manager.cc) -----------------------------
  // Counts of links that are not hidden, prototype links left out.
  size_t OutboundLinkCount() const;
  size_t InboundLinkCount() const;
  size_t WebLinkCount() const;
  bool HasTextLinks() const;
  bool IsDestinationOfWebLink() const;

  // --- Changes ----------------------------------------------------------------
  // Reports facets to the document; nothing for 0, a hidden note or no document.
  void Changed(uint32_t facets) const;
  void Changed(const Attribute* attribute) const;
  // Sets `Modified` to now and the document's modified flag.
  void HasBeenModified();
  // Asks the document to bring every agent up to date now (Hypertext::UpdateAgentsNow).
  void UpdateAgentsNow() const;

  // --- Word index (defined in model/word_index.cc) ---------------------------
  // The words the note holds (model/word_index.h); an alias answers its original's,
  // an alias without an original an empty index. Built on first use and rebuilt when
  // the text, a user string value or the stop list has changed since.
  const WordIndex& GetWordIndex() const;
  // Drops the word index; run after a user string attribute is stored or reset.
  virtual void Index();

  // --- Map geometry -----------------------------------------------------------
  MapPoint Position() const;
  void SetPosition(const MapPoint& p);
  double Width() const;
  double Height() const;
  // Where this note goes on the map when moved under parent between before and after.
  MapPoint CalculateMapPosition(const Node* parent, const Node* before, const Node* after) const;
  MapPoint FindAPlaceNear(const Node* before, const Node* after) const;
  // Moves a proposed place clear of the container's other children.
  MapPoint AvoidCollision(const Node* container, MapPoint proposed) const;

  // --- Moving, hiding, copying ------------------------------------------------
  // Moves the note under parent directly after elder (first when elder is null) at a
  // computed map position. Returns false when the move is refused.
  bool DoMoveTo(Node* parent, Node* elder);
  // The move itself, at a given position. Refuses (returns false) a null parent, a
  // move into the note's own subtree, a parent that cannot receive children and an
  // elder that is not a child of parent.
  virtual bool DoMoveToInternal(Node* parent, Node* elder, MapPoint position);
  virtual void AboutToMove() {}
  virtual void JustMoved() {}
  // Deletes (true) or restores (false) the note: see Hypertext for the invariants.
  virtual void Hide(bool hide);
  virtual void DoHide(bool hide);
  // A copy of the note's values and text under a name made by MakeNameForCopy, owned
  // by the document, not yet placed in the tree. Links are not copied yet.
  virtual Node* Clone(bool copy_links) const;
  // Sorts the children as the `Sort` settings ask; returns whether it sorted.
  virtual bool SortNow();

 protected:
  // REQUIRES: hypertext is not null. The note starts with no values; Initialize
  // gives it the defaults of a new note.
  explicit Node(Hypertext* hypertext);
  // Gives a new note a fresh id, empty text, Created and Modified set to now and
  // position (0, 0).
  virtual void Initialize();
  // Gives a note made new by the user or an action (not one read from a file, whose
  // values the file holds) the values of its kind; nothing for a plain note.
  virtual void InitializeSelf() {}
  // Makes an empty note of the same class for Clone.
  virtual Node* MakeSimilar() const = 0;
  // The tree around the note changed: the document's outline order is stale.
  void StructureChanged() override;

  PropertyMap properties_;

 private:
  friend class Hypertext;

  Hypertext* hypertext_;
  NodeID id_;
  std::unique_ptr<Content> content_;
  PColor drawing_color_;
  uint32_t outline_order_ = 0;
  uint32_t owner_slot_ = 0;          // the document's ownership slot
  uint32_t live_slot_ = UINT32_MAX;  // the slot in the document's live list
  bool hidden_ = false;
  bool needs_update_ = false;
  // Set when an alias of the note is registered and never cleared: without it the
  // document need not look the note up among the aliases when destroying it.
  mutable bool may_have_aliases_ = false;
  // Null until GetWordIndex first runs and after Index.
  mutable std::unique_ptr<WordIndexCache> word_index_;
};

}  // namespace fernweave

#endif  // FERNWEAVE_MODEL_NODE_H_
