// Sets (count, max, min) and the aggregates over groups of notes (sum, sum_if, avg_if,
// collect, collect_if, any, every).

#include <algorithm>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "lang/functions.h"
#include "lang/list_splitters.h"
#include "lang/parser.h"
#include "model/ht_path.h"
#include "model/hypertext.h"
#include "model/node.h"

namespace fernweave {

namespace {

bool IsDateTextOf(const std::string& s) { return IsDateText(s); }

// --- Sets ---------------------------------------------------------------------

// count(set): the number of distinct members. max(set), min(set): the largest or
// smallest member, compared as numbers when the operand is numeric or every member is
// a number, as dates when every member is a date, else as text.
class AASetFun : public AAFunction {
 public:
  AASetFun(FunctionCall call, int type) : AAFunction(std::move(call), type, 9997) {}

 protected:
  std::string Compute(Node* node, const std::string&, Captures& args) override {
    if (operand_ == nullptr) {
      return std::string();
    }
    const int type = operand_->AttributeType(node);
    const SetList set(operand_->Get(node, args));
    if (canonical() == "count") {
      return std::to_string(set.size());
    }
    if (set.empty()) {
      return IsNumericType(type) || type == kTypeDate ? "0" : std::string();
    }
    const std::vector<std::string>& items = set.items();
    double x;
    const bool numbers =
        IsNumericType(type) || std::all_of(items.begin(), items.end(), [&x](const std::string& s) {
          return ReadWholeNumber(s, &x);
        });
    const bool dates = !numbers && std::all_of(items.begin(), items.end(), IsDateTextOf);
    const auto less = [numbers, dates](const std::string& a, const std::string& b) {
      if (numbers) {
        return LeadingNumber(a) < LeadingNumber(b);
      }
      if (dates) {
        return ReadDate(a).GetNew() < ReadDate(b).GetNew();
      }
      return a < b;
    };
    const bool want_max = canonical() == "max";
    size_t best = 0;
    for (size_t i = 1; i < items.size(); ++i) {
      if (want_max ? less(items[best], items[i]) : less(items[i], items[best])) {
        best = i;
      }
    }
    return items[best];
  }
};

// --- Groups -------------------------------------------------------------------

enum class GroupKind { kNone, kChild, kDescendant, kAncestor, kSibling, kAll };

GroupKind KindOf(std::string_view keyword) {
  if (keyword == "child") {
    return GroupKind::kChild;
  }
  if (keyword == "descendant" || keyword == "descendent") {
    return GroupKind::kDescendant;
  }
  if (keyword == "ancestor") {
    return GroupKind::kAncestor;
  }
  if (keyword == "sibling") {
    return GroupKind::kSibling;
  }
  if (keyword == "all") {
    return GroupKind::kAll;
  }
  return GroupKind::kNone;
}

// Calls visit(note) for each note of the group in group order until it returns false.
// Returns false when the walk was cut short (by visit, or by a spent work budget).
template <typename Visit>
bool ForEachInGroup(Node* base, GroupKind kind, Visit visit) {
  const auto step = [&visit](Node* n) { return AAFunction::Spend(1) && visit(n); };
  switch (kind) {
    case GroupKind::kNone:
      return true;
    case GroupKind::kChild:
      for (Node* n = base->Son(); n != nullptr; n = n->Brother()) {
        if (!step(n)) {
          return false;
        }
      }
      return true;
    case GroupKind::kDescendant:
      for (Node* n = base->Son(); n != nullptr; n = n->NextWithin(base)) {
        if (!step(n)) {
          return false;
        }
      }
      return true;
    case GroupKind::kAncestor:
      // The notes above, nearest first; the document's root is not a note of its own.
      for (Node* n = base->Father(); n != nullptr && !n->IsRootNote(); n = n->Father()) {
        if (!step(n)) {
          return false;
        }
      }
      return true;
    case GroupKind::kSibling: {
      Node* father = base->Father();
      if (father == nullptr || base->IsRootNote()) {
        return true;
      }
      for (Node* n = father->Son(); n != nullptr; n = n->Brother()) {
        if (n != base && !step(n)) {
          return false;
        }
      }
      return true;
    }
    case GroupKind::kAll: {
      Node* root = base->GetHypertext() == nullptr ? nullptr : base->GetHypertext()->Root();
      for (Node* n = root == nullptr ? nullptr : root->Son(); n != nullptr; n = n->Next()) {
        if (!step(n)) {
          return false;
        }
      }
      return true;
    }
  }
  return true;
}

// The aggregates. The group (argument 1) is a keyword with an optional designator in
// parentheses; the value expression (the last argument) is parsed with the call, and
// when it does not parse the notes' attribute of that name is read instead; the
// condition of the ..._if forms (argument 2) decides which notes count. A condition that
// does not parse holds for no note.
class AACollect : public AAFunction {
 public:
  AACollect(FunctionCall call, size_t needed) : AAFunction(std::move(call), kTypeUnknown) {
    const std::string& group = raw().at(0);
    const size_t open = group.find('(');
    keyword_ = Parser::Trim(group.substr(0, open));
    if (open != std::string::npos) {
      designator_ = Parser::TrimQuotes(Parser::Trim(Parser::TrimParens(group.substr(open))));
    }
    kind_ = KindOf(keyword_);
    const int nesting = this->nesting();
    if (needed == 3) {
      condition_ = ParseArgument(raw().at(1), false, nesting);
    }
    if (canonical() != "any" && canonical() != "every") {
      value_text_ = raw().at(needed - 1);
      value_ = ParseArgument(value_text_, case_sensitive(), nesting);
    } else {
      condition_ = ParseArgument(raw().at(1), false, nesting);
    }
  }

