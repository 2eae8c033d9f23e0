// Exporting the generated 10k-note document with the standard template, files and
// all; and exporting it again unchanged, which must rewrite nothing (the benchmark
// checks that no page's modification time moved and that no page was expanded: the
// record of the last run serves). Beside them: the same unchanged run without the
// record (every page expanded and compared with its file), and the baselines: writing
// one fresh 2 KB file per page, and reading back and comparing one such file per page.
//
// Each fresh run writes into a new folder: on these machines creating many files just
// after deleting many is much slower for a while, so nothing is deleted during the run.
// The folders are left under the bench build folder (or $FW_EXPORT_BENCH_DIR).

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench/generated_document.h"
#include "export/export_record.h"
#include "export/exporter.h"
#include "lang/language.h"
#include "tests/support/document_generator.cc"  // NOLINT(bugprone-suspicious-include)

namespace fernweave {
namespace {

namespace fs = std::filesystem;

constexpr int kNotes = 10000;

fs::path RunFolder(const std::string& kind) {
  static const fs::path base = [] {
    const char* env = std::getenv("FW_EXPORT_BENCH_DIR");
    fs::path p = env != nullptr ? fs::path(env) : fs::current_path() / "export-bench";
    fs::create_directories(p);
    return p;
  }();
  // A name no earlier run of any process has used.
  static long counter = 0;
  return base / (kind + "-" + std::to_string(::getpid()) + "-" + std::to_string(++counter));
}

Hypertext& Document() {
  static bool ready = [] {
    InstallLanguage();
    InstallTemplateLanguage();
    ExportRun::SetStandardTemplateFolder(std::string(FW_SOURCE_DIR) + "/config/templates");
    return true;
  }();
  (void)ready;
  return *bench::Generated(kNotes).doc;
}

void PerPage(benchmark::State& state, long pages) {
  state.counters["pages"] = static_cast<double>(pages);
  state.counters["us_per_page"] = benchmark::Counter(
      static_cast<double>(state.iterations() * pages),
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert, benchmark::Counter::kIs1000);
}

void BM_ExportFresh(benchmark::State& state) {
  Hypertext& doc = Document();
  long pages = 0;
  for (auto _ : state) {
    const ExportResult r =
        ExportDocument(doc, RunFolder("fresh").string(), ExportOptions(), nullptr, nullptr);
    if (!r.ok()) {
      state.SkipWithError("the export failed");
      return;
    }
    pages = r.written;
  }
  PerPage(state, pages);
}
BENCHMARK(BM_ExportFresh)->Unit(benchmark::kMillisecond)->Iterations(3);

std::map<std::string, timespec> ModificationTimes(const fs::path& dir) {
  std::map<std::string, timespec> times;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    struct stat st;
    if (entry.is_regular_file() && stat(entry.path().c_str(), &st) == 0) {
      times[entry.path().string()] = st.st_mtim;
    }
  }
  return times;
}

void BM_ExportUnchanged(benchmark::State& state) {
  Hypertext& doc = Document();
  const fs::path folder = RunFolder("unchanged");
  ExportResult first = ExportDocument(doc, folder.string(), ExportOptions(), nullptr, nullptr);
  const auto before = ModificationTimes(folder);
  long pages = 0;
  long rewritten = 0;
  long rendered = 0;
  for (auto _ : state) {
    const ExportResult r = ExportDocument(doc, folder.string(), ExportOptions(), nullptr, nullptr);
    pages = r.unchanged;
    rewritten += r.written;
    rendered += r.rendered;
  }
  const auto after = ModificationTimes(folder);
  long moved = 0;
  for (const auto& [path, time] : before) {
    auto it = after.find(path);
    if (it == after.end() || it->second.tv_sec != time.tv_sec ||
        it->second.tv_nsec != time.tv_nsec) {
      ++moved;
    }
  }
  state.counters["files"] = static_cast<double>(before.size());
  state.counters["mtimes_changed"] = static_cast<double>(moved);
  state.counters["rewritten"] = static_cast<double>(rewritten);
  state.counters["rendered"] = static_cast<double>(rendered);
  if (moved != 0 || rewritten != 0 || first.written == 0) {
    state.SkipWithError("an unchanged export rewrote files");
  }
  if (rendered != 0) {
    state.SkipWithError("an unchanged export expanded pages: the record did not serve");
  }
  PerPage(state, pages);
}
BENCHMARK(BM_ExportUnchanged)->Unit(benchmark::kMillisecond)->Iterations(5);

// The same unchanged run with the record removed first: every page is expanded and
// compared with its file (and the record is written again).
void BM_ExportUnchangedWithoutRecord(benchmark::State& state) {
  Hypertext& doc = Document();
  const fs::path folder = RunFolder("norecord");
  ExportDocument(doc, folder.string(), ExportOptions(), nullptr, nullptr);
  long pages = 0;
  for (auto _ : state) {
    state.PauseTiming();
    fs::remove(folder / ExportRecord::kFileName);
    state.ResumeTiming();
    const ExportResult r = ExportDocument(doc, folder.string(), ExportOptions(), nullptr, nullptr);
    pages = r.unchanged;
    if (r.written != 0 || r.rendered != r.unchanged) {
      state.SkipWithError("the run without a record did not expand and compare every page");
      return;
    }
  }
  PerPage(state, pages);
}
BENCHMARK(BM_ExportUnchangedWithoutRecord)->Unit(benchmark::kMillisecond)->Iterations(3);

// The part of an unchanged run that does not grow with the folder: the key of the
// run, mostly the hash of the document's saved form.
void BM_RecordKey(benchmark::State& state) {
  Hypertext& doc = Document();
  for (auto _ : state) {
    benchmark::DoNotOptimize(RecordKey(doc, {}));
  }
  PerPage(state, kNotes);
}
BENCHMARK(BM_RecordKey)->Unit(benchmark::kMillisecond)->Iterations(5);

// Baseline: one fresh 2 KB file per page, into a new folder tree of the same shape
// (one folder per 10 files).
void BM_BaselineFreshFiles(benchmark::State& state) {
  const std::string page(2048, 'x');
  for (auto _ : state) {
    const fs::path folder = RunFolder("baseline");
    for (int i = 0; i < kNotes; ++i) {
      if (i % 10 == 0) {
        fs::create_directories(folder / std::to_string(i / 10));
      }
      std::ofstream out(folder / std::to_string(i / 10) / (std::to_string(i) + ".html"),
                        std::ios::binary);
      out.write(page.data(), static_cast<std::streamsize>(page.size()));
    }
  }
  PerPage(state, kNotes);
}
BENCHMARK(BM_BaselineFreshFiles)->Unit(benchmark::kMillisecond)->Iterations(3);

// Baseline: reading back each of those files and comparing it with the page.
void BM_BaselineCompareFiles(benchmark::State& state) {
  const std::string page(2048, 'x');
  const fs::path folder = RunFolder("compare");
  for (int i = 0; i < kNotes; ++i) {
    if (i % 10 == 0) {
      fs::create_directories(folder / std::to_string(i / 10));
    }
    std::ofstream(folder / std::to_string(i / 10) / (std::to_string(i) + ".html"),
                  std::ios::binary) << page;
  }
  long same = 0;
  for (auto _ : state) {
    for (int i = 0; i < kNotes; ++i) {
      std::ifstream in(folder / std::to_string(i / 10) / (std::to_string(i) + ".html"),
                       std::ios::binary);
      std::string text((std::istreambuf_iterator<char>(in)), {});
      same += text == page;
    }
  }
  benchmark::DoNotOptimize(same);
  PerPage(state, kNotes);
}
BENCHMARK(BM_BaselineCompareFiles)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
}  // namespace fernweave
