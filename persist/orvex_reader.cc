#include "persist/orvex_reader.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "foundation/base64.h"
#include "foundation/clock.h"
#include "foundation/error.h"
#include "foundation/heap_growth.h"
#include "foundation/progress.h"
#include "foundation/user_messages.h"
#include "foundation/xml_item.h"
#include "model/alias_node.h"
#include "model/attribute.h"
#include "model/change.h"
#include "model/content.h"
#include "model/link.h"
#include "model/link_type.h"
#include "model/props.h"
#include "model/special_attributes.h"
#include "model/values.h"
#include "persist/document_preference_keys.h"

namespace fernweave {

const char kNewerVersionMessage[] =
    "This file was written by a newer version of Fernweave. The latest version of "
    "Fernweave is available from the Fernweave web site.";
const char kOlderRevisionMessage[] =
    "This file was written by an older version of Fernweave. Actions and Rules have "
    "changed; the file will open as Untitled.";
const char kImageRevisionMessage[] =
    "This file has an image. Fernweave 5 changes the way it handles embedded images, and "
    "image storage will change again in the near future. The file will open as Untitled; "
    "please do keep a backup.";

namespace {

constexpr uint32_t kMinusOne = NodeID::kFreshIdRequest;

bool IsNoteElement(const XMLItem* item) {
  return item->Is("item") || item->Is("agent") || item->Is("adornment");
}

// The text with every line feed turned into a carriage return.
std::string WithCarriageReturns(std::string text) {
  std::replace(text.begin(), text.end(), '\n', '\r');
  return text;
}

// Whether the reader may store a value for the attribute: computed and read-only
// kinds are never written, and storing them would move notes or be refused.
bool IsReadable(const Attribute* a) {
  return a != nullptr && a->IsValid() && !a->IsAttributeCategory() && !a->ComputesValues() &&
         a->GetKind() != "readonly";
}

AttributeType TypeFromCode(long code) {
  if (code < 0 || code > 10) {
    return AttributeType::kString;
  }
  return static_cast<AttributeType>(code);
}

// A span read from a file, kept inside a text of `length` UTF-16 units. A start of -1
// (no anchor) stays -1 with length 0.
void ClampSpan(int32_t* start, int32_t* length, int32_t text_length, bool allow_none) {
  if (allow_none && *start < 0) {
    *start = -1;
    *length = 0;
    return;
  }
  *start = std::clamp(*start, 0, text_length);
  *length = std::clamp(*length, 0, text_length - *start);
}

int32_t ToInt32(long n) {
  return static_cast<int32_t>(std::clamp<long>(n, INT32_MIN, INT32_MAX));
}

// Hashes creators by their text, so that a lookup needs no string of its own.
struct CreatorHash {
  using is_transparent = void;
  size_t operator()(std::string_view text) const { return std::hash<std::string_view>()(text); }
};

// Notes by a non-zero key, in one block: open addressing with linear probing. The
// reader files every note of a file by its identity, and a heap node per entry would
// cost as much again as the table. Entries are never removed, but may hold null.
class NoteTable {
 public:
  // The note filed under the key; null when none is, or the entry holds null.
  Node* Find(uint64_t key) const {
    const Slot* slot = Lookup(key);
    return slot == nullptr ? nullptr : slot->note;
  }
  // Whether the key has an entry, even one holding null.
  bool Has(uint64_t key) const { return Lookup(key) != nullptr; }
  // The entry of the key, made holding null when missing. REQUIRES: key is not 0.
  Node*& operator[](uint64_t key) {
    if ((count_ + 1) * 4 > slots_.size() * 3) {
      Grow();
    }
    size_t i = Home(key);
    while (slots_[i].key != key && slots_[i].key != 0) {
      i = (i + 1) & (slots_.size() - 1);
    }
    if (slots_[i].key == 0) {
      slots_[i].key = key;
      ++count_;
    }
    return slots_[i].note;
  }

 private:
  struct Slot {
    uint64_t key = 0;
    Node* note = nullptr;
  };
  const Slot* Lookup(uint64_t key) const {
    if (slots_.empty() || key == 0) {
      return nullptr;
    }
    for (size_t i = Home(key);; i = (i + 1) & (slots_.size() - 1)) {
      if (slots_[i].key == key) {
        return &slots_[i];
      }
      if (slots_[i].key == 0) {
        return nullptr;
      }
    }
  }
  size_t Home(uint64_t key) const {
    // Ids are often numbered in steps: mixed, they spread over the whole table.
    return static_cast<size_t>((key * 0x9E3779B97F4A7C15ULL) >> 20) & (slots_.size() - 1);
  }
  void Grow() {
    std::vector<Slot> old = std::move(slots_);
    slots_.assign(old.empty() ? 1024 : old.size() * 2, Slot{});
    count_ = 0;
    for (const Slot& slot : old) {
      if (slot.key != 0) {
        (*this)[slot.key] = slot.note;
      }
    }
  }

  std::vector<Slot> slots_;
  size_t count_ = 0;
};

}  // namespace

// Builds notes and document tables from element events in document order: either as
// the parser reads the file, freeing each part of the tree once it is used, or by
// walking a tree parsed before.
//
// A note is made empty as its element starts, takes the element's XML attributes at
// once and each child as the child ends, and is given its identity and registered when
// its first nested note starts, or when it ends without any: by then its `attribute`
// children before the nested notes have arrived.
class OrvexReader::Builder {
 public:
  // With shed true, End lets each part of the tree go once it is used, so a large
  // document never holds its whole tree and all its notes at once.
  Builder(OrvexReader* reader, bool shed)
      : r_(*reader),
        doc_(reader->target_->GetHypertext()),
        props_(doc_->Properties()),
        alias_attribute_(props_.Find("Alias")),
        creator_attribute_(props_.Find("Creator")),
        creator_readable_(IsReadable(creator_attribute_)),
        id_attribute_(props_.Find("ID")),
        now_(NowLocalSeconds()),
        shed_(shed) {
    if (reader->large_input_) {
      heap_.emplace();
    }
  }

  // An element starts. When streaming, it has not joined the tree and has no children
  // yet; when walking a parsed tree, its children are in place, but only those of
  // its parent before it are used now.
  void Start(XMLItem& item);
  // An element ends; true when its part of the tree may be freed now.
  bool End(XMLItem& item);
  // Sends the events of a whole parsed tree.
  void Walk(XMLItem& root);

