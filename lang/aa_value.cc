#include "lang/aa_value.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <typeinfo>

#include <boost/regex.hpp>

#include "foundation/clock.h"
#include "lang/list_splitters.h"
#include "model/attribute.h"
#include "model/content.h"
#include "model/ht_path.h"
#include "model/hypertext.h"
#include "model/node.h"
#include "model/props.h"
#include "model/special_attributes.h"
#include "model/values.h"

namespace fernweave {

const std::string AAValue::kTrue = "true";
const std::string AAValue::kFalse;

const std::string& LogicalResult::ToString() const {
  return value_ ? AAValue::kTrue : AAValue::kFalse;
}

namespace {

// Length of the decimal number at the start of `s` (sign, digits, fraction, exponent),
// 0 when there is none.
size_t ScanNumber(std::string_view s) {
  size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
    ++i;
  }
  size_t digits = 0;
  while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) {
    ++i;
    ++digits;
  }
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) {
      ++i;
      ++digits;
    }
  }
  if (digits == 0) {
    return 0;
  }
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    size_t j = i + 1;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) {
      ++j;
    }
    const size_t exponent_start = j;
    while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) {
      ++j;
    }
    if (j > exponent_start) {
      i = j;
    }
  }
  return i;
}

double ParseScanned(std::string_view s) {
  if (!s.empty() && s.front() == '+') {
    s.remove_prefix(1);
  }
  double x = 0;
  const auto result = std::from_chars(s.data(), s.data() + s.size(), x);
  if (result.ec == std::errc::result_out_of_range) {
    // Too large a magnitude reads as an infinity, too small as 0.
    const bool tiny = s.find_first_of("eE") != std::string_view::npos &&
                      s.find("e-") != std::string_view::npos;
    x = tiny ? 0.0 : (s.front() == '-' ? -HUGE_VAL : HUGE_VAL);
  }
  return x;
}

std::string_view SkipBlanks(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) {
    s.remove_prefix(1);
  }
  return s;
}

bool IsNameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; }

}  // namespace

int EvaluationScope::active_ = 0;
uint64_t EvaluationScope::tick_ = 0;

std::string FormatNumber(double x) {
  if (x == 0) {
    return "0";  // never "-0"
  }
  // Whole numbers below a million print the same in both notations; write them
  // without the formatter.
  if (x > -1e6 && x < 1e6 && x == static_cast<double>(static_cast<int64_t>(x))) {
    return std::to_string(static_cast<int64_t>(x));
  }
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.6g", x);
  return buffer;
}

double LeadingNumber(std::string_view text) {
  text = SkipBlanks(text);
  const size_t n = ScanNumber(text);
  return n == 0 ? 0.0 : ParseScanned(text.substr(0, n));
}

bool ReadWholeNumber(std::string_view text, double* x) {
  text = SkipBlanks(text);
  const size_t n = ScanNumber(text);
  if (n == 0 || !SkipBlanks(text.substr(n)).empty()) {
    return false;
  }
  *x = ParseScanned(text.substr(0, n));
  return true;
}

STime ReadDate(std::string_view text) {
  return text.size() > kMaxDateText ? STime(int64_t{0}) : STime::For(text);
}

bool IsDateText(std::string_view text) {
  return text.size() <= kMaxDateText && STime::IsDate(text);
}

int AttributeTypeOf(const Node* node, std::string_view name) {
  if (node == nullptr) {
    return kTypeUnknown;
  }
  const Attribute* a = node->GetAttribute(name);
  if (!a->IsValid() || a->IsAttributeCategory()) {
    return kTypeUnknown;
  }
  return static_cast<int>(a->GetType());
}

bool DateCache::IsCached() {
  if (filled_ && NowLocalSeconds() < expiry_) {
    return true;
  }
  filled_ = false;
  return false;
}

void DateCache::Set(int64_t seconds) {
  seconds_ = seconds;
  expiry_ = NowLocalSeconds() + 5 * 60;
  filled_ = true;
}

