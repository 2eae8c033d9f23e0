#include "model/node_actions.h"

#include <cctype>
#include <utility>

#include "foundation/error.h"
#include "model/attribute.h"
#include "model/change.h"
#include "model/content.h"
#include "model/link.h"
#include "model/link_manager.h"
#include "model/orvex.h"
#include "model/undo_texts.h"

namespace fernweave {
namespace {

OnAddRunner*& InstalledRunner() {
  static OnAddRunner* runner = nullptr;
  return runner;
}

// Puts a note under parent after elder at p; an elder that is no longer a child of
// parent puts it first instead.
void PlaceAt(Node* note, Node* parent, Node* elder, MapPoint p) {
  if (!note->DoMoveToInternal(parent, elder, p)) {
    note->DoMoveToInternal(parent, nullptr, p);
  }
}

// Where a note that is not (or no longer) in the tree goes under parent after elder.
MapPoint PlaceFor(const Node* note, const Node* parent, const Node* elder) {
  const Node* next = elder != nullptr ? elder->Brother() : parent->Son();
  return note->CalculateMapPosition(parent, elder, next);
}

// Gives the copy every outbound link of the source but its prototype links, unless
// the copying already did.
void CopyOutboundLinks(Node* source, Node* copy) {
  Hypertext* doc = source->GetHypertext();
  if (!doc->Links().ListLinksFrom(copy).empty()) {
    return;
  }
  for (Link* link : doc->Links().ListLinksFrom(source)) {
    if (link->IsPrototype()) {
      continue;
    }
    LinkRecord record(*link);
    record.source = copy;
    record.add_to_document = true;
    RequireNotNull(doc->CreateLink(record), "duplicate: link not copied");
  }
}

// Shows a hidden note that has been put back into the tree.
void Show(Node* note) {
  if (note->IsHidden()) {
    note->Hide(false);
  }
}

}  // namespace

OnAddRunner* OnAddRunner::Install(OnAddRunner* runner) {
  OnAddRunner* previous = InstalledRunner();
  InstalledRunner() = runner;
  return previous;
}

OnAddRunner* OnAddRunner::Installed() {
  return InstalledRunner();
}

void GivePrototype(Node* note, Node* p) {
  if (note == nullptr || p == nullptr || note->GetPrototype() == p) {
    return;
  }
  note->SetPrototype(p, false);
}

// --- Rename and colour -------------------------------------------------------------

RenameAction::RenameAction(Node* note, std::string_view new_name)
    : NodeAction(note, undo_index::kRename), new_name_(new_name), old_name_(note->Name()) {}

Node* RenameAction::Target() const {
  Node* original = GetNode()->GetOriginal();
  return original != nullptr ? original : GetNode();
}

bool RenameAction::IsPostable() const {
  return GetNode()->GetOriginal() != nullptr && new_name_ != old_name_;
}

void RenameAction::RedoSelf() {
  Target()->SetName(new_name_);
}

void RenameAction::UndoSelf() {
  Target()->SetName(old_name_);
}

NodeColorAction::NodeColorAction(Node* note, std::string_view new_color)
    : NodeAction(note, undo_index::kColor), new_color_(new_color) {
  if (const Value* own = Target()->StoredValue(Target()->GetAttribute("Color"))) {
    old_color_ = own->Clone();
  }
}

Node* NodeColorAction::Target() const {
  Node* original = GetNode()->GetOriginal();
  return original != nullptr ? original : GetNode();
}

void NodeColorAction::RedoSelf() {
  Target()->Set("Color", new_color_);
}

void NodeColorAction::UndoSelf() {
  const Attribute* color = Target()->GetAttribute("Color");
  if (old_color_ != nullptr) {
    Target()->Set(color, old_color_->Clone());
  } else {
    Target()->Remove(color);
  }
}

// --- Move and delete ---------------------------------------------------------------

NodeMoveAction::NodeMoveAction(Node* note, Node* new_parent, Node* new_elder,
                               std::optional<MapPoint> new_position)
    : NodeAction(note, undo_index::kMove),
      new_parent_(new_parent),
      new_elder_(new_elder),
      old_parent_(note->Father()),
      old_elder_(note->ElderBrother()),
      old_position_(note->Position()),
      was_hidden_(note->IsHidden()) {
  new_position_ = new_position.has_value() || new_parent == nullptr
                      ? new_position.value_or(old_position_)
                      : note->CalculateMapPosition(
                            new_parent, new_elder,
                            new_elder != nullptr ? new_elder->Brother() : new_parent->Son());
}

bool NodeMoveAction::IsPostable() const {
  Node* note = GetNode();
  Node* p = new_parent_;
  if (p == nullptr || p->IsHidden() || note->IsRootNote() || p->GetHypertext() != GetHypertext() ||
      !p->CanReceiveChildren() || p->IsDescendedFrom(note) || new_elder_ == note ||
      (new_elder_ != nullptr && new_elder_->Father() != p) || !GetHypertext()->CanEdit()) {
    return false;
  }
  if (was_hidden_) {
    // An alias whose original is deleted or gone cannot be shown on its own.
    const Node* original = note->GetOriginal();
    return !note->IsAlias() || (original != nullptr && !original->IsHidden());
  }
  return old_parent_ != nullptr;
}

void NodeMoveAction::RedoSelf() {
  Node* note = GetNode();
  StChanges changes(GetHypertext());
  PlaceAt(note, new_parent_, new_elder_, new_position_);
  if (was_hidden_) {
    Show(note);
    if (note->IsHidden()) {
      note->Unhook();  // refused: a hidden note never stays in the tree
    }
  }
}

void NodeMoveAction::UndoSelf() {
  Node* note = GetNode();
  if (was_hidden_) {
    note->Hide(true);
    return;
  }
  PlaceAt(note, old_parent_, old_elder_, old_position_);
}

NodeDeleteAction::NodeDeleteAction(Node* note)
    : NodeAction(note, undo_index::kDelete),
      old_parent_(note->Father()),
      old_elder_(note->ElderBrother()),
      old_position_(note->Position()) {}

bool NodeDeleteAction::IsPostable() const {
  const Node* note = GetNode();
  return note->CanBeDeleted() && !note->IsHidden() && old_parent_ != nullptr;
}

void NodeDeleteAction::RedoSelf() {
  GetNode()->Hide(true);
}

void NodeDeleteAction::UndoSelf() {
  Node* note = GetNode();
  StChanges changes(GetHypertext());
  PlaceAt(note, old_parent_, old_elder_, old_position_);
  Show(note);
  note->Select(true);
}

// --- Create and duplicate ----------------------------------------------------------

NodeCreateAction::NodeCreateAction(Hypertext* hypertext, Hypertext::NoteKind kind,
                                   std::string_view name, Node* parent, Node* after,
                                   std::optional<MapPoint> position, NoteCreationView* view)
    : NodeAction(hypertext, undo_index::kCreate),
      kind_(kind),
      name_(name),
      parent_(parent != nullptr ? parent : hypertext->Root()),
      after_(after),
      position_(position.value_or(MapPoint{})),
      position_known_(position.has_value()),
      view_(view) {}

bool NodeCreateAction::IsPostable() const {
  return GetHypertext()->CanEdit() && parent_->GetHypertext() == GetHypertext() &&
         !parent_->IsHidden() && parent_->CanReceiveChildren() &&
         (after_ == nullptr || after_->Father() == parent_);
}

void NodeCreateAction::RedoSelf() {
  Hypertext* doc = GetHypertext();
  StChanges changes(doc);
  if (created_ != nullptr) {
    // Again after an undo: the same note at the same place.
    PlaceAt(created_, parent_, after_, position_);
    Show(created_);
    return;
  }
  created_ = RequireNotNull(doc->MakeNode(kind_, name_, parent_, after_, position_.x, position_.y),
                            "create: no note");
  Answer(created_);
  if (auto* orvex = dynamic_cast<Orvex*>(doc)) {
    GivePrototype(created_, orvex->GetDefaultPrototype());
  }
  if (OnAddRunner* runner = OnAddRunner::Installed()) {
    runner->RunOnAdd(parent_, created_);
  }
  // The note leaves the tree while its place is found, so that it is not its own
  // neighbour; the OnAdd action may have moved it elsewhere meanwhile.
  if (created_->IsHidden()) {
    return;
  }
  Node* parent = created_->Father();
  Node* after = parent == parent_ ? after_ : created_->ElderBrother();
  if (parent != parent_) {
    parent_ = parent;
  }
  if (after != nullptr && (after == created_ || after->Father() != parent_)) {
    after = nullptr;
  }
  created_->Hide(true);
  if (!position_known_) {
    position_ = PlaceFor(created_, parent_, after);
    position_known_ = true;
  }
  after_ = after;
  PlaceAt(created_, parent_, after_, position_);
  Show(created_);
  if (view_ != nullptr) {
    view_->RevealContainer(parent_);
    doc->Select(created_);
    view_->OfferForNaming(created_);
  }
}

void NodeCreateAction::UndoSelf() {
  if (created_ != nullptr) {
    created_->Hide(true);
  }
}

NodeDuplicateAction::NodeDuplicateAction(Node* source, Node* target)
    : NodeAction(source, undo_index::kDuplicate),
      target_(target != nullptr ? target : source->Father()) {
  if (target_ != nullptr) {
    after_ = source->Father() == target_ ? source : target_->YoungestSon();
  }
}

bool NodeDuplicateAction::IsPostable() const {
  const Node* source = GetNode();
  return GetHypertext()->CanEdit() && !source->IsHidden() && !source->IsRootNote() &&
         target_ != nullptr && !target_->IsHidden() && target_->CanReceiveChildren() &&
         (source->GetOriginal() != nullptr);
}

void NodeDuplicateAction::RedoSelf() {
  StChanges changes(GetHypertext());
  if (copy_ != nullptr) {
    PlaceAt(copy_, target_, after_, position_);
    Show(copy_);
    return;
  }
  Node* source = GetNode();
  copy_ = RequireNotNull(source->Clone(true), "duplicate: no copy");
  Answer(copy_);
  // The prototype link ends at the source, so copying its outbound links leaves the
  // copy without one: give it the same prototype.
  GivePrototype(copy_, source->GetPrototype());
  CopyOutboundLinks(source, copy_);
  // The copy is registered but not yet in the tree: hide it while it is placed, so
  // that it is never live out of the tree.
  copy_->Hide(true);
  position_ = PlaceFor(copy_, target_, after_);
  PlaceAt(copy_, target_, after_, position_);
  Show(copy_);
}

void NodeDuplicateAction::UndoSelf() {
  if (copy_ != nullptr) {
    copy_->Hide(true);
  }
}

// --- Note-making from text ---------------------------------------------------------

NoteAction::NoteAction(Node* note, size_t start, size_t length, bool inside)
    : NodeAction(note, undo_index::kMakeNote),
      name_(NameFromText(note->GetText(), start, length)),
      inside_(inside) {}

std::string NoteAction::NameFromText(std::string_view text, size_t start, size_t length) {
  const size_t units = Utf16Length(text);
  if (start >= units) {
    return std::string();
  }
  const size_t end = length > units - start ? units : start + length;
  const size_t from = Utf8OffsetForUtf16(text, start);
  const size_t to = Utf8OffsetForUtf16(text, end);
  std::string name;
  bool blank = false;
  for (char c : text.substr(from, to - from)) {
    if (std::isspace(static_cast<unsigned char>(c))) {
      blank = !name.empty();
      continue;
    }
    if (blank) {
      name += ' ';
      blank = false;
    }
    name += c;
  }
  return name;
}

bool NoteAction::IsPostable() const {
  const Node* note = GetNode();
  if (!GetHypertext()->CanEdit() || note->IsHidden() || name_.empty()) {
    return false;
  }
  return inside_ ? note->CanReceiveChildren() : note->Father() != nullptr;
}

void NoteAction::RedoSelf() {
  Hypertext* doc = GetHypertext();
  StChanges changes(doc);
  if (created_ != nullptr) {
    PlaceAt(created_, parent_, after_, position_);
    Show(created_);
    return;
  }
  Node* note = GetNode();
  parent_ = inside_ ? note : note->Father();
  after_ = inside_ ? note->YoungestSon() : note;
  created_ = RequireNotNull(doc->MakeNode(name_, parent_, after_, 0, 0), "make note: no note");
  Answer(created_);
  if (auto* orvex = dynamic_cast<Orvex*>(doc)) {
    GivePrototype(created_, orvex->GetDefaultPrototype());
  }
  created_->Hide(true);
  position_ = PlaceFor(created_, parent_, after_);
  PlaceAt(created_, parent_, after_, position_);
  Show(created_);
}

void NoteAction::UndoSelf() {
  if (created_ != nullptr) {
    created_->Hide(true);
  }
}

// --- Promote and demote ------------------------------------------------------------

NodePromoteAction::NodePromoteAction(Node* note) : NodeAction(note, undo_index::kPromote) {
  for (Node* c = note->Son(); c != nullptr; c = c->Brother()) {
    moved_.push_back(MovedNote{c, note, c->ElderBrother(), c->Position()});
  }
}

bool NodePromoteAction::IsPostable() const {
  const Node* note = GetNode();
  return GetHypertext()->CanEdit() && !note->IsHidden() && note->Father() != nullptr &&
         !moved_.empty();
}

void NodePromoteAction::RedoSelf() {
  Node* note = GetNode();
  StChanges changes(GetHypertext());
  Node* elder = note;
  for (const MovedNote& m : moved_) {
    if (m.note->DoMoveTo(note->Father(), elder)) {
      elder = m.note;
    }
  }
}

void NodePromoteAction::UndoSelf() {
  StChanges changes(GetHypertext());
  for (const MovedNote& m : moved_) {
    PlaceAt(m.note, m.old_parent, m.old_elder, m.old_position);
  }
}

NodeDemoteAction::NodeDemoteAction(Node* note) : NodeAction(note, undo_index::kDemote) {
  for (Node* s = note->Brother(); s != nullptr; s = s->Brother()) {
    moved_.push_back(MovedNote{s, note->Father(), s->ElderBrother(), s->Position()});
  }
}

bool NodeDemoteAction::IsPostable() const {
  const Node* note = GetNode();
  return GetHypertext()->CanEdit() && !note->IsHidden() && note->CanReceiveChildren() &&
         !moved_.empty();
}

void NodeDemoteAction::RedoSelf() {
  Node* note = GetNode();
  StChanges changes(GetHypertext());
  for (const MovedNote& m : moved_) {
    m.note->DoMoveTo(note, note->YoungestSon());
  }
}

void NodeDemoteAction::UndoSelf() {
  StChanges changes(GetHypertext());
  for (const MovedNote& m : moved_) {
    PlaceAt(m.note, m.old_parent, m.old_elder, m.old_position);
  }
}

}  // namespace fernweave
