#include "foundation/xml_writer.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>

namespace fernweave {
namespace {

constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";

// How a text is cleaned: ill-formed UTF-8 replaced by U+FFFD, or removed.
enum class IllFormed { kReplace, kRemove };

// What ToXML does with a byte where it stands: copy it, replace it (markup characters,
// quotes, and white space a parser would change), drop it (other control characters),
// or read the UTF-8 sequence it starts.
enum class ByteAction : uint8_t { kCopy, kReplace, kDrop, kSequence };

struct ByteActions {
  ByteAction attribute[256];
  ByteAction element[256];
};

constexpr ByteActions MakeByteActions() {
  ByteActions t{};
  for (int c = 0; c < 256; ++c) {
    ByteAction a = ByteAction::kCopy;
    if (c >= 0x80) {
      a = ByteAction::kSequence;
    } else if (c < 0x20) {
      a = ByteAction::kDrop;
    }
    t.attribute[c] = a;
    t.element[c] = a;
  }
  for (unsigned char c : {'<', '>', '&', '\'', '\r'}) {
    t.attribute[c] = ByteAction::kReplace;
    t.element[c] = ByteAction::kReplace;
  }
  // Element text keeps quotes, tabs and line feeds as they are.
  for (unsigned char c : {'"', '\t', '\n'}) {
    t.attribute[c] = ByteAction::kReplace;
    t.element[c] = ByteAction::kCopy;
  }
  return t;
}

constexpr ByteActions kByteActions = MakeByteActions();

// The length of the UTF-8 sequence at p when it is well formed and encodes a character
// an XML file can carry; 0 otherwise (the caller then decodes it the slow way). Accepts
// exactly the sequences DecodeUtf8 reads as such a character.
size_t CarriableSequenceLength(const unsigned char* p, size_t available) {
  const auto continuation = [](unsigned char b) { return (b & 0xC0) == 0x80; };
  const unsigned char lead = p[0];
  if (lead >= 0xC2 && lead <= 0xDF) {
    return available >= 2 && continuation(p[1]) ? 2 : 0;
  }
  if (lead >= 0xE0 && lead <= 0xEF) {
    if (available < 3 || !continuation(p[1]) || !continuation(p[2])) {
      return 0;
    }
    // Overlong forms, encoded surrogates, and U+FFFE and U+FFFF.
    if ((lead == 0xE0 && p[1] < 0xA0) || (lead == 0xED && p[1] >= 0xA0) ||
        (lead == 0xEF && p[1] == 0xBF && p[2] >= 0xBE)) {
      return 0;
    }
    return 3;
  }
  if (lead >= 0xF0 && lead <= 0xF4) {
    if (available < 4 || !continuation(p[1]) || !continuation(p[2]) || !continuation(p[3])) {
      return 0;
    }
    // Overlong forms and code points above U+10FFFF.
    if ((lead == 0xF0 && p[1] < 0x90) || (lead == 0xF4 && p[1] > 0x8F)) {
      return 0;
    }
    return 4;
  }
  return 0;
}

// Appends the character at text[*pos] when an XML file can carry it, U+FFFD (or
// nothing) for ill-formed UTF-8, nothing for a forbidden character; advances *pos.
void AppendCleanCharacter(std::string_view text, size_t* pos, IllFormed ill_formed,
                          std::string* out) {
  Utf8Step step = DecodeUtf8(text, *pos);
  if (step.code_point == Utf8Step::kIllFormed) {
    if (ill_formed == IllFormed::kReplace) {
      out->append(kReplacementCharacter);
    }
  } else if (IsXMLChar(step.code_point)) {
    out->append(text.substr(*pos, step.length));
  }
  *pos += step.length;
}

// True when every character of the text can appear in an XML file.
bool IsCarriable(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    Utf8Step step = DecodeUtf8(text, i);
    if (!IsXMLChar(step.code_point)) {
      return false;
    }
    i += step.length;
  }
  return true;
}

std::string Clean(std::string_view text, IllFormed ill_formed) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    AppendCleanCharacter(text, &i, ill_formed, &out);
  }
  return out;
}