// --- AAValue ------------------------------------------------------------------

AAValue::~AAValue() {
  // A long comma chain is released one item at a time, not by recursion.
  std::unique_ptr<AAValue> item = std::move(next_);
  while (item != nullptr) {
    std::unique_ptr<AAValue> following = std::move(item->next_);
    item.reset();
    item = std::move(following);
  }
}

std::string AAValue::Do(Node* target, Node* node, const std::string& name, Captures& args) {
  std::string text = Get(node, name, args);
  if (target != nullptr) {
    target->Set(name, text);
  }
  return text;
}

void AAValue::SetLeft(std::unique_ptr<AAValue> /*value*/) {}
void AAValue::SetRight(std::unique_ptr<AAValue> /*value*/) {}

void AAValue::SetNext(std::unique_ptr<AAValue> value) { next_ = std::move(value); }

void AAValue::NoteChild(const AAValue* child) {
  if (child != nullptr && child->depth_ + 1 > depth_) {
    depth_ = child->depth_ + 1;
  }
}

long AAValue::GetNum(Node* node, Captures& args) {
  const double x = LeadingNumber(Get(node, args));
  if (!(x > -2147483648.0 && x < 2147483648.0)) {
    return 0;
  }
  return static_cast<long>(x);
}

STime AAValue::GetDate(Node* node, Captures& args) { return ReadDate(Get(node, args)); }

bool AAValue::FastTruth(Node* node, bool* truth) {
  std::string_view text;
  if (!Pure() || !LendText(node, &text)) {
    return false;
  }
  *truth = LogicalResult(text).IsTrue();
  return true;
}

int AAValue::AttributeType(const Node* /*node*/) const { return kTypeUnknown; }

int AAValue::ResultType(const Node* node, const std::string& name) const {
  return name.empty() ? kTypeUnknown : AttributeTypeOf(node, name);
}

// --- Text ---------------------------------------------------------------------

AAStringValue::AAStringValue(std::string text, char quote)
    : AAValue(text), quote_(quote), text_(std::move(text)) {
  interpolate_ = text_.find('$') != std::string::npos;
}

std::string AAStringValue::Get(Node* node, const std::string& /*name*/, Captures& args) {
  if (quote_ == 0 && node != nullptr && !text_.empty()) {
    const Attribute* a = node->GetAttribute(text_);
    if (a->IsValid() && !a->IsAttributeCategory() && text_.front() != '$') {
      return node->Get(a)->AsString();
    }
  }
  if (!interpolate_) {
    return text_;
  }
  return Interpolate(node, args);
}

std::string AAStringValue::Interpolate(Node* node, Captures& /*args*/) const {
  std::string out;
  const size_t n = text_.size();
  size_t i = 0;
  while (i < n) {
    const char c = text_[i];
    if (c == '\\' && i + 1 < n && text_[i + 1] == '$') {
      out += '$';
      i += 2;
      continue;
    }
    if (c != '$') {
      out += c;
      ++i;
      continue;
    }
    ++i;
    std::string name;
    std::string path;
    bool has_path = false;
    char trailing = 0;
    while (i < n) {
      const char d = text_[i];
      if (IsNameChar(d)) {
        name += d;
        ++i;
        continue;
      }
      ++i;
      if (d == '(') {
        has_path = true;
        while (i < n && text_[i] != ')') {
          path += text_[i++];
        }
        if (i < n) {
          ++i;
        }
      } else if (d != '$' && !std::isspace(static_cast<unsigned char>(d))) {
        // Any other character ends the name and stays in the text.
        trailing = d;
      }
      break;
    }
    Node* target = node;
    if (has_path && target != nullptr) {
      target = HTPath(path).Get(target);
    }
    if (target != nullptr) {
      target = target->GetOriginal();
    }
    const Attribute* a = target == nullptr ? nullptr : target->GetAttribute(name);
    if (a != nullptr && a->IsValid() && !a->IsAttributeCategory()) {
      out += target->Get(a)->AsString();
    } else {
      out += '$';
      out += name;
    }
    if (trailing != 0) {
      out += trailing;
    }
    if (out.size() > kMaxTextSize) {
      return std::string();
    }
  }
  return out;
}