 private:
  // The root's children, in the order the file lists them. Each step consumes the
  // children that match it at the current position; a child that matches no step
  // left ends the walk.
  enum Step {
    kAttrib,
    kColors,
    kMenu,
    kLinkTypes,
    kNotes,
    kLinks,
    kWindows,
    kMacros,
    kPrefs,
    kLastWindows,
    kStepCount
  };
  enum class Role {
    kRoot,
    kSection,    // a child of the root that is read when it ends
    kNote,       // a note element
    kNoteChild,  // a child of a note that is not a note
    kInner,      // below a section or a note child: read with its ancestor
    kIgnored,    // read by nobody
  };
  struct Frame {
    XMLItem* item;
    Role role;
    Step step = kStepCount;
    Node* note = nullptr;  // the note made for a note element
    bool settled = false;  // the note has its identity and is registered
    bool made_empty = false;  // made by this read, without a new note's defaults
    bool creator_from_child = false;  // an `attribute` child named the creator
    // Where the note goes: the existing note it describes (the document's root), or
    // the container it is made in, after the frame's last child (the frame below it)
    // or after paste_last_ (no such frame).
    Node* applied_to = nullptr;
    Node* container = nullptr;
    bool parent_is_frame = false;
    Node* last_child = nullptr;  // the last note placed inside this one
    size_t depth = 0;            // how deep below the document's root the note goes
  };

  static bool Accepts(Step step, const XMLItem& item);
  // True for an element some step of a whole document reads.
  static bool IsKnownSection(const XMLItem& item);
  void StartAtTop(XMLItem& item);
  void StartInNote(XMLItem& item);
  // Ignores a pasted note that would lie deeper than a document may hold.
  void SkipIfTooDeep(Frame* frame);
  // Makes (or, for the document's root, takes) the note of the frame just pushed and
  // gives it the element's XML attributes.
  void BeginNote(Frame& frame);
  // Gives the note of frames_[index] its identity and the defaults the file left out,
  // and registers it.
  void SettleNote(size_t index);
  void EndSection(const XMLItem& item, Step step);
  void EndRoot();

  // --- Sections ---
  void MakeAttribute(const XMLItem& item);
  void MakeColors(const XMLItem& item);
  void MakeMenu(const XMLItem& item);
  void MakeStamps(const XMLItem& item);
  void MakeLinkTypes(const XMLItem& item);
  void MakeAliases();
  // A `link` element of a `links` section, read as soon as it ends so that the element
  // can go at once (a large document has many links); the link itself is made when
  // the root ends, once every note and alias exists.
  struct PendingLink {
    uint32_t source_id = 0;
    uint32_t dest_id = 0;
    std::string source_creator;
    std::string dest_creator;
    LinkRecord record;  // everything but its ends
  };
  // The `links` sections in file order: how many children each had, and its links.
  struct LinkSection {
    size_t children = 0;
    // A deque grows without moving what it holds, so no copy of a large section's
    // links ever stands beside it.
    std::deque<PendingLink> links;
  };
  static PendingLink ReadLink(const XMLItem& item);
  void MakeLinks(LinkSection& section);
  void MakeLink(PendingLink& link);
  void MakeWindows(const XMLItem& item);
  void MakeMacros(const XMLItem& item);
  void MakePrefs(const XMLItem& item);

  // --- Notes ---
  // Settles the note's identity from the element's `ID` and `Creator` and what its
  // `attribute` children stored.
  void SettleIdentity(const Frame& frame);
  // One child element of a note that is not a note.
  void ApplyChild(const XMLItem& child, Frame& frame);
  void ApplyAttribute(const XMLItem& child, Frame& frame);
  // The value of `text` for the attribute. A text the note read just before gave the
  // same attribute is shared rather than stored again: creators, prototypes' names and
  // the like repeat from note to note.
  struct RecentText;
  // Plain texts can be shared; other kinds, and the empty text (shared already), not.
  static bool MayShare(const Attribute* a, std::string_view text) {
    const AttributeType type = a->GetType();
    return (type == AttributeType::kString || type == AttributeType::kAction) && !text.empty();
  }
  ValuePtr ReadValue(const Attribute* a, std::string_view text);
  ValuePtr ReadValue(const Attribute* a, std::string_view text, RecentText& recent);
  // Stores the values whose attribute was not declared yet when their note was read.
  void ApplyUndeclared();
  void GetStyles(const XMLItem& item, Content* content);
  void GetPictures(const XMLItem& item, Content* content);
  void GetStrike(const XMLItem& item, Content* content);
  // Keeps every offset of the text's styles, spans and pictures inside the text.
  static void ClampOffsets(Node* n);
  Node* NewNote(const XMLItem& item);
  void Place(Node* n, Node* container, Node** last);
  void Created(Node* n);

  // --- Aliases ---
  bool IsProxyForAlias(const Node* n) const;
  // The real note a proxy's `Alias` leads to, following other proxies; null when
  // the chain ends nowhere, at itself or in a loop.
  Node* ResolveAlias(Node* proxy);
  Node* LookupFileId(uint32_t id) const;
  void CopyAttributesToAlias(const Node* proxy, AliasNode* alias);
  void DeleteProxy(Node* proxy);

  // The note this reader made for a file identity, or null.
  Node* FindNode(uint32_t id, const std::string& creator) const;
  // The key of a file identity in by_file_id_, numbering a creator not seen before.
  uint64_t FileKey(uint32_t id, const std::string& creator);
  // The same without numbering: false for a creator not seen before.
  bool FindFileKey(uint32_t id, std::string_view creator, uint64_t* key) const;

  void Bump();

