#include "export/page_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

namespace fernweave {

namespace {

// Folders kept open at once; a run walks the tree depth first, so a small cache
// serves nearly every page and the process never runs short of handles.
constexpr size_t kMaxOpenFolders = 64;

// Splits "a/b/c" into its components; false when one is empty, "." or "..", or the
// path holds a NUL.
bool SplitComponents(std::string_view path, std::vector<std::string_view>* parts) {
  parts->clear();
  if (path.find('\0') != std::string_view::npos) {
    return false;
  }
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string_view::npos) {
      end = path.size();
    }
    const std::string_view part = path.substr(start, end - start);
    if (part.empty() || part == "." || part == "..") {
      return false;
    }
    parts->push_back(part);
    start = end + 1;
  }
  return true;
}

FileStamp StampOfStat(const struct stat& st) {
  FileStamp stamp;
  stamp.size = static_cast<uint64_t>(st.st_size);
  stamp.modified_ns = int64_t{st.st_mtim.tv_sec} * 1'000'000'000 + st.st_mtim.tv_nsec;
  stamp.changed_ns = int64_t{st.st_ctim.tv_sec} * 1'000'000'000 + st.st_ctim.tv_nsec;
  stamp.inode = static_cast<uint64_t>(st.st_ino);
  return stamp;
}