std::string AAStringValue::Do(Node* target, Node* /*node*/, const std::string& name,
                              Captures& /*args*/) {
  if (target == nullptr) {
    return std::string();
  }
  std::string text = text_;
  if (quote_ == 0 && !text_.empty() && text_.front() != '$' && target->HasAttribute(text_)) {
    text = target->GetString(text_);
  }
  if (target->GetAttribute(name)->IsSet()) {
    target->SetSet(name, text);
    return target->GetString(name);
  }
  target->Set(name, text);
  return text;
}

bool AAStringValue::LendText(Node* /*node*/, std::string_view* text) {
  // A bare word may name an attribute and reads its value; a quoted text never does.
  if (quote_ == 0 || interpolate_) {
    return false;
  }
  *text = text_;
  return true;
}

STime AAStringValue::GetDate(Node* node, Captures& args) {
  // A literal is read once and kept for a while; text that depends on the note is not.
  const bool literal = !interpolate_ && (quote_ != 0 || node == nullptr || !node->HasAttribute(text_));
  if (!literal) {
    return AAValue::GetDate(node, args);
  }
  if (!date_cache_.IsCached()) {
    date_cache_.Set(ReadDate(text_).GetNew());
  }
  return STime(date_cache_.seconds());
}

int AAStringValue::AttributeType(const Node* node) const {
  if (quote_ != 0) {
    return kTypeString;
  }
  const int type = AttributeTypeOf(node, text_);
  return type == kTypeUnknown ? kTypeString : type;
}

void AAStringValue::Dump(std::string* out) const {
  if (quote_ != 0) {
    // Escaped as the quote reader reads them back.
    *out += quote_;
    for (const char c : text_) {
      if (c == quote_) {
        *out += '\\';
        *out += c;
      } else if (c == '\t') {
        *out += "\\t";
      } else if (c == '\r') {
        *out += "\\r";
      } else {
        *out += c;
      }
    }
    *out += quote_;
  } else {
    *out += text_;
  }
}

void AAInvalid::Dump(std::string* out) const { *out += "<invalid: " + text_ + ">"; }

// --- Regular expressions ------------------------------------------------------

struct AARegexValue::Compiled {
  boost::regex re;
  bool ok = false;
};

AARegexValue::AARegexValue(std::string attribute, std::string pattern, bool case_sensitive)
    : AAStringValue(std::move(pattern), 0),
      attribute_(std::move(attribute)),
      case_sensitive_(case_sensitive) {}

AARegexValue::~AARegexValue() = default;

std::string AARegexValue::Get(Node* node, const std::string& /*name*/, Captures& args) {
  if (node == nullptr || node->GetOriginal() == nullptr) {
    return kFalse;
  }
  Node* original = node->GetOriginal();
  const Attribute* a = original->GetAttribute(attribute_);
  // The text attribute's value is the note's text; search it where it lies.
  std::string held;
  const bool is_text = dynamic_cast<const TextAttribute*>(a) != nullptr;
  if (!is_text) {
    held = original->Get(a)->AsString();
  }
  const std::string& value = is_text ? original->GetContent()->text() : held;
  if (a->IsSet()) {
    return SetList(value).Has(text_) ? kTrue : kFalse;
  }
  if (compiled_ == nullptr) {
    compiled_ = std::make_unique<Compiled>();
    try {
      boost::regex::flag_type flags = boost::regex::perl;
      if (!case_sensitive_) {
        flags |= boost::regex::icase;
      }
      compiled_->re.assign(text_, flags);
      compiled_->ok = true;
    } catch (const std::exception&) {
      compiled_->ok = false;  // a pattern the engine rejects never matches
    }
  }
  if (!compiled_->ok) {
    return kFalse;
  }
  try {
    boost::smatch match;
    if (!boost::regex_search(value, match, compiled_->re)) {
      return kFalse;
    }
    for (size_t i = 0; i < match.size(); ++i) {
      args.push_back(match[i].str());
    }
    return kTrue;
  } catch (const std::exception&) {
    return kFalse;  // the engine gave up (too complex a search)
  }
}

