#include "persist/orvex_writer.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <ostream>
#include <sstream>
#include <string>
#include <unordered_map>
#include <vector>

#include "foundation/base64.h"
#include "foundation/clock.h"
#include "model/alias_node.h"
#include "model/attribute.h"
#include "model/content.h"
#include "model/link.h"
#include "model/link_manager.h"
#include "model/link_type.h"
#include "model/orvex.h"
#include "model/props.h"
#include "model/special_attributes.h"
#include "model/values.h"
#include "persist/document_preference_keys.h"
#include "persist/write_behind.h"

namespace fernweave {
namespace {

// The registry of a fresh document of the same class, to tell which built-in defaults
// a document changed. Made once per class and never changed afterwards.
const Props& PristineProps(bool orvex) {
  static std::once_flag once_orvex, once_generic;
  static std::unique_ptr<Hypertext> orvex_doc, generic_doc;
  if (orvex) {
    std::call_once(once_orvex, [] { orvex_doc = Orvex::Create(); });
    return orvex_doc->Properties();
  }
  std::call_once(once_generic, [] { generic_doc = Hypertext::Create(); });
  return generic_doc->Properties();
}

// The attributes the element itself carries, never repeated as `attribute` children.
bool IsIdentityAttribute(const Attribute* a) {
  return a->Name() == "ID" || a->Name() == "Creator";
}

// The shortest decimal text that reads back as the same number.
std::string NumberText(double x) {
  char buf[64];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, x);
  return ec == std::errc() ? std::string(buf, end) : std::string("0");
}

// Appends the text as XMLWriter::ToXML forms it.
void AppendXML(std::string* out, std::string_view text, bool in_element_text) {
  XMLWriter::AppendXML(out, text, in_element_text);
}

// Passes the end of `out` from `start` on through ToXML as attribute text, in place. A
// value's file form is appended first and escaped afterwards, which spares a temporary
// for the great majority of values that need no change.
void EscapeTail(std::string* out, size_t start, std::string* scratch) {
  const std::string_view tail = std::string_view(*out).substr(start);
  const size_t plain = XMLWriter::PlainPrefixLength(tail, false);
  if (plain == tail.size()) {
    return;
  }
  scratch->assign(tail.substr(plain));
  out->resize(start + plain);
  XMLWriter::AppendXML(out, *scratch, false);
}

// The same bytes as XMLWriter::Open, Put, EndTag and Close, built in a string so that a
// note costs one stream write instead of dozens.
void AppendOpen(std::string* out, std::string_view tag) {
  out->push_back('<');
  out->append(tag);
  out->push_back(' ');
}

void AppendPut(std::string* out, std::string_view name, std::string_view value) {
  AppendXML(out, name, false);
  out->append("=\"");
  AppendXML(out, value, false);
  out->append("\" ");
}

void AppendDecimal(std::string* out, uint64_t value) {
  char buf[24];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
  out->append(buf, static_cast<size_t>(end - buf));
}

void AppendPut(std::string* out, std::string_view name, uint64_t value) {
  char buf[24];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
  AppendPut(out, name, std::string_view(buf, static_cast<size_t>(end - buf)));
}

void AppendClose(std::string* out, std::string_view tag) {
  out->append("</");
  out->append(tag);
  out->append(">\n");
}

// What the writer does with a note's value of one attribute, worked out once per
// attribute rather than once per value.
struct AttributeLine {
  const Attribute* attribute = nullptr;
  bool write = false;          // see OrvexWriter::NeedToWrite; never the identity attributes
  bool alias = false;          // the `Alias` value, renumbered in clippings
  std::string head;            // the element's start, up to its text
  std::string close_and_head;  // the end of the element before, then `head`
};

constexpr std::string_view kAttributeClose = "</attribute>\n";

}  // namespace

