// The group codes: truth over a group of notes ("^every^", "^any^") and numbers
// aggregated over it ("^count^", "^sum^", "^min^", "^max^", "^mean^").

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "export/export_template.h"
#include "export/markup_element.h"
#include "export/markup_support.h"
#include "model/hypertext.h"
#include "model/node.h"

namespace fernweave {

namespace {

// Arguments: (group, attribute[, third]). The group is "child", "descendant" (or
// "descendent"), "ancestor", "sibling" or "all"; any other text designates a note
// whose children form the group.
class MarkupGroup : public MarkupExportElement {
 public:
  using MarkupExportElement::MarkupExportElement;

 protected:
  std::vector<Node*> Choose(Node* node, ExportTemplate* t) const {
    std::vector<Node*> group;
    if (node == nullptr) {
      return group;
    }
    const std::string which = std::string(TrimmedText(Evaluated(0, node, t)));
    Node* self = node->GetOriginal() != nullptr ? node->GetOriginal() : node;
    if (which == "child") {
      ChooseChildren(self, &group);
    } else if (which == "descendant" || which == "descendent") {
      for (Node* n = self->Son(); n != nullptr; n = n->NextWithin(self)) {
        group.push_back(n);
      }
    } else if (which == "ancestor") {
      for (Node* a = node->Father(); a != nullptr && !a->IsRoot(); a = a->Father()) {
        group.push_back(a);
      }
    } else if (which == "sibling") {
      Node* parent = node->Father();
      for (Node* c = parent != nullptr ? parent->Son() : nullptr; c != nullptr; c = c->Brother()) {
        if (c != node) {
          group.push_back(c);
        }
      }
    } else if (which == "all") {
      Node* root = node->GetHypertext()->Root();
      for (Node* n = root->Son(); n != nullptr; n = n->NextWithin(root)) {
        group.push_back(n);
      }
    } else if (Node* other = GetNodeNamed(node, which, t, true); other != nullptr) {
      ChooseChildren(other->GetOriginal() != nullptr ? other->GetOriginal() : other, &group);
    }
    return group;
  }

 private:
  static void ChooseChildren(Node* parent, std::vector<Node*>* group) {
    for (Node* c = parent->Son(); c != nullptr; c = c->Brother()) {
      group->push_back(c);
    }
  }
};

class MarkupEvery : public MarkupGroup {
 public:
  using MarkupGroup::MarkupGroup;
  bool Eval(Node* node, ExportTemplate* t) override {
    const std::string attribute = Evaluated(1, node, t);
    const bool compare = args_.size() > 2;
    const std::string wanted = compare ? Evaluated(2, node, t) : std::string();
    const bool every = name_ == "every";
    for (Node* n : Choose(node, t)) {
      bool holds = false;
      if (n->HasAttribute(attribute)) {
        holds = compare ? n->GetString(attribute) == wanted : n->GetBoolean(attribute);
      }
      if (every && !holds) {
        return false;
      }
      if (!every && holds) {
        return true;
      }
    }
    return every;
  }
  std::string ExportValue(Node* node, ExportTemplate* t) override {
    return Eval(node, t) ? " true " : " false ";
  }
};

class MarkupGroupNumeric : public MarkupGroup {
 public:
  using MarkupGroup::MarkupGroup;
  double AsNumber(Node* node, ExportTemplate* t) override {
    const std::vector<Node*> group = Choose(node, t);
    if (name_ == "count") {
      return static_cast<double>(group.size());
    }
    // An empty group aggregates to 0 (there is no first value to start from).
    if (group.empty()) {
      return 0;
    }
    const std::string attribute = Evaluated(1, node, t);
    auto value = [&](Node* n) { return n->HasAttribute(attribute) ? n->GetDouble(attribute) : 0; };
    double result = value(group.front());
    for (size_t i = 1; i < group.size(); ++i) {
      const double x = value(group[i]);
      if (name_ == "min") {
        result = std::min(result, x);
      } else if (name_ == "max") {
        result = std::max(result, x);
      } else {
        result += x;
      }
    }
    if (name_ == "mean") {
      result /= static_cast<double>(group.size());
    }
    return result;
  }
  std::string ExportValue(Node* node, ExportTemplate* t) override {
    const double x = AsNumber(node, t);
    int decimals = 2;
    if (name_ == "count") {
      decimals = 0;
    }
    if (!TrimmedText(args_.at(2)).empty()) {
      decimals = static_cast<int>(std::clamp(LeadingNumberOf(Evaluated(2, node, t)), 0.0, 20.0));
    }
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, x);
    return buffer;
  }

 private:
  static double LeadingNumberOf(const std::string& text) {
    char* end = nullptr;
    const double x = std::strtod(text.c_str(), &end);
    return end == text.c_str() ? 0 : x;
  }
};

}  // namespace

std::unique_ptr<ExportElement> CreateGroupCode(const std::string& name,
                                               const std::string& arguments, int nesting) {
  if (name == "every" || name == "any") {
    return std::make_unique<MarkupEvery>(name, arguments, nesting);
  }
  if (name == "count" || name == "sum" || name == "min" || name == "max" || name == "mean") {
    return std::make_unique<MarkupGroupNumeric>(name, arguments, nesting);
  }
  return nullptr;
}

}  // namespace fernweave