// What a replaced character becomes. A parser reads a literal carriage return as a line
// feed everywhere, and a tab or line feed inside an attribute value as a space, so
// those are written as character references. Element text keeps quotes, tabs and line
// feeds (see MakeByteActions), so one table serves both.
struct Reference {
  char text[7];
  uint8_t length;
};

constexpr std::array<Reference, 128> MakeReferences() {
  std::array<Reference, 128> t{};
  t['<'] = {"&lt;", 4};
  t['>'] = {"&gt;", 4};
  t['&'] = {"&amp;", 5};
  t['\''] = {"&apos;", 6};
  t['"'] = {"&quot;", 6};
  t['\r'] = {"&#13;", 5};
  t['\t'] = {"&#9;", 4};
  t['\n'] = {"&#10;", 5};
  return t;
}

constexpr std::array<Reference, 128> kReferences = MakeReferences();

// The fast path of AppendXML handles every byte the same way, without a branch: it
// stores eight bytes of a table entry (the byte itself, its reference, or nothing for a
// dropped control character) and advances by the entry's length, kept in the entry's
// top byte. The stores overlap; only the bytes below the final position count. Most
// texts mix markup characters and non-ASCII letters every few bytes, where a branch
// per character would be mispredicted again and again.
using Chunks = std::array<uint64_t, 256>;

constexpr Chunks MakeChunks(bool in_element_text) {
  Chunks t{};
  for (int c = 0; c < 256; ++c) {
    const ByteActions& actions = kByteActions;
    const ByteAction action = in_element_text ? actions.element[c] : actions.attribute[c];
    uint64_t chunk = 0;
    uint64_t length = 0;
    if (action == ByteAction::kReplace) {
      const Reference& r = kReferences[static_cast<size_t>(c)];
      for (uint64_t k = 0; k < r.length; ++k) {
        chunk |= static_cast<uint64_t>(static_cast<unsigned char>(r.text[k])) << (8 * k);
      }
      length = r.length;
    } else if (action != ByteAction::kDrop) {
      chunk = static_cast<uint64_t>(c);
      length = 1;
    }
    t[static_cast<size_t>(c)] = chunk | length << 56;
  }
  return t;
}

constexpr Chunks kAttributeChunks = MakeChunks(false);
constexpr Chunks kElementChunks = MakeChunks(true);

// Meanwhile a state machine checks that every non-ASCII byte belongs to well-formed
// UTF-8 of a character a file can carry, which the fast path copies unchanged. The
// states are bit offsets into a per-byte row of six-bit fields, so a step is one load
// that does not wait for the state and one shift (the next state is row >> state).
// A text that ends anywhere but in kAccept is done again by the careful path.
enum Utf8State : uint64_t {
  kAccept = 0,
  kReject = 6,
  kNeed1 = 12,    // one continuation byte to go
  kNeed2 = 18,    // two
  kNeed3 = 24,    // three
  kAfterE0 = 30,  // A0..BF, else overlong
  kAfterED = 36,  // 80..9F, else an encoded surrogate
  kAfterEF = 42,  // BF may start U+FFFE or U+FFFF
  kAfterEFBF = 48,
  kAfterF0 = 54,  // 90..BF, else overlong
};

