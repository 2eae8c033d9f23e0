// A parsed export template and the run it expands in.
//
// `ExportRun` is what one export shares among all of its templates: the document, the
// file names of its pages (`ExportFileManager`), the folders template files are read
// from, the templates loaded so far, the hooks into the expression language, and the
// bookkeeping of the expansion under way (the note whose page is written, the link
// being listed, the notes being included and whose text is being exported). Nested
// templates therefore see one another's bookkeeping, which is how a note is never
// expanded inside itself.
//
// `ExportTemplate` is one parsed template (from a template note's text or a template
// file). It owns its element tree; the run owns the templates it loads by name.
//
// Every expansion counts against the language's shared evaluation depth
// (lang/action.h) and against a per-page work budget, so no template, however it
// refers back to itself, loops or exhausts the stack.

#ifndef FERNWEAVE_EXPORT_EXPORT_TEMPLATE_H_
#define FERNWEAVE_EXPORT_EXPORT_TEMPLATE_H_

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "export/export_element.h"
#include "export/export_file_manager.h"
#include "export/export_record.h"

namespace fernweave {

class Hypertext;
class Link;
class Node;

// How templates reach the parts of the language that live above it. Each member may
// be empty; the defaults are described at each.
struct TemplateLanguageHooks {
  // Runs an action on a note. Empty: the action is not run and "^action^" says
  // "action: not available yet".
  std::function<void(Node* note, std::string_view action)> run_action;
  // The text of a macro with its arguments substituted (`arguments[0]` the macro's
  // name). Empty: "^do^" says "do: not available yet".
  std::function<std::string(std::string_view macro_text,
                            const std::vector<std::string>& arguments)>
      expand_macro;
  // The truth of a query for a note, or nullopt when the text is not a valid query.
  // Empty: the text is evaluated as an expression when it parses as one.
  std::function<std::optional<bool>(Node* note, std::string_view query)> test_query;
};

// The hooks every run starts with: actions parsed and applied as agents apply them,
// document macros substituted, and queries tested as agents test them.
TemplateLanguageHooks StandardLanguageHooks();

class ExportTemplate;

// Where an export puts the files it writes beside its pages: the pictures of a
// note's text and the lists behind anchors that several text links share.
class ExportOutput {
 public:
  virtual ~ExportOutput() = default;
  // Writes `bytes` to `path`, relative to the export folder ("/" between folders).
  virtual void WriteAuxiliaryFile(const std::string& path, std::string_view bytes) = 0;
};

class ExportRun {
 public:
  // The work one page may take by default, in code expansions; past it codes yield "".
  static constexpr long kMaxStepsPerPage = 2'000'000;

  // `doc` is not owned. The file names of every page are assigned at once, when the
  // first one is asked for.
  explicit ExportRun(Hypertext* doc);
  ~ExportRun();
  ExportRun(const ExportRun&) = delete;
  ExportRun& operator=(const ExportRun&) = delete;

  Hypertext* document() const { return doc_; }
  ExportFileManager& files() {
    if (!files_ready_) {
      files_.Initialize();
      files_ready_ = true;
    }
    return files_;
  }
  TemplateLanguageHooks& hooks() { return hooks_; }

  // The application's folder of standard templates, searched after the document's
  // own template folder by every run made afterwards.
  static void SetStandardTemplateFolder(std::string folder);
  // Folders searched, in order, for template files named by templates and notes.
  void AddTemplateFolder(std::string folder) { folders_.push_back(std::move(folder)); }
  // The template file `name` from the template folders (the whole name, then its last
  // ":"- or "/"-separated component), loaded once; null when none is found or the name
  // would leave its folder.
  ExportTemplate* TemplateFileNamed(std::string_view name);
  // Where TemplateFileNamed finds `name` ("/" between folders) in `folders`, with the
  // file's bytes in `text` and the name the template takes in `found_as`.
  static TemplateFileLookup FindTemplateFile(const std::vector<std::string>& folders,
                                             const std::string& name, std::string* text,
                                             std::string* found_as);
  const std::vector<std::string>& template_folders() const { return folders_; }
  // Every template file name looked up so far, found or not, by name.
  const std::map<std::string, TemplateFileLookup, std::less<>>& template_lookups() const {
    return lookups_;
  }
  // The template a template note's text makes, loaded once per note.
  ExportTemplate* TemplateFromNote(Node* note);
  // A template by name as notes name them: a path from `from` to a template note,
  // else a template file. Null when neither exists.
  ExportTemplate* TemplateNamed(std::string_view name, Node* from);
  // The note's own template (its `HTMLExportTemplate`), else the run's default.
  ExportTemplate* TemplateFor(Node* note);
  // The template for notes that name none: the root's `HTMLExportTemplate`, else the
  // file "item.html"; else a template reading "Unable to find this template".
  ExportTemplate* DefaultTemplate();

  // The web address pages are published under ("" for relative links); ends in "/".
  std::string Host() const;
  const std::string& RootPath() const { return root_path_; }
  void SetRootPath(std::string path) { root_path_ = std::move(path); }
  bool HasChildLinks() const { return true; }
  bool HasTextLinks() const { return true; }

