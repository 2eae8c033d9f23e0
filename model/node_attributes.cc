// The attribute operations of notes: lookup, storing, resetting and copying values.
// The lookup order is documented in model/attribute.h.

#include <algorithm>
#include <typeinfo>
#include <unordered_set>
#include <vector>

#include "foundation/error.h"
#include "model/attribute.h"
#include "model/hypertext.h"
#include "model/path_evaluator.h"
#include "model/node.h"
#include "model/props.h"
#include "model/values.h"

namespace fernweave {
namespace {

// Whether two values are the same value of the same kind. Texts are the same whether or
// not one of them is shared (model/values.h); other kinds compare by their file forms.
bool SameValue(const Value& a, const Value& b) {
  const auto* text_a = dynamic_cast<const StringValue*>(&a);
  const auto* text_b = dynamic_cast<const StringValue*>(&b);
  if (text_a != nullptr || text_b != nullptr) {
    return text_a != nullptr && text_b != nullptr && text_a->text() == text_b->text();
  }
  return typeid(a) == typeid(b) && a.AsXML() == b.AsXML();
}

// Prototype chains longer than this are checked for repeats with a set; shorter ones
// cannot loop unnoticed because the walk also stops at the note being asked.
constexpr int kChainWithoutSet = 32;

}  // namespace

Attribute* Node::GetAttribute(std::string_view name) const {
  Require(hypertext_ != nullptr, "GetAttribute: note without document");
  if (!name.empty() && name.front() == '$') {
    name.remove_prefix(1);
  }
  return hypertext_->Properties().GetAttribute(name);
}

bool Node::HasAttribute(std::string_view name) const {
  const Attribute* a = GetAttribute(name);
  return a->IsValid() && !a->IsAttributeCategory();
}

const Value* Node::Get(const Attribute* attribute) const {
  RequireNotNull(attribute, "Get: null attribute");
  return attribute->ValueFor(this);
}

std::string Node::GetExportString(std::string_view name, std::string_view format) const {
  return Get(name)->AsExportString(format, hypertext_);
}

std::string Node::GetAction(std::string_view name) const {
  return Get(name)->AsAgentAction(hypertext_);
}

const Value* Node::GetDefault(std::string_view name) const {
  return GetAttribute(name)->GetDefaultValue(this);
}

std::string Node::GetDefaultAsString(std::string_view name) const {
  return GetDefault(name)->AsString();
}

bool Node::GetDefaultAsBoolean(std::string_view name) const {
  return GetDefault(name)->AsBoolean();
}

double Node::GetDefaultAsDouble(std::string_view name) const {
  return GetDefault(name)->AsDouble();
}

bool Node::HasImmediate(std::string_view name) const {
  return HasImmediate(GetAttribute(name));
}

bool Node::HasImmediate(const Attribute* attribute) const {
  return properties_.Has(attribute);
}

bool Node::UsesDefault(const Attribute* attribute) const {
  return attribute == nullptr || !attribute->IsValid() || DoGet(attribute) == nullptr;
}

const Value* Node::InheritFromPrototype(const Attribute* attribute) const {
  if (attribute == nullptr || !attribute->IsValid() || !attribute->CanInherit()) {
    return nullptr;
  }
  std::unordered_set<const Node*> visited;
  int steps = 0;
  for (const Node* p = GetPrototype(); p != nullptr && p != this; p = p->GetPrototype()) {
    if (++steps > kChainWithoutSet && !visited.insert(p).second) {
      break;  // the chain loops without passing through this note
    }
    if (const Value* v = p->StoredValue(attribute)) {
      return v;
    }
  }
  return nullptr;
}

const Value* Node::DoGet(const Attribute* attribute) const {
  if (const Value* v = properties_.Find(attribute)) {
    return v;
  }
  return InheritFromPrototype(attribute);
}

void Node::DoSet(const Attribute* attribute, ValuePtr value) {
  if (!attribute->IsValid()) {
    return;
  }
  // Storing the value the note already holds changes nothing: no change is reported
  // and the document stays unmodified, so a rule or an agent action that sets the same
  // value each time it runs leaves a saved document saved. (A value that is only
  // inherited is still stored: the note then holds it itself.)
  if (const Value* held = properties_.Find(attribute); held != nullptr && SameValue(*held, *value)) {
    return;
  }
  properties_.Put(attribute, std::move(value));
  Changed(attribute);
  if (attribute->IsString() && attribute->IsUserAttribute()) {
    Index();
  }
}

void Node::DoRemove(const Attribute* attribute) {
  if (properties_.Erase(attribute)) {
    Changed(attribute);
    if (attribute->IsString() && attribute->IsUserAttribute()) {
      Index();
    }
  }
}

void Node::Set(const Attribute* attribute, ValuePtr value) {
  RequireNotNull(attribute, "Set: null attribute");
  Require(value != nullptr, "Set: null value");
  if (attribute->IsReadOnly()) {
    return;  // `Created`, `Alias`, counts and the like are the system's to keep
  }
  if (attribute->Name() == "Creator") {
    // The creator is half of the note's identity: writing it re-identifies the note,
    // and links, which hold the note itself, follow. An empty creator, or one that
    // would give the note another note's identity, changes nothing.
    const std::string creator = value->AsString();
    const Node* holder = hypertext_->FindNode(id_.id(), creator);
    if (!creator.empty() && (holder == nullptr || holder == this)) {
      SetID(NodeID(id_.id(), creator));
      Changed(attribute);
    }
    return;
  }
  attribute->Set(this, std::move(value));
}

void Node::SetBySystem(const Attribute* attribute, ValuePtr value) {
  RequireNotNull(attribute, "SetBySystem: null attribute");
  Require(value != nullptr, "SetBySystem: null value");
  attribute->Set(this, std::move(value));
}

void Node::Set(const Attribute* attribute, std::string_view text) {
  RequireNotNull(attribute, "Set: null attribute");
  Set(attribute, Value::Create(attribute->GetType(), text));
}

void Node::SetLong(std::string_view name, int32_t n) {
  Set(GetAttribute(name), Value::ForInt(n));
}

void Node::SetUnsigned(std::string_view name, uint32_t n) {
  Set(GetAttribute(name), Value::ForUnsigned(n));
}

void Node::SetDouble(std::string_view name, double x) {
  Set(GetAttribute(name), Value::ForDouble(x));
}

void Node::SetBoolean(std::string_view name, bool b) {
  Set(GetAttribute(name), Value::ForBoolean(b));
}

void Node::SetDate(std::string_view name, int64_t seconds) {
  Set(GetAttribute(name), Value::ForDate(seconds));
}

void Node::SetFile(std::string_view name, std::string_view path) {
  Set(GetAttribute(name), Value::ForFile(path));
}

void Node::SetSet(std::string_view name, std::string_view text) {
  const Attribute* a = GetAttribute(name);
  if (!a->IsSet() || text.empty() || (text[0] != '+' && text[0] != '-' && text[0] != '~')) {
    Set(a, text);
    return;
  }
  PathExpressionEvaluator* language = InstalledPathEvaluator();
  auto split = [language](std::string_view t) {
    return language != nullptr ? language->SplitSetMembers(t) : SplitSetMembersPlainly(t);
  };
  std::vector<std::string> members = split(Get(a)->AsString());
  for (const std::string& m : split(text.substr(1))) {
    auto it = std::find(members.begin(), members.end(), m);
    const bool present = it != members.end();
    if (text[0] == '+' && !present) {
      members.push_back(m);
    } else if (text[0] == '-' && present) {
      members.erase(it);
    } else if (text[0] == '~') {
      if (present) {
        members.erase(it);
      } else {
        members.push_back(m);
      }
    }
  }
  std::string joined;
  for (const std::string& m : members) {
    if (!joined.empty()) {
      joined += ';';
    }
    joined += m;
  }
  Set(a, joined);
}

void Node::Remove(const Attribute* attribute) {
  if (attribute == nullptr || !attribute->IsValid() || attribute->IsReadOnly()) {
    return;
  }
  if (attribute->Name() == "Creator") {
    // Resetting the creator gives the identity the creator of new notes.
    Set(attribute, Value::Create(AttributeType::kString, hypertext_->CreatorForNewNotes()));
    return;
  }
  attribute->Remove(this);
}

void Node::CloneValue(std::string_view name, const Node* from) {
  if (from == nullptr) {
    return;
  }
  const Attribute* a = GetAttribute(name);
  Set(a, from->Get(a)->Clone());
}

void Node::CopyAttributesFrom(const Node* from) {
  if (from == nullptr) {
    return;
  }
  // Snapshot first: storing on this note may be storing on `from` (an alias and its
  // original).
  std::vector<std::pair<const Attribute*, std::string>> copies;
  for (const PropertyMap::Entry& e : from->Properties().entries()) {
    Require(e.value != nullptr, "CopyAttributesFrom: null value");
    // The identity (`ID`, `Creator`) belongs to each note; it is not a value to copy.
    if (!e.attribute->IsHidden() && !e.attribute->CanInherit() && e.attribute->Name() != "ID" &&
        e.attribute->Name() != "Creator") {
      copies.emplace_back(e.attribute, e.value->AsXML());
    }
  }
  for (const auto& [attribute, xml] : copies) {
    Set(attribute, Value::Create(attribute->GetType(), xml));
  }
}

}  // namespace fernweave
