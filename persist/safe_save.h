// Atomic replacement of a document file.
//
// SafeSave writes new contents beside the document in a temporary file of its own (a
// unique name based on "Skep temp.fwv", created exclusively and never through a
// symbolic link), checks every write, flush, fsync and close, renames the temporary
// over the document and fsyncs the folder. Until the rename the document file is
// untouched; after it the document holds the complete new contents. On any failure
// before the rename the temporary is removed; a file SafeSave did not create is never
// removed. The document keeps its permission bits, and its owner and group where the
// system allows this process to give them to the new file (see SaveResult).
//
// Every file operation passes through the fault hook first, so tests can make any one
// of them fail with a chosen errno, or stop the process just before or after it.

#ifndef FERNWEAVE_PERSIST_SAFE_SAVE_H_
#define FERNWEAVE_PERSIST_SAFE_SAVE_H_

#include <filesystem>
#include <functional>
#include <ostream>
#include <string>

namespace fernweave {

// The file operations of a save, in the order a save performs them.
enum class FileOp {
  kCheckDocument,  // stat and access(W_OK) of the existing document file
  kCreateTemp,     // open(O_CREAT|O_EXCL|O_NOFOLLOW) of the temporary file
  kChownTemp,      // fchown to the document's owner and group
  kChmodTemp,      // fchmod to the document's permission bits
  kWrite,          // one write(2) of buffered contents
  kSyncTemp,       // fsync of the temporary file
  kCloseTemp,      // close of the temporary file
  kRename,         // rename of the temporary over the document
  kSyncFolder,     // open and fsync of the folder
  kRemoveTemp,     // unlink of the temporary after a failure
};

// A short name of the operation ("write", "rename" ...), for messages and tests.
const char* FileOpName(FileOp op);

// What tests install to interfere with the file layer.
class FileFaultHook {
 public:
  virtual ~FileFaultHook() = default;
  // Called just before `op` on `path`. Returning a non-zero errno makes the operation
  // fail with it without being performed; 0 lets it run.
  virtual int Before(FileOp op, const std::filesystem::path& path) = 0;
  // Called just after `op` succeeded.
  virtual void After(FileOp /*op*/, const std::filesystem::path& /*path*/) {}
};

// Installs the hook (not owned; null removes it) and returns the previous one.
FileFaultHook* SetFileFaultHook(FileFaultHook* hook);

// The outcome of a save. When ok is false, `op` is the operation that failed and
// `error` its errno (0 when the contents writer itself reported a failure).
struct SaveResult {
  bool ok = true;
  FileOp op = FileOp::kCheckDocument;
  int error = 0;
  // True when the temporary file was deliberately kept (it holds the complete new
  // contents but could not replace the document); `temp` names it.
  bool temp_kept = false;
  std::filesystem::path temp;
  // After a successful save: the document was saved, but the system did not let the
  // new file keep the old one's owner (owner_kept false) or group (group_kept false);
  // it belongs to this process's user and group instead.
  bool owner_kept = true;
  bool group_kept = true;
};

// Writes the document's contents. Returns false when it could not produce them.
using ContentsWriter = std::function<bool(std::ostream& os)>;

struct SafeSaveOptions {
  // The document file must already exist and be writable (a save, as opposed to a save
  // as a new file). A missing file fails with ENOENT at kCheckDocument.
  bool require_existing = true;
};

// Replaces `document` by what `write` produces, atomically. See the file comment.
SaveResult SafeSave(const std::filesystem::path& document, const ContentsWriter& write,
                    const SafeSaveOptions& options = {});

// Whether the file exists and this process may write it. Sets *error to the errno of
// the refusal (ENOENT, EACCES, EROFS ...) when it returns false. Goes through the hook
// as kCheckDocument.
bool CanWriteFile(const std::filesystem::path& file, int* error);

// The temporary file's name for attempt n (0 gives "Skep temp.fwv", 1 gives
// "Skep temp 2.fwv" ...).
std::string TempFileName(int attempt);

}  // namespace fernweave

#endif  // FERNWEAVE_PERSIST_SAFE_SAVE_H_