// Reads exactly `size` bytes from `fd` into `buffer`; false when the file ends sooner.
bool ReadAll(int fd, char* buffer, size_t size) {
  size_t done = 0;
  while (done < size) {
    const ssize_t n = read(fd, buffer + done, size - done);
    if (n <= 0) {
      if (n < 0 && errno == EINTR) {
        continue;
      }
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

// Whether the file `name` in `dir` (not followed when a link) holds exactly `content`;
// when it does and `stamp` is given, the file's stamp.
bool FileHolds(int dir, const std::string& name, std::string_view content, FileStamp* stamp) {
  const int fd = openat(dir, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    return false;
  }
  struct stat st;
  bool same = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
              static_cast<size_t>(st.st_size) == content.size();
  if (same) {
    std::string buffer(content.size(), '\0');
    same = ReadAll(fd, buffer.data(), buffer.size()) && buffer == content;
  }
  close(fd);
  if (same && stamp != nullptr) {
    *stamp = StampOfStat(st);
  }
  return same;
}

}  // namespace

PageWriter::~PageWriter() {
  CloseFolders();
  if (root_ >= 0) {
    close(root_);
  }
}

void PageWriter::CloseFolders() {
  for (auto& [name, fd] : folders_) {
    close(fd);
  }
  folders_.clear();
}

bool PageWriter::Fail(std::string_view path, int code, std::string_view what) {
  error_code_ = code;
  error_ = std::string(what) + " \"" + std::string(path) + "\"";
  if (code != 0) {
    error_ += ": " + std::string(std::strerror(code));
  }
  return false;
}

bool PageWriter::Open(const std::string& destination) {
  std::error_code ec;
  std::filesystem::create_directories(destination, ec);
  root_ = open(destination.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (root_ < 0) {
    return Fail(destination, errno != 0 ? errno : ec.value(), "cannot open the export folder");
  }
  return true;
}

int PageWriter::FolderHandle(std::string_view folder, bool create) {
  if (folder.empty()) {
    return root_;
  }
  if (auto it = folders_.find(std::string(folder)); it != folders_.end()) {
    return it->second;
  }
  std::vector<std::string_view> parts;
  if (!SplitComponents(folder, &parts)) {
    Fail(folder, EINVAL, "refused to write outside the export folder:");
    return -1;
  }
  if (folders_.size() >= kMaxOpenFolders) {
    CloseFolders();
  }
  int dir = root_;
  for (size_t i = 0; i < parts.size(); ++i) {
    const std::string part(parts[i]);
    int fd = openat(dir, part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT && create) {
      if (mkdirat(dir, part.c_str(), 0755) != 0 && errno != EEXIST) {
        const int code = errno;
        if (dir != root_) {
          close(dir);
        }
        Fail(folder, code, "cannot create the folder");
        return -1;
      }
      fd = openat(dir, part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    }
    const int code = errno;
    if (dir != root_) {
      close(dir);
    }
    if (fd < 0) {
      // ELOOP or ENOTDIR: a symbolic link or a file stands where the folder goes.
      Fail(folder, code, "cannot use the folder");
      return -1;
    }
    dir = fd;
  }
  folders_.emplace(std::string(folder), dir);
  return dir;
}

bool PageWriter::MakeFolder(std::string_view folder) { return FolderHandle(folder, true) >= 0; }

int PageWriter::ParentHandle(std::string_view path, bool create, std::string* name) {
  const size_t slash = path.rfind('/');
  const std::string_view folder =
      slash == std::string_view::npos ? std::string_view() : path.substr(0, slash);
  name->assign(slash == std::string_view::npos ? path : path.substr(slash + 1));
  if (name->empty() || *name == "." || *name == ".." || name->find('\0') != std::string::npos) {
    Fail(path, EINVAL, "refused to write outside the export folder:");
    return -1;
  }
  return FolderHandle(folder, create);
}

bool PageWriter::StampOf(std::string_view path, FileStamp* stamp) {
  std::string name;
  const int dir = ParentHandle(path, false, &name);
  struct stat st;
  if (dir < 0 || fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
      !S_ISREG(st.st_mode)) {
    return false;
  }
  *stamp = StampOfStat(st);
  return true;
}

bool PageWriter::Read(std::string_view path, size_t max_size, std::string* content) {
  std::string name;
  const int dir = ParentHandle(path, false, &name);
  const int fd = dir < 0 ? -1 : openat(dir, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    return false;
  }
  struct stat st;
  bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
            static_cast<uint64_t>(st.st_size) <= max_size;
  if (ok) {
    content->assign(static_cast<size_t>(st.st_size), '\0');
    ok = ReadAll(fd, content->data(), content->size());
  }
  close(fd);
  return ok;
}

void PageWriter::Remove(std::string_view path) {
  std::string name;
  const int dir = ParentHandle(path, false, &name);
  if (dir >= 0) {
    unlinkat(dir, name.c_str(), 0);
  }
}

PageWriter::Outcome PageWriter::Write(std::string_view path, std::string_view content,
                                      FileStamp* stamp) {
  std::string name;
  const int dir = ParentHandle(path, true, &name);
  if (dir < 0) {
    return Outcome::kFailed;
  }
  if (FileHolds(dir, name, content, stamp)) {
    return Outcome::kUnchanged;
  }
  const std::string temporary = "." + name + "." + std::to_string(getpid()) + "." +
                                std::to_string(++temporary_counter_) + ".tmp";
  const int fd = openat(dir, temporary.c_str(),
                        O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) {
    Fail(path, errno, "cannot write");
    return Outcome::kFailed;
  }
  size_t done = 0;
  while (done < content.size()) {
    const ssize_t n = write(fd, content.data() + done, content.size() - done);
    if (n < 0) {
      if (errno == EINTR) {
        continue;
      }
      break;
    }
    done += static_cast<size_t>(n);
  }
  int code = done == content.size() ? 0 : errno;
  if (close(fd) != 0 && code == 0) {
    code = errno;
  }
  // rename replaces a symbolic link standing at the name, never what it points at.
  if (code == 0 && renameat(dir, temporary.c_str(), dir, name.c_str()) != 0) {
    code = errno;
  }
  if (code != 0) {
    unlinkat(dir, temporary.c_str(), 0);
    Fail(path, code, "cannot write");
    return Outcome::kFailed;
  }
  struct stat st;
  if (stamp != nullptr) {
    // A stamp that cannot be read stays empty, and no file matches an empty stamp.
    *stamp = fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 ? StampOfStat(st)
                                                                         : FileStamp();
  }
  return Outcome::kWritten;
}

}  // namespace fernweave
