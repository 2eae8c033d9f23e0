#include "model/link.h"

#include <algorithm>
#include <atomic>

#include "foundation/error.h"
#include "model/guard_field.h"
#include "model/hypertext.h"
#include "model/linked.h"
#include "model/node.h"

namespace fernweave {

namespace {

std::atomic<int64_t> live_links{0};

Node* NodeOf(Linked* l) {
  return l == nullptr ? nullptr : l->LinkedNode();
}

// Copies the record into a fresh link: spans clamped to non-negative lengths, source
// before destination, web fields only for a web record.
void FillFromRecord(Link* link, const LinkRecord& record) {
  TextSpan source = record.source_span;
  TextSpan dest = record.dest_span;
  source.length = std::max(source.length, 0);
  dest.length = std::max(dest.length, 0);
  link->SetSourceSpan(source);
  link->SetDestSpan(dest);
  link->SetGraphicRect(record.graphic_rect);
  link->SetSource(record.source);
  if (link->IsPrototype() && link->SourceNode() != nullptr) {
    link->SourceNode()->SetBoolean("IsPrototype", true);
  }
  link->SetDest(record.dest);
  link->SetStyle(record.style);
  if (!record.url.empty()) {
    link->SetURL(record.url);
    link->SetTitle(record.title);
    link->SetTarget(record.target);
  }
  link->SetCSSClass(record.css_class);
}

}  // namespace

LinkRecord::LinkRecord(const Link& link)
    : source(link.Source()),
      dest(link.Dest()),
      source_span(link.SourceSpan()),
      dest_span(link.DestSpan()),
      graphic_rect(link.GetGraphicRect()),
      name(link.Name()),
      guard(link.Guard()),
      url(link.URL()),
      title(link.Title()),
      target(link.Target()),
      css_class(link.GetCSSClass()),
      style(link.GetStyleImmediate()) {}

LinkRecord::LinkRecord(Linked* source_in, int32_t start, int32_t length)
    : source(source_in), source_span{start, length} {}

Node* LinkRecord::SourceNode() const {
  return NodeOf(source);
}
Node* LinkRecord::DestNode() const {
  return NodeOf(dest);
}

Link::Link(Hypertext* hypertext, std::string_view name, std::string_view guard)
    : hypertext_(hypertext), name_(name) {
  SetGuard(guard);
  ++live_links;
}

const std::string& Link::Field(std::string Fields::*field) const {
  static const std::string kEmpty;
  return fields_ == nullptr ? kEmpty : (*fields_).*field;
}

void Link::SetField(std::string Fields::*field, std::string_view text) {
  if (fields_ == nullptr) {
    if (text.empty()) {
      return;
    }
    fields_ = std::make_unique<Fields>();
  }
  ((*fields_).*field).assign(text);
}

Link::~Link() {
  --live_links;
}

int64_t Link::LiveCount() {
  return live_links.load();
}

void Link::SetSource(Linked* source) {
  source_ = RequireNotNull(source, "link without source");
  source_node_ = NodeOf(source);
}

void Link::SetDest(Linked* dest) {
  dest_ = dest;
  dest_node_ = NodeOf(dest);
}

bool Link::IsTextLinkFor(int32_t offset) const {
  return IsTextLink() && source_span_.start <= offset && offset <= source_span_.end();
}

bool Link::IsHidden() const {
  if (source_node_ != nullptr && source_node_->IsHidden()) {
    return true;
  }
  return !IsWebLink() && (dest_node_ == nullptr || dest_node_->IsHidden());
}

std::string Link::FullName() const {
  return name_.empty() ? std::string("---") : name_;
}

const LinkType* Link::Type() const {
  const LinkTypes* types = hypertext_ == nullptr ? nullptr : hypertext_->GetLinkTypes();
  if (types == nullptr) {
    return nullptr;
  }
  return types->Get(name_.empty() ? std::string_view(kUntitledLinkType) : name_);
}

std::string Link::Label() const {
  const LinkType* type = Type();
  return type != nullptr ? type->label : name_;
}

PColor Link::GetColor() const {
  const LinkType* type = Type();
  return type != nullptr ? type->color : PColor();
}

std::string Link::GetColorString() const {
  const LinkType* type = Type();
  return type != nullptr ? type->color_string : std::string("black");
}

LinkStyle Link::GetStyle() const {
  if (style_.AsInt() != 0) {
    return style_;
  }
  const LinkType* type = Type();
  return type != nullptr ? type->style : LinkStyle();
}

bool Link::Visible() const {
  const LinkType* type = Type();
  return type == nullptr || type->visible;
}

bool Link::ShowLabel() const {
  const LinkType* type = Type();
  return type == nullptr || type->show_label;
}

void Link::Edit(const LinkRecord& record) {
  name_ = record.name;
  SetGuard(record.guard);
  SetURL("");
  SetTitle("");
  SetTarget("");
  FillFromRecord(this, record);
}

void Link::CopyFieldsTo(Link* other) const {
  other->SetURL(URL());
  other->SetTarget(Target());
  other->SetTitle(Title());
  other->source_ = source_;
  other->source_node_ = source_node_;
  other->dest_ = dest_;
  other->dest_node_ = dest_node_;
  other->source_span_ = source_span_;
  other->dest_span_ = dest_span_;
  other->graphic_rect_ = graphic_rect_;
  other->SetCSSClass(GetCSSClass());
  other->style_ = style_;
}

std::unique_ptr<CLink> CLink::Make(Hypertext* hypertext, const LinkRecord& record) {
  std::unique_ptr<CLink> link(new CLink(hypertext, record.name, record.guard));
  FillFromRecord(link.get(), record);
  return link;
}

std::unique_ptr<Link> CLink::Clone() const {
  std::unique_ptr<CLink> copy(new CLink(hypertext_, name_, Guard()));
  CopyFieldsTo(copy.get());
  return copy;
}

std::unique_ptr<VlmLink> VlmLink::Make(Hypertext* hypertext, const LinkRecord& record) {
  std::unique_ptr<VlmLink> link(new VlmLink(hypertext, record.name, record.guard));
  FillFromRecord(link.get(), record);
  return link;
}

std::unique_ptr<Link> VlmLink::Clone() const {
  std::unique_ptr<VlmLink> copy(new VlmLink(hypertext_, name_, Guard()));
  CopyFieldsTo(copy.get());
  return copy;
}

bool VlmLink::GuardSatisfied(std::string_view context) const {
  return GuardField(Guard()).Satisfied(context, hypertext_);
}

}  // namespace fernweave