  // Where pictures and link lists are written; null (the default) gives them names
  // and URLs but writes nothing. Not owned.
  ExportOutput* output = nullptr;
  // False for a text export: "^text^" then gives the plain text.
  bool use_html = true;

  // --- Expansion bookkeeping --------------------------------------------------
  Node* exporting = nullptr;  // the note whose page is being written
  Node* for_file = nullptr;   // the note whose file holds the output
  Link* for_link = nullptr;   // the link being listed, if any
  std::set<const Node*> including;
  std::set<const Node*> text_from;
  int aux_files = 0;  // link lists written for the page under way
  // Counts one code expansion; false once the page's budget is spent.
  bool Spend() { return ++steps_ <= max_steps_; }
  void SetMaxStepsPerPage(long steps) { max_steps_ = steps; }
  void ResetBudget() { steps_ = 0; }
  // The run whose page is being expanded now (innermost), or null.
  static ExportRun* Current();

 private:
  friend class StCurrentRun;
  Hypertext* doc_;
  ExportFileManager files_;
  TemplateLanguageHooks hooks_;
  std::vector<std::string> folders_;
  std::map<std::string, std::unique_ptr<ExportTemplate>, std::less<>> files_loaded_;
  std::map<std::string, TemplateFileLookup, std::less<>> lookups_;
  std::map<const Node*, std::unique_ptr<ExportTemplate>> notes_loaded_;
  std::unique_ptr<ExportTemplate> default_;
  std::string root_path_;
  long steps_ = 0;
  long max_steps_ = kMaxStepsPerPage;
  bool files_ready_ = false;
};

// Makes a run the current one while alive.
class StCurrentRun {
 public:
  explicit StCurrentRun(ExportRun* run);
  ~StCurrentRun();
  StCurrentRun(const StCurrentRun&) = delete;
  StCurrentRun& operator=(const StCurrentRun&) = delete;

 private:
  ExportRun* previous_;
};

class ExportTemplate {
 public:
  // Parses `text`. `run` is not owned and must outlive the template.
  ExportTemplate(ExportRun* run, std::string name, std::string_view text);
  ~ExportTemplate();

  const std::string& GetName() const { return name_; }
  ExportElement* GetRoot() const { return root_.get(); }
  bool IsValid() const { return root_ != nullptr; }
  ExportRun* GetExporter() const { return run_; }

  // The page of `for_file` as this template writes `node` into it. A top-level call
  // (no page under way) makes `node` the note being exported and starts the page's
  // work budget.
  std::string Export(Node* node, Node* for_file);
  // Expands the tree for `node` within the page under way (includes, arguments).
  std::string Expand(Node* node);

  Node* Exporting() const { return run_->exporting; }
  Node* ForFile() const { return run_->for_file; }
  Link* ForLink() const { return run_->for_link; }
  void ForLink(Link* link) { run_->for_link = link; }

  // The URL of `target`'s page from the page of `page` (see ExportRun::Host).
  std::string URLFor(const Node* target, const Node* page) const;
  std::string HostFor(const Node* note) const;
  std::string FileNameFor(const Node* note) const { return run_->files().FileNameFor(note); }
  std::string NameOfFile(const Node* note) const { return run_->files().NameOfFile(note); }
  const std::string& RootPath() const { return run_->RootPath(); }
  void RootPath(std::string path) { run_->SetRootPath(std::move(path)); }

  // The note's text as HTML for "^text^" (export/html_markup.h), cut after `length`
  // bytes when non-zero; in a text export, the plain text so cut. HTML holding a
  // caret is then expanded as a template for the note.
  std::string DoTextMarkup(Node* note, size_t length);

  // Writes a list of links beside the page under way; its URL from the page ("" when
  // the page has no file).
  std::string ExportAuxFile(std::string_view html);
  // Writes picture `index` (from 1) of `note`'s text beside the note's page; its URL
  // from the page under way ("" when the note has no file).
  std::string ExportImageFile(const Node* note, int index, std::string_view extension,
                              std::string_view bytes);

  bool UseEntities() const { return use_entities_; }
  void UseEntities(bool on) { use_entities_ = on; }
  bool AlreadyIncluded(const Node* note) const { return run_->including.count(note) > 0; }
  bool ExportingTextFrom(const Node* note) const { return run_->text_from.count(note) > 0; }

 private:
  ExportRun* run_;
  std::string name_;
  std::unique_ptr<ExportElement> root_;
  bool use_entities_ = true;
};

// Marks a note as being included (or as having its text exported) while alive.
class StIncluding {
 public:
  StIncluding(std::set<const Node*>* set, const Node* note) : set_(set), note_(note) {
    set_->insert(note_);
  }
  ~StIncluding() { set_->erase(note_); }
  StIncluding(const StIncluding&) = delete;
  StIncluding& operator=(const StIncluding&) = delete;

 private:
  std::set<const Node*>* set_;
  const Node* note_;
};

// Installs the export engine behind the language's template values and
// "exportedString" (lang/template_value.h). Idempotent.
void InstallTemplateLanguage();

}  // namespace fernweave

#endif  // FERNWEAVE_EXPORT_EXPORT_TEMPLATE_H_
