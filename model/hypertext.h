// The hypertext model: one open document.
//
// What it holds. A `Hypertext` is a single tree of notes (`Node`, model/node.h) under
// an invisible root note, plus the registries the notes share: the attribute registry
// (`Props`, model/props.h), the per-document preferences, the note index by id
// (`NodeIndex`), the list of live notes, the selection, the aliases of each original
// and the pending change record (`ChangeHolder`, model/change.h). The application's
// documents are `Orvex` (model/orvex.h), which adds the built-in attributes; the
// generic `Hypertext` works without it.
//
// Invariants. Every live note is reachable from the root through son and brother
// links, is in the index and in the live list, and is not hidden. A deleted note is
// hidden: unhooked from the tree, out of the index and the live list; its own
// children stay attached to it, and the document remembers where it stood so that
// showing it again puts it back. The root is never deleted, never aliased and has no
// siblings. No note is ever its own ancestor: moves into a note's own subtree are
// refused.
//
// Ownership. The document owns every note it made, live or hidden, until the
// document is destroyed or `DestroyNode` lets a hidden note go (the undo history
// calls it when it forgets a deletion). Everything else holds notes by plain
// pointer and must not keep one past its destruction.
//
// Callers. The file reader builds the tree (`MakeEmptyNode`, `AddNode`); undoable
// actions, the command line and agents call the note operations; views register a
// `Changeable` to hear about changes. Construction goes through `Create`, which fills
// the registry before the root exists.

#ifndef FERNWEAVE_MODEL_HYPERTEXT_H_
#define FERNWEAVE_MODEL_HYPERTEXT_H_

#include <cstdint>
#include <memory>
#include <string>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "model/change.h"
#include "model/document_preferences.h"
#include "model/document_records.h"
#include "model/node.h"
#include "model/node_id.h"
#include "model/node_vector.h"
#include "model/props.h"

namespace fernweave {

class AliasNode;
class LAction;
class NoteCreationView;
class UndoKeeper;
class Link;
class LinkManager;
class LinkTypes;
class ReadingHistory;
struct LinkRecord;

// What the layers above the model answer or learn about a document. Every member has
// a default, so a document works without one installed.
class DocumentHooks {
 public:
  virtual ~DocumentHooks() = default;
  // Asked before a note with children is deleted; false leaves the document unchanged.
  virtual bool ConfirmDelete(const Node& note);
  // Performs an accepted deletion (the undo layer posts an undoable action; the
  // default hides the note at once).
  virtual void PostDelete(Node* note);
  // A note is about to be hidden (agents drop their aliases of it).
  virtual void IsBeingHidden(Node* note);
  // A note is about to leave the index and the live list.
  virtual void AboutToDelete(Node* note);
  // Someone asks for every agent to be brought up to date at once (the agent layer
  // runs a full update; nothing by default).
  virtual void UpdateAgentsNow();
};

class Hypertext : public ChangeHolder {
 public:
  enum class NoteKind { kNote, kAgent, kAdornment };

  // A generic document whose root is named after file_name (see UpdateRootName).
  static std::unique_ptr<Hypertext> Create(std::string_view file_name = "");
  ~Hypertext() override;

  // Closing a document frees its notes, links and values one by one, which takes a
  // while for a large one. A process that is about to exit (the command line, which
  // opens one document per run) calls this once: every document closed afterwards
  // leaves its notes, links and index to the process's exit, still reachable, without
  // running their destructors. Never for a process that goes on working.
  static void LeaveNotesToExit();

