// The tree and links: inside, contains, descendedFrom, first, last, similarTo,
// indented, linkedTo, linkedFrom, the link actions linkTo, unlinkTo, linkFrom,
// unlinkFrom, and links.direction.type.attribute.
//
// Notes are compared by their originals, so an alias stands for its original. Every
// test answers empty for a hidden note and when its designator leads nowhere.

#include <algorithm>
#include <string>
#include <unordered_set>
#include <vector>

#include "lang/functions.h"
#include "lang/list_splitters.h"
#include "lang/parser.h"
#include "model/ht_path.h"
#include "model/hypertext.h"
#include "model/link.h"
#include "model/link_manager.h"
#include "model/node.h"
#include "model/word_index.h"

namespace fernweave {

namespace {

const std::string& Truth(bool b) { return LogicalResult(b ? "true" : "").ToString(); }

bool SameNote(const Node* a, const Node* b) {
  return a != nullptr && b != nullptr && a->GetOriginal() == b->GetOriginal();
}

// Whether one of the fathers above `n` (not `n` itself, not the root) is `ancestor`
// or stands for the same original.
bool HasAncestor(const Node* n, const Node* ancestor) {
  for (const Node* p = n->Father(); p != nullptr && !p->IsRootNote(); p = p->Father()) {
    if (SameNote(p, ancestor)) {
      return true;
    }
  }
  return false;
}

// Whether a link's type is `type`: any type for "*" or an empty type.
bool TypeMatches(const Link& link, const std::string& type) {
  return type.empty() || type == "*" || link.Name() == type;
}

class AAStructureFunction : public AAFunction {
 public:
  AAStructureFunction(FunctionCall call, int type) : AAFunction(std::move(call), type) {}

 protected:
  std::string Compute(Node* node, const std::string&, Captures& args) override {
    if (node->IsHidden()) {
      return std::string();
    }
    const std::string& f = canonical();
    if (f == "indented") {
      return Indented(node, args);
    }
    Node* target = Target(node, args);
    if (target == nullptr || target->IsHidden()) {
      return std::string();
    }
    if (f == "inside") {
      if (target->IsAdornment()) {
        return Truth(OnAdornment(node, target));
      }
      return Truth(node->GetOriginal() != nullptr && HasAncestor(node->GetOriginal(), target));
    }
    if (f == "contains") {
      return Truth(HasAncestor(target, node));
    }
    if (f == "descendedFrom") {
      return Truth(HasAncestor(node, target));
    }
    if (f == "first" || f == "last") {
      return Truth(AmongEnds(node, target, Count(args, node), f == "first"));
    }
    if (f == "similarTo") {
      const long n = Count(args, node);
      if (n <= 0) {
        return std::string();
      }
      const std::vector<Node*> best = MostSimilarNotes(*target, static_cast<size_t>(n));
      return Truth(std::find(best.begin(), best.end(), node->GetOriginal()) != best.end());
    }
    const std::string type = Parser::TrimQuotes(ArgumentText(1, node, args));
    const bool outbound = f == "linkedTo" || f == "linkTo" || f == "unlinkTo";
    Node* source = outbound ? node : target;
    Node* dest = outbound ? target : node;
    if (f == "linkedTo" || f == "linkedFrom") {
      return Truth(!LinksBetween(source, dest, type).empty());
    }
    if (f == "linkTo" || f == "linkFrom") {
      if (LinksBetween(source, dest, type == "*" ? std::string() : type).empty()) {
        LinkRecord record;
        record.add_to_document = true;
        record.source = source;
        record.dest = dest;
        record.name = type.empty() || type == "*" ? kUntitledLinkType : type;
        node->GetHypertext()->CreateLink(record);
      }
      return std::string();
    }
    // unlinkTo, unlinkFrom. Prototype links go only when that type is asked for:
    // removing one takes the note's prototype away.
    for (Link* link : LinksBetween(source, dest, type)) {
      if (!link->IsPrototype() || type == kPrototypeLinkType) {
        node->GetHypertext()->Links().Remove(link);
      }
    }
    return std::string();
  }

 private:
  // The designated note: the path argument's text, or the first argument's value, as a
  // designator from the note. Null when there is none.
  Node* Target(Node* node, Captures& args) const {
    AAValue* first = Argument(0);
    if (first == nullptr || dynamic_cast<AADefaultValue*>(first) != nullptr) {
      return nullptr;
    }
    const std::string path = Parser::TrimQuotes(first->Get(node, args));
    return path.empty() ? nullptr : HTPath(path).Get(node);
  }

  // The second argument as a count, 1 when it is missing.
  long Count(Captures& args, Node* node) const {
    AAValue* n = Argument(1);
    return n == nullptr ? 1 : n->GetNum(node, args);
  }

  static bool OnAdornment(const Node* note, const Node* adornment) {
    if (note->Father() != adornment->Father() || note == adornment) {
      return false;
    }
    const MapPoint p = note->Position();
    const MapPoint a = adornment->Position();
    return p.x >= a.x && p.x <= a.x + adornment->Width() && p.y >= a.y &&
           p.y <= a.y + adornment->Height();
  }

