#include "model/exploder.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <utility>

#include "foundation/progress.h"
#include "model/change.h"
#include "model/hypertext.h"
#include "model/map_position.h"
#include "model/node.h"

namespace fernweave {
namespace {

constexpr std::string_view kExplodedTextName = "Exploded Text";
constexpr std::string_view kProgressTitle = "Exploding";
constexpr int kDefaultChunkSize = 500;
// The progress display moves in at most this many steps, however long the text.
constexpr size_t kProgressSteps = 1000;

// The C library's white space in the "C" locale; bytes of other characters never are.
bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// What follows the naming part and is cut with it.
bool IsBlankAfterName(char c) {
  return c == ' ' || c == '\t' || c == '\r';
}

std::string Trimmed(std::string_view text) {
  size_t from = 0;
  size_t to = text.size();
  while (from < to && IsSpace(text[from])) {
    ++from;
  }
  while (to > from && IsSpace(text[to - 1])) {
    --to;
  }
  return std::string(text.substr(from, to - from));
}

// The byte index of the character that ends the sentence beginning at `from`, or npos.
size_t SentenceEnd(std::string_view text, size_t from) {
  const size_t end = text.find_first_of(".?!", from);
  if (end == std::string_view::npos) {
    return end;
  }
  return Exploder::HandleEllipsis(text, end);
}

bool NamesNotes(int name_mode) {
  return name_mode >= Exploder::kFirstSentence && name_mode <= Exploder::kFirstTwoSentences;
}

// The byte index of the character that ends the naming part of `text`, or npos.
// REQUIRES: NamesNotes(name_mode).
size_t NameEnd(std::string_view text, int name_mode) {
  switch (name_mode) {
    case Exploder::kFirstParagraph:
      return text.find('\r');
    case Exploder::kFirstTwoSentences: {
      const size_t first = SentenceEnd(text, 0);
      return first == std::string_view::npos ? first : SentenceEnd(text, first + 1);
    }
    default:
      return SentenceEnd(text, 0);
  }
}

// A note's name from its text and, with cutting, the bytes at the start of the text
// that go with it (0 when none).
struct Naming {
  std::string name;
  size_t cut_bytes = 0;
};

Naming NameFrom(std::string_view text, int name_mode, bool cut) {
  const size_t end = NameEnd(text, name_mode);
  if (end == std::string_view::npos) {
    return Naming{Trimmed(text), 0};
  }
  Naming naming{Trimmed(text.substr(0, end + 1)), 0};
  if (cut) {
    size_t after = end + 1;
    while (after < text.size() && IsBlankAfterName(text[after])) {
      ++after;
    }
    naming.cut_bytes = after;
  }
  return naming;
}

// Follows a run on a progress display of kProgressSteps steps (fewer for a short
// text): each call moves the display to a position in the text.
class RunProgress {
 public:
  explicit RunProgress(size_t total)
      : progress_(MakeProgress()), total_(total), steps_(std::min(total, kProgressSteps)) {
    progress_->Begin(std::string(kProgressTitle), static_cast<long>(steps_));
  }
  ~RunProgress() { progress_->End(); }
  RunProgress(const RunProgress&) = delete;
  RunProgress& operator=(const RunProgress&) = delete;

  void MoveTo(size_t position) {
    const size_t target = total_ == 0 ? 0 : std::min(position, total_) * steps_ / total_;
    while (done_ < target) {
      progress_->Bump();
      ++done_;
    }
  }

 private:
  std::unique_ptr<Progress> progress_;
  size_t total_;
  size_t steps_;
  size_t done_ = 0;
};

// Switches a document's scripts off for a scope.
class ScriptsOff {
 public:
  explicit ScriptsOff(Hypertext* doc) : doc_(doc), allowed_(doc->AllowScripts()) {
    doc_->SetAllowScripts(false);
  }
  ~ScriptsOff() { doc_->SetAllowScripts(allowed_); }
  ScriptsOff(const ScriptsOff&) = delete;
  ScriptsOff& operator=(const ScriptsOff&) = delete;

