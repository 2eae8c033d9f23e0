#include "model/link_manager.h"

#include <algorithm>
#include <set>
#include <sstream>

#include "foundation/error.h"
#include "model/change.h"
#include "model/hypertext.h"
#include "model/linked.h"
#include "model/node.h"

namespace fernweave {

// --- LinkBundle ---------------------------------------------------------------------

namespace {

template <typename Keep>
LinkBundle Filter(const LinkBundle& bundle, Keep keep) {
  LinkBundle out;
  for (Link* link : bundle) {
    if (keep(link)) {
      out.Add(link);
    }
  }
  return out;
}

}  // namespace

LinkBundle LinkBundle::OmitHidden() const {
  return Filter(*this, [](const Link* l) { return !l->IsHidden(); });
}

LinkBundle LinkBundle::OmitPrototypes() const {
  return Filter(*this, [](const Link* l) { return !l->IsPrototype(); });
}

LinkBundle LinkBundle::OmitWebLinks() const {
  return Filter(*this, [](const Link* l) { return !l->IsWebLink(); });
}

LinkBundle LinkBundle::WithUniqueSources() const {
  std::set<const Linked*> seen;
  return Filter(*this, [&seen](const Link* l) { return seen.insert(l->Source()).second; });
}

int LinkBundle::IndexOf(const Link* link) const {
  auto it = std::find(links_.begin(), links_.end(), link);
  return it == links_.end() ? -1 : static_cast<int>(it - links_.begin());
}

void LinkBundle::Insert(Link* link, size_t index) {
  links_.insert(links_.begin() + static_cast<std::ptrdiff_t>(std::min(index, links_.size())), link);
}

void LinkBundle::Remove(const Link* link) {
  std::erase(links_, link);
}

std::string LinkBundle::ToString(bool span) const {
  std::ostringstream out;
  for (const Link* l : links_) {
    out << (l->SourceNode() != nullptr ? l->SourceNode()->Name() : "?") << " -> "
        << (l->DestNode() != nullptr ? l->DestNode()->Name() : l->URL()) << " [" << l->FullName()
        << "]";
    if (span) {
      out << " @" << l->GetSourceStart() << "+" << l->GetSourceLength();
    }
    out << "\n";
  }
  return out.str();
}

// --- LinkManager --------------------------------------------------------------------

LinkManager::~LinkManager() = default;

void LinkManager::Report(Link* link) const {
  for (Node* n : {link->SourceNode(), link->DestNode()}) {
    if (n != nullptr && hypertext_ != nullptr && hypertext_->HasNode(n)) {
      n->Changed(facet::kLinks);
    }
  }
}

void LinkManager::Index(Link* link) {
  // Every link is indexed, hidden or not, so that a restored note finds its links
  // again without the links being registered anew.
  by_source_.emplace(link->Source(), link);
  if (link->Dest() != nullptr) {
    by_dest_.emplace(link->Dest(), link);
  }
}

void LinkManager::Unindex(Link* link) {
  for (auto* index : {&by_source_, &by_dest_}) {
    for (auto it = index->begin(); it != index->end();) {
      it = it->second == link ? index->erase(it) : std::next(it);
    }
  }
}

Link* LinkManager::Add(std::unique_ptr<Link> link) {
  return Insert(std::move(link), links_.size());
}

Link* LinkManager::Insert(std::unique_ptr<Link> link, size_t index) {
  Require(link != nullptr, "inserting a null link");
  Link* raw = link.get();
  links_.insert(links_.begin() + static_cast<std::ptrdiff_t>(std::min(index, links_.size())),
                std::move(link));
  Index(raw);
  {
    StChanges changes(hypertext_);
    Report(raw);
  }
  if (hypertext_ != nullptr) {
    hypertext_->LinkAdded(raw);
  }
  return raw;
}

Link* LinkManager::InsertBefore(std::unique_ptr<Link> link, const Link* before) {
  int at = PriorityOf(before);
  return Insert(std::move(link), at < 0 ? links_.size() : static_cast<size_t>(at));
}

std::unique_ptr<Link> LinkManager::Remove(Link* link) {
  int at = PriorityOf(link);
  if (at < 0) {
    return nullptr;
  }
  if (hypertext_ != nullptr) {
    hypertext_->LinkRemoved(link);
  }
  Report(link);
  Unindex(link);
  std::unique_ptr<Link> owned = std::move(links_[static_cast<size_t>(at)]);
  links_.erase(links_.begin() + at);
  return owned;
}

void LinkManager::DestroyLinksOf(const Node* note) {
  std::vector<Link*> doomed;
  for (const std::unique_ptr<Link>& l : links_) {
    if (l->SourceNode() == note || l->DestNode() == note) {
      doomed.push_back(l.get());
    }
  }
  for (Link* l : doomed) {
    Remove(l);
  }
}

void LinkManager::DestroyLinksOf(const std::unordered_set<const Node*>& notes) {
  if (notes.empty()) {
    return;
  }
  std::vector<Link*> doomed;
  for (const std::unique_ptr<Link>& l : links_) {
    if (notes.count(l->SourceNode()) > 0 || notes.count(l->DestNode()) > 0) {
      doomed.push_back(l.get());
    }
  }
  for (Link* l : doomed) {
    Remove(l);
  }
}

void LinkManager::Clear() {
  while (!links_.empty()) {
    Remove(links_.back().get());
  }
}

int LinkManager::PriorityOf(const Link* link) const {
  for (size_t i = 0; i < links_.size(); ++i) {
    if (links_[i].get() == link) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

LinkBundle LinkManager::All() const {
  LinkBundle all;
  for (const std::unique_ptr<Link>& l : links_) {
    all.Add(l.get());
  }
  return all;
}

LinkBundle LinkManager::Sorted(std::vector<Link*> links) const {
  // Indexes hold links in insertion order per key; a bundle lists them by priority.
  std::vector<std::pair<int, Link*>> keyed;
  for (Link* l : links) {
    keyed.emplace_back(PriorityOf(l), l);
  }
  std::sort(keyed.begin(), keyed.end());
  LinkBundle out;
  for (auto& [priority, l] : keyed) {
    out.Add(l);
  }
  return out;
}

LinkBundle LinkManager::ListLinksFrom(const Linked* l) const {
  std::vector<Link*> found;
  auto [first, last] = by_source_.equal_range(l);
  for (auto it = first; it != last; ++it) {
    found.push_back(it->second);
  }
  return Sorted(std::move(found));
}

LinkBundle LinkManager::ListLinksTo(const Linked* l) const {
  std::vector<Link*> found;
  auto [first, last] = by_dest_.equal_range(l);
  for (auto it = first; it != last; ++it) {
    found.push_back(it->second);
  }
  return Sorted(std::move(found));
}

LinkBundle LinkManager::ListLinks(const Linked* l, bool omit_hidden) const {
  std::vector<Link*> found;
  for (Link* link : ListLinksFrom(l)) {
    found.push_back(link);
  }
  for (Link* link : ListLinksTo(l)) {
    // A link from a note to itself is listed once.
    if (std::find(found.begin(), found.end(), link) == found.end()) {
      found.push_back(link);
    }
  }
  LinkBundle all = Sorted(std::move(found));
  return omit_hidden ? all.OmitHidden() : all;
}

LinkBundle LinkManager::ListTextLinksFrom(const Linked* l) const {
  return Filter(ListLinksFrom(l), [](const Link* k) { return k->IsTextLink(); });
}

LinkBundle LinkManager::ListTextLinksTo(const Linked* l) const {
  return Filter(ListLinksTo(l), [](const Link* k) { return k->IsTextLink(); });
}

LinkBundle LinkManager::ListBasicLinksFrom(const Linked* l) const {
  return Filter(ListLinksFrom(l),
                [](const Link* k) { return !k->IsTextLink() && !k->IsWebLink(); });
}

LinkBundle LinkManager::ListBasicLinksTo(const Linked* l) const {
  return Filter(ListLinksTo(l), [](const Link* k) { return !k->IsTextLink() && !k->IsWebLink(); });
}

LinkBundle LinkManager::ListWebLinksFrom(const Linked* l) const {
  return Filter(ListLinksFrom(l), [](const Link* k) { return k->IsWebLink(); });
}

LinkBundle LinkManager::HiddenLinks() const {
  return Filter(All(), [](const Link* k) { return k->IsHidden(); });
}

LinkBundle LinkManager::LinksOnPath(const std::vector<Node*>& path, bool omit_hidden) const {
  LinkBundle out;
  for (const std::unique_ptr<Link>& l : links_) {
    for (size_t i = 0; i + 1 < path.size(); ++i) {
      const Node* a = path[i];
      const Node* b = path[i + 1];
      if ((l->SourceNode() == a && l->DestNode() == b) ||
          (l->SourceNode() == b && l->DestNode() == a)) {
        out.Add(l.get());
        break;
      }
    }
  }
  return omit_hidden ? out.OmitHidden() : out;
}

// --- Link queries on a note -----------------------------------------------------------

namespace {

LinkBundle Countable(const LinkBundle& links) {
  return links.OmitHidden().OmitPrototypes();
}

}  // namespace

size_t Node::OutboundLinkCount() const {
  const Linked* self = this;
  return Countable(GetHypertext()->Links().ListLinksFrom(self)).size();
}

size_t Node::InboundLinkCount() const {
  const Linked* self = this;
  return Countable(GetHypertext()->Links().ListLinksTo(self)).size();
}

size_t Node::WebLinkCount() const {
  const Linked* self = this;
  return Countable(GetHypertext()->Links().ListWebLinksFrom(self)).size();
}

bool Node::HasTextLinks() const {
  const Linked* self = this;
  return !GetHypertext()->Links().ListTextLinksFrom(self).OmitHidden().empty();
}

bool Node::IsDestinationOfWebLink() const {
  const Linked* self = this;
  for (const Link* l : GetHypertext()->Links().ListLinksTo(self)) {
    if (l->IsWebLink()) {
      return true;
    }
  }
  return false;
}

}  // namespace fernweave
