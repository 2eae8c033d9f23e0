// The text of a note: UTF-8 text whose line breaks are carriage returns, with its style
// runs, struck-through spans, embedded pictures, the rich-text form of the text, an
// attached script and the note's own picture. A note owns one `Content` (an alias shows
// its original's); copying a note copies its content.
//
// Offsets into the text (style runs, struck spans, picture positions, text links) count
// UTF-16 code units, as the text engine does: a character outside the Basic
// Multilingual Plane, such as an emoji, counts two. The conversions below translate
// them to byte offsets into the UTF-8 text.

#ifndef FERNWEAVE_MODEL_CONTENT_H_
#define FERNWEAVE_MODEL_CONTENT_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/geometry.h"
#include "model/color.h"

namespace fernweave {

// The look of the text from `start` (a UTF-16 offset) to the next run's start.
struct StyleRun {
  int32_t start = 0;
  std::string font;
  double size = 0;
  bool bold = false;
  bool italic = false;
  bool underline = false;
  PColor color;
  double line_height = 0;
  double ascent = 0;

  friend bool operator==(const StyleRun&, const StyleRun&) = default;
};

// Text drawn struck through: `length` UTF-16 units from `start`.
struct StruckSpan {
  int32_t start = 0;
  int32_t length = 0;

  friend bool operator==(const StruckSpan&, const StruckSpan&) = default;
};

// A picture placed in the text at `position` (a UTF-16 offset), drawn in `frame`.
// `bytes` is the image data; `compressed` says it is stored as JPEG.
struct TextPicture {
  int32_t position = 0;
  SRect frame;
  std::string bytes;
  bool compressed = false;

  friend bool operator==(const TextPicture&, const TextPicture&) = default;
};

// A stretch of text from `start` up to (not including) `end`, in UTF-16 units.
struct TextRange {
  size_t start = 0;
  size_t end = 0;

  size_t length() const { return end - start; }
  friend bool operator==(const TextRange&, const TextRange&) = default;
};

class Utf16OffsetIndex;

// Where a character starts: its byte offset and its UTF-16 offset.
struct CharacterPlace {
  size_t bytes = 0;
  size_t units = 0;
};

class Content {
 public:
  Content() = default;
  explicit Content(std::string_view text) { SetText(text); }
  // A copy keeps the source's stamp (and shares its offset index).
  Content(const Content& other);
  Content& operator=(const Content& other);
  Content(Content&&) noexcept = default;
  Content& operator=(Content&&) noexcept = default;
  ~Content();

  const std::string& text() const { return text_; }
  // Replaces the text; line feeds and carriage-return/line-feed pairs become carriage
  // returns. Styles, spans and pictures are left as they are.
  void SetText(std::string_view text);
  // Identifies the text for caches built from it: each change of the text takes a stamp no other
  // text has had in this process, a copy keeps its source's stamp, and 0 is the empty
  // text of a new or cleared content. Equal stamps therefore mean equal texts.
  uint64_t text_stamp() const { return text_stamp_; }
  bool HasText() const { return !text_.empty(); }

  // Most texts have no looks, pictures or other forms: they hold no room for them
  // until a writable accessor below is first called. Read through a const Content
  // where nothing is to be changed.
  std::vector<StyleRun>& style_runs() { return MutableExtras().style_runs; }
  const std::vector<StyleRun>& style_runs() const { return Extras().style_runs; }
  std::vector<StruckSpan>& struck_spans() { return MutableExtras().struck_spans; }
  const std::vector<StruckSpan>& struck_spans() const { return Extras().struck_spans; }
  std::vector<TextPicture>& pictures() { return MutableExtras().pictures; }
  const std::vector<TextPicture>& pictures() const { return Extras().pictures; }

  // The text in rich-text form, as the text engine last saved it (may be empty).
  const std::string& rtf() const { return Extras().rtf; }
  void set_rtf(std::string rtf) { MutableExtras().rtf = std::move(rtf); }
  // The compiled script attached to the note, kept as opaque bytes.
  const std::string& script() const { return Extras().script; }
  void set_script(std::string bytes) { MutableExtras().script = std::move(bytes); }
  // The note's own picture (not one in the text), as image bytes.
  const std::string& picture() const { return Extras().picture; }
  void set_picture(std::string bytes) { MutableExtras().picture = std::move(bytes); }

  int CountPictures() const { return static_cast<int>(Extras().pictures.size()); }
  // Length of the text in UTF-16 units.
  size_t Utf16Length() const;
  // Number of words by the Unicode word-boundary rules (dictionary-based for Chinese,
  // Japanese and Thai); punctuation and spaces are not words.
  int WordCount() const;

  // Removes text, styles, spans, pictures, rich text, script and picture.
  void Clear();

  // Compares everything but the stamp and the offset index.
  friend bool operator==(const Content& a, const Content& b);

