// The list codes: ancestors, siblings and children as lists of links to their pages,
// and the lists of a note's links.

#include <string>
#include <utility>
#include <vector>

#include "export/entities.h"
#include "export/export_file_manager.h"
#include "export/export_template.h"
#include "export/markup_element.h"
#include "export/markup_support.h"
#include "model/hypertext.h"
#include "model/link.h"
#include "model/link_manager.h"
#include "model/node.h"

namespace fernweave {

namespace {

constexpr const char* kDecorationAttributes[4] = {"HTMLListStart", "HTMLListItemStart",
                                                  "HTMLListItemEnd", "HTMLListEnd"};

// A list with four decorations: prefix, item prefix, item suffix and suffix. A missing
// decoration, or the word "default", is the note's list attribute.
class MarkupList : public MarkupWithArgumentList {
 public:
  using MarkupWithArgumentList::MarkupWithArgumentList;

 protected:
  // Decoration i (0 prefix ... 3 suffix); `expand` expands codes in it.
  std::string Decoration(size_t i, Node* node, ExportTemplate* t, bool expand) const {
    const std::string raw = std::string(TrimmedText(args_.at(i)));
    if (raw.empty() || TrimQuotes(raw) == "default") {
      return node->GetString(kDecorationAttributes[i]);
    }
    return TrimQuotes(expand ? TrimmedText(Fragment(i, node, t)) : raw);
  }
  Node* Page(Node* node, ExportTemplate* t) const {
    return t->ForFile() != nullptr ? t->ForFile() : node;
  }
  // `<a href="url">name</a>` for a note's page.
  std::string NoteAnchor(Node* item, Node* node, ExportTemplate* t) const {
    return OpenAnchor(t->URLFor(item, Page(node, t))) + ">" + AnchorText(item->Name(), item, t) +
           "</a>";
  }
};

// "^ancestors^", "^siblings^" and "^childlinks^".
class MarkupNoteList : public MarkupList {
 public:
  using MarkupList::MarkupList;
  std::string ExportValue(Node* node, ExportTemplate* t) override {
    if (node == nullptr || t == nullptr) {
      return std::string();
    }
    std::vector<Node*> items;
    Node* self = node->GetOriginal() != nullptr ? node->GetOriginal() : node;
    if (name_ == "ancestors") {
      for (Node* a = node->Father(); a != nullptr && !a->IsRoot(); a = a->Father()) {
        items.insert(items.begin(), a);
      }
    } else if (name_ == "siblings") {
      Node* parent = node->Father();
      for (Node* c = parent != nullptr ? parent->Son() : nullptr; c != nullptr; c = c->Brother()) {
        items.push_back(c);
      }
    } else {
      if (!t->GetExporter()->HasChildLinks()) {
        return std::string();
      }
      for (Node* c = self->Son(); c != nullptr; c = c->Brother()) {
        items.push_back(c);
      }
    }
    const bool expand = name_ != "ancestors";
    std::string body;
    const std::string item_prefix = Decoration(1, node, t, expand);
    const std::string item_suffix = Decoration(2, node, t, expand);
    bool any = false;
    for (Node* item : items) {
      const bool is_self = item == node || item->GetOriginal() == self;
      if (!(is_self && name_ == "siblings") && !CanBeExportedToPage(item)) {
        continue;
      }
      any = true;
      body += item_prefix;
      body += is_self && name_ == "siblings" ? AnchorText(item->Name(), item, t)
                                             : NoteAnchor(item, node, t);
      body += item_suffix;
    }
    if (!any) {
      return std::string();
    }
    return Decoration(0, node, t, expand) + body + Decoration(3, node, t, expand);
  }
  bool Eval(Node* node, ExportTemplate* t) override { return !ExportValue(node, t).empty(); }
};

// The lists of a note's links; a fifth argument names the link types to keep ("|"
// between names; empty for all).
class MarkupLinkList : public MarkupList {
 public:
  using MarkupList::MarkupList;
  bool Eval(Node* node, ExportTemplate* t) override { return !Links(node, t).empty(); }
  std::string ExportValue(Node* node, ExportTemplate* t) override {
    if (node == nullptr || t == nullptr) {
      return std::string();
    }
    const std::vector<Link*> links = Links(node, t);
    if (links.empty()) {
      return std::string();
    }
    Link* saved = t->ForLink();
    std::string out = Decoration(0, node, t, true);
    for (Link* link : links) {
      t->ForLink(link);
      out += Decoration(1, node, t, true);
      out += ExportLink(link, node, t);
      out += Decoration(2, node, t, true);
    }
    out += Decoration(3, node, t, true);
    t->ForLink(saved);
    return out;
  }