 private:
  Hypertext* doc_;
  bool allowed_;
};

}  // namespace

// --- Exploder ----------------------------------------------------------------------

Node* Exploder::DoExplode(Node* note) {
  if (note == nullptr || !note->CanEdit()) {
    return nullptr;
  }
  ExplodeSettings settings;
  if (!AskToExplode(&settings)) {
    return nullptr;
  }
  return Do(note, settings);
}

Node* Exploder::Do(Node* note, int chunk_size, std::string_view delimiter, bool skip_delimiter,
                   int name_mode, bool cut_name) {
  if (note != nullptr) {
    note = note->GetOriginal();
  }
  if (note == nullptr || !note->CanEdit() || note->IsHidden() || !note->CanReceiveChildren()) {
    return nullptr;
  }
  Hypertext* doc = note->GetHypertext();
  StChanges changes(doc);
  placement_.reset();

  Node* copy = note->Clone(false);
  if (!copy->DoMoveTo(note, note->YoungestSon())) {
    copy->Hide(true);  // cannot happen for a note that takes children; keep the tree whole
    return nullptr;
  }
  copy->SetName(kExplodedTextName);
  // The container of the new notes must not act on them.
  copy->Remove("OnAdd");
  copy->Remove("Rule");

  Chunker chunker(copy->GetContent());
  chunker.TargetString(delimiter);
  chunker.SkipDelimiter(skip_delimiter);
  if (!chunker.HasTarget()) {
    chunker.ChunkSize(chunk_size > 0 ? chunk_size : kDefaultChunkSize);
  }

  ScriptsOff scripts_off(doc);
  RunProgress progress(chunker.Last());
  while (chunker.Start() < chunker.Last()) {
    chunker.Next();
    if (chunker.empty()) {
      chunker.Bump();
      continue;
    }
    if (!chunker.IsWhiteSpace()) {
      progress.MoveTo(chunker.Start());
      // The name comes from the chunk as the note will hold it (as MakeNameFor would
      // find it), so the note is made under its name at once.
      Naming naming;
      if (NamesNotes(name_mode)) {
        naming = NameFrom(chunker.Text().SpanText(TextRange{chunker.Start(), chunker.End()}),
                          name_mode, cut_name);
      }
      Node* made = MakeNoteIn(copy, naming.name);
      if (made == nullptr) {
        break;
      }
      CopySelectedText(chunker, made);
      if (naming.cut_bytes > 0) {
        CutText(made, 0, made->GetContent()->UnitOffset(naming.cut_bytes));
      }
    }
    const size_t before = chunker.Start();
    chunker.Advance();
    if (chunker.Start() <= before) {
      break;  // a chunk always moves the start on; never loop on one place
    }
  }
  placement_.reset();
  return copy;
}

size_t Exploder::HandleEllipsis(std::string_view text, size_t index) {
  if (index >= text.size() || text[index] != '.') {
    return index;
  }
  while (index + 1 < text.size() && text[index + 1] == '.') {
    ++index;
  }
  return index;
}

std::string Exploder::ProcessSpecialExplodeChars(std::string_view typed) {
  std::string out;
  out.reserve(typed.size());
  for (size_t i = 0; i < typed.size(); ++i) {
    const char c = typed[i];
    if (c == '\\') {
      if (i + 1 == typed.size()) {
        out += '\\';
        break;
      }
      const char escaped = typed[++i];
      out += escaped == 'r' || escaped == 'n' ? '\r' : escaped == 't' ? '\t' : escaped;
    } else if (c == '\r' && i + 1 < typed.size() && typed[i + 1] == '\n') {
      // A typed line break; the pair's line feed below becomes the carriage return.
    } else {
      out += c == '\n' ? '\r' : c;
    }
  }
  return out;
}

void Exploder::CopySelectedText(const Chunker& chunker, Node* note) {
  note->GetContent()->AppendSpan(chunker.Text(), TextRange{chunker.Start(), chunker.End()});
}

void Exploder::MakeNameFor(Node* note, int name_mode, bool cut) {
  if (NamesNotes(name_mode)) {
    note->SetName(NameUpTo(note, name_mode, cut));
  }
}

std::string Exploder::NameUpTo(Node* note, int name_mode, bool cut) {
  Content* content = note->GetContent();
  Naming naming = NameFrom(content->text(), name_mode, cut);
  if (naming.cut_bytes > 0) {
    CutText(note, 0, content->UnitOffset(naming.cut_bytes));
  }
  return std::move(naming.name);
}

std::string Exploder::FirstSentenceOf(Node* note, bool cut) {
  return NameUpTo(note, kFirstSentence, cut);
}

std::string Exploder::FirstTwoSentencesOf(Node* note, bool cut) {
  return NameUpTo(note, kFirstTwoSentences, cut);
}

std::string Exploder::FirstParagraphOf(Node* note, bool cut) {
  return NameUpTo(note, kFirstParagraph, cut);
}

void Exploder::CutText(Node* note, size_t start, size_t end) {
  if (end > start) {
    note->GetContent()->DeleteSpan(TextRange{start, end});
  }
}

Node* Exploder::MakeNoteIn(Node* container, std::string_view name) {
  // Where the document places a note added after the last child (Node::FindAPlaceNear:
  // to the right of it, or a new row below everything once the row is long enough).
  // Finding the last child and the bounds walks all children, so while the note made
  // last is still the last child, both are kept from note to note instead.
  const Node* previous = placement_ ? placement_->last : nullptr;
  if (!placement_ || placement_->container != container || previous == nullptr ||
      previous->Father() != container || previous->Brother() != nullptr ||
      previous->IsHidden()) {
    placement_ = Placement{};
    placement_->container = container;
    placement_->last = container->YoungestSon();
    for (const Node* c = container->Son(); c != nullptr; c = c->Brother()) {
      placement_->Include(c->Position(), c->Width(), c->Height());
    }
    if (placement_->last != nullptr) {
      placement_->last_place = placement_->last->Position();
      placement_->last_width = placement_->last->Width();
    }
  }
  Placement& place = *placement_;
  // New notes all have the default size; the first one made tells it.
  auto where = [&place](double height) {
    if (place.last == nullptr) {
      return MapPoint{0, 0};
    }
    MapPoint p{place.last_place.x + place.last_width + kMapGap, place.last_place.y};
    if (place.bounds && p.x >= std::max(place.bounds->right, place.bounds->left + kMinimumRowWidth)) {
      p = MapPoint{place.bounds->left, place.bounds->bottom + kMapGap + height};
    }
    return p;
  };
  MapPoint p = place.new_size ? where(place.new_size->y) : MapPoint{0, 0};
  Node* made = container->GetHypertext()->MakeNode(name, container, place.last, p.x, p.y);
  if (made == nullptr) {
    return nullptr;
  }
  if (!place.new_size) {
    place.new_size = MapPoint{made->Width(), made->Height()};
    p = where(place.new_size->y);
    if (p != MapPoint{0, 0}) {
      made->SetPosition(p);
    }
  }
  place.Include(p, place.new_size->x, place.new_size->y);
  place.last = made;
  place.last_place = p;
  place.last_width = place.new_size->x;
  return made;
}

void Exploder::Placement::Include(MapPoint p, double width, double height) {
  const MapRect r{p.x, p.y, p.x + width, p.y + height};
  if (!bounds) {
    bounds = r;
    return;
  }
  bounds->left = std::min(bounds->left, r.left);
  bounds->top = std::min(bounds->top, r.top);
  bounds->right = std::max(bounds->right, r.right);
  bounds->bottom = std::max(bounds->bottom, r.bottom);
}

// --- Chunker -----------------------------------------------------------------------

void Exploder::Chunker::TargetString(std::string_view delimiter) {
  target_ = std::string(delimiter);
  target_units_ = Utf16Length(target_);
}

void Exploder::Chunker::GetFixedChunk() {
  const size_t size =
      static_cast<size_t>(chunk_size_ >= 2 ? chunk_size_ : kDefaultChunkSize);
  end_ = text_->WidenToWordBoundaries(text_->Select(start_, size - 1)).end;
}

void Exploder::Chunker::Next() {
  if (!HasTarget()) {
    GetFixedChunk();
  } else {
    const size_t found = text_->Find(target_, start_);
    if (found == Content::npos) {
      end_ = last_;
    } else {
      end_ = skip_delimiter_ ? found : found + target_units_;
    }
  }
  Normalize();
}

void Exploder::Chunker::Advance() {
  start_ = end_;
  if (HasTarget()) {
    if (skip_delimiter_) {
      start_ += target_units_;
    }
    return;
  }
  // The next chunk begins after the white space at the boundary; every other character
  // goes into it. White space is ASCII, one unit per character.
  const std::string_view rest = text_->SpanText(TextRange{start_, last_});
  size_t blanks = 0;
  while (blanks < rest.size() && IsSpace(rest[blanks])) {
    ++blanks;
  }
  start_ += blanks;
}

void Exploder::Chunker::Bump() {
  if (HasTarget()) {
    start_ += target_units_;
    return;
  }
  const size_t next = text_->Select(start_, 1).end;
  start_ = next > start_ ? next : start_ + 1;
}

bool Exploder::Chunker::IsWhiteSpace() const {
  const std::string_view chunk = text_->SpanText(TextRange{start_, end_});
  return std::all_of(chunk.begin(), chunk.end(), IsSpace);
}

void Exploder::Chunker::Normalize() {
  if (end_ > last_) {
    end_ = last_;
  }
}

}  // namespace fernweave
