// The document file writer. `OrvexWriter` streams a whole document, or a clipping of
// some of its notes, as the XML form described in docs/file-format.md: the root
// `fernweave` (version 2, revision 8), then the user attribute definitions, the colour
// table, the stamps, the link types, the note tree, the links, the macros, the
// preferences and the saved windows, in that order. The reader that takes this form
// apart is `OrvexReader` (persist/orvex_reader.h). Keep the two in sync.
//
// A writer is made for one document, writes once and is discarded. It never changes
// the document, except that a clipping reserves the note ids it writes from the
// process-wide id counter, so that a pasted clipping never collides with notes made
// afterwards.

#ifndef FERNWEAVE_PERSIST_ORVEX_WRITER_H_
#define FERNWEAVE_PERSIST_ORVEX_WRITER_H_

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "foundation/progress.h"
#include "foundation/xml_writer.h"
#include "model/hypertext.h"
#include "model/node_vector.h"

namespace fernweave {

class Attribute;
class Content;
class Link;

class OrvexWriter : public XMLWriter {
 public:
  // The version and revision every file is written with.
  static constexpr long kVersion = 2;
  static constexpr long kRevision = 8;

  // `doc` must outlive the writer.
  explicit OrvexWriter(const Hypertext& doc);
  ~OrvexWriter() override;

  // Streams the whole document and flushes. Returns false when the stream failed
  // (the bytes written so far are then incomplete).
  virtual bool Write(std::ostream& os);

  // A clipping of one note (with its subtree), or of a list of notes: the list is put
  // into outline order and every note that descends from another listed note is
  // dropped. Notes are written with fresh id numbers, reserved from the process-wide
  // counter, and the links among them (those whose source is a written note or lies
  // below one) with their ends renumbered. Hidden notes and notes of another document
  // are skipped. Returns false when the stream failed.
  virtual bool ToClip(std::ostream& os, const Node& node);
  virtual bool ToClip(std::ostream& os, const NodeVector& nodes);

  // The same, into a string.
  static std::string WriteToString(const Hypertext& doc);
  static std::string ClipToString(const NodeVector& nodes);

  // The number written for a note's id in the last clipping, or the note's own id when
  // it was not renumbered.
  uint32_t MappedID(uint32_t id) const;

 protected:
  virtual void Begin(std::ostream& os);
  virtual void End(std::ostream& os);
  // Adds n to the progress counter; the display advances once per ten.
  virtual void Bump(int n);

  // Writes `first` and each of its later siblings, with their subtrees.
  virtual void WriteNodes(std::ostream& os, const Node* first);
  // Writes one note element with its subtree (iteratively: any depth).
  virtual void WriteNode(std::ostream& os, const Node* node);
  // The user attribute definitions, and built-in ones whose default the document
  // changed.
  virtual void WriteAttributes(std::ostream& os);
  virtual void WriteColorTable(std::ostream& os);
  virtual void WriteStamps(std::ostream& os);
  virtual void WriteLinkTypes(std::ostream& os);
  virtual void WriteLinks(std::ostream& os);
  virtual void WriteMacros(std::ostream& os);
  virtual void WritePreferences(std::ostream& os);
  virtual void WriteWindows(std::ostream& os);

  // Whether a note goes into the file: not hidden, and for an alias, its original
  // exists and is not hidden.
  static bool ShouldWriteNote(const Node* n);
  // Whether a value the note stores goes into the file: every valid attribute except
  // computed and read-only kinds; `Alias` always.
  static bool NeedToWrite(const Attribute* a);

 private:
  void WriteNodeHead(std::ostream& os, const Node* n);
  void WriteNodeTail(std::ostream& os, const Node* n);
  void WriteStyles(std::ostream& os, const Content& content);
  void WritePictures(std::ostream& os, const Content& content);
  // One definition; with nested set, its child definitions inside it.
  void WriteAttribute(std::ostream& os, const Attribute* a, bool nested);
  // The links whose source is one of the clipped notes or lies below one.
  void WriteClipLinks(std::ostream& os, const std::vector<const Node*>& tops);
  void WriteLink(std::ostream& os, const Link& link);

  const Hypertext& doc_;

  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace fernweave

#endif  // FERNWEAVE_PERSIST_ORVEX_WRITER_H_
