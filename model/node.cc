#include "model/node.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <vector>

#include "foundation/clock.h"
#include "foundation/error.h"
#include "model/attribute.h"
#include "model/content.h"
#include "model/hypertext.h"
#include "model/path_evaluator.h"
#include "model/text_link_manager.h"
#include "model/values.h"
#include "model/word_index.h"

namespace fernweave {

Node::Node(Hypertext* hypertext) : hypertext_(hypertext) {
  Require(hypertext != nullptr, "Node: null document");
}

Node::~Node() = default;

void Node::Initialize() {
  SetID(NodeID(hypertext_->NewIdNumber(), hypertext_->CreatorForNewNotes()));
  const int64_t now = NowLocalSeconds();
  SetBySystem(GetAttribute("Created"), Value::ForDate(now));
  SetBySystem(GetAttribute("Modified"), Value::ForDate(now));
  drawing_color_ = PColor();
  SetPosition(MapPoint{0, 0});
}

void Node::CompleteFromFile(int64_t now) {
  if (id_.id() == 0) {
    SetID(NodeID(hypertext_->NewIdNumber(), hypertext_->CreatorForNewNotes()));
  }
  for (const char* name : {"Created", "Modified"}) {
    const Attribute* a = GetAttribute(name);
    if (!properties_.Has(a)) {
      SetBySystem(a, Value::ForDate(now));
    }
  }
  for (const char* name : {"Xpos", "Ypos"}) {
    if (!properties_.Has(GetAttribute(name))) {
      SetDouble(name, 0);
    }
  }
}

uint32_t Node::GetOutlineOrder() const {
  hypertext_->RefreshOutlineOrder();
  return outline_order_;
}

void Node::StructureChanged() {
  hypertext_->OutlineOrderChanged();
}

bool Node::IsAliasFor(const Node*) const {
  return false;
}

void Node::SetID(const NodeID& id) {
  const bool indexed = hypertext_->HasNode(this);
  if (indexed) {
    hypertext_->UnindexForNewId(this);
  }
  id_ = id;
  // `ID` is unsigned: ids made since 1972 exceed 2^31 and must never read negative.
  properties_.Put(GetAttribute("ID"), Value::ForUnsigned(id.id()));
  // A `Creator` value of the same text is kept: it may be one shared by many notes.
  const Attribute* creator = GetAttribute("Creator");
  const auto* held = dynamic_cast<const StringValue*>(properties_.Find(creator));
  if (held == nullptr || held->text() != id.creator()) {
    properties_.Put(creator, Value::Create(AttributeType::kString, id.creator()));
  }
  // "NoSuchAttribute" never holds values (a generic document may lack `ID`).
  properties_.Erase(hypertext_->Properties().NoSuchAttribute());
  if (indexed) {
    hypertext_->IndexUnderNewId(this);
  }
}

std::string Node::Name() const {
  const Node* original = GetOriginal();
  if (original == nullptr) {
    return std::string();
  }
  return hypertext_->GetNameAttribute()->ValueFor(this)->AsString();
}

std::string Node::DisplayName() const {
  PathExpressionEvaluator* language = InstalledPathEvaluator();
  if (language != nullptr) {
    const std::string expression = GetString("DisplayExpression");
    if (!expression.empty()) {
      // Evaluation reads the note but never changes it.
      return language->Evaluate(const_cast<Node*>(this), expression);
    }
  }
  return Name();
}

void Node::SetName(std::string_view name) {
  Set(hypertext_->GetNameAttribute(), name);
}

std::string Node::PathName() const {
  std::vector<const Node*> chain;
  for (const Node* n = this; n != nullptr && !n->IsRootNote(); n = n->Father()) {
    chain.push_back(n);
    if (n->IsRoot()) {
      break;  // a hidden note: its path is what remains above it
    }
  }
  std::string path = "/";
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    path += (*it)->Name();
    path += '/';
  }
  return path;
}

bool Node::IsUntitled() const {
  const std::string name = Name();
  return name.empty() || name == "untitled";
}

