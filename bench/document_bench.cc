// Loading and saving whole documents of 10,000 and 100,000 generated notes, each set
// against its floor: loading against XMLReader building its generic item tree from
// the same file, saving against streaming the same bytes to a file with the flush,
// fsync and rename a safe save does. Each load also reports the peak memory it added,
// as a multiple of the file's size, and the heap the loaded document keeps.
//
// The generated files are written once and then only replaced by rename, never
// deleted and recreated in a burst.

#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>

#include "bench/generated_document.h"
#include <benchmark/benchmark.h>

#include "foundation/user_messages.h"
#include "foundation/xml_reader.h"
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

Fixture& Document(int notes) {
  static std::map<int, Fixture> cache;
  Fixture& f = cache[notes];
  if (f.doc == nullptr) {
    fernweave::bench::GeneratedDocument& g = fernweave::bench::Generated(notes);
    f.doc = g.doc.get();
    f.bytes = g.bytes;
    f.path = Folder() / ("doc" + std::to_string(notes) + ".skep");
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

void BM_LoadDocument(benchmark::State& state) {
  Fixture& f = Document(static_cast<int>(state.range(0)));
  fernweave::StderrMessages messages;
  long peak_added = 0;
  size_t kept = 0;
  for (auto _ : state) {
    const long base = CurrentRss();
    const size_t heap_base = mallinfo2().uordblks;
    ResetPeakRss();
    auto doc = OrvexReader::ReadDocument(f.path);
    if (doc == nullptr) {
      state.SkipWithError("load failed");
      return;
    }
    peak_added = std::max(peak_added, PeakRss() - base);
    kept = mallinfo2().uordblks - heap_base;
    benchmark::DoNotOptimize(doc.get());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.bytes.size()));
  state.counters["file_MB"] = static_cast<double>(f.bytes.size()) / 1e6;
  // The heap the loaded document itself keeps: the floor for the peak.
  state.counters["doc_x_file"] = static_cast<double>(kept) / static_cast<double>(f.bytes.size());
  state.counters["peak_x_file"] =
      static_cast<double>(peak_added) / static_cast<double>(f.bytes.size());
}

void BM_XMLReaderTree(benchmark::State& state) {
  Fixture& f = Document(static_cast<int>(state.range(0)));
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

void BM_SaveDocument(benchmark::State& state) {
  Fixture& f = Document(static_cast<int>(state.range(0)));
  const auto target = Folder() / ("save" + std::to_string(state.range(0)) + ".skep");
  for (auto _ : state) {
    if (!SafeWrite(target, nullptr, f.doc)) {
      state.SkipWithError("save failed");
      return;
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.bytes.size()));
}

void BM_RawStreamFsyncRename(benchmark::State& state) {
  Fixture& f = Document(static_cast<int>(state.range(0)));
  const auto target = Folder() / ("raw" + std::to_string(state.range(0)) + ".skep");
  for (auto _ : state) {
    if (!SafeWrite(target, &f.bytes, nullptr)) {
      state.SkipWithError("write failed");
      return;
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.bytes.size()));
}

BENCHMARK(BM_LoadDocument)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_XMLReaderTree)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SaveDocument)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_RawStreamFsyncRename)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

}  // namespace