// The renumbering state of a clipping and the progress display.
class OrvexWriter::Impl {
 public:
  bool renumbering = false;
  std::unordered_map<uint32_t, uint32_t> id_map;
  std::unique_ptr<Progress> progress;
  int counter = 0;
  // Notes and links are formed here and reach the stream in large blocks: the stream
  // hands any single write of a kilobyte or more straight to the system.
  std::string out;
  // Holds a value's text while it is escaped.
  std::string scratch;
  // Dates of notes made together are close together and share their zone lookups.
  ZoneOffsetCache offsets;

  // The line of an attribute, from a small cache. A document has a few dozen
  // attributes, so direct-mapped slots almost never collide; one that does is simply
  // worked out again.
  const AttributeLine& Line(const Attribute* a) {
    AttributeLine& line = lines[(reinterpret_cast<uintptr_t>(a) >> 4) % std::size(lines)];
    if (line.attribute != a || a == nullptr) {
      line.attribute = a;
      line.write = NeedToWrite(a) && !IsIdentityAttribute(a);
      line.alias = line.write && a->Name() == "Alias";
      line.head.clear();
      line.close_and_head.clear();
      if (line.write) {
        line.head = "<attribute ";
        AppendPut(&line.head, "name", a->Name());
        line.head.push_back('>');
        line.close_and_head = std::string(kAttributeClose) + line.head;
      }
    }
    return line;
  }
  AttributeLine lines[256];

  // Writes out what is gathered once it is large, or always with force set. Whatever
  // writes to the stream directly must first force the gathered bytes out.
  void Emit(std::ostream& os, bool force) {
    // Blocks handed to the writing thread are larger: each hand-over may wake it.
    const size_t block = behind != nullptr ? WriteBehind::kBlockSize : kBlock;
    if (out.size() + deferred_bytes >= block || (force && (!out.empty() || !deferred.empty()))) {
      if (behind != nullptr) {
        // `os` is the stream of `behind`: the block goes over whole, after what was
        // written to the stream before it.
        behind->Hand(&out, &deferred);
        deferred_bytes = 0;
      } else {
        os.write(out.data(), static_cast<std::streamsize>(out.size()));
        out.clear();
      }
    }
  }

  static constexpr size_t kBlock = 1 << 16;
  // While a whole document is written: the thread that passes its bytes on to the
  // caller's stream. Null for clippings, which are small.
  WriteBehind* behind = nullptr;

  // Escapes a note text as the file holds it, for the writing thread.
  static void ExpandText(std::string* out, std::string_view text) {
    XMLWriter::AppendXML(out, text, false);
  }
  // Appends a note text, escaped: left to the writing thread when there is one, so
  // that escaping one block's texts overlaps with forming the next block.
  void AppendText(std::string_view text) {
    if (behind != nullptr && text.size() >= kDeferredText) {
      deferred.push_back({out.size(), text});
      deferred_bytes += text.size();
    } else {
      XMLWriter::AppendXML(&out, text, false);
    }
  }
  // Shorter texts are escaped at once: leaving them costs about as much as escaping.
  static constexpr size_t kDeferredText = 64;
  // The texts left to the writing thread within `out`, and their length.
  std::vector<WriteBehind::Deferred> deferred;
  size_t deferred_bytes = 0;
};

OrvexWriter::OrvexWriter(const Hypertext& doc) : doc_(doc), impl_(std::make_unique<Impl>()) {}

OrvexWriter::~OrvexWriter() {
  if (impl_->progress != nullptr) {
    impl_->progress->End();
  }
}

uint32_t OrvexWriter::MappedID(uint32_t id) const {
  auto it = impl_->id_map.find(id);
  return it == impl_->id_map.end() ? id : it->second;
}

bool OrvexWriter::ShouldWriteNote(const Node* n) {
  if (n == nullptr || n->IsHidden()) {
    return false;
  }
  if (n->IsAlias()) {
    const Node* original = n->GetOriginal();
    return original != nullptr && !original->IsHidden();
  }
  return true;
}

