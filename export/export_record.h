// The record an export keeps in its destination folder, so that exporting an
// unchanged document again touches nothing and expands no template.
//
// A record holds the key of the run that wrote it (RecordKey: everything a page can
// depend on that is known before a run starts: the document as it would be saved,
// the template folders, the configuration, the locale and zone, and the program),
// the template files that run looked up by name (where each was found, or that it was
// not, and a hash of its bytes), and the stamp of every file the run left in the
// folder. A later run with the same key, whose template names still lead to the same
// bytes and whose files all still carry their stamps, would write exactly the same
// files: it writes none and reads none.
//
// Only a run that can be repeated leaves a record: one that finished, stopped for
// nothing, ran no command and left the document as it found it, and whose pages read
// neither the clock nor the random source (StWatchOutsideInputs). Any other run
// removes the record, so its next run renders every page and compares it as before. A
// record that is missing, damaged, of another format or made for another key is
// ignored and replaced.
//
// The record is the file ".fernweave-export" in the destination. No page, picture or
// link list is ever given a name starting with a dot, so it is never taken for a page.

#ifndef FERNWEAVE_EXPORT_EXPORT_RECORD_H_
#define FERNWEAVE_EXPORT_EXPORT_RECORD_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "export/page_writer.h"
#include "foundation/shell.h"
#include "model/random_source.h"

namespace fernweave {

class Hypertext;

// A template file looked up by name during a run.
struct TemplateFileLookup {
  std::string name;   // as looked up, "/" between folders
  std::string path;   // the file found; "" when none was
  uint64_t hash = 0;  // of the file's bytes (0 when none was found)

  bool operator==(const TemplateFileLookup&) const = default;
};

struct RecordedFile {
  std::string path;  // from the destination, "/" between folders
  FileStamp stamp;
};

struct ExportRecord {
  static constexpr char kFileName[] = ".fernweave-export";
  // A record larger than this is not read (ten times what a million pages need).
  static constexpr size_t kMaxSize = size_t{1} << 30;

  uint64_t key = 0;
  long pages = 0;    // the pages the run covered
  long skipped = 0;  // the notes it gave no page
  std::vector<TemplateFileLookup> templates;
  std::vector<RecordedFile> files;

  // The record as text; "" when a name in it cannot be written on one line (such a
  // run leaves no record).
  std::string Serialize() const;
  // The record `text` holds, or nullopt when it is not a whole record of this format.
  static std::optional<ExportRecord> Parse(std::string_view text);
};

// A hash of bytes, the same in every process of every build on one machine.
uint64_t HashBytes(std::string_view bytes);

// The key of a run of `doc` that looks template files up in `template_folders`.
uint64_t RecordKey(const Hypertext& doc, const std::vector<std::string>& template_folders);
// A hash of the document as it would be saved.
uint64_t DocumentHash(const Hypertext& doc);

// While alive, notices whether anything read the clock ("now") or drew from the
// random source, and counts the shell commands asked for (run, refused or failed).
// Commands and draws are passed on to the shell and the source installed before.
class StWatchOutsideInputs : private ShellService, private RandomSource {
 public:
  StWatchOutsideInputs();
  ~StWatchOutsideInputs() override;
  StWatchOutsideInputs(const StWatchOutsideInputs&) = delete;
  StWatchOutsideInputs& operator=(const StWatchOutsideInputs&) = delete;

  // Whether work done since construction may give another result when repeated.
  bool Touched() const;

 private:
  ShellResult Run(std::string_view command, const std::optional<std::string>& input) override;
  uint32_t Next(uint32_t n) override;
  uint32_t Raw() override;

  ShellService* shell_;
  RandomSource* random_;
  RandomSource* installed_random_;
  uint64_t clock_reads_;
  long commands_ = 0;
  long draws_ = 0;
};

}  // namespace fernweave

#endif  // FERNWEAVE_EXPORT_EXPORT_RECORD_H_
