#include "app/document_access.h"

#include <charconv>

#include "app/command.h"
#include "foundation/user_messages.h"
#include "model/attribute.h"
#include "model/ht_path.h"
#include "model/hypertext.h"

namespace fernweave {

std::unique_ptr<OrvexDoc> OpenForCommand(const std::string& file, bool for_change,
                                         OpenOutcome* outcome) {
  OpenOutcome local;
  OpenOutcome& out = outcome != nullptr ? *outcome : local;
  std::unique_ptr<OrvexDoc> doc = OrvexDoc::Create(file, &out);
  if (doc == nullptr) {
    return nullptr;
  }
  if (out.kind == OpenOutcome::Kind::kImported) {
    // The command line works on document files only; reading plain text as a document
    // would let a change replace the text file.
    Warn(file + " is not a Fernweave document.");
    return nullptr;
  }
  if (for_change && !doc->HasFile()) {
    Warn(file + " opened as Untitled; the change cannot be saved in place.");
    return nullptr;
  }
  return doc;
}

Node* ResolveNote(Hypertext* doc, std::string_view designator) {
  Node* found = nullptr;
  if (designator.size() > 1 && designator[0] == '#') {
    uint32_t id = 0;
    const char* first = designator.data() + 1;
    const char* last = designator.data() + designator.size();
    const auto [end, error] = std::from_chars(first, last, id);
    if (error == std::errc() && end == last) {
      found = doc->FindNode(id);
    }
  } else if (designator == "/") {
    found = doc->Root();
  } else if (!designator.empty()) {
    found = HTPath(designator).Get(doc->Root());
  }
  if (found == nullptr || found->IsHidden()) {
    Warn("no note " + std::string(designator));
    return nullptr;
  }
  return found;
}

int OpenAtNote(const std::string& file, std::string_view note, std::unique_ptr<OrvexDoc>* doc,
               Node** found) {
  *doc = OpenForCommand(file, false);
  if (*doc == nullptr) {
    return kExitFile;
  }
  Hypertext* ht = (*doc)->GetHypertext();
  *found = note.empty() ? ht->Root() : ResolveNote(ht, note);
  return *found != nullptr ? kExitOk : kExitFalse;
}

int SaveForCommand(OrvexDoc* doc) {
  return doc->DoSave() ? kExitOk : kExitFile;
}

int ChangeDocument(const std::string& file,
                   const std::function<int(OrvexDoc* doc, Hypertext* ht)>& change) {
  std::unique_ptr<OrvexDoc> doc = OpenForCommand(file, true);
  if (doc == nullptr) {
    return kExitFile;
  }
  const int status = change(doc.get(), doc->GetHypertext());
  return status == kExitOk ? SaveForCommand(doc.get()) : status;
}

bool SplitAssignment(std::string_view text, std::string* name, std::string* value) {
  const size_t equals = text.find('=');
  if (equals == std::string_view::npos || equals == 0) {
    return false;
  }
  *name = std::string(text.substr(0, equals));
  *value = std::string(text.substr(equals + 1));
  return true;
}

Attribute* ResolveAttribute(Hypertext* doc, std::string_view name) {
  if (name.starts_with('$')) {
    name.remove_prefix(1);
  }
  Attribute* attribute = doc->Properties().Find(name);
  if (attribute == nullptr || !attribute->IsValid() || attribute->IsAttributeCategory()) {
    Warn("no attribute " + std::string(name));
    return nullptr;
  }
  return attribute;
}

bool ResolveAttributes(Hypertext* doc, const std::vector<std::string>& names,
                       std::vector<Attribute*>* out) {
  for (const std::string& name : names) {
    Attribute* attribute = ResolveAttribute(doc, name);
    if (attribute == nullptr) {
      return false;
    }
    out->push_back(attribute);
  }
  return true;
}

}  // namespace fernweave
