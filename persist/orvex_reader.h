// The document file reader. `OrvexReader` parses the XML form written by
// `OrvexWriter` (persist/orvex_writer.h; the format is described in
// docs/file-format.md) into a document, or pastes a clipping of notes into a container
// of an open document. Files whose root element is the older `orvex` read the same way.
//
// Reading a whole document (wholeDocument true): the first top-level note element
// describes the document's root note; every known section is read wherever it
// stands, links once the root ends, and elements the reader does not know are skipped
// with a message naming them. Pasting
// (wholeDocument false): every top-level note element becomes a new note inside the
// container; notes whose identity is already taken in the document get fresh ids and
// the clipping's links follow them.
//
// Version rules: version 3 or later is refused with the newer-version message; version
// 2 below revision 5, and below revision 8 with pictures, load but open as Untitled
// (with their messages). Messages go through `Warn` (foundation/user_messages.h).
//
// Notes the reader builds do not run the new-note hooks of the attribute registry
// (no sequential numbering, no default dates stamped). After a read, the process-wide
// id counter lies above every id in the file.

#ifndef FERNWEAVE_PERSIST_ORVEX_READER_H_
#define FERNWEAVE_PERSIST_ORVEX_READER_H_

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "foundation/xml_reader.h"
#include "model/node_vector.h"
#include "model/orvex.h"

namespace fernweave {

class XMLItem;
class StChanges;
class StIgnoreChanges;

// What happened to a read, for callers that must tell failures apart.
struct ReadOutcome {
  enum class Failure {
    kNone,
    kUnreadable,    // the file could not be opened or read (no message shown)
    kMalformed,     // not well-formed XML (the parse message was shown)
    kNewerVersion,  // version 3 or later (the newer-version message was shown)
  };
  Failure failure = Failure::kNone;
  long version = 0;
  long revision = 0;
  // The document must open as Untitled (an old revision; its message was shown).
  bool open_as_untitled = false;
};

// The messages of the version rules, exactly as shown.
extern const char kNewerVersionMessage[];
extern const char kOlderRevisionMessage[];
extern const char kImageRevisionMessage[];

class OrvexReader : public XMLReader, public XMLClient {
 public:
  // Reads into the document of `target`. With whole_document true, `target` is the
  // document's root note and `after` is ignored; with false, new notes go into the
  // container `target`, the first one after `after` (first child when null).
  // REQUIRES: target belongs to a document ("nilP" when null).
  OrvexReader(Node* target, Node* after, bool whole_document);
  ~OrvexReader() override;

  // --- Whole documents --------------------------------------------------------
  // Reads the file into a new application document named after the file. Returns null
  // on failure (see ReadOutcome; the outcome may be null). The result is not marked
  // modified.
  static std::unique_ptr<Orvex> ReadDocument(const std::filesystem::path& path,
                                             ReadOutcome* outcome = nullptr);
  // The same from bytes in memory; `file_name` names the root note.
  static std::unique_ptr<Orvex> ReadDocumentFromString(const std::string& bytes,
                                                       ReadOutcome* outcome = nullptr,
                                                       const std::string& file_name = "");

  // --- Clippings --------------------------------------------------------------
  // Pastes a clipping into `container` after `after` (first when null) and returns
  // every note made, in the order made (the ones to select); empty when the clipping
  // is malformed, from a newer version, holds no notes, or the container cannot
  // receive children. The notes are made directly; the undoable paste is
  // `NodePasteAction` (persist/node_paste_action.h), which calls this. Shows no
  // malformed-XML message.
  static NodeVector PasteClipping(const std::string& bytes, Node* container, Node* after);

  // True when the file's root element, judged from its first bytes, is `fernweave`
  // or `orvex`.
  static bool CouldBeXML(const std::filesystem::path& file);

  // --- After a parse -------------------------------------------------------------
  // The first note made (for a paste, the one to show); null when none.
  Node* FirstNode() const { return first_node_; }
  // Every note made, in the order made (aliases in place of the proxies they replaced).
  NodeVector GetNodeList() const { return NodeVector(nodes_); }
  long version() const { return version_; }
  long revision() const { return revision_; }
  bool refused_newer() const { return refused_newer_; }
  bool open_as_untitled() const { return open_as_untitled_; }
  bool HasImage() const { return has_image_; }
  void HasImage(bool has) { has_image_ = has; }

  // XMLClient: builds the notes from the parsed tree (the version rules included).
  void ReadXML(XMLItem* root) override;

 protected:
  // When streaming, builds each part of the document as its element arrives and lets
  // the element go once used, so a large file never stands whole in memory as a tree.
  bool ElementStarting(XMLItem* parent, XMLItem& item) override;
  bool ElementEnded(XMLItem& item) override;
  // Applies the version rules and, unless streaming, builds from the parsed tree;
  // false when the file is refused.
  bool Finish() override;

 private:
  class Builder;
  friend class Builder;

  // Inputs of this size or more are read with the heap growing in large pages.
  static constexpr uint64_t kLargeInput = 32 << 20;

  // Applies the version rules and builds from a parsed tree, which is left whole;
  // false when refused.
  bool Build(XMLItem& root);
  // Reads the root's version; false (after the newer-version message) when refused.
  bool AcceptVersion(const XMLItem& root);
  // Holds back the document's change notifications and starts a builder.
  void BeginBuild(bool shed);
  // Ends the builder and lets the held notifications go. Does nothing when none runs.
  void EndBuild();
  // The rules that open an older document as Untitled, each with its message.
  void ApplyRevisionRules();
  // Parses a whole document held in memory, reporting malformed text.
  bool ParseDocumentText(const std::string& bytes);

  Node* target_;
  Node* after_;
  bool whole_document_;
  long version_ = 0;
  long revision_ = 0;
  bool refused_newer_ = false;
  bool open_as_untitled_ = false;
  bool has_image_ = false;
  Node* first_node_ = nullptr;
  std::vector<Node*> nodes_;
  // Whole-document reads build as they parse.
  bool streaming_ = false;
  // The input is large enough for the heap to grow in large pages while it is read
  // (foundation/heap_growth.h); a small one would keep more room than it gains time.
  bool large_input_ = false;
  std::unique_ptr<StIgnoreChanges> ignore_;
  std::unique_ptr<StChanges> batch_;
  std::unique_ptr<Builder> builder_;
};

}  // namespace fernweave

#endif  // FERNWEAVE_PERSIST_ORVEX_READER_H_
