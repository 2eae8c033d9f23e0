#include "model/ht_path.h"

#include <cstdint>
#include <vector>

#include "model/hypertext.h"
#include "model/node.h"
#include "model/node_actions.h"
#include "model/path_evaluator.h"
#include "model/random_source.h"

namespace fernweave {
namespace {

PathExpressionEvaluator*& EvaluatorSlot() {
  static PathExpressionEvaluator* evaluator = nullptr;
  return evaluator;
}

std::string_view Trim(std::string_view text) {
  constexpr std::string_view kSpace = " \t\r\n\f\v";
  const size_t first = text.find_first_not_of(kSpace);
  if (first == std::string_view::npos) {
    return {};
  }
  const size_t last = text.find_last_not_of(kSpace);
  return text.substr(first, last - first + 1);
}

// Drops one pair of matching surrounding quotes, and a lone leading or trailing one.
std::string_view TrimQuotes(std::string_view text) {
  text = Trim(text);
  const auto is_quote = [](char c) { return c == '"' || c == '\''; };
  if (!text.empty() && is_quote(text.front())) {
    text.remove_prefix(1);
  }
  if (!text.empty() && is_quote(text.back())) {
    text.remove_suffix(1);
  }
  return text;
}

struct Parts {
  std::string_view path;
  std::string_view argument;
};

// Splits a path text into the designator or path and its argument in parentheses.
// An expression keeps its whole text. A ")" that comes before the first "(" gives no
// argument: the text between them would be read backwards.
Parts Split(std::string_view text) {
  const std::string_view trimmed = Trim(text);
  if (HTPath::IsExpression(trimmed)) {
    return {text, {}};
  }
  const size_t open = trimmed.find('(');
  const size_t close = trimmed.rfind(')');
  if (open == std::string_view::npos || close == std::string_view::npos || close < open) {
    return {trimmed, {}};
  }
  return {trimmed.substr(0, open), trimmed.substr(open + 1, close - open - 1)};
}

// Until export is built, a note can be exported when it is not the root and its
// `HTMLDontExport` is off.
bool CanBeExported(const Node* n) {
  return n != nullptr && !n->IsRoot() && !n->GetBoolean("HTMLDontExport");
}

// Makes a plain note named `name` as the last child of `parent` through an undoable
// creation; null when the parent cannot take it. The one place paths create notes.
Node* MakePathNote(Node* parent, std::string_view name) {
  return CreatePathNote(parent, name);
}

// Walks a slash path from `node` (from the root when it begins with "/"): an empty
// first component is skipped, a later empty one ends the walk. A missing child ends
// the walk with null, unless `make` is set: then a note named after the component is
// made there ("." and ".." above the root cannot be made). A walk ending on the root
// yields null.
Node* WalkPath(Node* node, std::string_view path, bool make) {
  Node* n = node;
  if (n != nullptr && !path.empty() && path.front() == '/') {
    Hypertext* doc = n->GetHypertext();
    n = doc == nullptr ? nullptr : doc->Root();
  }
  size_t pos = 0;
  bool first = true;
  while (n != nullptr && pos <= path.size()) {
    size_t slash = path.find('/', pos);
    if (slash == std::string_view::npos) {
      slash = path.size();
    }
    const std::string_view component = path.substr(pos, slash - pos);
    pos = slash + 1;
    if (component.empty()) {
      if (first) {
        first = false;
        continue;
      }
      break;  // a trailing or doubled "/" ends the walk here
    }
    first = false;
    Node* child = HTPath::FindChildNamed(n, component);
    if (child == nullptr && make && component != "." && component != "..") {
      // An alias holds no children; its original takes them.
      child = MakePathNote(n->GetOriginal(), component);
    }
    n = child;
  }
  return n == nullptr || n->IsRoot() ? nullptr : n;
}

enum class Designator {
  kThis,
  kParent,
  kGrandparent,
  kChild,
  kLastChild,
  kNextSibling,
  kPrevSibling,
  kFirstSibling,
  kLastSibling,
  kNext,
  kPrevious,
  kCover,
  kAgent,
  kAdornment,
  kOriginal,
  kRandomChild,
  kNone,
};

struct DesignatorName {
  std::string_view name;
  Designator designator;
};

constexpr DesignatorName kDesignators[] = {
    {"this", Designator::kThis},
    {".", Designator::kThis},
    {"parent", Designator::kParent},
    {"..", Designator::kParent},
    {"grandparent", Designator::kGrandparent},
    {"child", Designator::kChild},
    {"lastchild", Designator::kLastChild},
    {"lastChild", Designator::kLastChild},
    {"nextsibling", Designator::kNextSibling},
    {"nextSibling", Designator::kNextSibling},
    {"prevsibling", Designator::kPrevSibling},
    {"prevSibling", Designator::kPrevSibling},
    {"previoussibling", Designator::kPrevSibling},
    {"previousSibling", Designator::kPrevSibling},
    {"firstsibling", Designator::kFirstSibling},
    {"firstSibling", Designator::kFirstSibling},
    {"lastsibling", Designator::kLastSibling},
    {"lastSibling", Designator::kLastSibling},
    {"next", Designator::kNext},
    {"previous", Designator::kPrevious},
    {"cover", Designator::kCover},
    {"agent", Designator::kAgent},
    {"adornment", Designator::kAdornment},
    {"original", Designator::kOriginal},
    {"randomchild", Designator::kRandomChild},
    {"randomChild", Designator::kRandomChild},
};

Designator Lookup(std::string_view path) {
  for (const DesignatorName& d : kDesignators) {
    if (d.name == path) {
      return d.designator;
    }
  }
  return Designator::kNone;
}

// The father, unless the note or its father is the root (the root is never named).
Node* ParentOf(const Node* n) {
  if (n == nullptr || n->IsRoot()) {
    return nullptr;
  }
  Node* father = n->Father();
  return father == nullptr || father->IsRoot() ? nullptr : father;
}

// With n children, k = draw × n / kRawMax in 64 bits (the product overflows 32), and a
// draw of exactly kRawMax would give k = n: the last child is the furthest it goes.
Node* RandomChild(Node* n) {
  const size_t count = n->ChildCount();
  if (count == 0) {
    return n;
  }
  const uint64_t draw = Random().Raw();
  uint64_t k = draw * count / RandomSource::kRawMax;
  if (k >= count) {
    k = count - 1;
  }
  Node* child = n->Son();
  for (; k > 0 && child != nullptr; --k) {
    child = child->Brother();
  }
  return child;
}

// One step, then, when the note reached cannot be exported, further steps only while
// they stay inside `scope`'s subtree.
template <typename StepFn>
Node* StepExporting(Node* from, const Node* scope, bool exporting_only, StepFn step) {
  Node* n = step(from);
  if (n == nullptr || !exporting_only || CanBeExported(n)) {
    return n;
  }
  while (scope != nullptr && n->IsDescendedFrom(scope)) {
    n = step(n);
    if (n == nullptr || scope == nullptr || !n->IsDescendedFrom(scope)) {
      return nullptr;
    }
    if (CanBeExported(n)) {
      return n;
    }
  }
  return nullptr;
}

}  // namespace

std::vector<std::string> PathExpressionEvaluator::SplitSetMembers(std::string_view text) {
  return SplitSetMembersPlainly(text);
}

std::vector<std::string> SplitSetMembersPlainly(std::string_view text) {
  std::vector<std::string> members;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t semi = text.find(';', pos);
    if (semi == std::string_view::npos) {
      semi = text.size();
    }
    std::string_view m = text.substr(pos, semi - pos);
    while (!m.empty() && (m.front() == ' ' || m.front() == '\t')) {
      m.remove_prefix(1);
    }
    while (!m.empty() && (m.back() == ' ' || m.back() == '\t')) {
      m.remove_suffix(1);
    }
    if (!m.empty()) {
      members.emplace_back(m);
    }
    pos = semi + 1;
  }
  return members;
}