constexpr uint64_t Utf8Next(uint64_t state, unsigned c) {
  const bool continuation = c >= 0x80 && c <= 0xBF;
  switch (state) {
    case kAccept:
      if (c < 0x80) {
        return kAccept;
      }
      if (c >= 0xC2 && c <= 0xDF) {
        return kNeed1;
      }
      if (c == 0xE0) {
        return kAfterE0;
      }
      if (c == 0xED) {
        return kAfterED;
      }
      if (c == 0xEF) {
        return kAfterEF;
      }
      if (c >= 0xE1 && c <= 0xEE) {
        return kNeed2;
      }
      if (c == 0xF0) {
        return kAfterF0;
      }
      // F4 (whose range check needs one more state) is left to the careful path.
      if (c >= 0xF1 && c <= 0xF3) {
        return kNeed3;
      }
      return kReject;
    case kNeed1:
      return continuation ? kAccept : kReject;
    case kNeed2:
      return continuation ? kNeed1 : kReject;
    case kNeed3:
      return continuation ? kNeed2 : kReject;
    case kAfterE0:
      return c >= 0xA0 && c <= 0xBF ? kNeed1 : kReject;
    case kAfterED:
      return c >= 0x80 && c <= 0x9F ? kNeed1 : kReject;
    case kAfterEF:
      return c == 0xBF ? kAfterEFBF : (continuation ? kNeed1 : kReject);
    case kAfterEFBF:
      return c >= 0x80 && c <= 0xBD ? kAccept : kReject;
    case kAfterF0:
      return c >= 0x90 && c <= 0xBF ? kNeed2 : kReject;
    default:
      return kReject;
  }
}

constexpr std::array<uint64_t, 256> MakeUtf8Rows() {
  std::array<uint64_t, 256> rows{};
  constexpr uint64_t kStates[] = {kAccept,  kReject,  kNeed1,   kNeed2,     kNeed3,
                                  kAfterE0, kAfterED, kAfterEF, kAfterEFBF, kAfterF0};
  for (unsigned c = 0; c < 256; ++c) {
    for (uint64_t state : kStates) {
      rows[c] |= Utf8Next(state, c) << state;
    }
  }
  return rows;
}

constexpr std::array<uint64_t, 256> kUtf8Rows = MakeUtf8Rows();

// Input is taken in blocks of this size, formed in a buffer on the stack with room for
// the worst case (six bytes out for each byte in) and for the last eight-byte store.
constexpr size_t kFastBlock = 1024;

// Appends the text through the fast path; false (with `out` as it was) when a
// non-ASCII byte needs the careful path.
bool AppendFast(std::string* out, std::string_view text, bool in_element_text) {
  const Chunks& chunks = in_element_text ? kElementChunks : kAttributeChunks;
  const size_t original = out->size();
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  char buffer[6 * kFastBlock + 8];
  uint64_t state = kAccept;
  for (size_t at = 0; at < text.size(); at += kFastBlock) {
    const size_t end = at + std::min(kFastBlock, text.size() - at);
    char* d = buffer;
    // The state is the low six bits; the shift uses no more, so the rest of the row is
    // left in place rather than masked off on the critical path of each step.
    const auto step = [&](unsigned c) {
      const uint64_t chunk = chunks[c];
      std::memcpy(d, &chunk, 8);
      d += chunk >> 56;
      state = kUtf8Rows[c] >> (state & 63);
    };
    size_t i = at;
    // Eight bytes are read at once and taken apart in a register, which leaves the
    // loads to the two tables.
    for (; i + 8 <= end; i += 8) {
      uint64_t word;
      std::memcpy(&word, p + i, 8);
      for (int k = 0; k < 8; ++k) {
        step(static_cast<unsigned>(word & 0xFF));
        word >>= 8;
      }
    }
    for (; i < end; ++i) {
      step(p[i]);
    }
    out->append(buffer, static_cast<size_t>(d - buffer));
  }
  if ((state & 63) != kAccept) {
    out->resize(original);
    return false;
  }
  return true;
}

}  // namespace

void XMLWriter::XMLHeader(std::ostream& os) {
  os << "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>" << line_end_;
}

void XMLWriter::Open(std::ostream& os, const std::string& tag) {
  os << '<' << tag << ' ';
  open_tag_ = tag;
}

void XMLWriter::EndTag(std::ostream& os, bool in_line) {
  os << '>';
  if (!in_line) {
    os << line_end_;
  }
  open_tag_.clear();
}