bool OrvexWriter::Write(std::ostream& target) {
  // Bytes are formed on this thread and written to the target by another, so that
  // forming a block overlaps with the system taking the one before.
  WriteBehind behind(target, &Impl::ExpandText);
  impl_->behind = &behind;
  struct Detach {
    Impl* impl;
    ~Detach() {
      impl->behind = nullptr;
      impl->deferred.clear();
      impl->deferred_bytes = 0;
    }
  } detach{impl_.get()};
  std::ostream& os = behind.stream();
  impl_->renumbering = false;
  impl_->id_map.clear();
  impl_->progress = MakeProgress();
  impl_->progress->Begin("Saving...", static_cast<long>(doc_.NodeCount() / 10 + 1));
  const bool full = dynamic_cast<const Orvex*>(&doc_) != nullptr;
  Begin(os);
  WriteAttributes(os);
  Bump(1);
  if (full) {
    WriteColorTable(os);
    Bump(1);
    WriteStamps(os);
    Bump(1);
  }
  WriteLinkTypes(os);
  Bump(1);
  WriteNodes(os, doc_.Root());
  WriteLinks(os);
  Bump(1);
  if (full) {
    WriteMacros(os);
    Bump(1);
  }
  WritePreferences(os);
  Bump(1);
  WriteWindows(os);
  End(os);
  impl_->Emit(os, true);
  impl_->behind = nullptr;
  const bool ok = behind.Finish() && static_cast<bool>(os);
  impl_->progress->End();
  impl_->progress.reset();
  return ok;
}

std::string OrvexWriter::WriteToString(const Hypertext& doc) {
  std::ostringstream os;
  OrvexWriter writer(doc);
  writer.Write(os);
  return os.str();
}

bool OrvexWriter::ToClip(std::ostream& os, const Node& node) {
  NodeVector one;
  one.Add(const_cast<Node*>(&node));
  return ToClip(os, one);
}

bool OrvexWriter::ToClip(std::ostream& os, const NodeVector& nodes) {
  // The listed notes of this document in outline order, without any that lies inside
  // another listed note (it is written with that one).
  std::vector<const Node*> tops;
  for (size_t i = 0; i < nodes.size(); ++i) {
    const Node* n = nodes[i];
    if (n != nullptr && n->GetHypertext() == &doc_ && doc_.HasNode(n) && !n->IsRootNote()) {
      tops.push_back(n);
    }
  }
  std::vector<const Node*> kept;
  for (const Node* n : tops) {
    bool inside = false;
    for (const Node* other : tops) {
      if (other != n && n->IsDescendedFrom(other)) {
        inside = true;
        break;
      }
    }
    if (!inside && std::find(kept.begin(), kept.end(), n) == kept.end()) {
      kept.push_back(n);
    }
  }
  std::vector<std::pair<std::vector<uint32_t>, const Node*>> keyed;
  for (const Node* n : kept) {
    std::vector<uint32_t> path;  // sibling positions from the root down
    for (const Node* a = n; a != nullptr && !a->IsRootNote(); a = a->Father()) {
      path.push_back(static_cast<uint32_t>(a->CountElderSiblings()));
    }
    std::reverse(path.begin(), path.end());
    keyed.emplace_back(std::move(path), n);
  }
  std::sort(keyed.begin(), keyed.end());

  // Every note written gets a number reserved from the process-wide counter, so that
  // neither a later note nor a second copy of the clipping can take it.
  impl_->renumbering = true;
  impl_->id_map.clear();
  std::vector<const Node*> written;
  for (const auto& [path, top] : keyed) {
    if (!ShouldWriteNote(top)) {
      continue;
    }
    for (const Node* n = top; n != nullptr; n = n->Next()) {
      if (n != top && !n->IsDescendedFrom(top)) {
        break;
      }
      if (ShouldWriteNote(n) && !impl_->id_map.contains(n->GetID().id())) {
        impl_->id_map.emplace(n->GetID().id(), NodeID::MakeUniqueNumber());
      }
    }
    written.push_back(top);
  }

  Begin(os);
  for (const Node* top : written) {
    WriteNode(os, top);
  }
  WriteClipLinks(os, written);
  End(os);
  os.flush();
  impl_->renumbering = false;
  return static_cast<bool>(os);
}

