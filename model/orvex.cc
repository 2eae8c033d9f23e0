#include "model/orvex.h"

#include "model/attribute.h"

namespace fernweave {

std::unique_ptr<Orvex> Orvex::Create(std::string_view file_name) {
  std::unique_ptr<Orvex> orvex(new Orvex());
  orvex->Initialize(file_name);
  return orvex;
}

Node* Orvex::GetDefaultPrototype() {
  if (default_prototype_ != nullptr &&
      (!HasNode(default_prototype_) || !default_prototype_->GetBoolean("IsPrototype"))) {
    default_prototype_ = nullptr;
  }
  return default_prototype_;
}

void Orvex::CantInherit(std::string_view name) {
  if (Attribute* a = Properties().Find(name)) {
    a->CanInherit(false);
  }
}

}  // namespace fernweave
