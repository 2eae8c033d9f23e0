#include "export/export_template.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>
#include <utility>

#include "export/entities.h"
#include "export/html_markup.h"
#include "export/markup_element.h"
#include "lang/action.h"
#include "lang/template_value.h"
#include "model/hypertext.h"
#include "model/ht_path.h"
#include "model/node.h"

namespace fernweave {

namespace {

ExportRun* current_run = nullptr;

// Keep in sync with the named preferences of persist/document_preference_keys.h.
constexpr char kExportHostKey[] = "ExportHost";
constexpr char kTemplateFolderKey[] = "HTMLTemplateFolder";

constexpr size_t kMaxTemplateFileSize = size_t{4} << 20;
constexpr char kUnableToFind[] = "Unable to find this template";

std::vector<std::string>& StandardFolders() {
  static std::vector<std::string> folders;
  return folders;
}

// Whether a template name stays inside the folder it is looked up in: relative, and
// no component climbs out.
bool StaysInFolder(std::string_view name) {
  if (name.empty() || name[0] == '/') {
    return false;
  }
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = name.find('/', start);
    if (end == std::string_view::npos) {
      end = name.size();
    }
    if (name.substr(start, end - start) == "..") {
      return false;
    }
    start = end + 1;
  }
  return name.find('\0') == std::string_view::npos;
}

bool ReadSmallFile(const std::string& path, std::string* text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    return false;
  }
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size < 0 || static_cast<size_t>(size) > kMaxTemplateFileSize) {
    return false;
  }
  in.seekg(0);
  text->assign(static_cast<size_t>(size), '\0');
  in.read(text->data(), size);
  return static_cast<bool>(in);
}

std::string ExpandForLanguage(Node* node, std::string_view text);
std::string ExportedStringForLanguage(Node* note, std::string_view template_name);

}  // namespace

// --- ExportRun -----------------------------------------------------------------

ExportRun::ExportRun(Hypertext* doc)
    : doc_(doc), files_(doc), hooks_(StandardLanguageHooks()) {
  if (doc_ != nullptr) {
    if (const Value* folder = doc_->Preferences().Get(kTemplateFolderKey)) {
      if (!folder->AsString().empty()) {
        folders_.push_back(folder->AsString());
      }
    }
  }
  for (const std::string& folder : StandardFolders()) {
    folders_.push_back(folder);
  }
}

ExportRun::~ExportRun() = default;

ExportRun* ExportRun::Current() { return current_run; }

void ExportRun::SetStandardTemplateFolder(std::string folder) {
  StandardFolders() = {std::move(folder)};
}

TemplateFileLookup ExportRun::FindTemplateFile(const std::vector<std::string>& folders,
                                               const std::string& name, std::string* text,
                                               std::string* found_as) {
  TemplateFileLookup lookup;
  lookup.name = name;
  std::vector<std::string> candidates = {name};
  if (const size_t slash = name.rfind('/'); slash != std::string::npos) {
    candidates.push_back(name.substr(slash + 1));
  }
  for (const std::string& candidate : candidates) {
    if (!StaysInFolder(candidate)) {
      continue;
    }
    for (const std::string& folder : folders) {
      std::string path = folder + "/" + candidate;
      if (ReadSmallFile(path, text)) {
        lookup.path = std::move(path);
        lookup.hash = HashBytes(*text);
        *found_as = candidate;
        return lookup;
      }
    }
  }
  text->clear();
  return lookup;
}