std::string OrvexWriter::ClipToString(const NodeVector& nodes) {
  std::ostringstream os;
  if (nodes.empty() || nodes[0] == nullptr || nodes[0]->GetHypertext() == nullptr) {
    return std::string();
  }
  OrvexWriter writer(*nodes[0]->GetHypertext());
  writer.ToClip(os, nodes);
  return os.str();
}

void OrvexWriter::Begin(std::ostream& os) {
  XMLHeader(os);
  Open(os, "fernweave");
  Put(os, "version", kVersion);
  Put(os, "revision", kRevision);
  EndTag(os);
}

void OrvexWriter::End(std::ostream& os) {
  Close(os, "fernweave");
}

void OrvexWriter::Bump(int n) {
  impl_->counter += n;
  while (impl_->counter >= 10) {
    impl_->counter -= 10;
    if (impl_->progress != nullptr) {
      impl_->progress->Bump();
    }
  }
}

// --- Notes ---------------------------------------------------------------------

void OrvexWriter::WriteNodes(std::ostream& os, const Node* first) {
  for (const Node* n = first; n != nullptr; n = n->Brother()) {
    WriteNode(os, n);
  }
}

void OrvexWriter::WriteNode(std::ostream& os, const Node* top) {
  if (!ShouldWriteNote(top)) {
    return;
  }
  // Depth-first with an explicit stack, so that no depth of nesting can overflow the
  // call stack.
  std::vector<const Node*> open;
  WriteNodeHead(os, top);
  open.push_back(top);
  const Node* next = top->Son();
  while (!open.empty()) {
    if (next != nullptr) {
      if (ShouldWriteNote(next)) {
        WriteNodeHead(os, next);
        open.push_back(next);
        next = next->Son();
      } else {
        next = next->Brother();
      }
      continue;
    }
    const Node* done = open.back();
    open.pop_back();
    WriteNodeTail(os, done);
    if (open.empty()) {
      break;
    }
    next = done->Brother();
  }
  impl_->Emit(os, true);
}

