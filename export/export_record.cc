#include "export/export_record.h"

#include <charconv>
#include <cstdlib>
#include <functional>
#include <memory>
#include <ostream>
#include <streambuf>

#include <sys/stat.h>
#include <unicode/locid.h>

#include "foundation/clock_reads.h"
#include "foundation/progress.h"
#include "model/config.h"
#include "model/hypertext.h"
#include "persist/orvex_writer.h"

#ifndef FW_VERSION
#define FW_VERSION "unknown"
#endif

namespace fernweave {

namespace {

// Change whenever what a page can depend on, or the record's form, changes.
constexpr char kFormatLine[] = "fernweave export record 1";

std::string Hex(uint64_t n) {
  char buffer[17];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, n, 16).ptr;
  return std::string(buffer, end);
}

// Reads one number of the given base from the front of `text` and the one blank after
// it (none at the end); false when there is none.
template <typename T>
bool TakeNumber(std::string_view* text, T* out, int base = 10) {
  const char* end = text->data() + text->size();
  const auto [ptr, ec] = std::from_chars(text->data(), end, *out, base);
  if (ec != std::errc() || ptr == text->data()) {
    return false;
  }
  text->remove_prefix(static_cast<size_t>(ptr - text->data()));
  if (!text->empty()) {
    if (text->front() != ' ') {
      return false;
    }
    text->remove_prefix(1);
  }
  return true;
}

bool TakeWord(std::string_view* text, std::string_view word) {
  if (text->substr(0, word.size()) != word) {
    return false;
  }
  text->remove_prefix(word.size());
  return true;
}

// The size and modification time of a file, or nothing when it cannot be read: what
// tells one build of a program or one configuration file from the next.
std::string FileIdentity(const char* path) {
  struct stat st;
  if (stat(path, &st) != 0) {
    return "-";
  }
  return std::to_string(st.st_size) + "." + std::to_string(st.st_mtim.tv_sec) + "." +
         std::to_string(st.st_mtim.tv_nsec);
}

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "-";
}

bool OnOneLine(std::string_view text) {
  return text.find_first_of("\t\r\n") == std::string_view::npos;
}

// Hashes what is written into it, 64 KiB at a time, without keeping it: a large
// document's saved form is hashed without ever being held whole.
class HashingBuffer : public std::streambuf {
 public:
  HashingBuffer() { setp(buffer_, buffer_ + sizeof buffer_); }

  uint64_t Finish() {
    Flush();
    return Mix(hash_, total_);
  }

 protected:
  int_type overflow(int_type c) override {
    Flush();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(c);
      pbump(1);
    }
    return traits_type::not_eof(c);
  }

 private:
  // The put area always fills to its end before it is flushed, so the same bytes are
  // always cut into the same pieces.
  void Flush() {
    const size_t n = static_cast<size_t>(pptr() - pbase());
    if (n != 0) {
      hash_ = Mix(hash_, HashBytes(std::string_view(pbase(), n)));
      total_ += n;
      setp(buffer_, buffer_ + sizeof buffer_);
    }
  }
  static uint64_t Mix(uint64_t h, uint64_t v) {
    h = (h ^ v) * 0x9e3779b97f4a7c15ULL;
    return h ^ (h >> 29);
  }

  char buffer_[1 << 16];
  uint64_t hash_ = 0;
  uint64_t total_ = 0;
};

}  // namespace

uint64_t HashBytes(std::string_view bytes) {
  return std::hash<std::string_view>()(bytes);
}

uint64_t DocumentHash(const Hypertext& doc) {
  // Forming the saved form is not saving: no "Saving..." display appears meanwhile.
  struct Quiet : ProgressFactory {
    std::unique_ptr<Progress> Make() override { return std::make_unique<NullProgress>(); }
  } quiet;
  struct StQuiet {
    ProgressFactory* previous;
    ~StQuiet() { SetProgressFactory(previous); }
  } restore{SetProgressFactory(&quiet)};
  HashingBuffer buffer;
  std::ostream os(&buffer);
  OrvexWriter(doc).Write(os);
  return buffer.Finish();
}

uint64_t RecordKey(const Hypertext& doc, const std::vector<std::string>& template_folders) {
  std::string key = kFormatLine;
  auto add = [&key](std::string_view part) {
    key += '\0';
    key += part;
  };
  add(FW_VERSION);
  add(FileIdentity("/proc/self/exe"));
  // Dates are written in the words and the zone of the process.
  add(icu::Locale::getDefault().getName());
  for (const char* name : {"TZ", "LC_ALL", "LC_TIME", "LANG"}) {
    add(Environment(name));
  }
  // Word clouds leave out the common words the configuration lists.
  add(ConfigFolder().string());
  add(FileIdentity(ConfigFile("stoplist.txt").c_str()));
  add(std::to_string(template_folders.size()));
  for (const std::string& folder : template_folders) {
    add(folder);
  }
  add(Hex(DocumentHash(doc)));
  return HashBytes(key);
}