  // --- Text operations ---------------------------------------------------------
  // What editing a note's text needs: finding, selecting, widening to words, copying
  // a span with its looks into another text and deleting a span. Offsets are UTF-16
  // units, like the style runs; no operation splits a character. A long text keeps an
  // index of its character offsets (made on first need, dropped when the text
  // changes), so walking a long text span by span costs no more than one pass.

  static constexpr size_t npos = static_cast<size_t>(-1);
  // The offset of the first occurrence of `target` starting at or after `from`, or
  // npos when there is none or `target` is empty. A match always begins and ends
  // between characters.
  size_t Find(std::string_view target, size_t from) const;
  // The span of `length` units from `start`, clamped to the text. An offset inside a
  // surrogate pair takes in the whole character: the start moves back, the end on.
  TextRange Select(size_t start, size_t length) const;
  // The span widened to word boundaries: the start moves back and the end on to the
  // nearest boundary at or beyond them. Boundaries are ICU's word boundaries for the
  // root locale (between words, runs of spaces and each punctuation mark; dictionary
  // words for Chinese, Japanese and Thai), further kept to boundaries between
  // user-perceived characters, so a surrogate pair, a combining sequence or an emoji
  // sequence is never split.
  TextRange WidenToWordBoundaries(TextRange span) const;
  // The UTF-8 bytes of the span (as Select clamps it). Valid until the text changes.
  std::string_view SpanText(TextRange span) const;
  // Appends the span of `from` to this text with the style runs, struck spans and
  // pictures that fall in it. Appended text without a style run of its own keeps the
  // look in effect at the end of this text. The rich-text form is dropped, as it no
  // longer matches. Style runs are taken to be in order of their start, as the reader
  // and the text engine keep them.
  void AppendSpan(const Content& from, TextRange span);
  // Deletes the span (as Select clamps it) with the pictures in it; style runs and
  // struck spans after it move back, and the text after it keeps its look. The
  // rich-text form is dropped.
  void DeleteSpan(TextRange span);
  // Conversions between UTF-16 offsets and byte offsets into text(), as the free
  // functions below, through the index for a long text.
  size_t ByteOffset(size_t units) const;
  size_t UnitOffset(size_t bytes) const;


 private:
  // The index of character offsets, shared by copies of the same text. It is derived
  // from the text, so it takes no part in comparisons. Not safe for concurrent first
  // use from two threads, like the rest of the model.
  struct OffsetCache {
    std::shared_ptr<const Utf16OffsetIndex> index;
    // The last two places located in an indexed text (a walk asks for the same ends
    // several times), each with the offset asked for.
    struct Recent {
      size_t asked = SIZE_MAX;
      CharacterPlace place;
    };
    Recent recent[2];
    size_t next_recent = 0;
    friend bool operator==(const OffsetCache&, const OffsetCache&) { return true; }
  };
  // Everything but the text itself, kept apart so that a plain text costs no more
  // than its characters.
  struct TextExtras {
    std::vector<StyleRun> style_runs;
    std::vector<StruckSpan> struck_spans;
    std::vector<TextPicture> pictures;
    std::string rtf;
    std::string script;
    std::string picture;
    friend bool operator==(const TextExtras&, const TextExtras&) = default;
  };
  // The extras, or a shared empty set when there are none.
  const TextExtras& Extras() const;
  TextExtras& MutableExtras();
  // A range as Select clamps it, with the byte offsets of its ends.
  struct Stretch {
    TextRange units;
    size_t from_byte;
    size_t to_byte;
  };
  Stretch StretchOf(TextRange range) const;
  // The character at a UTF-16 offset; past the end, the end.
  CharacterPlace Locate(size_t units) const;
  const Utf16OffsetIndex* Offsets() const;
  void TextChanged();

  std::string text_;
  uint64_t text_stamp_ = 0;
  // Null until something other than the text is stored.
  std::unique_ptr<TextExtras> extras_;
  // Null until a long text is first indexed.
  mutable std::unique_ptr<OffsetCache> offsets_;
};

// UTF-16 helpers over UTF-8 text. Ill-formed UTF-8 counts as one U+FFFD per maximal
// ill-formed sequence, as ICU's conversion does.
//
// Length of `text` in UTF-16 units.
size_t Utf16Length(std::string_view text);
// The byte offset where the character at UTF-16 offset `units` starts. An offset
// inside a surrogate pair gives the start of that character; one past the end gives
// text.size().
size_t Utf8OffsetForUtf16(std::string_view text, size_t units);
// The UTF-16 offset of the character at byte offset `bytes`; a byte offset inside a
// character gives that character's offset; one past the end gives Utf16Length(text).
size_t Utf16OffsetForUtf8(std::string_view text, size_t bytes);
// Word count of `text` (see Content::WordCount).
int CountWords(std::string_view text);

}  // namespace fernweave

#endif  // FERNWEAVE_MODEL_CONTENT_H_
