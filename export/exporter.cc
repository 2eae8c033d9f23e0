#include "export/exporter.h"

#include <algorithm>
#include <utility>

#include "export/export_record.h"
#include "export/page_writer.h"
#include "foundation/progress.h"
#include "foundation/shell.h"
#include "model/hypertext.h"
#include "model/ht_path.h"
#include "model/node.h"

namespace fernweave {

namespace {

constexpr char kStandardTextTemplate[] = "^title^\r\r^text^\r\r";

// The children of a note, in order: the tree may change under an action run by a
// template, so each level is listed before it is visited.
std::vector<Node*> ChildrenOf(const Node* note) {
  std::vector<Node*> children;
  for (Node* c = note->Son(); c != nullptr; c = c->Brother()) {
    children.push_back(c);
  }
  return children;
}

// The folder of a path handed out by the file manager ("a/b.html" -> "a").
std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace

// --- Exporter ---------------------------------------------------------------------

Exporter::Exporter(Hypertext* doc) : doc_(doc), run_(doc) {}

Exporter::~Exporter() = default;

long Exporter::CountExportedNotes(const Node* first, long* skipped) const {
  long pages = 0;
  long left_out = 0;
  auto subtree = [](const Node* top) {
    long count = 0;
    std::vector<const Node*> stack = {top};
    while (!stack.empty()) {
      const Node* n = stack.back();
      stack.pop_back();
      ++count;
      for (const Node* c = n->Son(); c != nullptr; c = c->Brother()) {
        stack.push_back(c);
      }
    }
    return count;
  };
  std::vector<const Node*> stack;
  for (const Node* n = first; n != nullptr; n = n->Brother()) {
    stack.push_back(n);
  }
  while (!stack.empty()) {
    const Node* n = stack.back();
    stack.pop_back();
    if (!IsExportable(n)) {
      left_out += subtree(n);
      continue;
    }
    if (CanBeExportedToPage(n)) {
      ++pages;
    } else {
      ++left_out;
    }
    if (CanExportChildren(n)) {
      for (const Node* c = n->Son(); c != nullptr; c = c->Brother()) {
        stack.push_back(c);
      }
    } else {
      left_out += subtree(n) - 1;
    }
  }
  if (skipped != nullptr) {
    *skipped = left_out;
  }
  return pages;
}

// --- HTMLExporter -------------------------------------------------------------------

HTMLExporter::HTMLExporter(Hypertext* doc) : Exporter(doc) { run_.output = this; }

HTMLExporter::~HTMLExporter() = default;

bool HTMLExporter::Stop(const std::string& message, int code) {
  result_.error_code = code != 0 ? code : -1;
  result_.messages.push_back(message);
  return false;
}

ExportResult HTMLExporter::Export(Progress* progress) {
  result_ = ExportResult();
  aux_written_.clear();
  files_left_.clear();
  pages_ = 0;
  writer_ = std::make_unique<PageWriter>();
  if (!writer_->Open(folder_)) {
    Stop(writer_->error(), writer_->error_code());
    return result_;
  }
  const uint64_t key = doc_ != nullptr ? RecordKey(*doc_, run_.template_folders()) : 0;
  if (doc_ != nullptr && !PressingCmdPeriod() && ReuseRecord(key, progress)) {
    writer_.reset();
    return result_;
  }
  // Whatever this run leaves behind, the old record no longer describes it.
  writer_->Remove(ExportRecord::kFileName);
  Node* first = doc_ != nullptr && doc_->Root() != nullptr ? doc_->Root()->Son() : nullptr;
  bool repeatable = false;
  {
    StWatchOutsideInputs watch;
    LoadTemplate();
    run_.files();  // every name is assigned before the first page is written
    DoExport(first, progress);
    repeatable = !watch.Touched();
  }
  // An action run by a template may have changed the document: then the pages were
  // made from a document no later run starts from.
  if (repeatable && result_.ok() && result_.failed_commands == 0 && doc_ != nullptr &&
      RecordKey(*doc_, run_.template_folders()) == key) {
    SaveRecord(key);
  }
  writer_.reset();
  return result_;
}

bool HTMLExporter::ReuseRecord(uint64_t key, Progress* progress) {
  std::string text;
  if (!writer_->Read(ExportRecord::kFileName, ExportRecord::kMaxSize, &text)) {
    return false;
  }
  const std::optional<ExportRecord> record = ExportRecord::Parse(text);
  if (!record || record->key != key) {
    return false;
  }
  for (const TemplateFileLookup& lookup : record->templates) {
    std::string bytes;
    std::string found_as;
    if (ExportRun::FindTemplateFile(run_.template_folders(), lookup.name, &bytes, &found_as) !=
        lookup) {
      return false;
    }
  }
  // A file deleted, edited or replaced since the record was made is written again by a
  // whole run.
  for (const RecordedFile& file : record->files) {
    FileStamp stamp;
    if (!writer_->StampOf(file.path, &stamp) || stamp != file.stamp) {
      return false;
    }
  }
  if (progress != nullptr) {
    progress->Begin("Exporting " + std::to_string(record->pages) + " pages.", record->pages);
    progress->End();
  }
  result_.unchanged = record->pages;
  result_.skipped = record->skipped;
  return true;
}

void HTMLExporter::SaveRecord(uint64_t key) {
  ExportRecord record;
  record.key = key;
  record.pages = pages_;
  record.skipped = result_.skipped;
  for (const auto& [name, lookup] : run_.template_lookups()) {
    record.templates.push_back(lookup);
  }
  record.files = std::move(files_left_);
  const std::string text = record.Serialize();
  if (!text.empty()) {
    // A record that cannot be written costs the next run its speed, nothing else.
    writer_->Write(ExportRecord::kFileName, text);
  }
}

bool HTMLExporter::DoExport(Node* first, Progress* progress) {
  const long count = CountExportedNotes(first, &result_.skipped);
  if (progress != nullptr) {
    progress->Begin("Exporting " + std::to_string(count) + " pages.", count);
  }
  // Depth first without recursion: a level is a list of siblings and the next one.
  struct Level {
    std::vector<Node*> notes;
    size_t next = 0;
  };
  std::vector<Level> levels;
  levels.push_back(Level{{}, 0});
  for (Node* n = first; n != nullptr; n = n->Brother()) {
    levels.back().notes.push_back(n);
  }
  bool going = true;
  while (going && !levels.empty()) {
    Level& level = levels.back();
    if (level.next == level.notes.size()) {
      levels.pop_back();
      continue;
    }
    Node* note = level.notes[level.next++];
    if (PressingCmdPeriod()) {
      result_.cancelled = true;
      going = false;
      break;
    }
    if (!IsExportable(note)) {
      continue;  // nor its subtree
    }
    if (CanBeExportedToPage(note)) {
      going = ExportToFile(note);
      if (progress != nullptr) {
        progress->Bump();
      }
    }
    if (going && CanExportChildren(note)) {
      going = ExportChildren(note, progress);
      if (going) {
        levels.push_back(Level{ChildrenOf(note), 0});
      }
    }
  }
  if (progress != nullptr) {
    progress->End();
  }
  return going;
}

// Makes the folder the note's children are written into.
bool HTMLExporter::ExportChildren(Node* parent, Progress*) {
  std::string folder = run_.files().LocalFolderName(parent);
  if (folder.empty()) {
    return true;  // the root: its children live in the export folder itself
  }
  folder.pop_back();  // the trailing ":"
  std::replace(folder.begin(), folder.end(), ':', '/');
  if (!writer_->MakeFolder(folder)) {
    return Stop(writer_->error(), writer_->error_code());
  }
  return true;
}

std::string HTMLExporter::ExportOne(Node* note) {
  ExportTemplate* t = run_.TemplateFor(note);
  return t->Export(note, note);
}

bool HTMLExporter::ExportToFile(Node* note) {
  const std::string path = run_.files().FileNameFor(note);
  if (path.empty()) {
    return true;
  }
  std::string page = ExportOne(note);
  ++result_.rendered;
  const std::string command = note->GetString("HTMLExportCommand");
  if (!command.empty()) {
    page = DoShell(note, command, std::move(page));
  }
  FileStamp stamp;
  switch (writer_->Write(path, page, &stamp)) {
    case PageWriter::Outcome::kWritten:
      ++result_.written;
      ++pages_;
      files_left_.push_back(RecordedFile{path, stamp});
      return true;
    case PageWriter::Outcome::kUnchanged:
      ++result_.unchanged;
      ++pages_;
      files_left_.push_back(RecordedFile{path, stamp});
      return true;
    case PageWriter::Outcome::kFailed:
      break;
  }
  return Stop(writer_->error(), writer_->error_code());
}

std::string HTMLExporter::DoShell(Node* note, const std::string& command, std::string page) {
  ShellResult r = Shell().Run(command, page);
  if (r.ok()) {
    return std::move(r.output);
  }
  if (r.status != ShellResult::Status::kRefused) {
    // The page stays as the template made it; the user hears why.
    ++result_.failed_commands;
    result_.messages.push_back("The export command of \"" + note->Name() +
                               "\" failed, so its page was written without it: " + r.error);
  }
  return page;
}

void HTMLExporter::WriteAuxiliaryFile(const std::string& path, std::string_view bytes) {
  if (writer_ == nullptr || result_.error_code != 0 || !aux_written_.insert(path).second) {
    return;  // outside a run, after a failure, or already written in this run
  }
  if (!writer_->MakeFolder(FolderOf(path))) {
    Stop(writer_->error(), writer_->error_code());
    return;
  }
  FileStamp stamp;
  switch (writer_->Write(path, bytes, &stamp)) {
    case PageWriter::Outcome::kWritten:
      ++result_.written;
      files_left_.push_back(RecordedFile{path, stamp});
      break;
    case PageWriter::Outcome::kUnchanged:
      files_left_.push_back(RecordedFile{path, stamp});
      break;
    case PageWriter::Outcome::kFailed:
      Stop(writer_->error(), writer_->error_code());
      break;
  }
}

// --- TextExporter --------------------------------------------------------------------

TextExporter::TextExporter(Hypertext* doc) : Exporter(doc) { run_.use_html = false; }

ExportTemplate* TextExporter::TextTemplate() {
  if (text_template_ != nullptr) {
    return text_template_;
  }
  Node* root = doc_ != nullptr ? doc_->Root() : nullptr;
  const std::string named = root != nullptr ? root->GetString("TextExportTemplate") : "";
  if (!named.empty()) {
    text_template_ = run_.TemplateNamed(named, root);
  }
  if (text_template_ == nullptr) {
    text_template_ = run_.TemplateFileNamed("outline");
  }
  if (text_template_ == nullptr) {
    standard_ = std::make_unique<ExportTemplate>(&run_, "text", kStandardTextTemplate);
    text_template_ = standard_.get();
  }
  text_template_->UseEntities(false);
  return text_template_;
}

std::string TextExporter::ExportOne(Node* note) {
  if (note == nullptr || note->IsAdornment() || (note->IsSeparator() && note->IsUntitled())) {
    return std::string();
  }
  return TextTemplate()->Export(note, note);
}

std::string TextExporter::Export(Mode mode, Node* under, const std::vector<std::string>& paths,
                                 const std::vector<Node*>& selection) {
  result_ = ExportResult();
  std::vector<Node*> chosen;
  Node* root = doc_ != nullptr ? doc_->Root() : nullptr;
  auto descendants = [&](Node* top) {
    std::vector<Node*> stack;
    std::vector<Node*> kids = top != nullptr ? ChildrenOf(top) : std::vector<Node*>();
    stack.assign(kids.rbegin(), kids.rend());
    while (!stack.empty()) {
      Node* n = stack.back();
      stack.pop_back();
      chosen.push_back(n);
      std::vector<Node*> below = ChildrenOf(n);
      stack.insert(stack.end(), below.rbegin(), below.rend());
    }
  };
  switch (mode) {
    case Mode::kAll:
      descendants(root);
      break;
    case Mode::kBranch:
      descendants(under);
      break;
    case Mode::kPaths:
      for (const std::string& path : paths) {
        if (Node* n = root != nullptr ? HTPath(path).Get(root) : nullptr) {
          chosen.push_back(n);
        }
      }
      break;
    case Mode::kSelection:
      chosen = selection;
      break;
  }
  std::string out;
  for (Node* note : chosen) {
    if (PressingCmdPeriod()) {
      result_.cancelled = true;
      break;
    }
    out += ExportOne(note);
    ++result_.written;
  }
  return out;
}

// --- The whole of it -----------------------------------------------------------------

ExportResult ExportDocument(Hypertext& doc, const std::string& destination,
                            const ExportOptions& options, Progress* progress,
                            const std::atomic<bool>* cancel) {
  HTMLExporter exporter(&doc);
  for (const std::string& folder : options.template_folders) {
    exporter.run().AddTemplateFolder(folder);
  }
  exporter.SetExportFolder(destination);
  exporter.SetCancelFlag(cancel);
  return exporter.Export(progress);
}

}  // namespace fernweave
