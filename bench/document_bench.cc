// Loading and saving whole documents of 10,000 and 100,000 generated notes, each set
// against its floor: loading against bare expat (empty handlers) parsing the same file
// and against XMLReader building its generic item tree from it, saving against
// streaming the same bytes to a file with the flush, fsync and rename a safe save does.
// Each load also reports the peak memory it added, as a multiple of the file's size,
// and the heap the loaded document keeps.
//
// A command opens its document once, in a process that has opened none before, and
// leaves it to the process's exit. The load and its floor are measured the same way:
// each iteration starts this program afresh to read the file once ("--read-once"),
// which times the read alone and reports it back.
//
// The second argument picks the generated shape: 0 our rich documents (dense non-ASCII
// text, every kind of section), 1 the plain shape other programs write (four user
// attributes on every note, ASCII texts of about 450 bytes).
//
// The generated files are written once and then only replaced by rename, never
// deleted and recreated in a burst.

#include <fcntl.h>
#include <malloc.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "bench/generated_document.h"
#include <benchmark/benchmark.h>
#include <expat.h>

#include "foundation/user_messages.h"
#include "foundation/xml_reader.h"
#include "model/value.h"
#include "persist/orvex_reader.h"
#include "persist/orvex_writer.h"
// The generator is shared with the tests; compiled into this program directly.
#include "tests/support/document_generator.cc"  // NOLINT(bugprone-suspicious-include)

namespace {

using fernweave::Orvex;
using fernweave::OrvexReader;
using fernweave::OrvexWriter;

struct Fixture {
  const Orvex* doc = nullptr;
  std::string_view bytes;
  std::filesystem::path path;
};

std::filesystem::path Folder() {
  const auto dir = std::filesystem::temp_directory_path() / "fw_document_bench";
  std::filesystem::create_directories(dir);
  return dir;
}

Fixture& Document(const benchmark::State& state) {
  const int notes = static_cast<int>(state.range(0));
  const bool plain = state.range(1) != 0;
  static std::map<std::pair<int, bool>, Fixture> cache;
  Fixture& f = cache[{notes, plain}];
  if (f.doc == nullptr) {
    fernweave::bench::GeneratedDocument& g = fernweave::bench::Generated(notes, plain);
    f.doc = g.doc.get();
    f.bytes = g.bytes;
    f.path = Folder() / ((plain ? "plain" : "doc") + std::to_string(notes) + ".skep");
    // Written beside the target and renamed over it, so a program running at the same
    // time never reads a half-written file.
    const std::filesystem::path temp = f.path.string() + "." + std::to_string(::getpid()) + ".tmp";
    std::ofstream(temp, std::ios::binary) << f.bytes;
    std::filesystem::rename(temp, f.path);
  }
  return f;
}

// Peak resident memory in bytes since the last reset.
long PeakRss() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) {
      return std::stol(line.substr(6)) * 1024;
    }
  }
  return 0;
}

long CurrentRss() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) {
      return std::stol(line.substr(6)) * 1024;
    }
  }
  return 0;
}

void ResetPeakRss() {
  std::ofstream("/proc/self/clear_refs") << "5";
}

// Writes through a temporary file: stream, close, fsync, rename over the target. Both
// the raw bytes and the writer go through the same buffered file stream.
bool SafeWrite(const std::filesystem::path& target, const std::string_view* raw, const Orvex* doc) {
  const std::filesystem::path temp = target.string() + ".tmp";
  bool ok = true;
  {
    std::ofstream os(temp, std::ios::binary | std::ios::trunc);
    if (raw != nullptr) {
      os.write(raw->data(), static_cast<std::streamsize>(raw->size()));
      os.flush();
    } else {
      OrvexWriter writer(*doc);
      ok = writer.Write(os);
    }
    os.close();
    ok = ok && !os.fail();
  }
  const int fd = ::open(temp.c_str(), O_WRONLY);
  ok = ok && fd >= 0 && ::fsync(fd) == 0;
  if (fd >= 0) {
    ::close(fd);
  }
  return ok && std::rename(temp.c_str(), target.c_str()) == 0;
}