ExportTemplate* ExportRun::TemplateFileNamed(std::string_view name_view) {
  std::string name(name_view);
  std::replace(name.begin(), name.end(), ':', '/');
  if (auto it = files_loaded_.find(name); it != files_loaded_.end()) {
    return it->second.get();
  }
  if (auto it = lookups_.find(name); it != lookups_.end() && it->second.path.empty()) {
    return nullptr;  // looked for before in this run, and not found
  }
  std::string text;
  std::string found_as;
  TemplateFileLookup lookup = FindTemplateFile(folders_, name, &text, &found_as);
  const bool found = !lookup.path.empty();
  lookups_[name] = std::move(lookup);
  if (!found) {
    return nullptr;
  }
  auto loaded = std::make_unique<ExportTemplate>(this, found_as, text);
  ExportTemplate* result = loaded.get();
  files_loaded_[name] = std::move(loaded);
  return result;
}

ExportTemplate* ExportRun::TemplateFromNote(Node* note) {
  if (note == nullptr) {
    return nullptr;
  }
  auto& slot = notes_loaded_[note];
  if (slot == nullptr) {
    slot = std::make_unique<ExportTemplate>(this, note->Name(), note->GetText());
  }
  return slot.get();
}

ExportTemplate* ExportRun::TemplateNamed(std::string_view name, Node* from) {
  if (name.empty()) {
    return nullptr;
  }
  if (from != nullptr) {
    Node* note = HTPath(name).Get(from);
    if (note != nullptr && note->GetBoolean("IsTemplate")) {
      return TemplateFromNote(note);
    }
  }
  return TemplateFileNamed(name);
}

ExportTemplate* ExportRun::TemplateFor(Node* note) {
  if (note != nullptr) {
    const std::string own = note->GetString("HTMLExportTemplate");
    if (!own.empty()) {
      if (ExportTemplate* t = TemplateNamed(own, note); t != nullptr) {
        return t;
      }
    }
  }
  return DefaultTemplate();
}

ExportTemplate* ExportRun::DefaultTemplate() {
  if (default_ != nullptr) {
    return default_.get();
  }
  ExportTemplate* found = nullptr;
  Node* root = doc_ != nullptr ? doc_->Root() : nullptr;
  if (root != nullptr) {
    const std::string named = root->GetString("HTMLExportTemplate");
    if (!named.empty()) {
      found = TemplateNamed(named, root);
    }
  }
  if (found == nullptr) {
    found = TemplateFileNamed("item.html");
  }
  if (found != nullptr) {
    return found;
  }
  default_ = std::make_unique<ExportTemplate>(this, "item.html", kUnableToFind);
  return default_.get();
}

std::string ExportRun::Host() const {
  if (doc_ == nullptr) {
    return std::string();
  }
  const Value* host = doc_->Preferences().Get(kExportHostKey);
  std::string text = host != nullptr ? host->AsString() : std::string();
  if (!text.empty() && text.back() != '/') {
    text += '/';
  }
  return text;
}

StCurrentRun::StCurrentRun(ExportRun* run) : previous_(current_run) { current_run = run; }

StCurrentRun::~StCurrentRun() { current_run = previous_; }

// --- ExportTemplate ----------------------------------------------------------------

ExportTemplate::ExportTemplate(ExportRun* run, std::string name, std::string_view text)
    : run_(run), name_(std::move(name)), root_(ExportElement::FromText(text)) {}

ExportTemplate::~ExportTemplate() = default;

std::string ExportTemplate::Export(Node* node, Node* for_file) {
  if (run_->exporting != nullptr) {
    return Expand(node);
  }
  StCurrentRun current(run_);
  run_->exporting = node;
  run_->for_file = for_file;
  run_->ResetBudget();
  run_->aux_files = 0;
  std::string page;
  {
    StIncluding including(&run_->including,
                          node != nullptr && node->GetOriginal() != nullptr ? node->GetOriginal()
                                                                            : node);
    page = Expand(node);
  }
  run_->exporting = nullptr;
  run_->for_file = nullptr;
  run_->for_link = nullptr;
  return page;
}

std::string ExportTemplate::Expand(Node* node) {
  StEvaluationDepth depth;
  if (depth.Exceeded() || root_ == nullptr) {
    return std::string();
  }
  std::string out;
  root_->Export(&out, node, this);
  return out;
}

