#include "persist/hypertext_doc.h"

#include <cerrno>

#include "foundation/error.h"
#include "model/action.h"

namespace fernweave {

int HypertextDoc::sDocumentCount = 0;

HypertextDoc::HypertextDoc() : untitled_name_(UntitledName(++sDocumentCount)) {}

HypertextDoc::~HypertextDoc() {
  DiscardLastAction();
}

void HypertextDoc::DiscardLastAction() {
  // Closing (or reverting) ends the undo history: the last action is finalized and
  // let go while its document is still whole.
  if (hypertext_ != nullptr) {
    hypertext_->UndoHistory().Clear();
  }
}

const std::filesystem::path& HypertextDoc::File() const {
  Require(file_.has_value(), "HypertextDoc::File: the document has no file");
  return *file_;
}

std::string HypertextDoc::Name() const {
  return file_.has_value() ? file_->filename().string() : untitled_name_;
}

std::string HypertextDoc::NameForSaveQuestion() const {
  std::string name = Name();
  for (const std::string_view suffix : {std::string_view(".fwv"), std::string_view(".skep")}) {
    if (name.size() > suffix.size() && name.ends_with(suffix)) {
      name.resize(name.size() - suffix.size());
      break;
    }
  }
  return name;
}

std::string HypertextDoc::UntitledName(int count) {
  return count > 1 ? "untitled " + std::to_string(count) : "untitled";
}

bool HypertextDoc::IsModified() const {
  return hypertext_ != nullptr && hypertext_->IsModified();
}

void HypertextDoc::SetModified(bool modified) {
  if (hypertext_ == nullptr || hypertext_->IsModified() == modified) {
    return;
  }
  hypertext_->SetModified(modified);
  if (modified_observer_) {
    modified_observer_(modified);
  }
}

bool HypertextDoc::IsLocked() const {
  int error = 0;
  return file_.has_value() && !CanWriteFile(*file_, &error) && error != ENOENT;
}

bool HypertextDoc::OpenFile(const std::filesystem::path& /*file*/) {
  return false;
}

void HypertextDoc::SetHypertext(std::unique_ptr<Hypertext> hypertext) {
  DiscardLastAction();
  hypertext_ = std::move(hypertext);
}

// Which code a failed save reports, by the operation that failed and its errno:
//
//   errno                      | while checking the document | elsewhere
//   ENOENT, ENOTDIR            | -43 file not found          | (raw errno)
//   EACCES, EPERM              | -45 file locked             | -5000 access denied
//   EROFS                      | -46 volume locked           | -46 volume locked
//   EIO                        | -36 I/O error               | -36 I/O error
//   ENOSPC, EDQUOT, EFBIG      | -1                          | -1
//   EPERM, EINVAL, ENOTSUP,    |                             | -50 volume refuses writing
//   EBUSY during the rename    |                             |   (the temporary is kept)
//   0 (the writer failed)      |                             | -1
//   anything else              | (raw errno)                 | (raw errno)
//
// Creating the temporary file with an errno that fits none of these is the uncoded
// failure, as when no output stream can be opened.
SaveFailure HypertextDoc::SaveFailureCode(const SaveResult& result) {
  const int e = result.error;
  auto coded = [](int code) { return SaveFailure{true, code}; };
  if (result.op == FileOp::kRename && result.temp_kept) {
    return coded(save_code::kVolumeRefuses);
  }
  if (e == EROFS) {
    return coded(save_code::kVolumeLocked);
  }
  if (e == EIO) {
    return coded(save_code::kIOError);
  }
  if (e == ENOSPC || e == EDQUOT || e == EFBIG || e == 0) {
    return coded(save_code::kGeneric);
  }
  if (result.op == FileOp::kCheckDocument) {
    if (e == ENOENT || e == ENOTDIR) {
      return coded(save_code::kFileNotFound);
    }
    if (e == EACCES || e == EPERM) {
      return coded(save_code::kFileLocked);
    }
    return coded(e);
  }
  if (e == EACCES || e == EPERM) {
    return coded(save_code::kAccessDenied);
  }
  if (result.op == FileOp::kCreateTemp) {
    return SaveFailure{};
  }
  return coded(e);
}

std::string HypertextDoc::SaveFailureMessage(const SaveFailure& failure) {
  const std::string prefix = "Unable to save: ";
  if (!failure.has_code) {
    return prefix + "you may be out of memory or disk space.";
  }
  switch (failure.code) {
    case save_code::kFileLocked:
      return prefix + "the file was locked.";
    case save_code::kVolumeLocked:
      return prefix + " that volume is locked.";
    case save_code::kVolumeRefuses:
      return prefix + " that volume won't allow writing; a Fernweave Temp file has been created";
    case save_code::kAccessDenied:
      return prefix + " you don't have permission to write in that folder.";
    case save_code::kIOError:
      return prefix + " a disk error occurred.";
    case save_code::kGeneric:
      return prefix + "you may have a disk error, or be out of space.";
    case save_code::kFileNotFound:
      return prefix + "the file has moved or been renamed; use SaveAs instead.";
    default:
      return prefix + "you may be out of memory or disk space. (" + std::to_string(failure.code) +
             ")";
  }
}

}  // namespace fernweave
