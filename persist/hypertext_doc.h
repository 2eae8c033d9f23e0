// The document lifecycle: a `Hypertext` tied to a file on disk.
//
// `HypertextDoc` holds what every kind of document shares: the hypertext (owned), the
// file when there is one, the untitled name given at creation, the modified flag (kept
// by the hypertext's change holder, so any change to the model sets it) and the save
// failure messages. `OrvexDoc` (persist/orvex_doc.h) opens, saves and reverts the
// application's XML documents. Saving goes through SafeSave (persist/safe_save.h): the
// document file is replaced atomically, or left as it was.
//
// A document without a file (new, imported, or opened Untitled) is saved with SaveAs.

#ifndef FERNWEAVE_PERSIST_HYPERTEXT_DOC_H_
#define FERNWEAVE_PERSIST_HYPERTEXT_DOC_H_

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "model/hypertext.h"
#include "persist/safe_save.h"

namespace fernweave {

// The file-system codes the save messages are keyed by. Each errno a failed save
// meets is mapped onto one of them by SaveFailureCode (see hypertext_doc.cc).
namespace save_code {
inline constexpr int kGeneric = -1;          // the written stream failed
inline constexpr int kIOError = -36;         // a disk error
inline constexpr int kFileNotFound = -43;    // the document file has gone
inline constexpr int kFileLocked = -45;      // the document file may not be written
inline constexpr int kVolumeLocked = -46;    // the volume is read-only
inline constexpr int kVolumeRefuses = -50;   // the volume refused to replace the file
inline constexpr int kAccessDenied = -5000;  // the folder may not be written
}  // namespace save_code

// How a failed save is reported: with a code (a file-system code above, or the raw
// errno when none fits) or without one.
struct SaveFailure {
  bool has_code = false;
  int code = 0;
};

class HypertextDoc {
 public:
  // The extension of the sibling binary format's documents (not read or written here).
  static constexpr char kExtension[] = ".vlm";
  // The number of documents created since the process started; names untitled ones.
  static int sDocumentCount;

  virtual ~HypertextDoc();
  HypertextDoc(const HypertextDoc&) = delete;
  HypertextDoc& operator=(const HypertextDoc&) = delete;

  // The document; null only while a document is being replaced.
  Hypertext* GetHypertext() const { return hypertext_.get(); }

  bool HasFile() const { return file_.has_value(); }
  // The file. REQUIRES: HasFile() ("asrt").
  const std::filesystem::path& File() const;
  // The file's name, or the untitled name.
  std::string Name() const;
  // The name shown when asking whether to save: Name() without ".fwv" or ".skep".
  std::string NameForSaveQuestion() const;
  // "untitled" for the first document, "untitled N" for the N-th.
  static std::string UntitledName(int count);

  bool IsModified() const;
  // Does nothing when the flag is unchanged; otherwise sets it and tells the observer.
  void SetModified(bool modified);
  // Called with the new flag whenever SetModified changes it (the window shows it).
  void SetModifiedObserver(std::function<void(bool)> observer) {
    modified_observer_ = std::move(observer);
  }
  // True when the document has a file and this process may not write it.
  bool IsLocked() const;
  bool IsReverting() const { return reverting_; }

  // Offers a file to the kinds of document this class reads itself. The sibling binary
  // format is not read here, so it never takes a file: false.
  virtual bool OpenFile(const std::filesystem::path& file);

  // The message for a failure: "Unable to save: " and the reason for the code.
  static std::string SaveFailureMessage(const SaveFailure& failure);
  // Maps a failed save onto its report (see the table in hypertext_doc.cc).
  static SaveFailure SaveFailureCode(const SaveResult& result);

 protected:
  // Counts the document and gives it its untitled name.
  HypertextDoc();

  // Replaces the document; the previous one is destroyed after its last undoable action
  // has been discarded.
  void SetHypertext(std::unique_ptr<Hypertext> hypertext);
  void AttachFile(const std::filesystem::path& file) { file_ = file; }
  void DetachFile() { file_.reset(); }
  void SetReverting(bool reverting) { reverting_ = reverting; }

 private:
  // Finalizes and discards the action the document's undo history holds.
  void DiscardLastAction();

  std::unique_ptr<Hypertext> hypertext_;
  std::optional<std::filesystem::path> file_;
  std::string untitled_name_;
  std::function<void(bool)> modified_observer_;
  bool reverting_ = false;
};

}  // namespace fernweave

#endif  // FERNWEAVE_PERSIST_HYPERTEXT_DOC_H_
