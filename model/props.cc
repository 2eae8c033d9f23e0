#include "model/props.h"

#include <algorithm>
#include <atomic>

#include "foundation/error.h"
#include "model/node.h"

namespace fernweave {
namespace {

class ByName : public TreeComparator {
 public:
  bool Less(const Tree* a, const Tree* b) const override {
    return static_cast<const Attribute*>(a)->Name() < static_cast<const Attribute*>(b)->Name();
  }
};

}  // namespace

Props::Props() {
  Reset();
}

Props::~Props() = default;

uint64_t NewPropsStamp() {
  static std::atomic<uint64_t> last{0};
  return last.fetch_add(1, std::memory_order_relaxed) + 1;
}

void Props::Reset() {
  stamp_ = NewPropsStamp();
  by_name_.clear();
  owned_.clear();
  auto root = std::make_unique<BasicAttribute>(kRootAttributeName, AttributeType::kString, false);
  root_ = root.get();
  owned_.push_back(std::move(root));
  by_name_.emplace(root_->Name(), root_);
  no_such_ = Adopt(std::make_unique<NullAttribute>(kNoSuchAttributeName), root_);
}

Attribute* Props::Adopt(std::unique_ptr<Attribute> attribute, Attribute* parent) {
  Attribute* a = attribute.get();
  owned_.push_back(std::move(attribute));
  parent->AddSon(a);
  AddAttribute(a);
  return a;
}

Attribute* Props::Find(std::string_view name) const {
  auto it = by_name_.find(name);
  return it == by_name_.end() ? nullptr : it->second;
}

Attribute* Props::GetAttribute(std::string_view name) const {
  Attribute* a = Find(name);
  return a == nullptr ? no_such_ : a;
}

bool Props::Has(const Attribute* attribute) const {
  return attribute != nullptr && attribute->IsValid() && attribute->IsDescendedFrom(root_);
}

Attribute* Props::CreateBasicAttribute(std::string_view name) {
  return CreateBasicAttribute(name, kRootAttributeName, false, AttributeType::kString);
}

Attribute* Props::CreateBasicAttribute(std::string_view name, std::string_view parent_name,
                                       bool editable, AttributeType type) {
  return CreateAttribute(std::make_unique<BasicAttribute>(name, type, editable), parent_name);
}

Attribute* Props::CreateAttribute(std::unique_ptr<Attribute> attribute,
                                  std::string_view parent_name) {
  Require(attribute != nullptr, "CreateAttribute: null attribute");
  Attribute* parent = Find(parent_name);
  if (parent == nullptr || !parent->IsValid() || attribute->Name().empty()) {
    return nullptr;
  }
  if (Attribute* existing = Find(attribute->Name())) {
    // The same name under the same category is the same declaration; anywhere else
    // it would break the uniqueness of names.
    return existing->IsDescendedFrom(parent) && existing != parent ? existing : nullptr;
  }
  return Adopt(std::move(attribute), parent);
}

Attribute* Props::CreateCategory(std::string_view name, std::string_view parent_name) {
  Attribute* category = CreateBasicAttribute(
      name, parent_name.empty() ? kRootAttributeName : parent_name, false, AttributeType::kString);
  if (category != nullptr) {
    category->BeCategory();
  }
  return category;
}

void Props::AddAttribute(Attribute* attribute) {
  Require(attribute != nullptr, "AddAttribute: null attribute");
  by_name_[attribute->Name()] = attribute;
  stamp_ = NewPropsStamp();
  if (attribute != root_ && attribute->Father() != nullptr) {
    attribute->Father()->Sort(ByName());
  }
}

void Props::RemoveAttribute(Attribute* attribute) {
  Require(attribute != nullptr, "RemoveAttribute: null attribute");
  if (attribute == root_ || attribute == no_such_) {
    return;
  }
  std::vector<const Attribute*> doomed;
  for (Attribute* a = attribute; a != nullptr; a = a->NextWithin(attribute)) {
    doomed.push_back(a);
    auto it = by_name_.find(a->Name());
    if (it != by_name_.end() && it->second == a) {
      by_name_.erase(it);
    }
  }
  stamp_ = NewPropsStamp();
  attribute->Unhook();
  std::erase_if(owned_, [&doomed](const std::unique_ptr<Attribute>& a) {
    return std::find(doomed.begin(), doomed.end(), a.get()) != doomed.end();
  });
}

void Props::SetDefault(std::string_view name, std::string_view text) {
  if (Attribute* a = Find(name)) {
    a->SetDefault(text);
  }
}

void Props::Clear() {
  Reset();
}

void Props::NewlyCreated(Node* node) {
  Require(node != nullptr, "NewlyCreated: null note");
  for (Attribute* a = root_; a != nullptr; a = a->Next()) {
    a->NewlyCreated(node);
  }
}

std::vector<Attribute*> Props::All() const {
  std::vector<Attribute*> all;
  for (Attribute* a = root_; a != nullptr; a = a->Next()) {
    all.push_back(a);
  }
  return all;
}

}  // namespace fernweave
