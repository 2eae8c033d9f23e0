#include "persist/safe_save.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <streambuf>
#include <system_error>
#include <vector>

#include <sys/stat.h>

namespace fernweave {
namespace {

FileFaultHook* g_hook = nullptr;

int HookBefore(FileOp op, const std::filesystem::path& path) {
  return g_hook != nullptr ? g_hook->Before(op, path) : 0;
}

void HookAfter(FileOp op, const std::filesystem::path& path) {
  if (g_hook != nullptr) {
    g_hook->After(op, path);
  }
}

// An output buffer over a file descriptor that checks every write(2) and remembers the
// first failure; once failed it accepts nothing more, so the stream goes bad.
class CheckedFileBuf : public std::streambuf {
 public:
  static constexpr size_t kBufferSize = 1 << 16;

  CheckedFileBuf(int fd, std::filesystem::path path)
      : fd_(fd), path_(std::move(path)), buffer_(kBufferSize) {
    setp(buffer_.data(), buffer_.data() + buffer_.size());
  }

  // Writes out what is buffered. Returns false (with error() set) on failure.
  bool Flush() {
    if (error_ != 0) {
      return false;
    }
    const char* p = pbase();
    size_t left = static_cast<size_t>(pptr() - pbase());
    while (left > 0) {
      const int injected = HookBefore(FileOp::kWrite, path_);
      if (injected != 0) {
        error_ = injected;
        return false;
      }
      const ssize_t n = ::write(fd_, p, left);
      if (n < 0) {
        if (errno == EINTR) {
          continue;
        }
        error_ = errno;
        return false;
      }
      if (n == 0) {
        // A write that makes no progress would loop for ever; report it as a disk error.
        error_ = EIO;
        return false;
      }
      HookAfter(FileOp::kWrite, path_);
      p += n;
      left -= static_cast<size_t>(n);
      StartWriteback(static_cast<size_t>(n));
    }
    setp(buffer_.data(), buffer_.data() + buffer_.size());
    return true;
  }

  int error() const { return error_; }

 protected:
  // Asks the system to start writing what has accumulated to the disk, so that the
  // fsync at the end of the save finds most of the file written already. Only a hint:
  // its outcome is ignored, and the fsync still decides.
  void StartWriteback(size_t written) {
#ifdef SYNC_FILE_RANGE_WRITE
    written_ += written;
    if (written_ - started_ >= kWritebackStep) {
      ::sync_file_range(fd_, static_cast<off_t>(started_), static_cast<off_t>(written_ - started_),
                        SYNC_FILE_RANGE_WRITE);
      started_ = written_;
    }
#else
    (void)written;
#endif
  }