  // --- Notes ------------------------------------------------------------------
  Node* Root() const { return root_; }
  // The root's first child, or null.
  Node* FirstNode() const;
  // The first indexed note with that id number, or null.
  Node* FindNode(uint32_t id) const { return index_.Find(id); }
  Node* FindNode(uint32_t id, const std::string& creator) const { return index_.Find(id, creator); }
  bool HasNode(const Node* n) const { return n != nullptr && index_.Has(n); }
  // The first live note in document order (the root excluded) named exactly `name`;
  // null when none.
  Node* FindNodeNamed(std::string_view name) const;
  // Makes a plain note named `name` under parent after `after` (first when null) at
  // (x, y), registered and live. A null parent means the root. Returns null when the
  // parent is deleted, belongs to another document or cannot receive children.
  Node* MakeNode(std::string_view name, Node* parent, Node* after, double x, double y);
  Node* MakeNode(NoteKind kind, std::string_view name, Node* parent, Node* after, double x,
                 double y);
  // The deepest a note may lie below the root (top-level notes lie at depth 1). Keep
  // in sync with XMLReader::kMaxDepth: the file nests a note at depth d inside d + 1
  // elements (the file's root element and the root note's above the top-level notes),
  // and a note's text styles and pictures take two elements more.
  static constexpr size_t kMaxNoteDepth = 9996;
  // Whether `note` (null: a new note without children) may be placed inside
  // `parent` without lying deeper than kMaxNoteDepth, itself or anything inside it.
  bool DepthAllows(const Node* parent, const Node* note) const;
  // A note with the defaults of a new note, position (0, 0), no parent, not yet
  // registered (its maker places it and calls AddNode).
  Node* MakeBareNode(NoteKind kind);
  // A note with no values and no identity yet, no parent, not registered: the file
  // reader fills it from the file and then calls Node::CompleteFromFile.
  Node* MakeEmptyNode(NoteKind kind);
  // A fresh id number from the process-wide counter that no note of this document
  // holds (the counter may have wrapped into numbers in use).
  uint32_t NewIdNumber() const;
  // Takes ownership of a note made for this document. Returns it.
  Node* Adopt(std::unique_ptr<Node> note);
  // Register / unregister a note in the live list and the index. RemoveNode first
  // tells the hooks, drops the note from the selection and the pending changes.
  void AddNode(Node* n);
  void RemoveNode(Node* n);
  // The deletion entry point: needs an editable document and a deletable note; asks
  // the hooks to confirm when the note has children. Returns whether it was deleted.
  bool AttemptToDelete(Node* n);
  // Takes a note out of the id index and puts it back, for a change of its id
  // (`Node::SetID`); the note stays live meanwhile.
  void UnindexForNewId(Node* n) { index_.Remove(n); }
  void IndexUnderNewId(Node* n) { index_.Add(n); }
  // Destroys a hidden note and its subtree. Does nothing for a live note.
  void DestroyNode(Node* n);
  // DestroyNode for each note of the list (nulls, live notes and the root are passed
  // over; a note inside another listed note's subtree goes with it). Each single
  // destruction walks every note the document owns, so many notes go at once here.
  void DestroyNodes(const std::vector<Node*>& notes);
  // Every live note, in the order they were registered.
  NodeVector AllNodes() const;
  // Every note the document owns, live or hidden, in no particular order.
  std::vector<Node*> OwnedNodes() const;

  // --- Undo (model/action.h) -------------------------------------------------
  // Hands the action to the undo history, which performs it and keeps it in place of
  // the action it held. Returns whether it was posted.
  bool PostAction(std::unique_ptr<LAction> action);
  UndoKeeper& UndoHistory();

  // --- Creating through undoable actions (model/create_entry_points.cc) -------
  // Each posts an action and returns the note made (owned by the document), or null
  // when nothing was made (the document cannot be edited, the parent cannot take
  // children). A null parent means the root. `view` (may be null) reveals the parent
  // and offers the new note for naming.
  Node* DoCreate(NoteKind kind, std::string_view name, Node* parent, Node* after,
                 std::optional<MapPoint> position, NoteCreationView* view = nullptr);
  // A note at a known place on the parent's map, after its last child.
  Node* CreateAt(Node* parent, MapPoint position, NoteCreationView* view = nullptr);
  // A note as the last child of n, or as the next sibling of n.
  Node* CreateChildFor(Node* n, NoteCreationView* view = nullptr);
  Node* CreateSiblingFor(Node* n, NoteCreationView* view = nullptr);
  // A note named after the text of n from `start`, `length` UTF-16 units long: the
  // next sibling of n, or its last child.
  Node* MakeNote(Node* n, size_t start, size_t length);
  Node* MakeNoteInside(Node* n, size_t start, size_t length);
  // A copy of n (values, text, outbound links, prototype) placed after it.
  Node* Duplicate(Node* n);
  size_t NodeCount() const { return index_.size(); }

  // --- Deleted notes' places --------------------------------------------------
  // Remembers where a note being hidden stood, so that showing it can put it back.
  void RememberPlace(Node* n);
  // Reinserts a hidden note at its remembered place when it has no father; returns
  // whether the note now has a live father (or is the root).
  bool RestorePlace(Node* n);

  // --- Aliases ----------------------------------------------------------------
  void RegisterAlias(AliasNode* alias, const Node* original);
  void UnregisterAlias(AliasNode* alias, const Node* original);
  // Every alias of the original, live or hidden (none for a destroyed note).
  std::vector<AliasNode*> AliasesOf(const Node* original) const;

  // --- Registry and preferences ----------------------------------------------
  Props& Properties() { return props_; }
  const Props& Properties() const { return props_; }
  Attribute* GetAttribute(std::string_view name) const { return props_.GetAttribute(name); }
  bool HasAttribute(std::string_view name) const;
  Attribute* GetNameAttribute() const { return props_.GetAttribute("Name"); }
  DocumentPreferences& Preferences() { return preferences_; }
  const DocumentPreferences& Preferences() const { return preferences_; }
  // The creator of new notes' ids: the `Creator` preference, else "system".
  std::string CreatorForNewNotes() const;
  // Macros, stamps and saved windows (model/document_records.h).
  DocumentRecords& Records() { return records_; }
  const DocumentRecords& Records() const { return records_; }

