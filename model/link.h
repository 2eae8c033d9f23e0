// Links: directed, typed connections from a note (or a span of its text) to another
// note (or a span of its text), or out to the web. The document's `LinkManager`
// (model/link_manager.h) owns every link; links hold their endpoints and document by
// plain pointer and are destroyed before an endpoint note is.
//
// `CLink` is the link of the application's documents; `VlmLink` the link of documents
// of the sibling product, which evaluates guard fields (model/guard_field.h).

#ifndef FERNWEAVE_MODEL_LINK_H_
#define FERNWEAVE_MODEL_LINK_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "foundation/geometry.h"
#include "model/color.h"
#include "model/link_type.h"

namespace fernweave {

class Hypertext;
class Linked;
class Link;
class Node;

// A run of a note's text, in characters. A start of -1 means no anchor.
struct TextSpan {
  int32_t start = -1;
  int32_t length = 0;
  int32_t end() const { return start + length; }
  friend bool operator==(const TextSpan&, const TextSpan&) = default;
};

// The plain description links are made and edited from.
struct LinkRecord {
  bool add_to_document = false;
  Linked* source = nullptr;
  Linked* dest = nullptr;
  TextSpan source_span;
  TextSpan dest_span;
  SRect graphic_rect{-1, -1, -1, -1};
  std::string name;
  std::string guard;
  std::string url;
  std::string title;
  std::string target;
  std::string css_class;
  LinkStyle style;

  LinkRecord() = default;
  // The description of an existing link.
  explicit LinkRecord(const Link& link);
  // A link from a text selection.
  LinkRecord(Linked* source, int32_t start, int32_t length);

  Node* SourceNode() const;
  Node* DestNode() const;
  bool IsWebLink() const { return source != nullptr && !url.empty(); }
};

class Link {
 public:
  Link(const Link&) = delete;
  Link& operator=(const Link&) = delete;
  virtual ~Link();

  // A copy with the same endpoints and fields, not registered anywhere.
  virtual std::unique_ptr<Link> Clone() const = 0;

  // --- Endpoints ----------------------------------------------------------------
  Hypertext* GetHypertext() const { return hypertext_; }
  bool StartsAt(const Linked* l) const { return source_ == l; }
  bool EndsAt(const Linked* l) const { return dest_ == l; }
  Linked* Source() const { return source_; }
  Node* SourceNode() const { return source_node_; }
  // A null source is "nilP".
  virtual void SetSource(Linked* source);
  Linked* Dest() const { return dest_; }
  Node* DestNode() const { return dest_node_; }
  virtual void SetDest(Linked* dest);

  // --- Kinds --------------------------------------------------------------------
  virtual bool IsTextLink() const { return false; }
  // A text link whose source span covers offset (start ≤ offset ≤ end).
  bool IsTextLinkFor(int32_t offset) const;
  virtual bool IsGraphicLink() const { return false; }
  virtual bool IsPlainLink() const { return !IsTextLink(); }
  bool IsWebLink() const { return !URL().empty(); }
  bool IsPrototype() const { return name_ == kPrototypeLinkType; }
  // The source note is hidden; or, for a link that is not a web link, the destination
  // note is missing or hidden.
  bool IsHidden() const;
  // Whether the guard lets the reader follow the link with this context text.
  virtual bool GuardSatisfied(std::string_view context) const = 0;

  // --- Fields and presentation ---------------------------------------------------
  const std::string& Name() const { return name_; }
  void SetName(std::string_view name) { name_ = std::string(name); }
  const std::string& Guard() const { return Field(&Fields::guard); }
  void SetGuard(std::string_view guard) { SetField(&Fields::guard, guard); }
  const std::string& URL() const { return Field(&Fields::url); }
  void SetURL(std::string_view url) { SetField(&Fields::url, url); }
  const std::string& Target() const { return Field(&Fields::target); }
  void SetTarget(std::string_view target) { SetField(&Fields::target, target); }
  const std::string& Title() const { return Field(&Fields::title); }
  void SetTitle(std::string_view title) { SetField(&Fields::title, title); }
  // The name, or "---" when it is empty.
  std::string FullName() const;
  // The type's label, else the name.
  virtual std::string Label() const;
  // The type's colour; black when the type is missing.
  virtual PColor GetColor() const;
  virtual std::string GetColorString() const;
  // The link's own style when it is not 0, else the type's.
  virtual LinkStyle GetStyle() const;
  LinkStyle GetStyleImmediate() const { return style_; }
  void SetStyle(LinkStyle style) { style_ = style; }
  // The type's flags; true when the type is missing.
  virtual bool Visible() const;
  virtual bool ShowLabel() const;
  int AnimationState() const { return animation_state_; }
  void AnimationState(int state) { animation_state_ = state; }