  int_type overflow(int_type ch) override {
    if (!Flush()) {
      return traits_type::eof();
    }
    if (!traits_type::eq_int_type(ch, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(ch);
      pbump(1);
    }
    return traits_type::not_eof(ch);
  }

  int sync() override { return Flush() ? 0 : -1; }

 private:
  int fd_;
  std::filesystem::path path_;
  std::vector<char> buffer_;
  int error_ = 0;
  // Bytes written, and how many of them the system was asked to write back.
  static constexpr size_t kWritebackStep = 8 << 20;
  size_t written_ = 0;
  size_t started_ = 0;
};

// The document's folder ("." for a bare file name).
std::filesystem::path FolderOf(const std::filesystem::path& file) {
  std::filesystem::path folder = file.parent_path();
  return folder.empty() ? std::filesystem::path(".") : folder;
}

// Replacing a symbolic link by a regular file would cut the link; save into the file it
// names instead. A path that cannot be resolved is used as it is.
std::filesystem::path ResolveDocument(const std::filesystem::path& document) {
  std::error_code ec;
  if (std::filesystem::is_symlink(document, ec)) {
    std::filesystem::path resolved = std::filesystem::canonical(document, ec);
    if (!ec) {
      return resolved;
    }
  }
  return document;
}

bool SyncFolder(const std::filesystem::path& folder, int* error) {
  const int injected = HookBefore(FileOp::kSyncFolder, folder);
  if (injected != 0) {
    *error = injected;
    return false;
  }
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    *error = errno;
    return false;
  }
  bool ok = ::fsync(fd) == 0;
  if (!ok) {
    *error = errno;
  }
  ::close(fd);
  if (ok) {
    HookAfter(FileOp::kSyncFolder, folder);
  }
  return ok;
}

// A rename the volume refuses outright: the complete new contents stay in the
// temporary file, and the user is told so, rather than thrown away.
bool VolumeRefusesReplace(int error) {
  return error == EPERM || error == EINVAL || error == ENOTSUP || error == EBUSY;
}

}  // namespace

const char* FileOpName(FileOp op) {
  switch (op) {
    case FileOp::kCheckDocument:
      return "check";
    case FileOp::kCreateTemp:
      return "create";
    case FileOp::kChownTemp:
      return "chown";
    case FileOp::kChmodTemp:
      return "chmod";
    case FileOp::kWrite:
      return "write";
    case FileOp::kSyncTemp:
      return "fsync";
    case FileOp::kCloseTemp:
      return "close";
    case FileOp::kRename:
      return "rename";
    case FileOp::kSyncFolder:
      return "fsync folder";
    case FileOp::kRemoveTemp:
      return "remove";
  }
  return "?";
}

FileFaultHook* SetFileFaultHook(FileFaultHook* hook) {
  FileFaultHook* previous = g_hook;
  g_hook = hook;
  return previous;
}

std::string TempFileName(int attempt) {
  if (attempt == 0) {
    return "Skep temp.fwv";
  }
  return "Skep temp " + std::to_string(attempt + 1) + ".fwv";
}

bool CanWriteFile(const std::filesystem::path& file, int* error) {
  const int injected = HookBefore(FileOp::kCheckDocument, file);
  if (injected != 0) {
    *error = injected;
    return false;
  }
  struct stat st;
  if (::stat(file.c_str(), &st) != 0) {
    *error = errno;
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    *error = EISDIR;
    return false;
  }
  if (::access(file.c_str(), W_OK) != 0) {
    *error = errno;
    return false;
  }
  HookAfter(FileOp::kCheckDocument, file);
  return true;
}

SaveResult SafeSave(const std::filesystem::path& document, const ContentsWriter& write,
                    const SafeSaveOptions& options) {
  SaveResult result;
  auto fail = [&result](FileOp op, int error) {
    result.ok = false;
    result.op = op;
    result.error = error;
  };

  const std::filesystem::path target = ResolveDocument(document);
  const std::filesystem::path folder = FolderOf(target);

  // The document's permission bits, so that the replacement keeps them. Checking that
  // the document is still there and writable also keeps the "moved" and "locked"
  // reports meaningful although the document itself is never opened for writing.
  bool keep_mode = false;
  mode_t mode = 0;
  uid_t owner = 0;
  gid_t group = 0;
  if (options.require_existing) {
    int error = 0;
    if (!CanWriteFile(target, &error)) {
      fail(FileOp::kCheckDocument, error);
      return result;
    }
  }
  struct stat st;
  if (::stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
    keep_mode = true;
    mode = st.st_mode & 07777;
    owner = st.st_uid;
    group = st.st_gid;
  }

  // Never reuse or delete a temporary file someone else left: pick the first free name.
  int fd = -1;
  std::filesystem::path temp;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temp = folder / TempFileName(attempt);
    const int injected = HookBefore(FileOp::kCreateTemp, temp);
    if (injected != 0) {
      fail(FileOp::kCreateTemp, injected);
      return result;
    }
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) {
      fail(FileOp::kCreateTemp, errno);
      return result;
    }
  }
  if (fd < 0) {
    fail(FileOp::kCreateTemp, EEXIST);
    return result;
  }
  HookAfter(FileOp::kCreateTemp, temp);
  result.temp = temp;

  bool renamed = false;
  auto steps = [&]() -> bool {
    if (keep_mode) {
      // Owner and group before the mode: changing the owner may clear set-id bits. In
      // a shared folder another member of the group saves: the owner cannot be given
      // away, but the group usually can, and a file left in the saver's own group
      // could lock the others out. What cannot be kept is reported, not fatal.
      int injected = HookBefore(FileOp::kChownTemp, temp);
      if (injected == 0 && ::fchown(fd, owner, group) == 0) {
        HookAfter(FileOp::kChownTemp, temp);
      } else {
        struct stat made;
        const bool known = injected == 0 && ::fstat(fd, &made) == 0;
        result.owner_kept = known && made.st_uid == owner;
        result.group_kept = known && (made.st_gid == group || ::fchown(fd, static_cast<uid_t>(-1), group) == 0);
      }
    }
    if (keep_mode) {
      const int injected = HookBefore(FileOp::kChmodTemp, temp);
      if (injected != 0 || ::fchmod(fd, mode) != 0) {
        fail(FileOp::kChmodTemp, injected != 0 ? injected : errno);
        return false;
      }
      HookAfter(FileOp::kChmodTemp, temp);
    }
    {
      CheckedFileBuf buf(fd, temp);
      std::ostream os(&buf);
      const bool wrote = write(os);
      os.flush();
      if (!buf.Flush()) {
        fail(FileOp::kWrite, buf.error());
        return false;
      }
      if (!wrote || !os) {
        fail(FileOp::kWrite, 0);
        return false;
      }
    }
    int injected = HookBefore(FileOp::kSyncTemp, temp);
    if (injected != 0 || ::fsync(fd) != 0) {
      fail(FileOp::kSyncTemp, injected != 0 ? injected : errno);
      return false;
    }
    HookAfter(FileOp::kSyncTemp, temp);
    injected = HookBefore(FileOp::kCloseTemp, temp);
    if (injected != 0) {
      fail(FileOp::kCloseTemp, injected);
      return false;
    }
    // The descriptor is gone whatever close answers; a failed close may mean lost data.
    const int closed = ::close(fd);
    fd = -1;
    if (closed != 0) {
      fail(FileOp::kCloseTemp, errno);
      return false;
    }
    HookAfter(FileOp::kCloseTemp, temp);
    injected = HookBefore(FileOp::kRename, temp);
    if (injected != 0 || ::rename(temp.c_str(), target.c_str()) != 0) {
      fail(FileOp::kRename, injected != 0 ? injected : errno);
      return false;
    }
    renamed = true;
    HookAfter(FileOp::kRename, target);
    int error = 0;
    if (!SyncFolder(folder, &error)) {
      // The document already holds the new contents, but they may not survive a crash.
      fail(FileOp::kSyncFolder, error);
      return false;
    }
    return true;
  };

  if (steps()) {
    return result;
  }
  if (fd >= 0) {
    ::close(fd);
  }
  if (!renamed) {
    if (result.op == FileOp::kRename && VolumeRefusesReplace(result.error)) {
      result.temp_kept = true;
    } else if (HookBefore(FileOp::kRemoveTemp, temp) == 0) {
      ::unlink(temp.c_str());
      HookAfter(FileOp::kRemoveTemp, temp);
    }
  }
  return result;
}

}  // namespace fernweave
