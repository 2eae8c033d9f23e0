#include "model/link_actions.h"

#include <utility>

#include "foundation/error.h"
#include "model/change.h"
#include "model/hypertext.h"
#include "model/link_manager.h"
#include "model/node.h"
#include "model/undo_texts.h"

namespace fernweave {
namespace {

void ReportLinks(Node* n) {
  if (n != nullptr) {
    n->Changed(facet::kLinks);
  }
}

}  // namespace

CreateLinkAction::CreateLinkAction(Hypertext* hypertext, const LinkRecord& record)
    : NodeAction(hypertext, undo_index::kCreateLink), record_(record) {
  Answer(record.SourceNode());
  Answer(record.DestNode());
}

void CreateLinkAction::RedoSelf() {
  RequireNotNull(record_.source, "link without source");
  record_.add_to_document = true;
  link_ = GetHypertext()->CreateLink(record_);
}

void CreateLinkAction::UndoSelf() {
  if (link_ != nullptr) {
    std::unique_ptr<Link> gone = GetHypertext()->Links().Remove(link_);
    link_ = nullptr;
  }
}

LinkEditAction::LinkEditAction(Link* link, Fields fields)
    : NodeAction(RequireNotNull(link, "edit: null link")->GetHypertext(), undo_index::kEditLink),
      link_(link),
      new_(std::move(fields)),
      old_(FieldsOf(*link)) {
  Answer(link->SourceNode());
  Answer(link->DestNode());
}

LinkEditAction::Fields LinkEditAction::FieldsOf(const Link& link) {
  return Fields{link.Name(),
                link.Guard(),
                link.URL(),
                link.Target(),
                link.Title(),
                link.GetCSSClass(),
                link.GetStyleImmediate()};
}

void LinkEditAction::Apply(const Fields& f) {
  Hypertext* doc = GetHypertext();
  StChanges changes(doc);
  // The destination's prototype follows the link's type.
  if (link_->IsPrototype()) {
    doc->LinkRemoved(link_);
  }
  link_->SetName(f.name);
  link_->SetGuard(f.guard);
  link_->SetURL(f.url);
  link_->SetTarget(f.target);
  link_->SetTitle(f.title);
  link_->SetCSSClass(f.css_class);
  link_->SetStyle(f.style);
  if (link_->IsPrototype()) {
    doc->LinkAdded(link_);
  }
  ReportLinks(link_->SourceNode());
}

void LinkEditAction::RedoSelf() {
  Apply(new_);
}

void LinkEditAction::UndoSelf() {
  Apply(old_);
}

DeleteLinkAction::DeleteLinkAction(Link* link)
    : NodeAction(RequireNotNull(link, "delete: null link")->GetHypertext(),
                 undo_index::kDeleteLink),
      record_(*link),
      link_(link),
      priority_(link->GetHypertext()->Links().PriorityOf(link)) {
  Answer(link->SourceNode());
  Answer(link->DestNode());
}

bool DeleteLinkAction::IsPostable() const {
  return priority_ >= 0;
}

void DeleteLinkAction::RedoSelf() {
  StChanges changes(GetHypertext());
  ReportLinks(record_.SourceNode());
  ReportLinks(record_.DestNode());
  std::unique_ptr<Link> gone = GetHypertext()->Links().Remove(link_);
  link_ = nullptr;
}

void DeleteLinkAction::UndoSelf() {
  Hypertext* doc = GetHypertext();
  StChanges changes(doc);
  record_.add_to_document = true;
  Link* made = doc->CreateLink(record_);
  // Back at its old priority in the link list.
  std::unique_ptr<Link> owned = doc->Links().Remove(made);
  link_ = doc->Links().Insert(std::move(owned), static_cast<size_t>(priority_));
  ReportLinks(record_.SourceNode());
  ReportLinks(record_.DestNode());
}

}  // namespace fernweave