std::string Node::MakeNameForCopy(std::string_view name) {
  static constexpr std::string_view kCopy = " copy";
  const size_t at = name.rfind(kCopy);
  if (at == std::string_view::npos) {
    return std::string(name) + std::string(kCopy);
  }
  const std::string_view tail = name.substr(at + kCopy.size());
  if (tail.empty()) {
    return std::string(name) + " 1";
  }
  // " copy" followed by a blank and a number: count up. Any other tail is not a copy
  // number, so the name gets a " copy" of its own.
  if (tail.size() >= 2 && tail[0] == ' ') {
    const std::string_view digits = tail.substr(1);
    bool all_digits = digits.size() <= 9;
    for (char c : digits) {
      all_digits = all_digits && std::isdigit(static_cast<unsigned char>(c));
    }
    if (all_digits) {
      const long n = std::strtol(std::string(digits).c_str(), nullptr, 10);
      return std::string(name.substr(0, at + kCopy.size())) + " " + std::to_string(n + 1);
    }
  }
  return std::string(name) + std::string(kCopy);
}

ChangeHolder* Node::GetChangeHolder() const {
  return hypertext_;
}

Node* Node::FindNodeNamed(std::string_view name) const {
  return hypertext_->FindNodeNamed(name);
}

bool Node::IsSelected() const {
  return hypertext_->IsSelected(this);
}

void Node::Select(bool selected) {
  if (selected && !hidden_) {
    hypertext_->Select(this);
  } else if (!selected) {
    hypertext_->Deselect(this);
  }
}

bool Node::IsRootNote() const {
  return hypertext_->Root() == this;
}

bool Node::IsContainer() const {
  for (const Node* c = Son(); c != nullptr; c = c->Brother()) {
    if (!c->IsAdornment()) {
      return true;
    }
  }
  return false;
}

bool Node::IsSeparator() const {
  return GetBoolean("Separator");
}

bool Node::CanEdit() const {
  return hypertext_->CanEdit();
}

Content* Node::GetContent() {
  if (content_ == nullptr) {
    // Most notes have no text: the content is made when first asked for.
    content_ = std::make_unique<Content>();
  }
  return content_.get();
}

const Content* Node::GetContent() const {
  static const Content kEmpty;
  return content_ == nullptr ? &kEmpty : content_.get();
}

std::string Node::GetText() const {
  return GetContent()->text();
}

namespace {

bool IsContinuationByte(std::string_view text, size_t at) {
  return at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80;
}

// The smallest edit that turns `before` into `after`: the common beginning and end are
// kept, in whole characters, and offsets count UTF-16 units as anchors do.
TextEdit EditBetween(std::string_view before, std::string_view after) {
  const size_t shorter = std::min(before.size(), after.size());
  size_t head = 0;
  while (head < shorter && before[head] == after[head]) {
    ++head;
  }
  while (head > 0 && (IsContinuationByte(before, head) || IsContinuationByte(after, head))) {
    --head;
  }
  size_t tail = 0;
  while (tail < shorter - head && before[before.size() - 1 - tail] == after[after.size() - 1 - tail]) {
    ++tail;
  }
  while (tail > 0 && IsContinuationByte(before, before.size() - tail)) {
    --tail;
  }
  const auto units = [](std::string_view text, size_t bytes) {
    return static_cast<int32_t>(std::min<size_t>(Utf16OffsetForUtf8(text, bytes), INT32_MAX));
  };
  TextEdit edit;
  edit.start = units(before, head);
  edit.end = units(before, before.size() - tail);
  edit.delta = units(after, after.size() - tail) - edit.end;
  return edit;
}

}  // namespace

void Node::SetText(std::string_view text) {
  Content* content = GetContent();
  const std::string before = content->text();
  content->SetText(text);
  if (content->text() == before) {
    return;
  }
  // Text links anchored in the note follow the edit; an anchor it empties goes.
  const TextEdit edit = EditBetween(before, content->text());
  Node* owner = GetOriginal();
  TextLinkManager::TextChanged(owner, edit, false);
  TextLinkManager::DropEmptyAnchors(owner);
}

bool Node::HasText() const {
  return GetContent()->HasText();
}

size_t Node::WordCount() const {
  return static_cast<size_t>(GetContent()->WordCount());
}

void Node::Changed(uint32_t facets) const {
  if (facets == 0 || hidden_ || hypertext_ == nullptr) {
    return;
  }
  hypertext_->Changed(this, facets);
}

void Node::Changed(const Attribute* attribute) const {
  if (attribute != nullptr) {
    Changed(attribute->GetChangeFacets());
  }
}