PathExpressionEvaluator* InstalledPathEvaluator() {
  return EvaluatorSlot();
}

PathExpressionEvaluator* InstallPathEvaluator(PathExpressionEvaluator* evaluator) {
  PathExpressionEvaluator* previous = EvaluatorSlot();
  EvaluatorSlot() = evaluator;
  return previous;
}

HTPath::HTPath(std::string_view text, bool exporting_only) : exporting_only_(exporting_only) {
  Parse(text);
}

void HTPath::Parse(std::string_view text) {
  const Parts parts = Split(text);
  path_ = std::string(parts.path);
  argument_ = std::string(parts.argument);
}

bool HTPath::IsExpression(std::string_view text) {
  return !text.empty() && (text.front() == '$' || text.front() == '"' || text.front() == '\'');
}

std::string HTPath::Evaluate(Node* node, std::string_view text) {
  const std::string expression(TrimQuotes(text));
  PathExpressionEvaluator* evaluator = InstalledPathEvaluator();
  return evaluator == nullptr ? expression : evaluator->Evaluate(node, expression);
}

Node* HTPath::FindChildNamed(Node* node, std::string_view name) {
  if (node == nullptr) {
    return nullptr;
  }
  if (name == ".") {
    return node;
  }
  if (name == "..") {
    return node->Father();
  }
  // An alias holds no children of its own: names below it are its original's children,
  // where creation along a path puts them.
  Node* holder = node->GetOriginal();
  if (holder == nullptr) {
    return nullptr;
  }
  for (Node* child = holder->Son(); child != nullptr; child = child->Brother()) {
    if (child->Name() == name) {
      return child;
    }
  }
  return nullptr;
}

Node* HTPath::ParsePath(Node* node, std::string_view path) {
  return WalkPath(node, path, false);
}

