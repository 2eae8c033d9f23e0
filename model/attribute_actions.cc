#include "model/attribute_actions.h"

#include <algorithm>

#include "foundation/error.h"
#include "model/alias_node.h"
#include "model/attribute.h"
#include "model/change.h"
#include "model/hypertext.h"
#include "model/node.h"
#include "model/props.h"
#include "model/undo_texts.h"

namespace fernweave {
namespace {

// What views hear when the set of attributes changes: every note may show them.
constexpr uint32_t kAttributesChanged = 0x305;

// Stores or drops the note's own value, never its original's.
class OwnValue {
 public:
  explicit OwnValue(Node* note)
      : alias_(note->IsAlias() ? static_cast<AliasNode*>(note) : nullptr),
        forwarding_(alias_ != nullptr && alias_->Forwarding()) {
    if (alias_ != nullptr) {
      alias_->SetForwarding(false);
    }
  }
  ~OwnValue() {
    if (alias_ != nullptr) {
      alias_->SetForwarding(forwarding_);
    }
  }
  OwnValue(const OwnValue&) = delete;
  OwnValue& operator=(const OwnValue&) = delete;

 private:
  AliasNode* alias_;
  bool forwarding_;
};

}  // namespace

// --- The registry's unregistering -------------------------------------------------

void Props::Unregister(Attribute* attribute) {
  if (attribute == nullptr || attribute == root_ || attribute == no_such_) {
    return;
  }
  for (Attribute* a = attribute; a != nullptr; a = a->NextWithin(attribute)) {
    auto it = by_name_.find(a->Name());
    if (it != by_name_.end() && it->second == a) {
      by_name_.erase(it);
    }
  }
  stamp_ = NewPropsStamp();
  attribute->Unhook();
}

bool Props::RegisterAgain(Attribute* attribute, Attribute* parent) {
  Require(attribute != nullptr, "RegisterAgain: null attribute");
  if (parent == nullptr || Find(parent->Name()) != parent || Find(attribute->Name()) != nullptr ||
      attribute->Name().empty()) {
    return false;
  }
  parent->AddSon(attribute);
  AddAttribute(attribute);
  return true;
}

void DropStoredValues(Hypertext* hypertext, const Attribute* attribute) {
  for (Node* n : hypertext->OwnedNodes()) {
    if (n->StoredValue(attribute) != nullptr) {
      OwnValue own(n);
      n->DoRemove(attribute);
    }
  }
}

// --- Create ------------------------------------------------------------------------

CreateAttributeAction::CreateAttributeAction(Hypertext* hypertext, std::string_view name,
                                             std::string_view default_text, bool sequential,
                                             AttributeType type)
    : NodeAction(hypertext, undo_index::kCreateAttribute),
      name_(Attribute::NormalizeName(name)),
      default_text_(default_text),
      sequential_(sequential),
      type_(type) {}

bool CreateAttributeAction::IsPostable() const {
  const Props& props = GetHypertext()->Properties();
  return !name_.empty() && props.Find(name_) == nullptr && props.Find(kUserCategory) != nullptr;
}

void CreateAttributeAction::RedoSelf() {
  Props& props = GetHypertext()->Properties();
  if (created_ != nullptr) {
    created_->Hide(false);
    Require(props.RegisterAgain(created_, props.Find(kUserCategory)),
            "create attribute: name taken");
    GetHypertext()->Changed(nullptr, kAttributesChanged);
    return;
  }
  created_ = props.CreateBasicAttribute(name_, kUserCategory, true, type_);
  Require(created_ != nullptr, "create attribute: not made");
  if (!default_text_.empty()) {
    created_->SetDefault(default_text_);
  }
  if (sequential_) {
    created_->BeSequential(true);
  }
  created_->Initialize(GetHypertext());
  GetHypertext()->Changed(nullptr, kAttributesChanged);
}

void CreateAttributeAction::UndoSelf() {
  GetHypertext()->Properties().Unregister(created_);
  created_->Hide(true);
  GetHypertext()->Changed(nullptr, kAttributesChanged);
}

void CreateAttributeAction::Discard(LAction* successor) {
  if (created_ != nullptr && !IsDone()) {
    // The creation can no longer come back: the numbers a sequential attribute gave
    // the notes go with it.
    DropStoredValues(GetHypertext(), created_);
  }
  NodeAction::Discard(successor);
}

// --- Delete ------------------------------------------------------------------------

DeleteAttributeAction::DeleteAttributeAction(Hypertext* hypertext, Attribute* attribute)
    : NodeAction(hypertext, undo_index::kDeleteAttribute),
      attribute_(RequireNotNull(attribute, "delete attribute: null attribute")),
      category_(attribute->Father()) {}

bool DeleteAttributeAction::IsPostable() const {
  return GetHypertext()->Properties().Has(attribute_) && attribute_->IsUserAttribute() &&
         !attribute_->IsAttributeCategory();
}

void DeleteAttributeAction::RedoSelf() {
  attribute_->Hide(true);
  GetHypertext()->Properties().Unregister(attribute_);
  GetHypertext()->Changed(nullptr, kAttributesChanged);
}

void DeleteAttributeAction::UndoSelf() {
  Require(GetHypertext()->Properties().RegisterAgain(attribute_, category_),
          "delete attribute: cannot register again");
  attribute_->Hide(false);
  GetHypertext()->Changed(nullptr, kAttributesChanged);
}

void DeleteAttributeAction::Discard(LAction* successor) {
  if (IsDone()) {
    DropStoredValues(GetHypertext(), attribute_);
  }
  NodeAction::Discard(successor);
}

// --- Edit --------------------------------------------------------------------------

EditAttributeAction::EditAttributeAction(Hypertext* hypertext, Attribute* attribute,
                                         Settings settings)
    : NodeAction(hypertext, undo_index::kEditAttribute),
      attribute_(RequireNotNull(attribute, "edit attribute: null attribute")),
      category_(attribute->Father()),
      new_(std::move(settings)),
      old_(SettingsOf(*attribute)) {
  new_.name = Attribute::NormalizeName(new_.name);
}

EditAttributeAction::Settings EditAttributeAction::SettingsOf(const Attribute& attribute) {
  return Settings{attribute.Name(), attribute.GetTheDefaultValue()->AsXML(),
                  attribute.IsSequential(), attribute.GetType()};
}

bool EditAttributeAction::IsPostable() const {
  const Props& props = GetHypertext()->Properties();
  if (!props.Has(attribute_) || !attribute_->IsUserAttribute() ||
      attribute_->IsAttributeCategory() || new_.name.empty()) {
    return false;
  }
  const Attribute* holder = props.Find(new_.name);
  if (holder != nullptr && holder != attribute_) {
    return false;  // two attributes of one name would hide one of them
  }
  return new_.name != old_.name || new_.default_text != old_.default_text ||
         new_.sequential != old_.sequential || new_.type != old_.type;
}

void EditAttributeAction::Apply(const Settings& settings, bool restore) {
  Hypertext* doc = GetHypertext();
  Props& props = doc->Properties();
  props.Unregister(attribute_);
  // A note keeps its values in attribute-name order: take them out before the name
  // changes and put them back after, so that order holds.
  std::vector<std::pair<Node*, ValuePtr>> taken;
  for (Node* n : doc->OwnedNodes()) {
    if (const Value* v = n->StoredValue(attribute_)) {
      taken.emplace_back(n, v->Clone());
      OwnValue own(n);
      n->DoRemove(attribute_);
    }
  }
  if (!restore) {
    before_.clear();
    for (const auto& [n, v] : taken) {
      before_.emplace_back(n, v->Clone());
    }
  }
  attribute_->SetName(settings.name);
  attribute_->SetType(settings.type);
  attribute_->SetDefault(settings.default_text);
  attribute_->BeSequential(settings.sequential);
  for (auto& [n, v] : taken) {
    ValuePtr value;
    if (restore) {
      auto it = std::find_if(before_.begin(), before_.end(),
                             [n = n](const auto& entry) { return entry.first == n; });
      if (it != before_.end()) {
        value = it->second->Clone();
      }
    }
    if (value == nullptr) {
      value = Value::Create(settings.type, v->AsXML());
    }
    OwnValue own(n);
    n->DoSet(attribute_, std::move(value));
  }
  Require(props.RegisterAgain(attribute_, category_), "edit attribute: cannot register again");
  doc->Changed(nullptr, kAttributesChanged);
}

void EditAttributeAction::RedoSelf() {
  Apply(new_, false);
}

void EditAttributeAction::UndoSelf() {
  Apply(old_, true);
}

}  // namespace fernweave
