// What the note pane edits, below its widgets: the note's text with its looks, and the
// note's key attributes (`KeyAttributes`), each parsed by its own type.
//
// The text editor counts characters (code points) and breaks paragraphs with line
// feeds; the model counts UTF-16 units and breaks paragraphs with carriage returns.
// EditorTextOf and StoreEditorText translate between the two. An edit keeps each style
// run's font, size and colour on the characters that had them, and takes bold and
// italic from the editor (Ctrl+B, Ctrl+I). Text that holds pictures or struck spans is
// shown but not editable here, since this editor cannot carry them along.

#ifndef FERNWEAVE_DESKTOP_NOTE_FIELDS_H_
#define FERNWEAVE_DESKTOP_NOTE_FIELDS_H_

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/attribute_type.h"
#include "model/color.h"
#include "model/content.h"

namespace fernweave {

class Attribute;
class Node;

// A stretch of the editor's text, [start, end) in characters, with its look: the index
// of the note's style run it shows (-1: none) and whether it is bold and italic.
struct TextLook {
  int start = 0;
  int end = 0;
  int run = -1;
  bool bold = false;
  bool italic = false;

  friend bool operator==(const TextLook&, const TextLook&) = default;
};

struct EditorText {
  std::string text;  // UTF-8, paragraphs broken by line feeds
  std::vector<TextLook> looks;  // in order, not overlapping; only where a run applies
  bool editable = true;
};

EditorText EditorTextOf(const Content& content);

// The content an edit leaves: `text` (line feeds for paragraph breaks) with `looks` in
// the editor's character offsets, each look taking the font, size and colour of the
// original run it names. Pictures, struck spans and the rest of the original are kept.
Content ContentFromEditor(const Content& original, std::string_view text,
                          const std::vector<TextLook>& looks);

// Stores an edit into the note's text (its original's, for an alias): text links
// anchored in the text follow the edit, and the note counts as modified. Nothing when
// the text and looks are unchanged or the document cannot be edited.
void StoreEditorText(Node* note, std::string_view text, const std::vector<TextLook>& looks);

// One key attribute of a note as the pane shows it.
struct KeyAttribute {
  const Attribute* attribute = nullptr;
  std::string name;
  AttributeType type = AttributeType::kString;
  std::string text;  // the effective value's text
  bool read_only = false;
  // For a colour attribute, the colour its text stands for (a colour name through the
  // document's colour table); the pane's colour button shows it.
  std::optional<PColor> color;
};
// The attributes the note's `KeyAttributes` names, in its order; names the document
// does not know are left out.
std::vector<KeyAttribute> KeyAttributesOf(const Node* note);

// What storing a typed value did.
struct AttributeEntry {
  bool stored = false;
  std::string shown;  // the value's text after storing (what was understood)
  std::string error;  // why nothing was stored
};
// Parses `text` by the attribute's type and stores it: numbers must read as numbers,
// dates through the date parser ("tomorrow 9am"; "never" clears), colours as a colour
// form or a colour name of the document. Empty text resets the value to its default.
// An invalid or read-only entry stores nothing and says why.
AttributeEntry StoreAttributeText(Node* note, const Attribute* attribute, std::string_view text);

}  // namespace fernweave

#endif  // FERNWEAVE_DESKTOP_NOTE_FIELDS_H_