  OrvexReader& r_;
  Hypertext* doc_;
  Props& props_;
  const Attribute* alias_attribute_;
  // The built-in identity attributes, looked up once for every note of the read.
  const Attribute* creator_attribute_;
  const bool creator_readable_;
  const Attribute* id_attribute_;
  // The time stamped on notes whose file gives no `Created` or `Modified`.
  int64_t now_;
  // How many values the last note made holds: room made for the next one.
  size_t value_room_ = 0;
  // For each text attribute, the text the last note read for it, and that text as a
  // shared value once a second note has read it too.
  struct RecentText {
    std::string text;
    ValuePtr shared;
  };
  std::unordered_map<const Attribute*, RecentText> recent_texts_;
  // The attributes `attribute` children named lately, each in a slot picked from its
  // name's length and letters: a file uses a few dozen names over and over, so most
  // are found here without hashing the whole name. Emptied when the attribute registry
  // changes.
  struct NamedAttribute {
    std::string name;
    Attribute* attribute = nullptr;
    bool readable = false;
    RecentText recent;
  };
  static constexpr size_t kNamedSlots = 64;
  std::array<NamedAttribute, kNamedSlots> named_;
  uint64_t named_stamp_ = 0;
  std::unique_ptr<Progress> progress_;
  int counter_ = 0;
  // The notes, values and texts of a large input fill fresh memory: backed by large
  // pages as the heap grows.
  std::optional<HeapGrowth> heap_;
  // The elements open at the moment, outermost first.
  std::vector<Frame> frames_;
  // Values of attributes not declared when their note was read.
  struct Undeclared {
    Node* note;
    std::string name;
    std::string text;
  };
  std::vector<Undeclared> undeclared_;
  // The `links` sections, made when the root ends.
  std::vector<LinkSection> deferred_links_;
  // The names of the root's children that no section reads.
  std::set<std::string> skipped_;
  // A pasted note was left out for lying too deep.
  bool skipped_too_deep_ = false;
  // The `windows` sections replace the saved windows only from the first one on.
  bool windows_read_ = false;
  bool aliases_made_ = false;
  // File identity → note made for it (the first, when a file repeats one).
  // The key packs the id with the creator's number in creators_, so that no string is
  // built or compared per note.
  NoteTable by_file_id_;
  std::unordered_map<std::string, uint32_t, CreatorHash, std::equal_to<>> creators_;
  NoteTable by_file_number_;
  // The file's id number of each note that was given a fresh one.
  std::unordered_map<const Node*, uint32_t> file_number_of_;
  // Where the next top-level note goes.
  Node* paste_last_ = nullptr;
  bool root_applied_ = false;
  bool shed_;
};

void OrvexReader::Builder::Bump() {
  if (heap_) {
    heap_->Advise();
  }
  if (++counter_ >= 10) {
    counter_ = 0;
    progress_->Bump();
  }
}

// --- The section walk ------------------------------------------------------------------

bool OrvexReader::Builder::Accepts(Step step, const XMLItem& item) {
  switch (step) {
    case kAttrib:
      return item.Is("attrib");
    case kColors:
      return item.Is("colors");
    case kMenu:
      return item.Is("menu");
    case kLinkTypes:
      return item.Is("linkTypes");
    case kNotes:
      return IsNoteElement(&item);
    case kLinks:
      return item.Is("links");
    case kWindows:
    case kLastWindows:
      return item.Is("windows");
    case kMacros:
      return item.Is("macros");
    case kPrefs:
      return item.Is("preferences");
    case kStepCount:
      break;
  }
  return false;
}

void OrvexReader::Builder::Walk(XMLItem& root) {
  // (item, whether its children were visited), walked with an explicit stack.
  std::vector<std::pair<XMLItem*, bool>> todo{{&root, false}};
  while (!todo.empty()) {
    auto& [item, visited] = todo.back();
    if (visited) {
      End(*item);
      todo.pop_back();
      continue;
    }
    visited = true;
    XMLItem* current = item;
    Start(*current);
    // Children in document order: pushed last first.
    for (XMLItem* c = current->LastChild(); c != nullptr; c = c->ElderBrother()) {
      todo.emplace_back(c, false);
    }
  }
}

void OrvexReader::Builder::Start(XMLItem& item) {
  if (frames_.empty()) {
    progress_ = MakeProgress();
    // A tree parsed before tells its size; a file being read shows its own progress.
    progress_->Begin("Loading...", shed_ ? 0 : static_cast<long>(item.Descendants() / 10 + 1));
    paste_last_ = r_.after_;
    frames_.push_back({&item, Role::kRoot});
    return;
  }
  const Role parent = frames_.back().role;
  if (parent == Role::kRoot) {
    StartAtTop(item);
  } else if (parent == Role::kNote) {
    StartInNote(item);
  } else {
    frames_.push_back({&item, parent == Role::kIgnored ? Role::kIgnored : Role::kInner});
  }
}

void OrvexReader::Builder::StartAtTop(XMLItem& item) {
  // Each known section is read wherever it stands; an element the reader does not
  // know is skipped (and named once the read ends), never a reason to stop reading.
  // A clipping pasted into a document has no document-wide sections to read.
  const int steps = r_.whole_document_ ? kStepCount : kWindows;
  int step = 0;
  while (step < steps && !Accepts(static_cast<Step>(step), item)) {
    ++step;
  }
  if (step >= steps) {
    if (!IsKnownSection(item)) {
      skipped_.insert(item.Kind());
    }
    frames_.push_back({&item, Role::kIgnored});
    return;
  }
  if (step != kNotes) {
    if (step == kLinks) {
      deferred_links_.emplace_back();
    }
    frames_.push_back({&item, Role::kSection, static_cast<Step>(step)});
    return;
  }
  Frame frame{&item, Role::kNote, kNotes};
  if (r_.whole_document_ && !root_applied_) {
    // The first top-level note is the document's root note itself.
    root_applied_ = true;
    frame.applied_to = r_.target_;
  } else {
    if (r_.whole_document_) {
      // Later top-level notes follow the root note's own children.
      paste_last_ = r_.target_->YoungestSon();
    }
    if (!r_.target_->CanReceiveChildren()) {
      frame.role = Role::kIgnored;
    }
    frame.container = r_.target_;
    frame.depth = 1;
    for (const Node* a = r_.target_; a != nullptr && !a->IsRootNote(); a = a->Father()) {
      ++frame.depth;
    }
    SkipIfTooDeep(&frame);
  }
  frames_.push_back(frame);
  if (frame.role == Role::kNote) {
    BeginNote(frames_.back());
  }
}

void OrvexReader::Builder::SkipIfTooDeep(Frame* frame) {
  // A clipping pasted deep in a document must not take notes deeper than a document
  // file can carry: they are left out, and the paste says so. (A whole document's
  // depth is bounded by the reader's own nesting limit.)
  if (!r_.whole_document_ && frame->role == Role::kNote &&
      frame->depth > Hypertext::kMaxNoteDepth) {
    frame->role = Role::kIgnored;
    skipped_too_deep_ = true;
  }
}

void OrvexReader::Builder::StartInNote(XMLItem& item) {
  if (!IsNoteElement(&item)) {
    frames_.push_back({&item, Role::kNoteChild});
    return;
  }
  const size_t parent = frames_.size() - 1;
  if (!frames_[parent].settled) {
    SettleNote(parent);
  }
  Frame frame{&item, Role::kNote, kNotes};
  frame.container = frames_[parent].note;
  frame.parent_is_frame = true;
  frame.depth = frames_[parent].depth + 1;
  SkipIfTooDeep(&frame);
  if (!frame.container->CanReceiveChildren()) {
    frame.role = Role::kIgnored;
  }
  frames_.push_back(frame);
  if (frame.role == Role::kNote) {
    BeginNote(frames_.back());
  }
}

bool OrvexReader::Builder::End(XMLItem& item) {
  Frame frame = frames_.back();
  Require(frame.item == &item, "OrvexReader: elements ended out of order");
  bool used = true;
  switch (frame.role) {
    case Role::kRoot:
      EndRoot();
      break;
    case Role::kSection:
      // Links need every note and alias: they are made once the root ends, wherever
      // the section stands, from what each `link` left as it ended.
      if (frame.step != kLinks) {
        EndSection(item, frame.step);
      }
      break;
    case Role::kNote:
      if (!frame.settled) {
        SettleNote(frames_.size() - 1);
      }
      ClampOffsets(frame.note);
      break;
    case Role::kNoteChild:
      ApplyChild(item, frames_[frames_.size() - 2]);
      break;
    case Role::kInner: {
      const Frame& parent = frames_[frames_.size() - 2];
      if (parent.role == Role::kSection && parent.step == kLinks) {
        LinkSection& section = deferred_links_.back();
        ++section.children;
        if (item.Is("link")) {
          section.links.push_back(ReadLink(item));
        }
        break;
      }
      used = false;
      break;
    }
    case Role::kIgnored:
      break;
  }
  frames_.pop_back();
  return shed_ && used;
}

void OrvexReader::Builder::EndSection(const XMLItem& item, Step step) {
  const bool whole = r_.whole_document_;
  switch (step) {
    case kAttrib:
      MakeAttribute(item);
      break;
    case kColors:
      if (whole) {
        MakeColors(item);
      }
      break;
    case kMenu:
      if (whole) {
        MakeMenu(item);
      }
      break;
    case kLinkTypes:
      if (whole) {
        MakeLinkTypes(item);
      }
      break;
    case kLinks:  // made when the root ends
    case kWindows:
    case kLastWindows:
      MakeWindows(item);
      break;
    case kMacros:
      MakeMacros(item);
      break;
    case kPrefs:
      MakePrefs(item);
      break;
    case kNotes:
    case kStepCount:
      break;
  }
}

void OrvexReader::Builder::EndRoot() {
  ApplyUndeclared();
  if (!aliases_made_) {
    MakeAliases();
  }
  for (LinkSection& section : deferred_links_) {
    progress_->Begin("Loading " + std::to_string(section.children) + " links...",
                     static_cast<long>(section.children / 10 + 1));
    MakeLinks(section);
  }
  deferred_links_.clear();
  progress_->End();
  if (skipped_too_deep_) {
    Warn("Notes nested more than " + std::to_string(Hypertext::kMaxNoteDepth) +
         " deep were left out of the paste.");
  }
  if (!skipped_.empty()) {
    std::string names;
    for (const std::string& name : skipped_) {
      names += (names.empty() ? "" : ", ") + name;
    }
    Warn("Fernweave skipped parts of this file it does not know (" + names +
         "); they will not be kept when the document is saved.");
  }
}

bool OrvexReader::Builder::IsKnownSection(const XMLItem& item) {
  // Sections of documents that a clipping does not read.
  for (int step = 0; step < kStepCount; ++step) {
    if (Accepts(static_cast<Step>(step), item)) {
      return true;
    }
  }
  return false;
}

// --- Attribute definitions ---------------------------------------------------------

void OrvexReader::Builder::MakeAttribute(const XMLItem& top) {
  // (element, enclosing definition's name), walked with an explicit stack.
  std::vector<std::pair<const XMLItem*, std::string>> todo{{&top, std::string()}};
  while (!todo.empty()) {
    auto [item, enclosing] = todo.back();
    todo.pop_back();
    const std::string& name = item->Get("Name");
    if (name.empty()) {
      continue;
    }
    Attribute* existing = props_.Find(Attribute::NormalizeName(name));
    if (existing != nullptr && existing->IsValid()) {
      // A definition the document already has (a built-in one): only its default.
      // A clipping never changes the document's definitions.
      if (r_.whole_document_ && item->Has("default") && !existing->IsAttributeCategory()) {
        existing->SetDefault(std::string_view(item->Get("default")));
      }
      continue;
    }
    // User definitions live under "User"; a parent elsewhere (or unknown) means "User".
    std::string parent = !enclosing.empty() ? enclosing : item->Get("parent");
    const Attribute* parent_attribute = props_.Find(parent);
    if (parent_attribute == nullptr || !parent_attribute->IsValid() ||
        (parent != kUserCategory && !parent_attribute->IsUserAttribute())) {
      parent = kUserCategory;
    }
    const bool editable = item->GetLong("editable") != 0;
    const AttributeType type = TypeFromCode(item->GetLong("type"));
    const long kind = item->GetLong("kind");
    Attribute* a = nullptr;
    if (kind != 0) {
      a = props_.CreateAttribute(
          std::make_unique<PreferenceAttribute>(name, type, editable, static_cast<int>(kind)),
          parent);
    } else {
      a = props_.CreateBasicAttribute(name, parent, editable, type);
      if (a != nullptr && !item->Get("default").empty()) {
        a->SetDefault(std::string_view(item->Get("default")));
      }
    }
    if (a == nullptr) {
      continue;
    }
    if (item->GetLong("sequential") != 0) {
      a->BeSequential(true);
    }
    if (item->Has("canInherit")) {
      a->CanInherit(item->GetBoolean("canInherit"));
    }
    if (item->Has("visibleInEditor")) {
      a->VisibleInEditor(item->GetBoolean("visibleInEditor"));
    }
    // Children in document order: pushed last first.
    std::vector<const XMLItem*> kids;
    for (const XMLItem* k = item->First("attrib"); k != nullptr; k = k->Next("attrib")) {
      kids.push_back(k);
    }
    for (auto it = kids.rbegin(); it != kids.rend(); ++it) {
      todo.emplace_back(*it, a->Name());
    }
  }
}

// --- Colours, stamps, link types --------------------------------------------------

void OrvexReader::Builder::MakeColors(const XMLItem& item) {
  if (auto* orvex = dynamic_cast<Orvex*>(doc_)) {
    orvex->Colors().ReadXML(item);
  }
}

void OrvexReader::Builder::MakeMenu(const XMLItem& item) {
  if (item.Get("kind") == "stamps") {
    MakeStamps(item);
  }
}

void OrvexReader::Builder::MakeStamps(const XMLItem& item) {
  std::vector<Stamp>& stamps = doc_->Records().Stamps();
  stamps.clear();
  for (const XMLItem* s = item.Son(); s != nullptr; s = s->Brother()) {
    if (s->Is("stamp") || s->Is("item")) {
      // Stamps are UTF-8 like every other text of the file.
      stamps.push_back({s->Get("name"), s->Get("attribute"), s->UnicodeText()});
    }
  }
}

void OrvexReader::Builder::MakeLinkTypes(const XMLItem& item) {
  LinkTypes* types = doc_->GetLinkTypes();
  if (types == nullptr) {
    return;
  }
  for (const XMLItem* t = item.Son(); t != nullptr; t = t->Brother()) {
    if (!t->Get("name").empty()) {
      types->Add(LinkType::FromXML(*t));
    }
  }
}

// --- Notes ---------------------------------------------------------------------------

Node* OrvexReader::Builder::NewNote(const XMLItem& item) {
  Hypertext::NoteKind kind = Hypertext::NoteKind::kNote;
  if (item.Is("agent")) {
    kind = Hypertext::NoteKind::kAgent;
  } else if (item.Is("adornment")) {
    kind = Hypertext::NoteKind::kAdornment;
  }
  return doc_->MakeEmptyNode(kind);
}

void OrvexReader::Builder::Place(Node* n, Node* container, Node** last) {
  if (*last != nullptr && (*last)->Father() == container) {
    (*last)->AddBrother(n);
  } else {
    container->AddFirstSon(n);
  }
  *last = n;
}

void OrvexReader::Builder::Created(Node* n) {
  doc_->AddNode(n);
  r_.nodes_.push_back(n);
  if (r_.first_node_ == nullptr) {
    r_.first_node_ = n;
  }
  if (doc_->NodeCount() % 100 == 0) {
    progress_->Begin("Loading " + n->Name() + "...", 0);
  }
}

void OrvexReader::Builder::BeginNote(Frame& frame) {
  const XMLItem& item = *frame.item;
  Node* n = frame.applied_to;
  if (n == nullptr) {
    n = NewNote(item);
    frame.made_empty = true;
    Node** last = frame.parent_is_frame ? &frames_[frames_.size() - 2].last_child : &paste_last_;
    Place(n, frame.container, last);
    n->ReserveValues(std::max(value_room_, item.Attributes().size()));
  }
  frame.note = n;
  for (const auto& [name, value] : item.Attributes()) {
    // The identity is settled once the `attribute` children before the nested notes
    // are in (SettleIdentity).
    if (name == "ID" || (creator_readable_ && name == "Creator")) {
      continue;
    }
    Attribute* a = props_.Find(name);
    if (IsReadable(a)) {
      a->Set(n, ReadValue(a, value));
    }
  }
}

void OrvexReader::Builder::SettleNote(size_t index) {
  Frame& f = frames_[index];
  Node* n = f.note;
  f.settled = true;
  SettleIdentity(f);
  if (f.made_empty) {
    n->CompleteFromFile(now_);
  }
  n->CompactValues();
  value_room_ = n->Properties().size();
  if (n != r_.target_) {
    Created(n);
  }
  Bump();
}

void OrvexReader::Builder::SettleIdentity(const Frame& frame) {
  const XMLItem& item = *frame.item;
  Node* n = frame.note;
  uint32_t id = 0;
  const std::string* element_creator = nullptr;
  for (const auto& [name, value] : item.Attributes()) {
    if (name == "ID") {
      id = static_cast<uint32_t>(item.GetUnsignedLong("ID"));
      if (id == kMinusOne) {
        // -1 asks for a fresh id; every such note gets its own.
        id = doc_->NewIdNumber();
      }
    } else if (creator_readable_ && name == "Creator") {
      element_creator = &value;
    }
  }
  if (id == 0) {
    const Value* v = id_attribute_ != nullptr ? n->StoredValue(id_attribute_) : nullptr;
    id = v != nullptr ? v->AsUnsignedLong() : 0;
    if (v == nullptr && id_attribute_ != nullptr && frame.made_empty) {
      // Neither the element nor a child names one: the note gets a fresh id.
      id = doc_->NewIdNumber();
    }
  }
  if (id == 0) {
    // The note keeps (or, made empty, gets) a fresh identity, and stores the creator
    // the element names.
    if (n->GetID().id() == 0) {
      n->SetID(NodeID(doc_->NewIdNumber(), doc_->CreatorForNewNotes()));
    }
    if (element_creator != nullptr) {
      creator_attribute_->Set(n, Value::Create(creator_attribute_->GetType(), *element_creator));
    }
    return;
  }
  // An `attribute` child naming the creator comes after the element's own attributes
  // and wins over them.
  const Value* cv = creator_attribute_ != nullptr ? n->StoredValue(creator_attribute_) : nullptr;
  std::string creator;
  if (cv != nullptr && frame.creator_from_child) {
    creator = cv->AsString();
  } else if (element_creator != nullptr) {
    creator = *element_creator;
  } else if (cv != nullptr) {
    creator = cv->AsString();
  } else {
    creator = frame.made_empty ? doc_->CreatorForNewNotes() : n->Creator();
  }
  NodeID::RaiseCounterAbove(id);

  const uint64_t key = FileKey(id, creator);
  Node* taken = doc_->FindNode(id, creator);
  if ((taken != nullptr && taken != n) || by_file_id_.Find(key) != nullptr) {
    // The identity belongs to another note already (a clipping pasted twice, or a file
    // that repeats an id): this note gets a fresh one; links of the file still find
    // it through the file's identity.
    n->SetID(NodeID(doc_->NewIdNumber(), creator));
    file_number_of_.emplace(n, id);
  } else {
    if (frame.made_empty && creator_attribute_ != nullptr && creator_attribute_->IsValid()) {
      // Most notes of a file share one creator: its value is stored once for all.
      n->SetBySystem(creator_attribute_, ReadValue(creator_attribute_, creator));
    }
    n->SetID(NodeID(id, creator));
  }
  // The first note read with an identity keeps it.
  if (Node*& entry = by_file_id_[key]; entry == nullptr) {
    entry = n;
  }
  if (Node*& entry = by_file_number_[id]; entry == nullptr) {
    entry = n;
  }
}

ValuePtr OrvexReader::Builder::ReadValue(const Attribute* a, std::string_view text) {
  if (!MayShare(a, text)) {
    return Value::Create(a->GetType(), text);
  }
  return ReadValue(a, text, recent_texts_[a]);
}

ValuePtr OrvexReader::Builder::ReadValue(const Attribute* a, std::string_view text,
                                         RecentText& recent) {
  const AttributeType type = a->GetType();
  if (!MayShare(a, text)) {
    return Value::Create(type, text);
  }
  if (recent.text != text) {
    recent.text.assign(text);
    recent.shared.reset();
    return Value::Create(type, text);
  }
  if (recent.shared == nullptr) {
    recent.shared = CountedStringValue::Share(text);
  }
  return recent.shared->Clone();
}

void OrvexReader::Builder::ApplyAttribute(const XMLItem& child, Frame& frame) {
  const std::string& name = child.Get("name");
  if (named_stamp_ != props_.Stamp()) {
    for (NamedAttribute& named : named_) {
      named = NamedAttribute{};
    }
    named_stamp_ = props_.Stamp();
  }
  const size_t slot =
      name.empty() ? 0 : (name.size() * 31 + static_cast<unsigned char>(name.front()) * 7 +
                          static_cast<unsigned char>(name.back())) % kNamedSlots;
  NamedAttribute& named = named_[slot];
  if (named.name != name || named.name.empty()) {
    named.name = name;
    named.attribute = props_.Find(name);
    named.readable = IsReadable(named.attribute);
    named.recent = RecentText{};
  }
  Attribute* a = named.attribute;
  if (named.readable) {
    a->Set(frame.note, ReadValue(a, child.UnicodeText(), named.recent));
    frame.creator_from_child = frame.creator_from_child || a == creator_attribute_;
  } else if (a == nullptr && r_.whole_document_) {
    // Perhaps declared by an `attrib` section further on: tried again at the end.
    undeclared_.push_back({frame.note, name, std::string(child.UnicodeText())});
  }
}

void OrvexReader::Builder::ApplyUndeclared() {
  for (const Undeclared& u : undeclared_) {
    Attribute* a = props_.Find(u.name);
    if (IsReadable(a)) {
      a->Set(u.note, Value::Create(a->GetType(), u.text));
    }
  }
  undeclared_.clear();
}

void OrvexReader::Builder::ApplyChild(const XMLItem& child, Frame& frame) {
  if (child.Is("attribute")) {
    ApplyAttribute(child, frame);
    return;
  }
  Node* n = frame.note;
  if (n->IsAlias()) {
    return;
  }
  Content* content = n->GetContent();
  if (content == nullptr) {
    return;
  }
  const std::string& kind = child.Kind();
  if (kind == "text") {
    // Most texts hold no line feed and are taken without a copy of their own.
    const std::string& text = child.UnicodeText();
    if (text.find('\n') == std::string::npos) {
      content->SetText(text);
    } else {
      content->SetText(WithCarriageReturns(text));
    }
  } else if (kind == "rtf") {
    content->set_rtf(child.Text());
  } else if (kind == "strike") {
    GetStrike(child, content);
  } else if (kind == "styles") {
    GetStyles(child, content);
  } else if (kind == "pictures") {
    GetPictures(child, content);
  } else if (kind == "script") {
    content->set_script(Base64Decode(child.UnicodeText()));
  } else if (kind == "picture") {
    content->set_picture(Base64Decode(child.UnicodeText()));
    r_.has_image_ = true;
  }
}

void OrvexReader::Builder::GetStrike(const XMLItem& item, Content* content) {
  std::vector<StruckSpan>& spans = content->struck_spans();
  spans.clear();
  const std::string& text = item.UnicodeText();
  const char* p = text.c_str();
  while (true) {
    char* end = nullptr;
    const long start = std::strtol(p, &end, 10);
    if (end == p) {
      break;
    }
    p = end;
    const long length = std::strtol(p, &end, 10);
    if (end == p) {
      break;
    }
    p = end;
    spans.push_back({ToInt32(start), ToInt32(length)});
  }
}

void OrvexReader::Builder::GetStyles(const XMLItem& item, Content* content) {
  std::vector<StyleRun>& runs = content->style_runs();
  runs.clear();
  for (const XMLItem* t = item.First("tstyle"); t != nullptr; t = t->Next("tstyle")) {
    StyleRun run;
    run.start = ToInt32(t->GetLong("start"));
    run.font = t->Get("font");
    run.size = t->GetDouble("size");
    run.bold = t->GetBoolean("bold");
    run.italic = t->GetBoolean("italic");
    run.underline = t->GetBoolean("underline");
    run.color = t->Has("color") ? PColor(t->GetColor("color")) : PColor();
    run.line_height = t->GetDouble("height");
    run.ascent = t->GetDouble("ascent");
    runs.push_back(std::move(run));
  }
}

void OrvexReader::Builder::GetPictures(const XMLItem& item, Content* content) {
  std::vector<TextPicture>& pictures = content->pictures();
  pictures.clear();
  for (const XMLItem* p = item.First("picture"); p != nullptr; p = p->Next("picture")) {
    TextPicture picture;
    picture.position = ToInt32(p->GetLong("position"));
    picture.frame = SRect{ToInt32(p->GetLong("left")), ToInt32(p->GetLong("top")),
                          ToInt32(p->GetLong("right")), ToInt32(p->GetLong("bottom"))};
    picture.compressed = p->Get("compressed") == "jpeg";
    picture.bytes = Base64Decode(p->UnicodeText());
    pictures.push_back(std::move(picture));
    r_.has_image_ = true;
  }
}

void OrvexReader::Builder::ClampOffsets(Node* n) {
  // Read through const: asking a note without text, or a plain text, for its looks
  // must not make room for them.
  const Content& plain = *std::as_const(*n).GetContent();
  if (plain.style_runs().empty() && plain.struck_spans().empty() && plain.pictures().empty()) {
    return;
  }
  Content* content = n->GetContent();
  const auto length = static_cast<int32_t>(std::min<size_t>(content->Utf16Length(), INT32_MAX));
  for (StyleRun& run : content->style_runs()) {
    run.start = std::clamp(run.start, 0, length);
  }
  for (StruckSpan& span : content->struck_spans()) {
    ClampSpan(&span.start, &span.length, length, false);
  }
  for (TextPicture& picture : content->pictures()) {
    picture.position = std::clamp(picture.position, 0, length);
  }
}

// --- Aliases ---------------------------------------------------------------------------

bool OrvexReader::Builder::IsProxyForAlias(const Node* n) const {
  if (n == nullptr || n->IsAlias() || n->Son() != nullptr || n->IsRootNote()) {
    return false;
  }
  const Value* v = alias_attribute_ != nullptr ? n->StoredValue(alias_attribute_) : nullptr;
  return v != nullptr && v->AsUnsignedLong() != 0;
}

Node* OrvexReader::Builder::LookupFileId(uint32_t id) const {
  // A proxy dropped while aliases are made leaves its entry holding null.
  if (by_file_number_.Has(id)) {
    return by_file_number_.Find(id);
  }
  return doc_->FindNode(id);
}

Node* OrvexReader::Builder::ResolveAlias(Node* proxy) {
  std::set<const Node*> seen{proxy};
  Node* n = proxy;
  while (true) {
    const uint32_t id = n->StoredValue(alias_attribute_)->AsUnsignedLong();
    Node* next = LookupFileId(id);
    if (next == nullptr || next->IsHidden() || seen.contains(next)) {
      return nullptr;
    }
    if (next->IsAlias()) {
      next = next->GetOriginal();
      return next != nullptr && !next->IsHidden() ? next : nullptr;
    }
    if (!IsProxyForAlias(next)) {
      return next->IsRootNote() || !next->CanBeAliased() ? nullptr : next;
    }
    seen.insert(next);
    n = next;
  }
}

void OrvexReader::Builder::CopyAttributesToAlias(const Node* proxy, AliasNode* alias) {
  for (const PropertyMap::Entry& e : proxy->Properties().entries()) {
    const std::string& name = e.attribute->Name();
    // Copying the name would rename the original; the identity is copied separately;
    // the alias made its own `Alias` value.
    if (name == "Name" || name == "ID" || name == "Creator" || name == "Alias") {
      continue;
    }
    alias->DoSet(e.attribute, e.value->Clone());
  }
}

void OrvexReader::Builder::DeleteProxy(Node* proxy) {
  proxy->Hide(true);
  if (proxy->IsHidden()) {
    // Destroying a note scans every note of the document; a whole document read with
    // many aliases would pay that for each. A fresh document keeps its hidden proxies
    // until it is closed; a paste lets them go at once.
    if (!r_.whole_document_) {
      doc_->DestroyNode(proxy);
    }
  } else {
    // A document that may not be edited refuses hiding; take the proxy out directly.
    doc_->RemoveNode(proxy);
    proxy->Unhook();
  }
}

void OrvexReader::Builder::MakeAliases() {
  // The notes made by this read, in outline order; each proxy's slot receives its
  // alias, or null when it is dropped.
  std::vector<Node*>& made = r_.nodes_;
  aliases_made_ = true;
  progress_->Begin("Resolving aliases", 0);
  bool dropped_first = false;
  bool dropped_any = false;
  for (size_t i = 0; i < made.size(); ++i) {
    Node* proxy = made[i];
    if (!IsProxyForAlias(proxy)) {
      continue;
    }
    const NodeID identity = proxy->GetID();
    Node* original = ResolveAlias(proxy);
    AliasNode* alias = nullptr;
    if (original != nullptr) {
      const MapPoint p = proxy->Position();
      alias = AliasNode::CreateFor(original, proxy->Father(), proxy, p.x, p.y, false);
    }
    if (alias != nullptr) {
      CopyAttributesToAlias(proxy, alias);
    }
    DeleteProxy(proxy);
    if (alias != nullptr) {
      alias->SetID(identity);
    }
    made[i] = alias;
    dropped_any = dropped_any || alias == nullptr;
    if (r_.first_node_ == proxy) {
      r_.first_node_ = alias;
      dropped_first = alias == nullptr;
    }
    // The file's identity of the proxy now leads to the alias (or nowhere).
    auto renumbered = file_number_of_.find(proxy);
    const uint32_t file_number =
        renumbered != file_number_of_.end() ? renumbered->second : identity.id();
    uint64_t key = 0;
    if (FindFileKey(file_number, identity.creator(), &key) && by_file_id_.Find(key) == proxy) {
      by_file_id_[key] = alias;
    }
    if (by_file_number_.Find(file_number) == proxy) {
      by_file_number_[file_number] = alias;
    }
  }
  if (!dropped_any) {
    return;
  }
  std::erase(made, nullptr);
  if (dropped_first || (r_.first_node_ == nullptr && !made.empty())) {
    // The first note was an unresolvable proxy: the note made after it is first now.
    r_.first_node_ = made.empty() ? nullptr : made.front();
  }
}

// --- Links -------------------------------------------------------------------------------

Node* OrvexReader::Builder::FindNode(uint32_t id, const std::string& creator) const {
  uint64_t key = 0;
  if (!FindFileKey(id, creator, &key)) {
    return nullptr;
  }
  return by_file_id_.Find(key);
}

uint64_t OrvexReader::Builder::FileKey(uint32_t id, const std::string& creator) {
  auto it = creators_.find(creator);
  if (it == creators_.end()) {
    it = creators_.emplace(creator, static_cast<uint32_t>(creators_.size())).first;
  }
  return (uint64_t{it->second} << 32) | id;
}

bool OrvexReader::Builder::FindFileKey(uint32_t id, std::string_view creator,
                                       uint64_t* key) const {
  auto it = creators_.find(creator);
  if (it == creators_.end()) {
    return false;
  }
  *key = (uint64_t{it->second} << 32) | id;
  return true;
}

void OrvexReader::Builder::MakeLinks(LinkSection& section) {
  for (PendingLink& link : section.links) {
    MakeLink(link);
    Bump();
  }
}

OrvexReader::Builder::PendingLink OrvexReader::Builder::ReadLink(const XMLItem& item) {
  PendingLink link;
  link.source_id = static_cast<uint32_t>(item.GetUnsignedLong("sourceid"));
  link.source_creator = item.Get("sourcecreator");
  link.dest_id = static_cast<uint32_t>(item.GetUnsignedLong("destid"));
  link.dest_creator = item.Get("destcreator");
  LinkRecord& record = link.record;
  record.add_to_document = true;
  record.source_span = {ToInt32(item.GetLong("sstart")), ToInt32(item.GetLong("slen"))};
  // Without `dstart` the link has no destination anchor.
  record.dest_span = {item.Has("dstart") ? ToInt32(item.GetLong("dstart")) : -1,
                      ToInt32(item.GetLong("dlen"))};
  record.name = item.Get("name");
  record.url = item.Get("URL");
  record.title = item.Get("title");
  record.target = item.Get("target");
  record.css_class = item.Get("class");
  record.style = LinkStyle(static_cast<uint32_t>(item.GetUnsignedLong("style")));
  return link;
}

void OrvexReader::Builder::MakeLink(PendingLink& link) {
  LinkRecord& record = link.record;
  Node* source = FindNode(link.source_id, link.source_creator);
  // A web link leads to the document's root.
  Node* dest = !record.url.empty() ? doc_->Root() : FindNode(link.dest_id, link.dest_creator);
  if (source == nullptr || dest == nullptr) {
    return;  // an end is missing: the link is dropped
  }
  record.source = source;
  record.dest = dest;
  // Keeps each anchor inside its note's text. The text is measured only for an anchor
  // that could lie outside it: most links have none, or an empty one at the start.
  auto clamp = [](TextSpan* span, const Node* n) {
    int32_t length = 0;
    if (span->start > 0 || (span->start == 0 && span->length != 0)) {
      const Content* c = n->IsAlias() && n->GetOriginal() == nullptr ? nullptr : n->GetContent();
      length = c == nullptr ? 0 : static_cast<int32_t>(std::min<size_t>(c->Utf16Length(), INT32_MAX));
    }
    ClampSpan(&span->start, &span->length, length, true);
  };
  clamp(&record.source_span, source);
  clamp(&record.dest_span, dest);
  doc_->CreateLink(record);
}

// --- Windows, macros, preferences ------------------------------------------------------

void OrvexReader::Builder::MakeWindows(const XMLItem& item) {
  // The view state in the order views write it; anything else after, by name.
  static constexpr std::string_view kStateOrder[] = {
      "bounds", "x", "y", "scale", "checkbox", "columns", "split", "expanded", "collapsed"};
  std::vector<WindowRecord>& windows = doc_->Records().Windows();
  // Every `windows` section of the file is read; together they replace what the
  // document held.
  if (!windows_read_) {
    windows.clear();
    windows_read_ = true;
  }
  for (const XMLItem* w = item.First("window"); w != nullptr; w = w->Next("window")) {
    WindowRecord record;
    record.type = w->Get("type");
    record.id = static_cast<uint32_t>(w->GetUnsignedLong("ID"));
    record.creator = w->Get("Creator");
    for (std::string_view name : kStateOrder) {
      if (w->Has(name)) {
        record.state.emplace_back(std::string(name), w->Get(name));
      }
    }
    for (const auto& [name, value] : w->Attributes()) {
      if (name == "type" || name == "ID" || name == "Creator" ||
          std::find(std::begin(kStateOrder), std::end(kStateOrder), name) !=
              std::end(kStateOrder)) {
        continue;
      }
      record.state.emplace_back(name, value);
    }
    windows.push_back(std::move(record));
  }
}

void OrvexReader::Builder::MakeMacros(const XMLItem& item) {
  DocumentRecords& records = doc_->Records();
  for (const XMLItem* m = item.First("macro"); m != nullptr; m = m->Next("macro")) {
    // Macros are UTF-8 like every other text of the file.
    records.SetMacro(m->Get("name"), WithCarriageReturns(m->UnicodeText()));
  }
}

void OrvexReader::Builder::MakePrefs(const XMLItem& item) {
  DocumentPreferences& prefs = doc_->Preferences();
  for (const XMLItem* p = item.Son(); p != nullptr; p = p->Brother()) {
    std::string_view text = p->UnicodeText();
    if (!text.empty() && text.front() == ' ') {
      text.remove_prefix(1);
    }
    const std::string& key = p->Kind();
    ValuePtr value = Value::Create(prefkeys::TypeForKey(key), text);
    if (const int index = prefkeys::IndexForKey(key); index != 0) {
      prefs.Set(index, std::move(value));
    } else {
      prefs.Set(key, std::move(value));
    }
  }
}

// --- OrvexReader -----------------------------------------------------------------------

OrvexReader::OrvexReader(Node* target, Node* after, bool whole_document)
    : target_(target), after_(after), whole_document_(whole_document) {
  RequireNotNull(target, "OrvexReader: null target");
  RequireNotNull(target->GetHypertext(), "OrvexReader: target without document");
  if (after_ != nullptr && after_->Father() != target_) {
    after_ = nullptr;
  }
}

OrvexReader::~OrvexReader() {
  EndBuild();
}

void OrvexReader::ReadXML(XMLItem* root) {
  // The tree belongs to the caller: it is left whole.
  if (root != nullptr) {
    Build(*root);
  }
}

bool OrvexReader::ElementStarting(XMLItem* parent, XMLItem& item) {
  if (!streaming_) {
    return true;
  }
  if (parent == nullptr) {
    if (!AcceptVersion(item)) {
      return false;
    }
    BeginBuild(true);
  }
  builder_->Start(item);
  return true;
}

bool OrvexReader::ElementEnded(XMLItem& item) {
  return streaming_ && builder_ != nullptr && builder_->End(item);
}

bool OrvexReader::Finish() {
  if (streaming_) {
    // The notes were built as the file arrived.
    EndBuild();
    ApplyRevisionRules();
    return true;
  }
  return root() != nullptr && Build(*root());
}

bool OrvexReader::Build(XMLItem& root) {
  if (!AcceptVersion(root)) {
    return false;
  }
  BeginBuild(false);
  builder_->Walk(root);
  EndBuild();
  ApplyRevisionRules();
  return true;
}

bool OrvexReader::AcceptVersion(const XMLItem& root) {
  version_ = root.GetLong("version");
  revision_ = root.GetLong("revision");
  if (version_ >= 3) {
    refused_newer_ = true;
    Warn(kNewerVersionMessage);
    return false;
  }
  return true;
}

void OrvexReader::BeginBuild(bool shed) {
  Hypertext* doc = target_->GetHypertext();
  // A whole document is read silently; a paste tells the views once, at the end.
  if (whole_document_) {
    ignore_ = std::make_unique<StIgnoreChanges>(doc);
  } else {
    batch_ = std::make_unique<StChanges>(doc);
  }
  builder_ = std::make_unique<Builder>(this, shed);
}

void OrvexReader::EndBuild() {
  builder_.reset();
  batch_.reset();
  ignore_.reset();
}

void OrvexReader::ApplyRevisionRules() {
  if (version_ == 2 && revision_ < 5) {
    open_as_untitled_ = true;
    Warn(kOlderRevisionMessage);
  }
  if (version_ == 2 && revision_ < 8 && has_image_) {
    open_as_untitled_ = true;
    Warn(kImageRevisionMessage);
  }
}

namespace {

std::unique_ptr<Orvex> Finished(std::unique_ptr<Orvex> doc, const OrvexReader& reader, bool ok,
                                ReadOutcome* outcome) {
  ReadOutcome local;
  ReadOutcome& out = outcome != nullptr ? *outcome : local;
  out.version = reader.version();
  out.revision = reader.revision();
  out.open_as_untitled = reader.open_as_untitled();
  if (!ok) {
    if (reader.refused_newer()) {
      out.failure = ReadOutcome::Failure::kNewerVersion;
    } else if (!reader.error().empty()) {
      out.failure = ReadOutcome::Failure::kMalformed;
    } else {
      out.failure = ReadOutcome::Failure::kUnreadable;
    }
    return nullptr;
  }
  out.failure = ReadOutcome::Failure::kNone;
  // Cleared only now: the scope that held back change notifications has ended.
  doc->SetModified(false);
  return doc;
}

}  // namespace

std::unique_ptr<Orvex> OrvexReader::ReadDocument(const std::filesystem::path& path,
                                                 ReadOutcome* outcome) {
  const std::string file_name = path.filename().string();
  auto doc = Orvex::Create(file_name);
  OrvexReader reader(doc->Root(), nullptr, true);
  reader.streaming_ = true;
  reader.ParseOnSecondThread(true);
  std::error_code size_error;
  reader.large_input_ = std::filesystem::file_size(path, size_error) >= kLargeInput && !size_error;
  bool ok = false;
  {
    std::ifstream probe(path, std::ios::binary);
    if (probe) {
      probe.close();
      ok = reader.Parse(path);
    }
  }
  // A read that failed part way leaves a builder holding back the document's
  // notifications; it ends before the document goes.
  reader.EndBuild();
  if (ok && !file_name.empty()) {
    // The root note is named after the file, whatever the file says.
    doc->UpdateRootName(file_name);
  }
  return Finished(std::move(doc), reader, ok, outcome);
}

std::unique_ptr<Orvex> OrvexReader::ReadDocumentFromString(const std::string& bytes,
                                                           ReadOutcome* outcome,
                                                           const std::string& file_name) {
  auto doc = Orvex::Create(file_name);
  OrvexReader reader(doc->Root(), nullptr, true);
  reader.streaming_ = true;
  reader.ParseOnSecondThread(true);
  reader.large_input_ = bytes.size() >= kLargeInput;
  const bool ok = reader.ParseDocumentText(bytes);
  reader.EndBuild();
  if (ok && !file_name.empty()) {
    doc->UpdateRootName(file_name);
  }
  return Finished(std::move(doc), reader, ok, outcome);
}

bool OrvexReader::ParseDocumentText(const std::string& bytes) {
  // Malformed text is reported as a file would be, rather than repaired.
  std::istringstream in(bytes);
  return Parse(in, bytes.size());
}

NodeVector OrvexReader::PasteClipping(const std::string& bytes, Node* container, Node* after) {
  if (container == nullptr || container->GetHypertext() == nullptr || container->IsHidden() ||
      !container->CanReceiveChildren() ||
      (!container->IsRootNote() && !container->GetHypertext()->HasNode(container))) {
    return NodeVector();
  }
  OrvexReader reader(container, after, false);
  if (!reader.Parse(bytes)) {
    return NodeVector();
  }
  return reader.GetNodeList();
}

bool OrvexReader::CouldBeXML(const std::filesystem::path& file) {
  XMLReader probe;
  const std::string root = probe.ProbeXML(file);
  return root == "fernweave" || root == "orvex";
}

}  // namespace fernweave