  // --- Spans (meaningful for text links) -----------------------------------------
  const TextSpan& SourceSpan() const { return source_span_; }
  const TextSpan& DestSpan() const { return dest_span_; }
  void SetSourceSpan(TextSpan span) { source_span_ = span; }
  void SetDestSpan(TextSpan span) { dest_span_ = span; }
  int32_t GetSourceStart() const { return source_span_.start; }
  int32_t GetSourceLength() const { return source_span_.length; }
  int32_t GetSourceEnd() const { return source_span_.end(); }
  int32_t GetDestStart() const { return dest_span_.start; }
  int32_t GetDestLength() const { return dest_span_.length; }
  int32_t GetDestEnd() const { return dest_span_.end(); }
  const std::string& GetCSSClass() const { return Field(&Fields::css_class); }
  void SetCSSClass(std::string_view css) { SetField(&Fields::css_class, css); }
  const SRect& GetGraphicRect() const { return graphic_rect_; }
  void SetGraphicRect(const SRect& rect) { graphic_rect_ = rect; }

  // Replaces the link's fields and endpoints with the record's (the add flag is
  // ignored: the link stays where it is registered).
  virtual void Edit(const LinkRecord& record);

  // Live links in the process, for diagnostics.
  static int64_t LiveCount();

 protected:
  Link(Hypertext* hypertext, std::string_view name, std::string_view guard);
  void CopyFieldsTo(Link* other) const;
  const LinkType* Type() const;

  Hypertext* hypertext_;
  std::string name_;
  Node* source_node_ = nullptr;
  Node* dest_node_ = nullptr;
  int animation_state_ = 0;
  Linked* source_ = nullptr;
  Linked* dest_ = nullptr;
  TextSpan source_span_;
  TextSpan dest_span_;
  SRect graphic_rect_{-1, -1, -1, -1};
  LinkStyle style_;

 private:
  // The fields most links leave empty, kept apart and made only when one is set: a
  // large document has a link for every few notes.
  struct Fields {
    std::string guard;
    std::string url;
    std::string target;
    std::string title;
    std::string css_class;
  };
  const std::string& Field(std::string Fields::*field) const;
  void SetField(std::string Fields::*field, std::string_view text);
  std::unique_ptr<Fields> fields_;
};

// The link of the application's documents. Its guard is always satisfied and it is
// never a graphic link.
class CLink : public Link {
 public:
  // Makes a link from the record (see link.cc); registers it with the document's
  // manager when the record asks. Returns the link, owned by the manager when
  // registered, else by the caller through the returned pointer's owner below.
  // REQUIRES: record.source is not null ("nilP").
  static std::unique_ptr<CLink> Make(Hypertext* hypertext, const LinkRecord& record);

  std::unique_ptr<Link> Clone() const override;
  bool IsTextLink() const override { return source_span_.start >= 0; }
  bool IsPlainLink() const override { return source_span_.start < 0 || source_span_.length == 0; }
  bool GuardSatisfied(std::string_view) const override { return true; }

 private:
  CLink(Hypertext* hypertext, std::string_view name, std::string_view guard)
      : Link(hypertext, name, guard) {}
};

// The link of the sibling product's documents: it evaluates its guard and may carry
// a graphic anchor. It has no type table, so it is always visible.
class VlmLink : public Link {
 public:
  static std::unique_ptr<VlmLink> Make(Hypertext* hypertext, const LinkRecord& record);

  std::unique_ptr<Link> Clone() const override;
  bool IsTextLink() const override { return source_span_.start >= 0 && source_span_.length > 0; }
  bool IsGraphicLink() const override { return graphic_rect_.left >= 0 && !IsTextLink(); }
  bool GuardSatisfied(std::string_view context) const override;

 private:
  VlmLink(Hypertext* hypertext, std::string_view name, std::string_view guard)
      : Link(hypertext, name, guard) {}
};

}  // namespace fernweave

#endif  // FERNWEAVE_MODEL_LINK_H_
