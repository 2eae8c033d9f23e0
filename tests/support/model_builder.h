// Builders and dumps for tests of the note model: a document from an indented outline,
// a compact dump of a subtree, a view that records the change records it receives, and
// a check of the tree invariants.

#ifndef FERNWEAVE_TESTS_SUPPORT_MODEL_BUILDER_H_
#define FERNWEAVE_TESTS_SUPPORT_MODEL_BUILDER_H_

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model/change.h"
#include "model/hypertext.h"
#include "model/orvex.h"

namespace fernweave::test {

// Adds notes to `doc` from an outline: one note per line, its name after two spaces of
// indent per level below the root ("A\n  B\n  C\nD" gives A with children B and C,
// then D). Returns the notes made, in order.
std::vector<Node*> AddOutline(Hypertext* doc, std::string_view outline);

// An application document holding the outline.
std::unique_ptr<Orvex> MakeDocument(std::string_view outline = "");

// The note at a slash path of names from the root ("A/B"), or null.
Node* At(Hypertext* doc, std::string_view path);

// One line per note below `top` (not `top` itself), indented two spaces per level:
// the name, then " =" and the value of each listed attribute.
std::string Dump(const Node* top, const std::vector<std::string>& attributes = {});

// The names of a note's children joined by " ".
std::string ChildNames(const Node* n);

// A view that records every delivery: each note's name with its facets, "*" for a
// whole-document refresh.
class RecordingView : public Changeable {
 public:
  explicit RecordingView(Hypertext* doc);
  ~RecordingView() override;

  void NoteChanged(const Node* node, uint32_t facets) override;
  void DocumentChanged() override;

  // "name:facets" entries of every delivery so far, in delivery order; facets are
  // written in hexadecimal.
  const std::vector<std::string>& log() const { return log_; }
  std::string Joined() const;
  void Clear() { log_.clear(); }

 private:
  Hypertext* doc_;
  std::vector<std::string> log_;
};

// Checks the tree invariants and returns "" or a description of the first breach:
// every live note reachable from the root and in the index, the index holding nothing
// else, no hidden note reachable, sibling links consistent.
std::string CheckInvariants(const Hypertext& doc);

}  // namespace fernweave::test

#endif  // FERNWEAVE_TESTS_SUPPORT_MODEL_BUILDER_H_
