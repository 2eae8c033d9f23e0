// The document's side of links: the manager, link creation, the prototype cache kept
// in step with prototype links, link counts and the choice of the link to follow.

#include "foundation/error.h"
#include "model/cnode.h"
#include "model/hypertext.h"
#include "model/link.h"
#include "model/link_manager.h"
#include "model/link_type.h"
#include "model/reading_history.h"

namespace fernweave {

namespace {

// The document preference that makes following a note try its text links first.
constexpr char kFollowTextLinks[] = "FollowTextLinks";

}  // namespace

LinkManager& Hypertext::Links() const {
  if (links_ == nullptr) {
    links_ = std::make_unique<LinkManager>(const_cast<Hypertext*>(this));
  }
  return *links_;
}

ReadingHistory& Hypertext::History() const {
  if (history_ == nullptr) {
    history_ = std::make_unique<ReadingHistory>();
  }
  return *history_;
}

Link* Hypertext::CreateLink(const LinkRecord& record) {
  RequireNotNull(record.source, "link without source");
  Node* dest = record.dest != nullptr ? record.dest->LinkedNode() : nullptr;
  if (record.name == kPrototypeLinkType && dest != nullptr &&
      !dest->CanBePrototype(record.source->LinkedNode())) {
    // A prototype link must pass the checks of SetPrototype: no note becomes its own
    // prototype, directly or through a chain.
    return nullptr;
  }
  std::unique_ptr<Link> link;
  if (LinkTypes* types = GetLinkTypes(); types != nullptr && !record.name.empty()) {
    // A link of a type the document does not know yet brings the type along.
    types->Get(record.name, true);
  }
  if (GetLinkTypes() != nullptr) {
    link = CLink::Make(this, record);
  } else {
    link = VlmLink::Make(this, record);
  }
  return Links().Add(std::move(link));
}

void Hypertext::LinkAdded(Link* link) {
  if (link->IsPrototype()) {
    if (auto* dest = dynamic_cast<CNode*>(link->DestNode())) {
      dest->SetPrototypeCache(link->SourceNode());
    }
  }
}

void Hypertext::LinkRemoved(Link* link) {
  if (link->IsPrototype()) {
    auto* dest = dynamic_cast<CNode*>(link->DestNode());
    // Only the link the cache came from clears it; a stale duplicate does not.
    if (dest != nullptr && dest->PrototypeCache() == link->SourceNode()) {
      dest->ClearPrototypeCache();
    }
  }
}

void Hypertext::DestroyLinksOf(const std::unordered_set<const Node*>& doomed) {
  if (links_ != nullptr) {
    links_->DestroyLinksOf(doomed);
  }
}

size_t Hypertext::LinkCount() const {
  return links_ == nullptr ? 0 : links_->size();
}

size_t Hypertext::HiddenLinkCount() const {
  return links_ == nullptr ? 0 : links_->HiddenLinks().size();
}

Link* Hypertext::ChoosePlainLink(Node* n, std::string_view text) const {
  if (n == nullptr) {
    return nullptr;
  }
  for (Link* l : Links().ListLinksFrom(n)) {
    if (!l->IsHidden() && !l->IsTextLink() && l->GuardSatisfied(text)) {
      return l;
    }
  }
  return nullptr;
}

Link* Hypertext::ChooseTextLink(Node* n, int32_t offset, bool ask) const {
  if (n == nullptr) {
    return nullptr;
  }
  LinkBundle candidates;
  for (Link* l : Links().ListLinksFrom(n)) {
    if (!l->IsHidden() && l->IsTextLinkFor(offset) && l->GuardSatisfied("")) {
      candidates.Add(l);
    }
  }
  if (candidates.empty()) {
    return nullptr;
  }
  if (candidates.size() == 1) {
    return candidates[0];
  }
  // Several anchors cover the offset: the reader picks one when asked and able to;
  // otherwise the link of highest priority is followed.
  if (ask && Links().Picker() != nullptr) {
    return Links().Picker()->Pick(candidates);
  }
  return candidates[0];
}

Link* Hypertext::ChooseDefaultLink(Node* n) const {
  const Value* follow = Preferences().Get(kFollowTextLinks);
  if (follow != nullptr && follow->AsBoolean()) {
    if (Link* l = ChooseTextLink(n, 0, true)) {
      return l;
    }
  }
  return ChoosePlainLink(n, "");
}

bool Hypertext::UsingPrototypes() const {
  for (Node* n : AllNodes()) {
    if (n->GetPrototype() != nullptr || (HasAttribute("IsPrototype") && n->CanBePrototype())) {
      return true;
    }
  }
  return false;
}

}  // namespace fernweave
