// Exploding a note: its text is cut into chunks, at a delimiter or into pieces of
// about a fixed size ending on word boundaries, and each chunk that holds more than
// white space becomes a new note with that chunk (and its looks) as its text. The new
// notes are gathered in "Exploded Text", a copy of the note made its last child, and
// can be named from their first sentence, first two sentences or first paragraph, with
// that part cut from their text.
//
// What a run promises. The exploded note keeps its text. Apart from a skipped
// delimiter and the white space between two fixed-size chunks, every character of the
// text lies in exactly one chunk, in order, so the chunks joined with what was skipped
// give back the text. A chunk never ends inside a character.
//
// `Exploder` runs the command; `Exploder::Chunker` walks one text chunk by chunk.
// Both work on the model directly: a run is one change batch and is not undoable.

#ifndef FERNWEAVE_MODEL_EXPLODER_H_
#define FERNWEAVE_MODEL_EXPLODER_H_

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "model/content.h"
#include "model/map_position.h"
#include "model/node.h"

namespace fernweave {

// How a run cuts and names, with the defaults the user is first offered.
struct ExplodeSettings {
  // Without a delimiter: the size of a chunk in UTF-16 units before it is widened to
  // the next word boundary; 0 or less means 500.
  int chunk_size = 500;
  // Cut at each occurrence of this text (already through ProcessSpecialExplodeChars);
  // empty: cut by size.
  std::string delimiter;
  // Leave the delimiter out of the chunks rather than end each chunk with it.
  bool skip_delimiter = false;
  int name_mode = 0;  // one of Exploder's name modes
  // Remove the text that names a note from its text.
  bool cut_name = false;
};

class Exploder {
 public:
  // Name modes, as the explode question numbers them. kNoName, like any value other
  // than the first four, leaves the new notes unnamed.
  static constexpr int kFirstSentence = 0;
  static constexpr int kFirstSentenceAlso = 1;
  static constexpr int kFirstParagraph = 2;
  static constexpr int kFirstTwoSentences = 3;
  static constexpr int kNoName = 4;

  class Chunker;

  Exploder() = default;
  Exploder(const Exploder&) = delete;
  Exploder& operator=(const Exploder&) = delete;
  virtual ~Exploder() = default;

  // Asks how to explode the note (AskToExplode, offering ExplodeSettings' defaults) and
  // runs Do with the answers. Null, doing nothing, when there is no note, the document
  // cannot be edited or the user declines; else what Do returns.
  Node* DoExplode(Node* note);

  // Explodes the note's text (an alias's original's, since an alias holds no notes)
  // into new notes inside a new last child "Exploded Text", a copy of the note without
  // its own `OnAdd` and `Rule`. Returns that copy (its children are the notes made), or
  // null when there is no note or the document cannot be edited. A note that cannot be
  // made ends the run; the notes made so far stay. Scripts are off during the run and
  // a progress display titled "Exploding" follows it.
  Node* Do(Node* note, int chunk_size, std::string_view delimiter, bool skip_delimiter,
           int name_mode, bool cut_name);
  Node* Do(Node* note, const ExplodeSettings& settings) {
    return Do(note, settings.chunk_size, settings.delimiter, settings.skip_delimiter,
              settings.name_mode, settings.cut_name);
  }

  // The index of the last '.' of the run of dots that starts at `index`, so that an
  // ellipsis ends a sentence once ("Wait... then" ends after the third dot).
  static size_t HandleEllipsis(std::string_view text, size_t index);

  // Fills in the settings the user chose, starting from the defaults in `settings`.
  // Returns false when the user declines. The answer's delimiter must already have
  // passed through ProcessSpecialExplodeChars.
  virtual bool AskToExplode(ExplodeSettings* settings) = 0;

  // The delimiter as typed, with its escapes: a backslash followed by 'r' or 'n' is a
  // carriage return, by 't' a tab, by nothing a backslash, by any other character that
  // character. A line feed typed as itself is a carriage return too, since that is how
  // note text breaks lines.
  static std::string ProcessSpecialExplodeChars(std::string_view typed);

  // Appends the chunk the chunker has selected, with its looks, to the note's text.
  void CopySelectedText(const Chunker& chunker, Node* note);