void OrvexWriter::WriteNodeHead(std::ostream& os, const Node* n) {
  Bump(1);
  // A note's values lie apart in memory; asking for all of them at once lets the
  // memory system fetch them together rather than one after another as each is used.
  const auto& entries = n->Properties().entries();
  for (const PropertyMap::Entry& e : entries) {
    __builtin_prefetch(e.value.get());
  }
  // The next note, most often the first child or else the next sibling, arrived while
  // this one's predecessor was written: ask for its values' list and its text's home
  // now, and for the note after it, so that each arrives while this note is written.
  if (const Node* next = n->Son() != nullptr ? n->Son() : n->Brother(); next != nullptr) {
    __builtin_prefetch(next->Properties().entries().data());
    __builtin_prefetch(next->IsAlias() ? nullptr : next->GetContent());
    __builtin_prefetch(next->Son() != nullptr ? next->Son() : next->Brother());
  }
  // An alias shows its original's text; it has none of its own to write.
  const Content* content = n->IsAlias() ? nullptr : n->GetContent();
  if (content != nullptr) {
    // The start of the text; the processor's own prefetching follows on from there.
    __builtin_prefetch(content->text().data());
    __builtin_prefetch(content->text().data() + 64);
  }
  std::string& out = impl_->out;
  // An alias is an `item` like any note; its `Alias` value names the original.
  AppendOpen(&out, n->IsAlias() ? std::string_view("item") : n->XMLKind());
  // The same bytes as Put of "ID" and "Creator", whose names need no escaping.
  out.append("ID=\"");
  AppendDecimal(&out, impl_->renumbering ? MappedID(n->GetID().id()) : n->GetID().id());
  out.append("\" Creator=\"");
  AppendXML(&out, n->Creator(), false);
  out.append("\" >\n");

  // Each value's element is closed together with the start of the next one.
  bool open = false;
  for (const PropertyMap::Entry& e : entries) {
    const AttributeLine& line = impl_->Line(e.attribute);
    if (!line.write) {
      continue;
    }
    out.append(open ? line.close_and_head : line.head);
    open = true;
    if (impl_->renumbering && line.alias) {
      AppendXML(&out, std::to_string(MappedID(e.value->AsUnsignedLong())), false);
    } else {
      const size_t start = out.size();
      if (!e.value->AppendXML(&out, &impl_->offsets)) {
        EscapeTail(&out, start, &impl_->scratch);
      }
    }
  }
  if (open) {
    out.append(kAttributeClose);
  }

  if (content != nullptr) {
    if (content->HasText()) {
      out.append("<text >");
      impl_->AppendText(content->text());
      AppendClose(&out, "text");
    }
  }
  open_tag_.clear();
  if (content == nullptr) {
    impl_->Emit(os, false);
    return;
  }
  const bool more =
      (content->HasText() && (!content->style_runs().empty() || !content->rtf().empty() ||
                              !content->pictures().empty() || !content->struck_spans().empty())) ||
      !content->script().empty();
  impl_->Emit(os, more);
  if (!more) {
    return;
  }
  if (content->HasText()) {
    if (!content->style_runs().empty()) {
      WriteStyles(os, *content);
    }
    if (!content->rtf().empty()) {
      Open(os, "rtf");
      EndTag(os, true);
      // The rich text is 8-bit text; the reader takes it back in that form.
      os << ToXML(ToUnicode(content->rtf()), false);
      Close(os, "rtf");
    } else if (!content->pictures().empty()) {
      WritePictures(os, *content);
    }
    if (!content->struck_spans().empty()) {
      Open(os, "strike");
      EndTag(os, true);
      for (const StruckSpan& s : content->struck_spans()) {
        os << s.start << ' ' << s.length << ' ';
      }
      Close(os, "strike");
    }
  }
  if (!content->script().empty()) {
    Open(os, "script");
    EndTag(os, true);
    os << Base64Encode(content->script());
    Close(os, "script");
  }
}

void OrvexWriter::WriteNodeTail(std::ostream& os, const Node* n) {
  if (!n->IsAlias()) {
    const Content* content = n->GetContent();
    if (content != nullptr && !content->picture().empty()) {
      impl_->Emit(os, true);
      Open(os, "picture");
      EndTag(os, true);
      os << Base64Encode(content->picture());
      Close(os, "picture");
    }
  }
  AppendClose(&impl_->out, n->IsAlias() ? std::string_view("item") : n->XMLKind());
  impl_->Emit(os, false);
  open_tag_.clear();
}

bool OrvexWriter::NeedToWrite(const Attribute* a) {
  if (a == nullptr || !a->IsValid()) {
    return false;
  }
  if (a->Name() == "Alias") {
    return true;
  }
  // Computed values are recomputed on reading; read-only kinds refuse every write.
  return !a->ComputesValues() && a->GetKind() != "readonly";
}

void OrvexWriter::WriteStyles(std::ostream& os, const Content& content) {
  Open(os, "styles");
  EndTag(os);
  for (const StyleRun& r : content.style_runs()) {
    os << ' ';
    Open(os, "tstyle");
    Put(os, "font", r.font);
    PutBoolean(os, "bold", r.bold);
    PutBoolean(os, "italic", r.italic);
    PutBoolean(os, "underline", r.underline);
    Put(os, "start", static_cast<long>(r.start));
    Put(os, "size", NumberText(r.size));
    Put(os, "height", NumberText(r.line_height));
    Put(os, "ascent", NumberText(r.ascent));
    Put(os, "color", r.color.ToHex());
    Close(os);
  }
  Close(os, "styles");
}