  static bool AmongEnds(const Node* note, const Node* container, long n, bool first) {
    Node* child = first ? container->Son() : container->YoungestSon();
    for (long i = 0; i < n && child != nullptr; ++i) {
      if (SameNote(child, note)) {
        return true;
      }
      child = first ? child->Brother() : child->ElderBrother();
    }
    return false;
  }

  // Links from source to dest of the type, hidden links and web links left out.
  static std::vector<Link*> LinksBetween(Node* source, Node* dest, const std::string& type) {
    std::vector<Link*> out;
    for (Link* link : source->GetHypertext()->Links().ListLinksFrom(source)) {
      if (!link->IsHidden() && !link->IsWebLink() && link->DestNode() == dest &&
          TypeMatches(*link, type)) {
        out.push_back(link);
      }
    }
    return out;
  }

  // indented(n[, container]): the note lies exactly n levels below the container (its
  // children are level 1); without a container, levels count from the top of the
  // document (top-level notes are level 0).
  std::string Indented(Node* node, Captures& args) {
    if (node->IsRootNote()) {
      return std::string();
    }
    long count = Argument(0) == nullptr ? 0 : Argument(0)->GetNum(node, args);
    Node* container = nullptr;
    if (ArgumentCount() > 1) {
      const std::string path = Parser::TrimQuotes(ArgumentText(1, node, args));
      container = path.empty() ? nullptr : HTPath(path).Get(node);
    }
    if (container != nullptr) {
      --count;
    } else {
      container = node->GetHypertext()->Root();
    }
    for (Node* p = node->Father(); p != nullptr; p = p->Father()) {
      if (p == container) {
        return Truth(count == 0);
      }
      if (p->IsRootNote() || count < 0) {
        return std::string();
      }
      --count;
    }
    return std::string();
  }
};

// links[(designator)].direction.type.attribute: the set of the attribute's values of
// the notes at the far end of the note's links. Web links have no note at their far
// end; they give their URL.
class AALinks : public AAValue {
 public:
  AALinks(std::string text, std::string designator, std::string direction, std::string type,
          std::string attribute)
      : AAValue(std::move(text)),
        designator_(Parser::TrimQuotes(designator)),
        direction_(std::move(direction)),
        type_(std::move(type)),
        attribute_(std::move(attribute)) {}

  std::string Get(Node* node, const std::string&, Captures&) override {
    if (node != nullptr && !designator_.empty()) {
      node = HTPath(designator_).Get(node);
    }
    if (node == nullptr || node->IsHidden()) {
      return std::string();
    }
    const LinkManager& links = node->GetHypertext()->Links();
    LinkBundle bundle;
    const bool inbound = direction_ == "inbound";
    if (inbound) {
      bundle = links.ListLinksTo(node);
    } else if (direction_ == "outbound") {
      bundle = links.ListLinksFrom(node).OmitWebLinks();
    } else if (direction_ == "web") {
      bundle = links.ListWebLinksFrom(node);
    }
    std::unordered_set<std::string> seen;
    std::string out;
    for (Link* link : bundle.OmitPrototypes().OmitHidden()) {
      if (!type_.empty() && link->Name() != type_) {
        continue;
      }
      std::string value;
      if (link->IsWebLink() && !inbound) {
        value = link->URL();
      } else {
        Node* far = inbound ? link->SourceNode() : link->DestNode();
        if (far == nullptr) {
          continue;
        }
        value = far->GetString(attribute_);
      }
      if (value.empty() || !seen.insert(value).second) {
        continue;
      }
      if (out.size() + value.size() + 1 > kMaxTextSize) {
        return std::string();
      }
      if (!out.empty()) {
        out += ';';
      }
      out += value;
    }
    return out;
  }
  int AttributeType(const Node*) const override { return kTypeSet; }
  void Dump(std::string* out) const override { *out += token_; }

 private:
  std::string designator_;
  std::string direction_;
  std::string type_;
  std::string attribute_;
};

}  // namespace

std::unique_ptr<AAValue> MakeStructureFunction(FunctionCall call) {
  const std::string& f = call.canonical;
  const bool action = f == "linkTo" || f == "unlinkTo" || f == "linkFrom" || f == "unlinkFrom";
  return std::make_unique<AAStructureFunction>(std::move(call),
                                               action ? kTypeString : kTypeBoolean);
}

std::unique_ptr<AAValue> MakeLinksValue(const std::string& designator, bool has_designator,
                                        const std::string& dotted) {
  const ArgList parts(dotted, '.', true);
  if (parts.size() < 4) {
    return std::make_unique<AAInvalid>("links: syntax error");
  }
  std::string text = "links";
  if (has_designator) {
    text += "(" + designator + ")";
  }
  text += dotted.substr(5);
  return std::make_unique<AALinks>(text, Parser::Trim(designator), parts.at(1),
                                   Parser::TrimQuotes(parts.at(2)), parts.at(3));
}

}  // namespace fernweave
