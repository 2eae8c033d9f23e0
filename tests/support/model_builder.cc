#include "tests/support/model_builder.h"

#include <sstream>
#include <unordered_set>

#include "model/node.h"

namespace fernweave::test {

std::vector<Node*> AddOutline(Hypertext* doc, std::string_view outline) {
  std::vector<Node*> made;
  std::vector<Node*> stack{doc->Root()};  // stack[k]: the last note at depth k
  std::istringstream in{std::string(outline)};
  std::string line;
  while (std::getline(in, line)) {
    size_t indent = line.find_first_not_of(' ');
    if (indent == std::string::npos) {
      continue;
    }
    const size_t depth = indent / 2 + 1;
    stack.resize(std::min(depth, stack.size()));
    Node* parent = stack.back();
    Node* n = doc->MakeNode(line.substr(indent), parent, parent->YoungestSon(), 0, 0);
    stack.push_back(n);
    made.push_back(n);
  }
  return made;
}

std::unique_ptr<Orvex> MakeDocument(std::string_view outline) {
  std::unique_ptr<Orvex> doc = Orvex::Create("Test.skep");
  AddOutline(doc.get(), outline);
  return doc;
}

Node* At(Hypertext* doc, std::string_view path) {
  Node* n = doc->Root();
  size_t pos = 0;
  while (n != nullptr && pos < path.size()) {
    size_t slash = path.find('/', pos);
    if (slash == std::string_view::npos) {
      slash = path.size();
    }
    const std::string_view name = path.substr(pos, slash - pos);
    Node* c = n->Son();
    while (c != nullptr && c->Name() != name) {
      c = c->Brother();
    }
    n = c;
    pos = slash + 1;
  }
  return n;
}

std::string Dump(const Node* top, const std::vector<std::string>& attributes) {
  std::string out;
  for (const Node* n = top->Son(); n != nullptr; n = n->NextWithin(top)) {
    size_t depth = 0;
    for (const Node* a = n->Father(); a != top && a != nullptr; a = a->Father()) {
      ++depth;
    }
    out += std::string(depth * 2, ' ') + n->Name();
    for (const std::string& a : attributes) {
      out += " " + a + "=" + n->GetString(a);
    }
    out += "\n";
  }
  return out;
}

std::string ChildNames(const Node* n) {
  std::string out;
  for (const Node* c = n->Son(); c != nullptr; c = c->Brother()) {
    if (!out.empty()) {
      out += " ";
    }
    out += c->Name();
  }
  return out;
}

RecordingView::RecordingView(Hypertext* doc) : doc_(doc) {
  doc_->AddView(this);
}

RecordingView::~RecordingView() {
  doc_->RemoveView(this);
}

void RecordingView::NoteChanged(const Node* node, uint32_t facets) {
  std::ostringstream entry;
  entry << node->Name() << ":" << std::hex << facets;
  log_.push_back(entry.str());
}

void RecordingView::DocumentChanged() {
  log_.push_back("*");
}

std::string RecordingView::Joined() const {
  std::string out;
  for (const std::string& e : log_) {
    if (!out.empty()) {
      out += " ";
    }
    out += e;
  }
  return out;
}

std::string CheckInvariants(const Hypertext& doc) {
  const Node* root = doc.Root();
  if (root->Brother() != nullptr || root->ElderBrother() != nullptr || root->Father() != nullptr) {
    return "the root has siblings or a father";
  }
  std::unordered_set<const Node*> reached;
  for (const Node* n = root; n != nullptr; n = n->Next()) {
    if (!reached.insert(n).second) {
      return "a note is reached twice: " + n->Name();
    }
    if (n->IsHidden()) {
      return "a hidden note is reachable: " + n->Name();
    }
    if (!doc.HasNode(n)) {
      return "a reachable note is not indexed: " + n->Name();
    }
    for (const Node* c = n->Son(); c != nullptr; c = c->Brother()) {
      if (c->Father() != n) {
        return "a child does not name its father: " + c->Name();
      }
      if (c->Brother() != nullptr && c->Brother()->ElderBrother() != c) {
        return "broken sibling chain after " + c->Name();
      }
    }
    if (n->IsAlias() && (n->GetOriginal() == nullptr || n->GetOriginal()->IsHidden())) {
      return "a live alias of a deleted note: " + n->Name();
    }
    if (n->Son() != nullptr && n->Son()->ElderBrother() != nullptr) {
      return "a first child has an elder brother: " + n->Son()->Name();
    }
  }
  const NodeVector all = doc.AllNodes();
  if (all.size() != reached.size() || doc.NodeCount() != reached.size()) {
    return "the live list holds " + std::to_string(all.size()) + " notes, the index " +
           std::to_string(doc.NodeCount()) + ", the tree " + std::to_string(reached.size());
  }
  for (const Node* n : all) {
    if (reached.count(n) == 0) {
      return "a live note is not reachable: " + n->Name();
    }
  }
  return "";
}

}  // namespace fernweave::test