void AARegexValue::Dump(std::string* out) const { *out += attribute_ + "(" + text_ + ")"; }

// --- Captures, attributes, defaults, conditions --------------------------------

AAMatchValue::AAMatchValue(std::string text) : AAValue(std::move(text)), number_(0) {
  for (size_t i = 1; i < token_.size() && std::isdigit(static_cast<unsigned char>(token_[i]));
       ++i) {
    number_ = number_ * 10 + static_cast<size_t>(token_[i] - '0');
    if (number_ > 1000000) {
      break;
    }
  }
}

std::string AAMatchValue::Get(Node* /*node*/, const std::string& /*name*/, Captures& args) {
  return number_ < args.size() ? args[number_] : token_;
}

std::string AAMatchValue::Do(Node* target, Node* node, const std::string& name, Captures& args) {
  return AAValue::Do(target, node, name, args);
}

AAAttributeValue::AAAttributeValue(std::string name, std::string path)
    : AAValue("$" + name),
      name_(std::move(name)),
      path_(std::move(path)),
      is_name_(name_ == "Name") {}

Node* AAAttributeValue::Target(Node* node) const {
  if (node == nullptr || path_.empty()) {
    return node;
  }
  return HTPath(path_).Get(node);
}

const Attribute* AAAttributeValue::Lookup(const Node* target) const {
  // The name leads to the same attribute for every note of the document until the
  // registry changes; the stamp also tells one document's registry from another's.
  const Hypertext* doc = target->GetHypertext();
  if (doc == nullptr) {
    return target->GetAttribute(name_);  // refused there
  }
  const uint64_t stamp = doc->Properties().Stamp();
  if (memo_stamp_ == stamp) {
    return memo_attribute_;
  }
  const Attribute* a = target->GetAttribute(name_);
  memo_attribute_ = a;
  memo_stamp_ = stamp;
  return a;
}

bool AAAttributeValue::FastNumber(Node* node, double* x) {
  Node* target = Target(node);
  if (target == nullptr) {
    return false;
  }
  const Attribute* a = Lookup(target);
  if (!a->IsValid() || a->IsAttributeCategory() || !IsNumericType(static_cast<int>(a->GetType()))) {
    return false;
  }
  // Only the number kinds whose text is plain decimal digits qualify; booleans (which
  // print "true") and text do not.
  const Value* value = target->Get(a);
  if (dynamic_cast<const CountedBooleanValue*>(value) != nullptr) {
    return false;
  }
  if (const auto* n = dynamic_cast<const LongValue*>(value)) {
    *x = n->value();
    return true;
  }
  if (const auto* n = dynamic_cast<const UnsignedValue*>(value)) {
    *x = n->value();
    return true;
  }
  if (const auto* n = dynamic_cast<const DoubleValue*>(value)) {
    // The display text keeps ten significant digits; read the number those digits
    // give. Outside this range the text may use an exponent, which the slow path reads.
    const double v = n->value();
    const double magnitude = std::fabs(v);
    if (v != 0 && !(magnitude >= 1e-4 && magnitude < 1e10)) {
      return false;
    }
    char buffer[64];
    const auto printed =
        std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::general, 10);
    if (printed.ec != std::errc()) {
      return false;
    }
    std::from_chars(buffer, printed.ptr, *x);
    return true;
  }
  return false;
}