void XMLWriter::Close(std::ostream& os, const std::string& tag) {
  os << "</" << tag << '>' << line_end_;
  open_tag_.clear();
}

void XMLWriter::Close(std::ostream& os) {
  os << " />" << line_end_;
  open_tag_.clear();
}

void XMLWriter::Put(std::ostream& os, const std::string& name, const std::string& value) {
  os << ToXML(name, false) << "=\"" << ToXML(value, false) << "\" ";
}

void XMLWriter::Put(std::ostream& os, const std::string& name, long value) {
  Put(os, name, std::to_string(value));
}

void XMLWriter::PutUnsigned(std::ostream& os, const std::string& name, unsigned long value) {
  Put(os, name, std::to_string(value));
}

void XMLWriter::PutBoolean(std::ostream& os, const std::string& name, bool value) {
  Put(os, name, std::string(value ? "1" : "0"));
}

void XMLWriter::PutRect(std::ostream& os, const std::string& name, const SRect& rect) {
  Put(os, name, RectToString(rect));
}

void XMLWriter::Put(std::ostream& os, const std::string& name, const RGBColor& color) {
  Put(os, name, ColorToHex(color));
}

void XMLWriter::Put(std::ostream& os, const std::string& name, const SRect& rect) {
  PutRect(os, name, rect);
}

std::string XMLWriter::StripControlCharacters(const std::string& text) {
  return IsCarriable(text) ? text : Clean(text, IllFormed::kRemove);
}

std::string XMLWriter::ToXML(std::string_view text, bool in_element_text) {
  std::string out;
  out.reserve(text.size());
  AppendXML(&out, text, in_element_text);
  return out;
}

size_t XMLWriter::PlainPrefixLength(std::string_view text, bool in_element_text) {
  const ByteAction* actions = in_element_text ? kByteActions.element : kByteActions.attribute;
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const size_t n = text.size();
  size_t i = 0;
  while (i < n) {
    const ByteAction action = actions[p[i]];
    if (action == ByteAction::kCopy) {
      ++i;
      continue;
    }
    if (action == ByteAction::kSequence) {
      const size_t length = CarriableSequenceLength(p + i, n - i);
      if (length != 0) {
        i += length;
        continue;
      }
    }
    break;
  }
  return i;
}

void XMLWriter::AppendXML(std::string* out, std::string_view text, bool in_element_text) {
  if (AppendFast(out, text, in_element_text)) {
    return;
  }
  // The careful path: ill-formed UTF-8, characters a file cannot carry, or U+100000 and
  // above. Characters that need no change are copied a run at a time.
  const ByteAction* actions = in_element_text ? kByteActions.element : kByteActions.attribute;
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const size_t n = text.size();
  size_t i = 0;
  while (true) {
    const size_t run = PlainPrefixLength(text.substr(i), in_element_text);
    out->append(text.data() + i, run);
    i += run;
    if (i >= n) {
      return;
    }
    switch (actions[p[i]]) {
      case ByteAction::kReplace: {
        const Reference& r = kReferences[p[i]];
        out->append(r.text, r.length);
        ++i;
        break;
      }
      case ByteAction::kDrop:
        // Control characters other than tab, line feed and carriage return cannot
        // appear in an XML file at all.
        ++i;
        break;
      default:
        // Ill-formed UTF-8 or a character a file cannot carry.
        AppendCleanCharacter(text, &i, IllFormed::kReplace, out);
        break;
    }
  }
}

std::string XMLWriter::CleanText(std::string_view text) {
  return IsCarriable(text) ? std::string(text) : Clean(text, IllFormed::kReplace);
}

std::string XMLWriter::ToUnicode(std::string_view text) {
  return outputConverter().ToUnicode(text);
}

Unicoder& XMLWriter::outputConverter() {
  static Unicoder converter(UnicodeForm::kUTF8, TextEncoding::kMacRoman);
  return converter;
}

}  // namespace fernweave