  int AttributeType(const Node*) const override {
    const std::string& f = canonical();
    if (f == "sum" || f == "sum_if" || f == "avg_if") {
      return kTypeNumber;
    }
    if (f == "any" || f == "every") {
      return kTypeBoolean;
    }
    return kTypeSet;
  }

 protected:
  std::string Compute(Node* node, const std::string&, Captures&) override {
    Node* base = node;
    if (!designator_.empty()) {
      base = HTPath(designator_).Get(node);
      if (base == nullptr) {
        return Empty();
      }
    }
    const std::string& f = canonical();
    if (f == "any" || f == "every") {
      const bool want = f == "any";
      bool found = !want;
      const bool whole = ForEachInGroup(base, kind_, [&](Node* n) {
        if (Holds(n) == want) {
          found = want;
          return false;
        }
        return true;
      });
      if (whole || found == want) {
        return LogicalResult(found ? "true" : "").ToString();
      }
      return std::string();  // the work budget ran out before an answer
    }
    if (f == "collect" || f == "collect_if") {
      std::unordered_set<std::string> seen;
      std::string out;
      bool too_long = false;
      const bool whole = ForEachInGroup(base, kind_, [&](Node* n) {
        if (f == "collect_if" && !Holds(n)) {
          return true;
        }
        std::string text = ValueText(n);
        if (text.empty() || seen.count(text) != 0) {
          return true;
        }
        if (out.size() + text.size() + 1 > kMaxTextSize) {
          too_long = true;
          return false;
        }
        if (!out.empty()) {
          out += ';';
        }
        out += text;
        seen.insert(std::move(text));
        return true;
      });
      return whole && !too_long ? out : std::string();
    }
    double total = 0;
    size_t counted = 0;
    const bool conditional = f != "sum";
    const bool whole = ForEachInGroup(base, kind_, [&](Node* n) {
      if (conditional && !Holds(n)) {
        return true;
      }
      total += ValueNumber(n);
      ++counted;
      return true;
    });
    if (!whole) {
      return std::string();
    }
    if (f == "avg_if") {
      return FormatNumber(counted == 0 ? 0 : total / static_cast<double>(counted));
    }
    return FormatNumber(total);
  }

 private:
  std::string Empty() const {
    const std::string& f = canonical();
    if (f == "sum" || f == "sum_if" || f == "avg_if") {
      return "0";
    }
    return std::string();
  }

  bool Holds(Node* n) const {
    if (condition_ == nullptr || !condition_->IsValid()) {
      return false;
    }
    Captures captures;
    return LogicalResult(condition_->Get(n, captures)).IsTrue();
  }

  std::string ValueText(Node* n) const {
    if (!value_->IsValid()) {
      return n->GetString(value_text_);
    }
    Captures captures;
    return value_->Get(n, captures);
  }

  double ValueNumber(Node* n) const {
    double x;
    // FastNumber answers only for values that are numbers already, which read the same.
    if (value_->IsValid() && value_->FastNumber(n, &x)) {
      return x;
    }
    return LeadingNumber(ValueText(n));
  }

  std::string keyword_;
  std::string designator_;
  GroupKind kind_ = GroupKind::kNone;
  std::unique_ptr<AAValue> condition_;
  std::string value_text_;
  std::unique_ptr<AAValue> value_;
};

}  // namespace

std::unique_ptr<AAValue> MakeGroupFunction(FunctionCall call) {
  const std::string& f = call.canonical;
  if (f == "count") {
    return std::make_unique<AASetFun>(std::move(call), kTypeNumber);
  }
  if (f == "max" || f == "min") {
    const bool numeric = call.arguments != nullptr && IsNumericType(call.arguments->AttributeType(nullptr));
    return std::make_unique<AASetFun>(std::move(call), numeric ? kTypeNumber : kTypeUnknown);
  }
  const size_t needed = (f == "sum_if" || f == "avg_if" || f == "collect_if") ? 3 : 2;
  if (call.raw.size() < needed) {
    return std::make_unique<AAInvalid>(call.name + ": syntax error");
  }
  return std::make_unique<AACollect>(std::move(call), needed);
}

}  // namespace fernweave