// What one read in a child process reports back.
struct ChildRead {
  bool ok = false;
  double seconds = 0;
  long peak_added = 0;  // resident memory the read added at its highest
  size_t kept = 0;      // heap the result keeps
};

// Starts this program afresh to read the file once in the given mode ("load" or
// "bare"), and hands back what it reported; ok is false when it failed or died.
ChildRead InChild(const char* mode, const std::filesystem::path& path) {
  ChildRead result;
  int fds[2];
  if (::pipe(fds) != 0) {
    return result;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  const std::string exe = std::filesystem::read_symlink("/proc/self/exe").string();
  const std::string file = path.string();
  char* argv[] = {const_cast<char*>(exe.c_str()), const_cast<char*>("--read-once"),
                  const_cast<char*>(mode), const_cast<char*>(file.c_str()), nullptr};
  pid_t pid = 0;
  const bool started = posix_spawn(&pid, exe.c_str(), &actions, nullptr, argv, environ) == 0;
  posix_spawn_file_actions_destroy(&actions);
  ::close(fds[1]);
  if (!started || ::read(fds[0], &result, sizeof result) != sizeof result) {
    result.ok = false;
  }
  ::close(fds[0]);
  if (started) {
    int status = 0;
    ::waitpid(pid, &status, 0);
  }
  return result;
}

// Times `read` alone and measures the memory it adds, in the calling process.
template <typename Read>
ChildRead Measured(Read read) {
  ChildRead result;
  const long base = CurrentRss();
  const size_t heap_base = mallinfo2().uordblks;
  // Value slots the parent's documents freed stay with the value pool; the ones this
  // read takes again are counted as if it had asked the heap for them.
  const size_t pool_free_base = fernweave::Value::PooledBytesFree();
  ResetPeakRss();
  const auto start = std::chrono::steady_clock::now();
  result.ok = read();
  result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const size_t pool_free = fernweave::Value::PooledBytesFree();
  const long reused =
      pool_free_base > pool_free ? static_cast<long>(pool_free_base - pool_free) : 0;
  result.peak_added = PeakRss() - base + reused;
  result.kept = mallinfo2().uordblks - heap_base + static_cast<size_t>(reused);
  return result;
}

void BM_LoadDocument(benchmark::State& state) {
  Fixture& f = Document(state);
  long peak_added = 0;
  size_t kept = 0;
  for (auto _ : state) {
    const ChildRead r = InChild("load", f.path);
    if (!r.ok) {
      state.SkipWithError("load failed");
      return;
    }
    state.SetIterationTime(r.seconds);
    peak_added = std::max(peak_added, r.peak_added);
    kept = r.kept;
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.bytes.size()));
  state.counters["file_MB"] = static_cast<double>(f.bytes.size()) / 1e6;
  // The heap the loaded document itself keeps: the floor for the peak.
  state.counters["doc_x_file"] = static_cast<double>(kept) / static_cast<double>(f.bytes.size());
  state.counters["peak_x_file"] =
      static_cast<double>(peak_added) / static_cast<double>(f.bytes.size());
}

void BM_XMLReaderTree(benchmark::State& state) {
  Fixture& f = Document(state);
  long peak_added = 0;
  for (auto _ : state) {
    const long base = CurrentRss();
    ResetPeakRss();
    fernweave::XMLReader reader;
    if (!reader.Parse(f.path)) {
      state.SkipWithError("parse failed");
      return;
    }
    peak_added = std::max(peak_added, PeakRss() - base);
    benchmark::DoNotOptimize(reader.root());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.bytes.size()));
  state.counters["peak_x_file"] =
      static_cast<double>(peak_added) / static_cast<double>(f.bytes.size());
}

