// Writes an export's files inside its destination folder, and nowhere else.
//
// Every path is relative to the destination and is walked one folder at a time from
// an open handle of the destination, never following a symbolic link and refusing
// "." and ".." components, so no name, however it was made, reaches outside. A file
// whose content is already the content to write is left alone (it keeps its date).
// A changed file is written to a temporary file in its own folder and renamed over
// the old one, so a run stopped mid-write leaves every page whole: the old page or
// the new one.

#ifndef FERNWEAVE_EXPORT_PAGE_WRITER_H_
#define FERNWEAVE_EXPORT_PAGE_WRITER_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

namespace fernweave {

// One state of a file: writing it again, renaming another file over it or editing it
// by hand changes at least one of these (the change time cannot be set back).
struct FileStamp {
  uint64_t size = 0;
  int64_t modified_ns = 0;
  int64_t changed_ns = 0;
  uint64_t inode = 0;

  bool operator==(const FileStamp&) const = default;
};

class PageWriter {
 public:
  enum class Outcome { kWritten, kUnchanged, kFailed };

  PageWriter() = default;
  ~PageWriter();
  PageWriter(const PageWriter&) = delete;
  PageWriter& operator=(const PageWriter&) = delete;

  // Opens the destination, creating it (and its parents) when missing. False, with
  // error() and error_code() set, when it cannot be made or opened as a folder.
  bool Open(const std::string& destination);

  // Makes sure the folder `folder` ("a/b", "" the destination) exists.
  bool MakeFolder(std::string_view folder);
  // Writes `content` to `path` ("a/b.html") unless the file already holds it. When
  // `stamp` is given and the file was written or found unchanged, it receives the
  // file's stamp as the call leaves it.
  Outcome Write(std::string_view path, std::string_view content, FileStamp* stamp = nullptr);

  // The stamp of the regular file at `path`, never following a symbolic link and
  // never creating a folder; false when there is no such file.
  bool StampOf(std::string_view path, FileStamp* stamp);
  // The whole content of the regular file at `path` when it exists and holds at most
  // `max_size` bytes; false otherwise.
  bool Read(std::string_view path, size_t max_size, std::string* content);
  // Removes the file at `path` when there is one; nothing else.
  void Remove(std::string_view path);

  // The last failure: a message naming the path, and the system's error number.
  const std::string& error() const { return error_; }
  int error_code() const { return error_code_; }

 private:
  // A handle of the folder (opened and cached), or -1 with the error set.
  int FolderHandle(std::string_view folder, bool create);
  // The handle of the folder holding `path` and the file's own name in `name`; -1
  // when the path is not a file name inside the destination or the folder is missing
  // (and `create` is false) or cannot be made.
  int ParentHandle(std::string_view path, bool create, std::string* name);
  bool Fail(std::string_view path, int code, std::string_view what);
  void CloseFolders();

  int root_ = -1;
  std::unordered_map<std::string, int> folders_;
  unsigned long temporary_counter_ = 0;
  std::string error_;
  int error_code_ = 0;
};

}  // namespace fernweave

#endif  // FERNWEAVE_EXPORT_PAGE_WRITER_H_
