#include "model/text_link_manager.h"

#include <algorithm>
#include <vector>

#include "model/content.h"
#include "model/hypertext.h"
#include "model/link_manager.h"
#include "model/node.h"

namespace fernweave {

TextSpan TextLinkManager::AdjustSpan(TextSpan a, const TextEdit& e, bool extend_at_end) {
  const int32_t a_end = a.end();
  const int32_t d = e.delta;
  if (e.start > a_end) {
    return a;  // the edit lies after the anchor
  }
  if (e.end < a.start || (e.end == a.start && a.length > 0)) {
    a.start += d;  // the edit lies before the anchor
    return a;
  }
  if (e.start == e.end && e.start == a.start && d < 0) {
    a.start = e.start + d;  // characters removed just before an empty anchor
    return a;
  }
  if (e.start >= a.start && e.end >= a_end) {
    // The edit runs from inside the anchor to (or past) its end: the anchor stops
    // where the edit begins, unless this is typing at its very end and the anchor
    // is asked to grow with it.
    if (e.end == a_end && extend_at_end) {
      a.length = std::max(0, a.length + d);
    } else {
      a.length = e.start - a.start;
    }
    return a;
  }
  if (e.start >= a.start) {
    a.length = std::max(0, a.length + d);  // the edit lies inside the anchor
    return a;
  }
  if (e.end >= a_end) {
    // The edit replaced the whole anchor, from before it: nothing of it is left, and
    // the anchor does not take over whatever text came in its place.
    a.start = e.start;
    a.length = 0;
    return a;
  }
  // The edit starts before the anchor and reaches into it.
  a.length = std::max(0, d + a_end - e.start);
  a.start = e.start;
  return a;
}

void TextLinkManager::TextChanged(Node* note, const TextEdit& edit, bool extend_at_end) {
  if (note == nullptr) {
    return;
  }
  LinkManager& links = note->GetHypertext()->Links();
  for (Link* l : links.ListLinksFrom(note)) {
    if (l->GetSourceStart() >= 0) {
      l->SetSourceSpan(AdjustSpan(l->SourceSpan(), edit, extend_at_end));
    }
  }
  for (Link* l : links.ListLinksTo(note)) {
    if (l->GetDestStart() >= 0) {
      l->SetDestSpan(AdjustSpan(l->DestSpan(), edit, extend_at_end));
    }
  }
}

size_t TextLinkManager::DropEmptyAnchors(Node* note) {
  if (note == nullptr) {
    return 0;
  }
  LinkManager& links = note->GetHypertext()->Links();
  std::vector<Link*> doomed;
  for (Link* l : links.ListTextLinksFrom(note)) {
    if (l->GetSourceLength() == 0) {
      doomed.push_back(l);
    }
  }
  for (Link* l : doomed) {
    links.Remove(l);
  }
  return doomed.size();
}

const TextPicture* TextLinkManager::PictureAt(const Node* note, int32_t offset) {
  if (note == nullptr) {
    return nullptr;
  }
  for (const TextPicture& p : note->GetContent()->pictures()) {
    if (p.position == offset) {
      return &p;
    }
  }
  return nullptr;
}

}  // namespace fernweave
