// The export driver: a document, or a branch of it, written as a folder of HTML
// pages (`HTMLExporter`) or as one text file (`TextExporter`).
//
// A run assigns every file name first (ExportFileManager), then walks the notes
// depth first: each note that gets a page is expanded with its own template or the
// run's default, piped through its `HTMLExportCommand` when it has one and shell
// commands are allowed, and written only when the file does not already hold that
// page (PageWriter: inside the destination only, through a temporary file). The run
// checks the cancel flag between pages, so a cancelled run leaves every page whole.
// A run that can be repeated leaves a record of itself in the destination
// (export/export_record.h); the next run, when nothing it depends on has changed and
// every file is as it was left, takes its counts from the record and neither expands
// a template nor reads a page.
// A folder or file that cannot be written stops the run with its error code; a
// failing export command keeps the page as the template made it and is reported.
//
// `ExportDocument` is the whole of it for callers (the command line, the window).
// Everything runs on the caller's thread; the cancel flag may be set from a signal
// handler or another thread.

#ifndef FERNWEAVE_EXPORT_EXPORTER_H_
#define FERNWEAVE_EXPORT_EXPORTER_H_

#include <atomic>
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "export/export_record.h"
#include "export/export_template.h"

namespace fernweave {

class Hypertext;
class Node;
class PageWriter;
class Progress;

// What a run did. `error_code` is the system's error number of the failure that
// stopped the run (0 when none did); `messages` also holds what went wrong without
// stopping it (a failing export command).
struct ExportResult {
  long written = 0;    // pages and files written because they were new or changed
  long unchanged = 0;  // pages whose file already held them
  long skipped = 0;    // notes below the start that get no page
  long failed_commands = 0;
  long rendered = 0;   // pages whose template was expanded (none when the record served)
  bool cancelled = false;
  int error_code = 0;
  std::vector<std::string> messages;

  bool ok() const { return error_code == 0 && !cancelled; }
};

struct ExportOptions {
  // Folders searched for template files after the document's own `HTMLTemplateFolder`
  // and the standard templates.
  std::vector<std::string> template_folders;
};

class Exporter {
 public:
  explicit Exporter(Hypertext* doc);
  virtual ~Exporter();
  Exporter(const Exporter&) = delete;
  Exporter& operator=(const Exporter&) = delete;

  Hypertext* GetHypertext() const { return doc_; }
  ExportRun& run() { return run_; }
  // Stops the run between pages once `*cancel` is true. Not owned; may be null.
  void SetCancelFlag(const std::atomic<bool>* cancel) { cancel_ = cancel; }
  bool PressingCmdPeriod() const { return cancel_ != nullptr && cancel_->load(); }
  // The error number of the failure that stopped the last run, or 0.
  int GetErrorCode() const { return result_.error_code; }
  const ExportResult& result() const { return result_; }
  virtual bool UseHTML() const = 0;

  // The template for notes without their own.
  ExportTemplate* LoadTemplate() { return run_.DefaultTemplate(); }
  // The number of notes from `first` and its following siblings, with their
  // subtrees, that get a page (`skipped` counts the others).
  long CountExportedNotes(const Node* first, long* skipped) const;

 protected:
  Hypertext* doc_;
  ExportRun run_;
  const std::atomic<bool>* cancel_ = nullptr;
  ExportResult result_;
};

class HTMLExporter : public Exporter, private ExportOutput {
 public:
  explicit HTMLExporter(Hypertext* doc);
  ~HTMLExporter() override;

  bool UseHTML() const override { return true; }
  ExportFileManager& GetFileManager() { return run_.files(); }
  void SetExportFolder(std::string folder) { folder_ = std::move(folder); }
  const std::string& GetExportFolder() const { return folder_; }

  // Exports every top-level note and its subtree into the export folder, showing
  // `progress` ("Exporting N pages."; may be null).
  ExportResult Export(Progress* progress);
  // The page of `note` as its template makes it, in memory.
  std::string ExportOne(Node* note);

 private:
  // Starts at `first` and covers its following siblings; false when the run stops.
  bool DoExport(Node* first, Progress* progress);
  bool ExportChildren(Node* parent, Progress* progress);
  bool ExportToFile(Node* note);
  // The page after the note's export command; the page itself when the command
  // cannot run or fails (reported in the result).
  std::string DoShell(Node* note, const std::string& command, std::string page);
  bool Stop(const std::string& message, int code);
  void WriteAuxiliaryFile(const std::string& path, std::string_view bytes) override;
  // Whether the destination's record was made under `key` and still holds, in which
  // case the result is filled from it.
  bool ReuseRecord(uint64_t key, Progress* progress);
  // Writes the record of the run that just ended (keyed `key`).
  void SaveRecord(uint64_t key);

  std::string folder_;
  std::unique_ptr<PageWriter> writer_;
  std::set<std::string> aux_written_;
  std::vector<RecordedFile> files_left_;  // every file of the run, as it left it
  long pages_ = 0;                        // the pages the run wrote or found unchanged
};

class TextExporter : public Exporter {
 public:
  enum class Mode { kAll = 0, kBranch = 1, kPaths = 2, kSelection = 3 };

  explicit TextExporter(Hypertext* doc);
  bool UseHTML() const override { return false; }

  // The chosen notes, one after another: every note (kAll), the descendants of
  // `under` (kBranch), the notes the paths name, resolved from the root (kPaths), or
  // `selection` (kSelection). Adornments and untitled separators are left out.
  std::string Export(Mode mode, Node* under, const std::vector<std::string>& paths,
                     const std::vector<Node*>& selection);
  std::string ExportOne(Node* note);

 private:
  // The text template named by the document's `TextExportTemplate`, else "outline",
  // else the standard one.
  ExportTemplate* TextTemplate();
  ExportTemplate* text_template_ = nullptr;
  std::unique_ptr<ExportTemplate> standard_;
};

// Exports `doc` into the folder `destination` (created when missing) with the
// templates of the document, `options.template_folders` and the standard templates
// (ExportRun::SetStandardTemplateFolder). `progress` and `cancel` may be null.
ExportResult ExportDocument(Hypertext& doc, const std::string& destination,
                            const ExportOptions& options, Progress* progress,
                            const std::atomic<bool>* cancel);

}  // namespace fernweave

#endif  // FERNWEAVE_EXPORT_EXPORTER_H_