// --- ExportRecord ------------------------------------------------------------------

std::string ExportRecord::Serialize() const {
  std::string out = std::string(kFormatLine) + "\nkey " + Hex(key) + "\npages " +
                    std::to_string(pages) + " " + std::to_string(skipped) + "\n";
  for (const TemplateFileLookup& t : templates) {
    if (!OnOneLine(t.name) || !OnOneLine(t.path)) {
      return std::string();
    }
    out += "template " + Hex(t.hash) + "\t" + t.name + "\t" + t.path + "\n";
  }
  for (const RecordedFile& f : files) {
    if (!OnOneLine(f.path) || f.path.empty()) {
      return std::string();
    }
    out += "file " + std::to_string(f.stamp.size) + " " + std::to_string(f.stamp.modified_ns) +
           " " + std::to_string(f.stamp.changed_ns) + " " + std::to_string(f.stamp.inode) + " " +
           f.path + "\n";
  }
  out += "end " + std::to_string(templates.size() + files.size()) + "\n";
  return out;
}

std::optional<ExportRecord> ExportRecord::Parse(std::string_view text) {
  ExportRecord record;
  size_t entries = 0;
  bool ended = false;
  int line_number = 0;
  while (!text.empty()) {
    const size_t newline = text.find('\n');
    if (newline == std::string_view::npos || ended) {
      return std::nullopt;  // cut short, or something after the end
    }
    std::string_view line = text.substr(0, newline);
    text.remove_prefix(newline + 1);
    ++line_number;
    if (line_number == 1) {
      if (line != kFormatLine) {
        return std::nullopt;
      }
    } else if (line_number == 2) {
      if (!TakeWord(&line, "key ") || !TakeNumber(&line, &record.key, 16) || !line.empty()) {
        return std::nullopt;
      }
    } else if (line_number == 3) {
      if (!TakeWord(&line, "pages ") || !TakeNumber(&line, &record.pages) ||
          !TakeNumber(&line, &record.skipped) || !line.empty() || record.pages < 0 ||
          record.skipped < 0) {
        return std::nullopt;
      }
    } else if (TakeWord(&line, "template ")) {
      TemplateFileLookup t;
      const size_t tab = line.find('\t');
      const size_t second = tab == std::string_view::npos ? tab : line.find('\t', tab + 1);
      std::string_view hash = line.substr(0, tab);
      if (second == std::string_view::npos || !TakeNumber(&hash, &t.hash, 16) || !hash.empty()) {
        return std::nullopt;
      }
      t.name = line.substr(tab + 1, second - tab - 1);
      t.path = line.substr(second + 1);
      record.templates.push_back(std::move(t));
      ++entries;
    } else if (TakeWord(&line, "file ")) {
      RecordedFile f;
      if (!TakeNumber(&line, &f.stamp.size) || !TakeNumber(&line, &f.stamp.modified_ns) ||
          !TakeNumber(&line, &f.stamp.changed_ns) || !TakeNumber(&line, &f.stamp.inode) ||
          line.empty()) {
        return std::nullopt;
      }
      f.path = line;
      record.files.push_back(std::move(f));
      ++entries;
    } else if (TakeWord(&line, "end ")) {
      size_t count = 0;
      if (!TakeNumber(&line, &count) || !line.empty() || count != entries) {
        return std::nullopt;
      }
      ended = true;
    } else {
      return std::nullopt;
    }
  }
  if (!ended) {
    return std::nullopt;
  }
  return record;
}

// --- StWatchOutsideInputs -----------------------------------------------------------

StWatchOutsideInputs::StWatchOutsideInputs()
    : shell_(SetShell(this)),
      random_(&Random()),
      installed_random_(SetRandom(this)),
      clock_reads_(NowReadCount()) {}

StWatchOutsideInputs::~StWatchOutsideInputs() {
  SetShell(shell_);
  SetRandom(installed_random_);
}

bool StWatchOutsideInputs::Touched() const {
  return commands_ != 0 || draws_ != 0 || NowReadCount() != clock_reads_;
}

ShellResult StWatchOutsideInputs::Run(std::string_view command,
                                      const std::optional<std::string>& input) {
  ++commands_;
  return shell_->Run(command, input);
}

uint32_t StWatchOutsideInputs::Next(uint32_t n) {
  ++draws_;
  return random_->Next(n);
}

uint32_t StWatchOutsideInputs::Raw() {
  ++draws_;
  return random_->Raw();
}

}  // namespace fernweave