std::string ExportTemplate::URLFor(const Node* target, const Node* page) const {
  if (target == nullptr) {
    return std::string();
  }
  if (!run_->RootPath().empty()) {
    return run_->RootPath() + FileNameFor(target);
  }
  const std::string host = run_->Host();
  if (host.empty() || host == "http://") {
    return run_->files().RelativeURL(target, page);
  }
  return host + FileNameFor(target);
}

std::string ExportTemplate::HostFor(const Node*) const { return run_->Host(); }

std::string ExportTemplate::DoTextMarkup(Node* note, size_t length) {
  if (note == nullptr) {
    return std::string();
  }
  if (!run_->use_html) {
    std::string text = note->GetText();
    if (length > 0 && length < text.size()) {
      text.resize(length);
    }
    return text;
  }
  Node* page = ForFile() != nullptr ? ForFile() : note;
  std::string html = HTMLMarkup(note, page, this, length).ToString();
  if (html.find('^') == std::string::npos) {
    return html;
  }
  // Codes written in a note's text run as part of the page.
  StIncluding text_from(&run_->text_from, note);
  ExportTemplate text_template(run_, name_, html);
  return text_template.Expand(note);
}

std::string ExportTemplate::ExportAuxFile(std::string_view html) {
  Node* page = ForFile();
  const std::string path = run_->files().AuxFileName(page, ++run_->aux_files);
  if (path.empty()) {
    return std::string();
  }
  if (run_->output != nullptr) {
    std::string file =
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>" +
        EncodeAttribute(page->Name()) + "</title>\n</head>\n<body>\n" + std::string(html) +
        "</body>\n</html>\n";
    run_->output->WriteAuxiliaryFile(path, file);
  }
  return run_->files().RelativeURLToFile(path, page);
}

std::string ExportTemplate::ExportImageFile(const Node* note, int index,
                                            std::string_view extension, std::string_view bytes) {
  const std::string path = run_->files().ImageFileName(note, index, extension);
  if (path.empty()) {
    return std::string();
  }
  if (run_->output != nullptr) {
    run_->output->WriteAuxiliaryFile(path, bytes);
  }
  return run_->files().RelativeURLToFile(path, ForFile());
}

// --- The language's side -------------------------------------------------------

namespace {

// Runs `work` in the run of the page under way, or in a run of its own for the note's
// document when no page is being written.
template <typename Work>
std::string InSomeRun(Node* node, Work work) {
  if (ExportRun* run = ExportRun::Current(); run != nullptr) {
    return work(run, false);
  }
  ExportRun run(node->GetHypertext());
  StCurrentRun current(&run);
  return work(&run, true);
}

std::string ExpandForLanguage(Node* node, std::string_view text) {
  return InSomeRun(node, [&](ExportRun* run, bool own) {
    ExportTemplate t(run, "^", text);
    return own ? t.Export(node, node) : t.Expand(node);
  });
}

std::string ExportedStringForLanguage(Node* note, std::string_view template_name) {
  return InSomeRun(note, [&](ExportRun* run, bool own) -> std::string {
    ExportTemplate* t = template_name.empty() ? run->TemplateFor(note)
                                              : run->TemplateNamed(template_name, note);
    if (t == nullptr) {
      return std::string();
    }
    const Node* key = note->GetOriginal() != nullptr ? note->GetOriginal() : note;
    if (t->AlreadyIncluded(key)) {
      return "<^include(" + note->Name() + "," + t->GetName() + "):: circular include>";
    }
    if (own) {
      return t->Export(note, note);
    }
    StIncluding including(&run->including, key);
    return t->Expand(note);
  });
}

}  // namespace

void InstallTemplateLanguage() {
  TemplateEngine engine;
  engine.expand = &ExpandForLanguage;
  engine.exported_string = &ExportedStringForLanguage;
  InstallTemplateEngine(engine);
}

}  // namespace fernweave