void OrvexWriter::WritePictures(std::ostream& os, const Content& content) {
  Open(os, "pictures");
  EndTag(os);
  for (const TextPicture& p : content.pictures()) {
    Open(os, "picture");
    Put(os, "position", static_cast<long>(p.position));
    Put(os, "left", static_cast<long>(p.frame.left));
    Put(os, "top", static_cast<long>(p.frame.top));
    Put(os, "right", static_cast<long>(p.frame.right));
    Put(os, "bottom", static_cast<long>(p.frame.bottom));
    // The picture bytes are kept as they came; only data stored as JPEG says so.
    if (p.compressed) {
      Put(os, "compressed", std::string("jpeg"));
    }
    EndTag(os, true);
    os << Base64Encode(p.bytes);
    Close(os, "picture");
  }
  Close(os, "pictures");
}

// --- Attribute definitions ------------------------------------------------------

void OrvexWriter::WriteAttributes(std::ostream& os) {
  const Props& props = doc_.Properties();
  const Props& pristine = PristineProps(dynamic_cast<const Orvex*>(&doc_) != nullptr);
  for (Attribute* top = props.Root()->Son(); top != nullptr; top = top->Brother()) {
    if (top->Name() == kUserCategory) {
      for (Attribute* a = top->Son(); a != nullptr; a = a->Brother()) {
        WriteAttribute(os, a, true);
      }
      continue;
    }
    // Built-in definitions: only those whose default the document changed, so that
    // the change survives a save (the reader changes just their default).
    for (Attribute* a = top; a != nullptr; a = a->Next()) {
      if (a != top && !a->IsDescendedFrom(top)) {
        break;
      }
      if (a->IsAttributeCategory() || !a->IsValid() || a->ComputesValues()) {
        continue;
      }
      const Attribute* fresh = pristine.Find(a->Name());
      if (fresh != nullptr &&
          fresh->GetTheDefaultValue()->AsXML() == a->GetTheDefaultValue()->AsXML()) {
        continue;
      }
      WriteAttribute(os, a, false);
    }
  }
}

void OrvexWriter::WriteAttribute(std::ostream& os, const Attribute* top, bool nested) {
  // Nested definitions mirror the attribute tree; walked with an explicit stack.
  std::vector<const Attribute*> open;
  const Attribute* a = top;
  while (true) {
    bool descended = false;
    if (a != nullptr && a->IsValid() && !a->IsHidden()) {
      Open(os, "attrib");
      Put(os, "Name", a->Name());
      const Attribute* father = a->Father();
      if (father != nullptr && !father->IsRoot()) {
        Put(os, "parent", father->Name());
      }
      PutBoolean(os, "editable", a->IsEditable());
      PutBoolean(os, "visibleInEditor", a->VisibleInEditor());
      if (a->IsPreferenceAttribute()) {
        Put(os, "kind",
            static_cast<long>(static_cast<const PreferenceAttribute*>(a)->PreferenceIndex()));
      }
      if (ToCode(a->GetType()) != 0) {
        Put(os, "type", static_cast<long>(ToCode(a->GetType())));
      }
      if (a->IsSequential()) {
        Put(os, "sequential", std::string("1"));
      }
      if (!a->CanInherit()) {
        Put(os, "canInherit", std::string("0"));
      }
      Put(os, "default", a->GetDefaultValueAsXML(&doc_));
      if (nested && a->Son() != nullptr) {
        EndTag(os);
        open.push_back(a);
        a = a->Son();
        descended = true;
      } else {
        Close(os);
      }
    }
    if (descended) {
      continue;
    }
    // A hidden definition is skipped with its children; go on with its next sibling,
    // or close the enclosing elements.
    while (true) {
      if (open.empty()) {
        return;
      }
      if (a != nullptr && a->Brother() != nullptr) {
        a = a->Brother();
        break;
      }
      a = open.back();
      open.pop_back();
      Close(os, "attrib");
      if (open.empty()) {
        return;
      }
    }
  }
}

// --- Document tables -------------------------------------------------------------

