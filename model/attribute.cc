#include "model/attribute.h"

#include <algorithm>

#include <unicode/uchar.h>

#include "foundation/error.h"
#include "foundation/unicoder.h"
#include "model/hypertext.h"
#include "model/node.h"
#include "model/values.h"

namespace fernweave {

Attribute::Attribute(std::string_view name, AttributeType type, bool editable)
    : name_(NormalizeName(name)), type_(type), editable_(editable) {}

Attribute::~Attribute() = default;

std::string Attribute::NormalizeName(std::string_view text) {
  std::string name;
  name.reserve(text.size());
  size_t pos = 0;
  while (pos < text.size()) {
    // Character by character: a letter or digit of any script is kept whole.
    const Utf8Step step = DecodeUtf8(text, pos);
    const size_t length = std::max<size_t>(step.length, 1);
    const bool well_formed = step.code_point != Utf8Step::kIllFormed &&
                             !(step.code_point >= 0xD800 && step.code_point <= 0xDFFF);
    const UChar32 c = static_cast<UChar32>(step.code_point);
    if (well_formed && u_isUWhiteSpace(c)) {
      // blanks are dropped
    } else if (well_formed && u_isalnum(c)) {
      name.append(text.substr(pos, length));
    } else {
      name += '_';
    }
    pos += length;
  }
  return name;
}

void Attribute::SetName(std::string_view text) {
  name_ = NormalizeName(text);
}

const Value* Attribute::ValueFor(const Node* node) const {
  if (const Value* v = ImmediateValue(node)) {
    return v;
  }
  return GetDefaultValue(node);
}

const Value* Attribute::ImmediateValue(const Node* node) const {
  return node == nullptr ? nullptr : node->DoGet(this);
}

void Attribute::Set(Node*, ValuePtr) const {}

void Attribute::Remove(Node* node) const {
  if (node == nullptr || !IsValid()) {
    return;
  }
  // The note decides where its value lives: an alias resets its original for an
  // attribute it shares, and itself for one it keeps of its own (its map position).
  node->DoRemove(this);
}

void Attribute::SetDefault(ValuePtr) {}

void Attribute::SetDefault(std::string_view text) {
  SetDefault(Value::Create(type_, text));
}

void Attribute::SetDefaultBoolean(bool b) {
  SetDefault(Value::ForBoolean(b));
}

const Value* Attribute::GetDefaultValue(const Node*) const {
  return GetTheDefaultValue();
}

const Value* Attribute::GetTheDefaultValue() const {
  // A plain Attribute has no default of its own; the shared empty text stands in.
  static const Value* const kEmpty = CountedStringValue::Empty().release();
  return kEmpty;
}

std::string Attribute::GetDefaultValueAsString(const Node* node) const {
  return GetDefaultValue(node)->AsString();
}

std::string Attribute::GetDefaultValueAsString() const {
  return GetTheDefaultValue()->AsString();
}

std::string Attribute::GetDefaultValueAsXML(const Hypertext*) const {
  return GetTheDefaultValue()->AsXML();
}

bool Attribute::IsReadOnly() const {
  return !editable_ && !IsUserAttribute();
}

bool Attribute::IsUserAttribute() const {
  for (const Attribute* a = Father(); a != nullptr; a = a->Father()) {
    if (a->Name() == kUserCategory) {
      return true;
    }
    if (a->IsRoot()) {
      break;
    }
  }
  return false;
}

void Attribute::NewlyCreated(Node* node) {
  Require(node != nullptr, "NewlyCreated: null note");
  if (!IsValid() || IsAttributeCategory()) {
    return;
  }
  if (sequential_ && type_ == AttributeType::kNumber) {
    InitializeSequentialValue(node);
  } else if (type_ == AttributeType::kDate) {
    const Value* d = GetTheDefaultValue();
    if (d->AsDate() != 0 && node->StoredValue(this) == nullptr) {
      node->Set(this, d->Clone());
    }
  }
}

void Attribute::InitializeSequentialValue(Node* node) {
  // Only numbers count in sequence; a date or text flagged sequential is left alone.
  if (node == nullptr || node->IsAlias() || type_ != AttributeType::kNumber) {
    return;
  }
  const int32_t d = GetTheDefaultValue()->AsLong();
  const Value* own = node->StoredValue(this);
  if (own != nullptr && own->AsDouble() > d) {
    return;
  }
  SetDefault(Value::ForInt(d + 1));
  node->Set(this, Value::ForInt(d + 1));
}

void Attribute::Initialize(Hypertext* hypertext) {
  if (hypertext == nullptr || !sequential_ || type_ != AttributeType::kNumber) {
    return;
  }
  for (Node* n = hypertext->Root()->Next(); n != nullptr; n = n->Next()) {
    InitializeSequentialValue(n);
  }
}

BasicAttribute::BasicAttribute(std::string_view name, AttributeType type, bool editable)
    : Attribute(name, type, editable), default_(DefaultForType(type)) {}

BasicAttribute::~BasicAttribute() = default;

ValuePtr BasicAttribute::DefaultForType(AttributeType type) {
  switch (type) {
    case AttributeType::kNumber:
      return Value::ForInt(0);
    case AttributeType::kBoolean:
      return Value::ForBoolean(false);
    case AttributeType::kDate:
      return Value::ForDate(int64_t{0});
    default:
      return Value::Create("");
  }
}

void BasicAttribute::Set(Node* node, ValuePtr value) const {
  if (node == nullptr || IsAttributeCategory()) {
    return;
  }
  node->DoSet(this, std::move(value));
}

void BasicAttribute::SetDefault(ValuePtr value) {
  if (value != nullptr) {
    default_ = std::move(value);
  }
}

const Value* BasicAttribute::GetDefaultValue(const Node*) const {
  return default_.get();
}

void ReadOnlyAttribute::Set(Node*, ValuePtr) const {}

void ReadOnlyAttribute::Remove(Node*) const {}

const Value* NullAttribute::ImmediateValue(const Node*) const {
  return nullptr;
}

}  // namespace fernweave
