#include "app/popen_shell.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace fernweave {
namespace {

// The command's input file, removed when this goes out of scope.
class InputFile {
 public:
  InputFile() = default;
  ~InputFile() {
    if (!path_.empty()) {
      unlink(path_.c_str());
    }
  }
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // Makes the file and writes `text` into it. On failure returns a description and
  // leaves nothing behind.
  std::string Make(const std::string& text) {
    const char* tmpdir = std::getenv("TMPDIR");
    const std::string folder = tmpdir != nullptr && tmpdir[0] != '\0' ? tmpdir : "/tmp";
    std::string pattern = folder + "/fernweave-input-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    const int fd = mkstemp(buffer.data());
    if (fd < 0) {
      return "cannot make the command's input file in " + folder + ": " + std::strerror(errno);
    }
    path_.assign(buffer.data());
    // mkstemp makes the file 0600 here, but say so rather than rely on the C library.
    std::string error;
    if (fchmod(fd, S_IRUSR | S_IWUSR) != 0) {
      error = std::strerror(errno);
    }
    for (size_t written = 0; error.empty() && written < text.size();) {
      const ssize_t n = write(fd, text.data() + written, text.size() - written);
      if (n < 0 && errno == EINTR) {
        continue;
      }
      if (n <= 0) {
        error = std::strerror(n < 0 ? errno : EIO);
        break;
      }
      written += static_cast<size_t>(n);
    }
    if (close(fd) != 0 && error.empty()) {
      error = std::strerror(errno);
    }
    if (!error.empty()) {
      return "cannot write the command's input file " + path_ + ": " + error;
    }
    return std::string();
  }

  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace

ShellResult PopenShell::Run(std::string_view command, const std::optional<std::string>& input) {
  ShellResult result;
  if (command.empty()) {
    result.exit_code = 0;
    return result;
  }
  // The shell would see only the text before a NUL: never run a part of a command.
  if (command.find('\0') != std::string_view::npos) {
    result.status = ShellResult::Status::kCouldNotStart;
    result.error = "the command contains a NUL character";
    return result;
  }
  InputFile file;
  std::string line;
  if (input.has_value()) {
    std::string error = file.Make(*input);
    if (!error.empty()) {
      result.status = ShellResult::Status::kCouldNotStart;
      result.error = std::move(error);
      return result;
    }
    // The path may hold blanks or quotes (from $TMPDIR): one quoted word.
    line = "exec <" + ShellQuote(file.path()) + "\n";
  } else {
    line = "exec </dev/null\n";
  }
  line.append(command);

  // Output written by us before the command starts must not appear twice.
  std::fflush(nullptr);
  FILE* pipe = popen(line.c_str(), "re");
  if (pipe == nullptr) {
    result.status = ShellResult::Status::kCouldNotStart;
    result.error = std::string("cannot start the shell: ") + std::strerror(errno);
    return result;
  }
  char chunk[8192];
  for (;;) {
    const size_t n = std::fread(chunk, 1, sizeof chunk, pipe);
    result.output.append(chunk, n);
    if (n < sizeof chunk) {
      if (std::ferror(pipe) && errno == EINTR) {
        std::clearerr(pipe);
        continue;
      }
      break;
    }
  }
  const int wait_status = pclose(pipe);
  if (wait_status == -1) {
    result.status = ShellResult::Status::kFailed;
    result.error = std::string("cannot learn how the command ended: ") + std::strerror(errno);
  } else if (WIFEXITED(wait_status)) {
    result.exit_code = WEXITSTATUS(wait_status);
    if (result.exit_code == 0) {
      result.status = ShellResult::Status::kDone;
    } else if (result.exit_code == 126 || result.exit_code == 127) {
      // The shell's own codes: found but not executable, and not found.
      result.status = ShellResult::Status::kCouldNotStart;
      result.error = "the shell could not run the command (exit status " +
                     std::to_string(result.exit_code) + ")";
    } else {
      result.status = ShellResult::Status::kFailed;
      result.error = "the command exited with status " + std::to_string(result.exit_code);
    }
  } else {
    const int signal = WIFSIGNALED(wait_status) ? WTERMSIG(wait_status) : 0;
    result.exit_code = 128 + signal;
    result.status = ShellResult::Status::kFailed;
    result.error = "the command was stopped by signal " + std::to_string(signal);
  }
  return result;
}

std::unique_ptr<ShellService> MakeShellService(bool allowed) {
  if (allowed) {
    return std::make_unique<PopenShell>();
  }
  return std::make_unique<RefusingShell>();
}

}  // namespace fernweave