void OrvexWriter::WriteColorTable(std::ostream& os) {
  const auto* orvex = dynamic_cast<const Orvex*>(&doc_);
  if (orvex == nullptr) {
    return;
  }
  Open(os, "colors");
  EndTag(os);
  for (const ColorTable::Entry& e : orvex->Colors().Entries()) {
    Open(os, "color");
    Put(os, "name", e.name);
    Put(os, "color", e.color.ToHex());
    Close(os);
  }
  Close(os, "colors");
}

void OrvexWriter::WriteStamps(std::ostream& os) {
  Open(os, "menu");
  Put(os, "name", std::string("Value"));
  Put(os, "kind", std::string("stamps"));
  EndTag(os);
  for (const Stamp& s : doc_.Records().Stamps()) {
    Open(os, "stamp");
    Put(os, "name", s.name);
    Put(os, "attribute", s.attribute);
    EndTag(os, true);
    os << ToXML(s.action, false);
    Close(os, "stamp");
  }
  Close(os, "menu");
}

void OrvexWriter::WriteLinkTypes(std::ostream& os) {
  const LinkTypes* types = doc_.GetLinkTypes();
  if (types == nullptr) {
    return;
  }
  Open(os, "linkTypes");
  EndTag(os);
  for (size_t i = 0; i < types->size(); ++i) {
    const LinkType& t = types->at(i);
    Open(os, "linkType");
    Put(os, "name", t.name);
    if (t.label != t.name) {
      Put(os, "label", t.label);
    }
    PutBoolean(os, "visible", t.visible);
    PutBoolean(os, "showLabel", t.show_label);
    Put(os, "color", t.color.ToHex());
    Put(os, "colorString", t.color_string);
    Put(os, "style", static_cast<long>(t.style.AsInt()));
    if (t.required) {
      Put(os, "required", std::string("1"));
    }
    Close(os);
  }
  Close(os, "linkTypes");
}

// --- Links -------------------------------------------------------------------------

void OrvexWriter::WriteLinks(std::ostream& os) {
  Open(os, "links");
  EndTag(os);
  const LinkBundle links = doc_.Links().All();
  for (size_t i = 0; i < links.size(); ++i) {
    // Links and their notes lie all over memory: fetch a link well ahead, and its notes
    // once the link has arrived, so that neither is waited for when its turn comes.
    if (i + 16 < links.size()) {
      __builtin_prefetch(links[i + 16]);
    }
    if (i + 8 < links.size()) {
      __builtin_prefetch(links[i + 8]->SourceNode());
      __builtin_prefetch(links[i + 8]->DestNode());
    }
    const Link* link = links[i];
    if (!link->IsHidden() && ShouldWriteNote(link->SourceNode()) &&
        (link->IsWebLink() || ShouldWriteNote(link->DestNode()))) {
      WriteLink(os, *link);
    }
  }
  impl_->Emit(os, true);
  Close(os, "links");
}

void OrvexWriter::WriteClipLinks(std::ostream& os, const std::vector<const Node*>& tops) {
  Open(os, "links");
  EndTag(os);
  auto inside = [&tops](const Node* n) {
    if (n == nullptr) {
      return false;
    }
    for (const Node* t : tops) {
      if (n->IsDescendedFrom(t)) {
        return true;
      }
    }
    return false;
  };
  for (Link* link : doc_.Links().All()) {
    if (!link->IsHidden() && ShouldWriteNote(link->SourceNode()) && inside(link->SourceNode()) &&
        (link->IsWebLink() || ShouldWriteNote(link->DestNode()))) {
      WriteLink(os, *link);
    }
  }
  impl_->Emit(os, true);
  Close(os, "links");
}