 private:
  bool Inbound() const { return name_.starts_with("inbound"); }
  bool Web() const { return name_ == "outboundweblinks"; }

  std::vector<Link*> Links(Node* node, ExportTemplate* t) const {
    std::vector<Link*> out;
    if (node == nullptr) {
      return out;
    }
    Node* self = node->GetOriginal() != nullptr ? node->GetOriginal() : node;
    LinkManager& manager = self->GetHypertext()->Links();
    LinkBundle bundle;
    if (name_ == "basiclinks" || name_ == "outboundlinks") {
      bundle = manager.ListBasicLinksFrom(self).OmitHidden().OmitPrototypes().OmitWebLinks();
    } else if (name_ == "outboundbasiclinks") {
      bundle = manager.ListBasicLinksFrom(self).OmitHidden().OmitPrototypes();
    } else if (name_ == "inboundlinks") {
      bundle = manager.ListBasicLinksTo(self).OmitHidden().OmitPrototypes();
    } else if (name_ == "inboundbasiclinks") {
      bundle = manager.ListBasicLinksTo(self).OmitHidden().OmitPrototypes().WithUniqueSources();
    } else if (name_ == "outboundtextlinks") {
      bundle = manager.ListTextLinksFrom(self).OmitHidden().OmitPrototypes();
    } else if (name_ == "inboundtextlinks") {
      bundle = manager.ListTextLinksTo(self).OmitHidden().OmitPrototypes().WithUniqueSources();
    } else {
      bundle = manager.ListWebLinksFrom(self).OmitHidden().OmitPrototypes();
    }
    const std::string types = Evaluated(4, node, t);
    for (Link* link : bundle) {
      if (!types.empty() && !TypeMatches(link->Name(), types)) {
        continue;
      }
      if (Web() ? link->URL().empty() : Item(link) == nullptr) {
        continue;
      }
      out.push_back(link);
    }
    return out;
  }

  static bool TypeMatches(std::string_view type, std::string_view types) {
    size_t start = 0;
    while (start <= types.size()) {
      size_t end = types.find('|', start);
      if (end == std::string_view::npos) {
        end = types.size();
      }
      const std::string_view one = TrimmedText(types.substr(start, end - start));
      if (one == "*" || one == type) {
        return true;
      }
      start = end + 1;
    }
    return false;
  }

  Node* Item(Link* link) const { return Inbound() ? link->SourceNode() : link->DestNode(); }

  // `<a href="url" class="..." title="..." target="...">name</a>`, every attribute
  // value escaped.
  std::string ExportLink(Link* link, Node* node, ExportTemplate* t) const {
    std::string url;
    std::string name;
    if (Web()) {
      url = link->URL();
      name = link->Title().empty() ? link->URL() : link->Title();
    } else {
      Node* item = Item(link);
      url = t->URLFor(item, Page(node, t));
      name = item->Name();
    }
    std::string out = OpenAnchor(url);
    if (!link->GetCSSClass().empty()) {
      out += " class=\"" + EncodeAttribute(link->GetCSSClass()) + "\" ";
    }
    if (!link->Title().empty()) {
      out += " title=\"" + EncodeAttribute(link->Title()) + "\"";
    }
    if (!link->Target().empty()) {
      out += " target=\"" + EncodeAttribute(link->Target()) + "\"";
    }
    out += ">" + AnchorText(name, node, t) + "</a>";
    return out;
  }
};

}  // namespace

std::unique_ptr<ExportElement> CreateListCode(const std::string& name,
                                              const std::string& arguments, int nesting) {
  if (name == "ancestors" || name == "siblings" || name == "childlinks") {
    return std::make_unique<MarkupNoteList>(name, arguments, nesting);
  }
  if (name == "basiclinks" || name == "outboundlinks" || name == "inboundlinks" ||
      name == "inboundtextlinks" || name == "outboundtextlinks" || name == "inboundbasiclinks" ||
      name == "outboundbasiclinks" || name == "outboundweblinks") {
    return std::make_unique<MarkupLinkList>(name, arguments, nesting);
  }
  return nullptr;
}

}  // namespace fernweave