void Node::HasBeenModified() {
  // An alias shows its original's dates, so an edit through it dates the original.
  Node* original = GetOriginal();
  Node* dated = original != nullptr ? original : this;
  dated->SetBySystem(GetAttribute("Modified"), Value::ForDate(NowLocalSeconds()));
  hypertext_->SetModified(true);
}

void Node::UpdateAgentsNow() const {
  hypertext_->UpdateAgentsNow();
}

bool Node::DoMoveTo(Node* parent, Node* elder) {
  const Node* after = elder != nullptr ? elder->Brother() : nullptr;
  const MapPoint p = CalculateMapPosition(parent, elder, after);
  return DoMoveToInternal(parent, elder, p);
}

bool Node::DoMoveToInternal(Node* parent, Node* elder, MapPoint position) {
  if (parent == nullptr || parent->IsDescendedFrom(this) || elder == this ||
      (elder != nullptr && elder->Father() != parent) || parent->GetHypertext() != hypertext_ ||
      !parent->CanReceiveChildren() || (parent->IsHidden() && !hidden_) ||
      !hypertext_->DepthAllows(parent, this)) {
    // A note moved into its own subtree would form a loop cut off from the root, as
    // would a live note moved into a deleted one; an alias holds no children
    // (deleting its original could not reach them); a note nested deeper than the
    // file can carry would make the document unreadable once saved.
    return false;
  }
  StChanges changes(hypertext_);
  AboutToMove();
  if (Node* old_father = Father()) {
    old_father->Changed(facet::kChildren);
  }
  SetHypertext(parent->GetHypertext());
  SetPosition(position);
  if (elder != nullptr) {
    elder->AddBrother(this);
  } else {
    parent->AddFirstSon(this);
  }
  JustMoved();
  parent->Changed(facet::kChildren);
  Changed(facet::kMoved);
  return true;
}

void Node::Hide(bool hide) {
  if (!hypertext_->CanEdit() || hide == hidden_ || IsRootNote()) {
    return;
  }
  hypertext_->Deselect(this);
  StChanges changes(hypertext_);
  if (hide) {
    hypertext_->RememberPlace(this);
    DoHide(true);
    Unhook();
  } else {
    // Restoring: the undo layer normally puts the note back first; otherwise it
    // returns to where it stood. A place that is gone leaves the note deleted, since
    // a live note must be reachable from the root.
    if (!hypertext_->RestorePlace(this)) {
      return;
    }
    DoHide(false);
  }
}

void Node::DoHide(bool hide) {
  StChanges changes(hypertext_);
  // The whole subtree changes state; walk it without recursion.
  for (Node* n = this; n != nullptr; n = n->NextWithin(this)) {
    if (n->hidden_ == hide) {
      continue;
    }
    hypertext_->Deselect(n);
    if (hide) {
      hypertext_->Hooks().IsBeingHidden(n);
    }
    n->hidden_ = hide;
    if (hide) {
      hypertext_->RemoveNode(n);
    } else {
      hypertext_->AddNode(n);
    }
    hypertext_->AddChange(n, hide ? facet::kHidden : facet::kMoved);
    if (n->Father() != nullptr) {
      hypertext_->AddChange(n->Father(), facet::kChildren);
    }
  }
}

Node* Node::Clone(bool /*copy_links*/) const {
  Node* copy = hypertext_->Adopt(std::unique_ptr<Node>(MakeSimilar()));
  copy->Initialize();
  const NodeID fresh = copy->GetID();
  for (const PropertyMap::Entry& e : properties_.entries()) {
    copy->properties_.Put(e.attribute, e.value->Clone());
  }
  // The copied ID and Creator are the source's: give the copy its own identity back.
  copy->SetID(fresh);
  if (content_ != nullptr) {
    *copy->GetContent() = *content_;
  }
  copy->drawing_color_ = drawing_color_;
  copy->SetName(MakeNameForCopy(Name()));
  const int64_t now = NowLocalSeconds();
  copy->SetBySystem(GetAttribute("Created"), Value::ForDate(now));
  copy->SetBySystem(GetAttribute("Modified"), Value::ForDate(now));
  hypertext_->AddNode(copy);
  return copy;
}

}  // namespace fernweave