Node* HTPath::Next(Node* node) const {
  if (node == nullptr) {
    return nullptr;
  }
  return StepExporting(node, node, exporting_only_, [](Node* n) { return n->Next(); });
}

Node* HTPath::Previous(Node* node) const {
  if (node == nullptr) {
    return nullptr;
  }
  Node* n = StepExporting(node, node, exporting_only_, [](Node* n) { return n->Previous(); });
  // Stepping back from the first note reaches the root, which is never a result.
  return n == nullptr || n->IsRoot() ? nullptr : n;
}

Node* HTPath::NextSibling(Node* node) const {
  if (node == nullptr) {
    return nullptr;
  }
  return StepExporting(node, node->Father(), exporting_only_, [](Node* n) { return n->Brother(); });
}

Node* HTPath::PrevSibling(Node* node) const {
  if (node == nullptr) {
    return nullptr;
  }
  return StepExporting(node, node->Father(), exporting_only_,
                       [](Node* n) { return n->ElderBrother(); });
}

Node* HTPath::Resolve(Node* node, std::string_view path, bool exporting_only) const {
  path = Trim(path);
  std::string evaluated;
  if (IsExpression(path)) {
    Node* named = node->FindNodeNamed(TrimQuotes(path));
    if (named != nullptr) {
      return named->GetOriginal();
    }
    evaluated = Evaluate(node, path);
    path = Trim(evaluated);
  }
  const HTPath stepper("", exporting_only);
  Hypertext* doc = node->GetHypertext();
  switch (Lookup(path)) {
    case Designator::kThis:
      return node;
    case Designator::kParent:
      return ParentOf(node);
    case Designator::kGrandparent:
      return ParentOf(ParentOf(node));
    case Designator::kChild:
      return node->Son();
    case Designator::kLastChild:
      return node->YoungestSon();
    case Designator::kNextSibling:
      return stepper.NextSibling(node);
    case Designator::kPrevSibling:
      return stepper.PrevSibling(node);
    case Designator::kFirstSibling:
      // A note without a father (the root, a deleted note) has no siblings to name.
      return node->Father() == nullptr ? nullptr : node->Father()->Son();
    case Designator::kLastSibling:
      return node->Father() == nullptr ? nullptr : node->Father()->YoungestSon();
    case Designator::kNext:
      return stepper.Next(node);
    case Designator::kPrevious:
      return stepper.Previous(node);
    case Designator::kCover:
      return doc == nullptr ? nullptr : doc->FirstNode();
    case Designator::kAgent:
      return doc == nullptr ? nullptr : doc->CurrentAgent();
    case Designator::kAdornment:
      return doc == nullptr ? nullptr : doc->CurrentAdornment();
    case Designator::kOriginal:
      return node->GetOriginal();
    case Designator::kRandomChild:
      return RandomChild(node);
    case Designator::kNone:
      break;
  }
  Node* found = ParsePath(node, path);
  if (found == nullptr) {
    found = FindChildNamed(node, path);
  }
  if (found == nullptr && !path.empty()) {
    found = node->FindNodeNamed(path);
  }
  // FindChildNamed("..") of a top-level note is the root, which is never named.
  if (found == nullptr || found->IsRoot()) {
    return nullptr;
  }
  return found->GetOriginal();
}

// The nested arguments are resolved innermost first, each becoming the context of the
// one around it; iterative, so no depth of nesting can overflow the stack.
Node* HTPath::ArgumentContext(Node* node) const {
  std::vector<std::string_view> chain;
  for (std::string_view argument = argument_; !argument.empty();) {
    const Parts parts = Split(argument);
    chain.push_back(parts.path);
    argument = parts.argument;
  }
  Node* context = node;
  for (auto it = chain.rbegin(); it != chain.rend() && context != nullptr; ++it) {
    context = Resolve(context, *it, false);
  }
  return context;
}

Node* HTPath::Get(Node* node) const {
  if (node == nullptr) {
    return nullptr;
  }
  Node* context = ArgumentContext(node);
  return context == nullptr ? nullptr : Resolve(context, path_, exporting_only_);
}

const Node* HTPath::Get(const Node* node) const {
  // Resolution only reads the tree.
  return Get(const_cast<Node*>(node));
}

Node* HTPath::Create(Node* node) const {
  if (node == nullptr) {
    return nullptr;
  }
  if (Node* found = Get(node)) {
    return found;
  }
  Node* context = ArgumentContext(node);
  if (context == nullptr) {
    return nullptr;
  }
  std::string_view path = Trim(path_);
  std::string evaluated;
  if (IsExpression(path)) {
    evaluated = Evaluate(context, path);
    path = Trim(evaluated);
  }
  Node* n = WalkPath(context, path, true);
  return n == nullptr ? nullptr : n->GetOriginal();
}

std::string SlashPath(const Node* note) {
  std::string path = note->PathName();
  if (path.size() > 1 && path.back() == '/') {
    path.pop_back();
  }
  return path;
}

}  // namespace fernweave
