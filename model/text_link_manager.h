// Keeps text anchors valid while a note's text is edited. Every text link anchored in
// the edited note is adjusted: outbound links through their source span, inbound
// links through their destination span.

#ifndef FERNWEAVE_MODEL_TEXT_LINK_MANAGER_H_
#define FERNWEAVE_MODEL_TEXT_LINK_MANAGER_H_

#include <cstdint>

#include "model/link.h"

namespace fernweave {

class Node;
struct TextPicture;

// An edit of a note's text: the range [start, end) of the old text was replaced, and
// the text's length changed by delta (positive when characters were inserted). A
// plain insertion is an empty range with a positive delta.
struct TextEdit {
  int32_t start = 0;
  int32_t end = 0;
  int32_t delta = 0;
};

class TextLinkManager {
 public:
  // The anchor after the edit. With extend_at_end, typing at the anchor's exact end
  // extends it. Lengths never fall below 0.
  static TextSpan AdjustSpan(TextSpan anchor, const TextEdit& edit, bool extend_at_end);

  // Adjusts the anchors of every text link from or to the note. Links without an
  // anchor there (start -1) are left alone.
  static void TextChanged(Node* note, const TextEdit& edit, bool extend_at_end);

  // Removes (destroys) the note's outbound text links whose anchor became empty.
  // Returns how many went.
  static size_t DropEmptyAnchors(Node* note);

  // The picture placed at offset in the note's text, or null.
  static const TextPicture* PictureAt(const Node* note, int32_t offset);
};

}  // namespace fernweave

#endif  // FERNWEAVE_MODEL_TEXT_LINK_MANAGER_H_