void OrvexWriter::WriteLink(std::ostream& os, const Link& link) {
  const Node* source = link.SourceNode();
  const Node* dest = link.DestNode();
  auto id_of = [this](const Node* n) -> uint32_t {
    if (n == nullptr) {
      return 0;
    }
    return impl_->renumbering ? MappedID(n->GetID().id()) : n->GetID().id();
  };
  auto put_long = [](std::string* out, std::string_view name, long value) {
    char buf[24];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
    AppendPut(out, name, std::string_view(buf, static_cast<size_t>(end - buf)));
  };
  std::string& out = impl_->out;
  AppendOpen(&out, "link");
  AppendPut(&out, "name", link.Name());
  AppendPut(&out, "sourceid", uint64_t{id_of(source)});
  AppendPut(&out, "sourcecreator", source != nullptr ? source->Creator() : std::string_view());
  put_long(&out, "sstart", static_cast<long>(link.GetSourceStart()));
  put_long(&out, "slen", static_cast<long>(link.GetSourceLength()));
  put_long(&out, "style", static_cast<long>(link.GetStyleImmediate().AsInt()));
  AppendPut(&out, "destid", uint64_t{id_of(dest)});
  AppendPut(&out, "destcreator", dest != nullptr ? dest->Creator() : std::string_view());
  if (link.IsWebLink()) {
    AppendPut(&out, "URL", link.URL());
  } else if (link.GetDestStart() >= 0 || link.GetDestLength() != 0) {
    // A destination anchor; without one the reader takes -1 (no anchor).
    put_long(&out, "dstart", static_cast<long>(link.GetDestStart()));
    put_long(&out, "dlen", static_cast<long>(link.GetDestLength()));
  }
  if (!link.Title().empty()) {
    AppendPut(&out, "title", link.Title());
  }
  if (!link.GetCSSClass().empty()) {
    AppendPut(&out, "class", link.GetCSSClass());
  }
  if (!link.Target().empty()) {
    AppendPut(&out, "target", link.Target());
  }
  out.append(" />\n");
  impl_->Emit(os, false);
  open_tag_.clear();
}

// --- Macros, preferences, windows ---------------------------------------------------

void OrvexWriter::WriteMacros(std::ostream& os) {
  Open(os, "macros");
  EndTag(os);
  for (const Macro& m : doc_.Records().Macros()) {
    Open(os, "macro");
    Put(os, "name", m.name);
    EndTag(os, true);
    os << ToXML(m.text, false);
    Close(os, "macro");
  }
  Close(os, "macros");
}

void OrvexWriter::WritePreferences(std::ostream& os) {
  const DocumentPreferences& prefs = doc_.Preferences();
  std::vector<std::pair<std::string, std::string>> entries;
  for (const auto& [index, value] : prefs.IndexedEntries()) {
    std::string_view key = prefkeys::KeyForIndex(index);
    if (!key.empty() && value != nullptr) {
      entries.emplace_back(std::string(key), value->AsXML());
    }
  }
  for (const auto& [key, value] : prefs.KeyedEntries()) {
    // A key that names a numbered preference is stored once, under its number.
    if (value != nullptr && prefkeys::IsStorableKey(key) && prefkeys::IndexForKey(key) == 0) {
      entries.emplace_back(key, value->AsXML());
    }
  }
  if (entries.empty()) {
    return;
  }
  Open(os, "preferences");
  EndTag(os);
  for (const auto& [key, text] : entries) {
    os << "   ";
    Open(os, key);
    EndTag(os, true);
    os << ' ' << ToXML(text, false);
    Close(os, key);
  }
  Close(os, "preferences");
}

void OrvexWriter::WriteWindows(std::ostream& os) {
  const auto& windows = doc_.Records().Windows();
  if (windows.empty()) {
    return;
  }
  Open(os, "windows");
  EndTag(os);
  for (const WindowRecord& w : windows) {
    Open(os, "window");
    Put(os, "type", w.type);
    PutUnsigned(os, "ID", w.id);
    Put(os, "Creator", w.creator);
    for (const auto& [name, value] : w.state) {
      if (prefkeys::IsStorableKey(name) && name != "type" && name != "ID" && name != "Creator") {
        Put(os, name, value);
      }
    }
    Close(os);
  }
  Close(os, "windows");
}

}  // namespace fernweave