// The floor: expat with handlers that do nothing, fed the file in the blocks
// XMLReader uses.
void XMLCALL NoStart(void*, const XML_Char*, const XML_Char**) {}
void XMLCALL NoEnd(void*, const XML_Char*) {}
void XMLCALL NoChars(void*, const XML_Char*, int) {}

// Parses the file with handlers that do nothing; false when it is malformed.
bool ParseBare(const std::filesystem::path& path) {
  std::vector<char> block(fernweave::XMLReader::kBlockSize);
  XML_Parser parser = XML_ParserCreate(nullptr);
  XML_SetElementHandler(parser, NoStart, NoEnd);
  XML_SetCharacterDataHandler(parser, NoChars);
  std::FILE* file = std::fopen(path.c_str(), "rb");
  bool ok = file != nullptr;
  while (ok) {
    const size_t got = std::fread(block.data(), 1, block.size(), file);
    const bool last = got < block.size();
    ok = XML_Parse(parser, block.data(), static_cast<int>(got), last) == XML_STATUS_OK;
    if (last) {
      break;
    }
  }
  if (file != nullptr) {
    std::fclose(file);
  }
  XML_ParserFree(parser);
  return ok;
}

void BM_BareExpat(benchmark::State& state) {
  Fixture& f = Document(state);
  for (auto _ : state) {
    const ChildRead r = InChild("bare", f.path);
    if (!r.ok) {
      state.SkipWithError("parse failed");
      return;
    }
    state.SetIterationTime(r.seconds);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.bytes.size()));
}

void BM_SaveDocument(benchmark::State& state) {
  Fixture& f = Document(state);
  const auto target = Folder() / ("save" + std::to_string(state.range(0)) + "_" + std::to_string(state.range(1)) + ".skep");
  for (auto _ : state) {
    if (!SafeWrite(target, nullptr, f.doc)) {
      state.SkipWithError("save failed");
      return;
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.bytes.size()));
}

void BM_RawStreamFsyncRename(benchmark::State& state) {
  Fixture& f = Document(state);
  const auto target = Folder() / ("raw" + std::to_string(state.range(0)) + "_" + std::to_string(state.range(1)) + ".skep");
  for (auto _ : state) {
    if (!SafeWrite(target, &f.bytes, nullptr)) {
      state.SkipWithError("write failed");
      return;
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.bytes.size()));
}

// {notes, shape}: the loads beside their floors, shape by shape.
void Sizes(benchmark::internal::Benchmark* b) {
  b->ArgNames({"notes", "plain"});
  for (int plain : {0, 1}) {
    for (int notes : {10000, 100000}) {
      b->Args({notes, plain});
    }
  }
  b->Unit(benchmark::kMillisecond)->Iterations(3);
}

BENCHMARK(BM_BareExpat)->Apply(Sizes)->UseManualTime();
BENCHMARK(BM_LoadDocument)->Apply(Sizes)->UseManualTime();
BENCHMARK(BM_XMLReaderTree)->Apply(Sizes);
BENCHMARK(BM_SaveDocument)->Apply(Sizes);
BENCHMARK(BM_RawStreamFsyncRename)->Apply(Sizes);

}  // namespace

// "--read-once MODE FILE": the child's side of InChild. Reads the file once, writes
// what it measured to standard output and exits without tearing anything down, as a
// command does.
int main(int argc, char** argv) {
  if (argc == 4 && std::string_view(argv[1]) == "--read-once") {
    const std::string_view mode = argv[2];
    const std::filesystem::path path = argv[3];
    ChildRead r;
    if (mode == "load") {
      fernweave::StderrMessages messages;
      r = Measured([&] {
        auto doc = OrvexReader::ReadDocument(path);
        benchmark::DoNotOptimize(doc.get());
        return doc.release() != nullptr;
      });
    } else {
      r = Measured([&] { return ParseBare(path); });
    }
    const bool sent = std::fwrite(&r, sizeof r, 1, stdout) == 1 && std::fflush(stdout) == 0;
    std::_Exit(sent ? 0 : 1);
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