  // Names the note from its text by the name mode (see the modes); with `cut`, the
  // naming part and the white space after it leave the text.
  void MakeNameFor(Node* note, int name_mode, bool cut);
  // The text up to and including the first '.', '?' or '!' (a run of dots is one
  // end), trimmed of white space; the whole trimmed text when there is no end, and
  // then nothing is cut. With `cut`, the part and the tabs, carriage returns and
  // blanks after it are removed from the note's text.
  std::string FirstSentenceOf(Node* note, bool cut);
  // The same up to the second end.
  std::string FirstTwoSentencesOf(Node* note, bool cut);
  // The same up to and including the first carriage return.
  std::string FirstParagraphOf(Node* note, bool cut);
  // Deletes [start, end) (UTF-16 units) from the note's text.
  void CutText(Node* note, size_t start, size_t end);

 protected:
  // Makes the note named `name` that the next chunk goes into, as the container's last
  // child; null ends the run. The default makes a plain note where the document would
  // place a note added after the container's last child.
  virtual Node* MakeNoteIn(Node* container, std::string_view name);

 private:
  // The container MakeNoteIn last filled: its last child with that child's place and
  // width, the bounds of its children and the size of a new note (x wide, y high).
  struct Placement {
    // Spelled out so that std::optional can make one while Exploder is still being
    // declared (clang will not use the implicit constructor there).
    Placement() {}
    const Node* container = nullptr;
    Node* last = nullptr;
    MapPoint last_place;
    double last_width = 0;
    std::optional<MapRect> bounds;
    std::optional<MapPoint> new_size;
    void Include(MapPoint p, double width, double height);
  };

  // The name the note's text gives by the name mode (one that names), cutting as
  // FirstSentenceOf describes.
  std::string NameUpTo(Node* note, int name_mode, bool cut);

  std::optional<Placement> placement_;
};

// Walks a text chunk by chunk. The current chunk is the span [Start(), End()) of the
// text, in UTF-16 units.
class Exploder::Chunker {
 public:
  // REQUIRES: `text` outlives the chunker and does not change while it walks.
  explicit Chunker(const Content* text) : text_(text), last_(text->Utf16Length()) {}

  const Content& Text() const { return *text_; }
  size_t Start() const { return start_; }
  size_t End() const { return end_; }
  // The length of the text.
  size_t Last() const { return last_; }
  void StartAt(size_t offset) { start_ = offset; }
  void EndAt(size_t offset) { end_ = offset; }

  void TargetString(std::string_view delimiter);
  const std::string& TargetString() const { return target_; }
  bool HasTarget() const { return !target_.empty(); }
  bool SkipDelimiter() const { return skip_delimiter_; }
  void SkipDelimiter(bool skip) { skip_delimiter_ = skip; }
  int ChunkSize() const { return chunk_size_; }
  void ChunkSize(int size) { chunk_size_ = size; }

  // Sets the end of a chunk of about the chunk size (500 when it is below 2): the end
  // of ChunkSize() - 1 units from the start, widened to the next word boundary.
  void GetFixedChunk();
  // Finds the current chunk's end: a fixed chunk without a delimiter; else the next
  // occurrence of the delimiter at or after the start (past it unless it is skipped),
  // or the end of the text when there is none.
  void Next();
  // Moves the start to the next chunk: to the end, then past the delimiter when it is
  // skipped, or without a delimiter past the white space at the chunk boundary.
  void Advance();
  // Steps past an empty chunk: one character on without a delimiter, the delimiter's
  // length with one.
  void Bump();
  bool empty() const { return end_ == start_; }
  // Every character of the chunk is a blank, tab, line feed, vertical tab, form feed or
  // carriage return (true for an empty chunk).
  bool IsWhiteSpace() const;
  // Keeps the end inside the text.
  void Normalize();

 private:
  const Content* text_;
  size_t last_;
  size_t start_ = 0;
  size_t end_ = 0;
  std::string target_;
  size_t target_units_ = 0;
  bool skip_delimiter_ = false;
  int chunk_size_ = 500;
};

}  // namespace fernweave

#endif  // FERNWEAVE_MODEL_EXPLODER_H_