  // --- Selection and context --------------------------------------------------
  void Select(Node* n) { selection_.Add(n); }
  void Deselect(const Node* n) { selection_.Remove(n); }
  bool IsSelected(const Node* n) const { return selection_.Has(n); }
  const NodeVector& Selection() const { return selection_; }
  Node* CurrentAgent() const { return current_agent_; }
  void SetCurrentAgent(Node* agent) { current_agent_ = agent; }
  Node* CurrentAdornment() const { return current_adornment_; }
  void SetCurrentAdornment(Node* adornment) { current_adornment_ = adornment; }
  // Asks the document's agent layer (through the hooks) to bring every agent to the
  // end of a full scan now.
  void UpdateAgentsNow() { hooks_->UpdateAgentsNow(); }

  // --- Flags and hooks --------------------------------------------------------
  bool CanEdit() const { return can_edit_; }
  void SetCanEdit(bool can_edit) { can_edit_ = can_edit; }
  bool AllowScripts() const { return allow_scripts_; }
  void SetAllowScripts(bool allow) { allow_scripts_ = allow; }
  bool AgentsEnabled() const { return agents_enabled_; }
  void SetAgentsEnabled(bool enabled) { agents_enabled_ = enabled; }
  bool LayoutEnabled() const { return layout_enabled_; }
  void SetLayoutEnabled(bool enabled) { layout_enabled_ = enabled; }
  // Installs the hooks (not owned); null restores the defaults.
  void SetHooks(DocumentHooks* hooks);
  DocumentHooks& Hooks() const { return *hooks_; }

  // Names the root after the file: its name up to the last "." (the whole name when it
  // has none). Nothing happens when that is empty.
  void UpdateRootName(std::string_view file_name);
  // Numbers every live note in document order (`Node::GetOutlineOrder`) unless the
  // numbers are current; `OutlineOrderChanged` marks them stale.
  void RefreshOutlineOrder();
  void OutlineOrderChanged() { outline_order_current_ = false; }
  // Sorts the children of every live note in document order and reports facet 2 on
  // each note whose sort ran.
  void UpdateSorting();

  // --- Links (model/link_manager.h; defined in model/hypertext_links.cc) ------
  LinkManager& Links() const;
  // The link type table; null for the generic document.
  virtual LinkTypes* GetLinkTypes() const { return nullptr; }
  // Makes and registers a link from the record: a CLink for a document with a type
  // table, else a VlmLink. Owned by Links(). A type the table lacks is added to it. A
  // prototype link that SetPrototype would refuse (a note its own prototype, directly
  // or through a chain) is not made: null. A null source is "nilP".
  Link* CreateLink(const LinkRecord& record);
  // Called by the manager; keep the prototype cache of the destination note.
  virtual void LinkAdded(Link* link);
  virtual void LinkRemoved(Link* link);
  size_t LinkCount() const;
  size_t HiddenLinkCount() const;
  // The link to follow from the note, or null (see hypertext_links.cc).
  Link* ChooseDefaultLink(Node* n) const;
  Link* ChooseTextLink(Node* n, int32_t offset, bool ask) const;
  Link* ChoosePlainLink(Node* n, std::string_view text) const;
  // The notes the reader has read, for link guards.
  ReadingHistory& History() const;
  // True when any live note has a prototype or has `IsPrototype` true.
  bool UsingPrototypes() const;

 protected:
  Hypertext();
  // Fills the registry, makes the root under StIgnoreChanges and names it.
  void Initialize(std::string_view file_name);
  // The generic registry: a few built-in attributes and the "User" category.
  virtual void InitializeProperties();

 private:
  struct Place {
    Node* father;
    Node* elder;
  };
  Node* NewNote(NoteKind kind);
  void DestroyLinksOf(const std::unordered_set<const Node*>& doomed);
  void Compact();

  Props props_;
  DocumentPreferences preferences_;
  DocumentRecords records_;
  NodeIndex index_;
  std::vector<std::unique_ptr<Node>> owned_;
  std::vector<Node*> live_;  // registration order; null where a note left
  size_t live_holes_ = 0;
  std::unordered_multimap<const Node*, AliasNode*> aliases_;
  std::unordered_map<const Node*, Place> places_;
  NodeVector selection_;
  Node* root_ = nullptr;
  Node* current_agent_ = nullptr;
  Node* current_adornment_ = nullptr;
  DocumentHooks* hooks_;
  bool can_edit_ = true;
  bool allow_scripts_ = false;
  bool agents_enabled_ = true;
  bool layout_enabled_ = true;
  bool destroying_ = false;
  bool outline_order_current_ = false;
  std::unique_ptr<UndoKeeper> undo_;
  // Made on first use; destroyed before the notes' memory is reused.
  mutable std::unique_ptr<LinkManager> links_;
  mutable std::unique_ptr<ReadingHistory> history_;
};

}  // namespace fernweave

#endif  // FERNWEAVE_MODEL_HYPERTEXT_H_
