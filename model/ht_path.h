// Names of notes relative to a context note.
//
// Actions, agent queries, export templates and attribute writes name notes by a
// designator ("parent", "child", "next", "original", ...), by a slash path
// ("/Projects/Alpha", "../Notes"), by a bare name, or by an expression that computes
// one of these. An `HTPath` parses such a text once and resolves it against any
// context note. A designator may take an argument in parentheses, itself a path,
// which is resolved first and becomes the context: "parent(/Projects/Alpha)".
//
// Resolution never fails loudly: an unknown name, a missing designator target or a
// path that leaves the tree yields null. The root is never a result of a name or
// slash path, and a name or path never yields an alias (its original instead).
// Arguments nest; they are resolved iteratively, innermost first.

#ifndef FERNWEAVE_MODEL_HT_PATH_H_
#define FERNWEAVE_MODEL_HT_PATH_H_

#include <string>
#include <string_view>

namespace fernweave {

class Node;

class HTPath {
 public:
  // Parses `text`. With `exporting_only`, the stepping designators ("next",
  // "previous", "nextsibling", "prevsibling") skip notes that cannot be exported.
  explicit HTPath(std::string_view text, bool exporting_only = false);
  virtual ~HTPath() = default;

  // The designated note, or null (also for a null context). The result is owned by
  // the context note's document.
  Node* Get(Node* node) const;
  const Node* Get(const Node* node) const;

  // The designated note; when a slash path does not resolve, makes the missing notes
  // along it (each the last child of the note before it, named after its component)
  // and returns the last. Null when nothing can be made there (the walk climbs above
  // the root, ends on the root, or meets a note that cannot receive children).
  Node* Create(Node* node) const;

  // Replaces the path and argument by those of `text`.
  void Parse(std::string_view text);

  const std::string& path() const { return path_; }
  const std::string& argument() const { return argument_; }
  bool exporting_only() const { return exporting_only_; }

  // One step in document order, or to the next/previous sibling, honouring
  // exporting_only (see ht_path.cc). Null when there is no such note.
  Node* Next(Node* node) const;
  Node* Previous(Node* node) const;
  Node* NextSibling(Node* node) const;
  Node* PrevSibling(Node* node) const;

  // "." is the node itself, ".." its father; otherwise its first child named exactly
  // `name` (for an alias, its original's). Null when none (or for a null node).
  static Node* FindChildNamed(Node* node, std::string_view name);

  // Walks a slash path from the node (from the root when it begins with "/"). An empty
  // component after the first ends the walk at the note reached. Null when a
  // component has no note or the walk ends on the root.
  static Node* ParsePath(Node* node, std::string_view path);

  // True for a non-empty text beginning with "$", a double quote or a single quote.
  static bool IsExpression(std::string_view text);

  // The text with its surrounding quotes trimmed, evaluated for the node by the
  // installed expression evaluator; without one, the trimmed text itself.
  static std::string Evaluate(Node* node, std::string_view text);

 private:
  // The context after resolving the arguments, or null when one does not resolve.
  Node* ArgumentContext(Node* node) const;
  // Resolves path text (no argument) against a non-null context.
  Node* Resolve(Node* node, std::string_view path, bool exporting_only) const;

  std::string path_;
  std::string argument_;
  bool exporting_only_;
};

// The note's path without the trailing slash ("/Notes/Soil"; the root is "/"): the form
// the command line prints and accepts, and the window shows.
std::string SlashPath(const Node* note);

}  // namespace fernweave

#endif  // FERNWEAVE_MODEL_HT_PATH_H_