std::string AAAttributeValue::Get(Node* node, const std::string& /*name*/, Captures& /*args*/) {
  Node* target = Target(node);
  if (target == nullptr) {
    return std::string();
  }
  const Attribute* a = Lookup(target);
  if (!a->IsValid() || a->IsAttributeCategory()) {
    return "$" + name_;
  }
  if (is_name_) {
    const Node* original = target->GetOriginal();
    return original == nullptr ? std::string() : original->Name();
  }
  return target->Get(a)->AsString();
}

bool AAAttributeValue::LendText(Node* node, std::string_view* text) {
  if (node == nullptr || !path_.empty() || is_name_) {
    return false;
  }
  // A computed value is replaced by the next read, which the other side of a
  // comparison may make: its text is made and kept instead.
  const Attribute* a = Lookup(node);
  if (!a->IsValid() || a->IsAttributeCategory() || a->ComputesValues()) {
    return false;
  }
  // Text values hold their text as it prints; other kinds make theirs. Asked by exact
  // kind: a full cast costs more than the rest of a comparison.
  const Value* value = node->Get(a);
  const std::type_info& kind = typeid(*value);
  if (kind != typeid(StringValue) && kind != typeid(CountedStringValue)) {
    return false;
  }
  *text = static_cast<const StringValue*>(value)->text();
  return true;
}

std::string AAAttributeValue::Do(Node* target, Node* node, const std::string& name,
                                 Captures& args) {
  if (target == nullptr) {
    return std::string();
  }
  std::string text = Get(node, name, args);
  if (target->HasAttribute(name) && AttributeType(node) == kTypeDate) {
    text = ReadDate(text).AsShortString();
  }
  target->Set(name, text);
  return text;
}

int AAAttributeValue::AttributeType(const Node* node) const {
  if (node == nullptr) {
    return kTypeUnknown;
  }
  const Attribute* a = Lookup(node);
  if (!a->IsValid() || a->IsAttributeCategory()) {
    return kTypeUnknown;
  }
  return static_cast<int>(a->GetType());
}

void AAAttributeValue::Dump(std::string* out) const {
  *out += "$" + name_;
  if (!path_.empty()) {
    *out += "(" + path_ + ")";
  }
}

std::string AADefaultValue::Get(Node* node, const std::string& name, Captures& /*args*/) {
  if (node == nullptr || name.empty()) {
    return std::string();
  }
  return node->GetDefaultAsString(name);
}

std::string AADefaultValue::Do(Node* target, Node* /*node*/, const std::string& name,
                               Captures& /*args*/) {
  if (target == nullptr) {
    return std::string();
  }
  target->Remove(name);
  return target->GetString(name);
}

AAIfExpression::AAIfExpression(std::unique_ptr<AAValue> condition,
                               std::unique_ptr<AAValue> then_value,
                               std::unique_ptr<AAValue> else_value)
    : AAValue("if"),
      condition_(std::move(condition)),
      then_(std::move(then_value)),
      else_(std::move(else_value)) {
  NoteChild(condition_.get());
  NoteChild(then_.get());
  NoteChild(else_.get());
}

std::string AAIfExpression::Get(Node* node, const std::string& name, Captures& args) {
  const bool holds = condition_ != nullptr && condition_->IsValid() &&
                     LogicalResult(condition_->Get(node, args)).IsTrue();
  AAValue* chosen = holds ? then_.get() : else_.get();
  return chosen == nullptr ? std::string() : chosen->Get(node, name, args);
}

bool AAIfExpression::IsValid() const { return condition_ != nullptr && condition_->IsValid(); }

void AAIfExpression::Dump(std::string* out) const {
  *out += "if(";
  if (condition_ != nullptr) {
    condition_->Dump(out);
  }
  *out += "){";
  if (then_ != nullptr) {
    then_->Dump(out);
  }
  *out += "}";
  if (else_ != nullptr) {
    *out += "else{";
    else_->Dump(out);
    *out += "}";
  }
}

}  // namespace fernweave
