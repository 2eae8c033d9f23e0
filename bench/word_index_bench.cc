// The per-note word index. Building the index of every note of the generated
// 100,000-note document is set against its floor, bare ICU word-break iteration over the
// same texts (opening the text, finding every boundary and asking its rule status),
// measured in the same run; the target is at most twice the floor. Ranking one note
// against the 10,000 notes of a generated document (`similarTo`) is measured with the
// indexes built, as a query sees them after its first note.

#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>
#include <unicode/utext.h>

#include "bench/generated_document.h"
#include "model/config.h"
#include "model/content.h"
#include "model/node_vector.h"
#include "model/word_index.h"
// The generator is shared with the tests; compiled into this program directly.
#include "tests/support/document_generator.cc"  // NOLINT(bugprone-suspicious-include)

namespace fernweave {
namespace {

constexpr int kNotes = 100000;

// The notes that have an index of their own (aliases show their original's).
const std::vector<Node*>& Originals() {
  static const std::vector<Node*> originals = [] {
    std::vector<Node*> all;
    for (Node* n : bench::Generated(kNotes).doc->AllNodes()) {
      if (!n->IsAlias()) {
        all.push_back(n);
      }
    }
    return all;
  }();
  return originals;
}

// Their texts, in the same order.
const std::vector<std::string>& Texts() {
  static const std::vector<std::string> texts = [] {
    std::vector<std::string> all;
    for (const Node* n : Originals()) {
      all.push_back(n->GetText());
    }
    return all;
  }();
  return texts;
}

void SetCounters(benchmark::State& state) {
  size_t bytes = 0;
  for (const std::string& t : Texts()) {
    bytes += t.size();
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes) * state.iterations());
  state.counters["notes"] = static_cast<double>(Texts().size());
}

std::unique_ptr<icu::BreakIterator> MakeBreaker() {
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::BreakIterator> breaker(
      icu::BreakIterator::createWordInstance(icu::Locale::getRoot(), status));
  return U_SUCCESS(status) ? std::move(breaker) : nullptr;
}

// Floor: ICU finds the word boundaries of every text, read in place as UTF-8.
void BM_BareWordBreakUtf8(benchmark::State& state) {
  Texts();
  std::unique_ptr<icu::BreakIterator> breaker = MakeBreaker();
  for (auto _ : state) {
    size_t words = 0;
    for (const std::string& text : Texts()) {
      UErrorCode status = U_ZERO_ERROR;
      UText utext = UTEXT_INITIALIZER;
      utext_openUTF8(&utext, text.data(), static_cast<int64_t>(text.size()), &status);
      breaker->setText(&utext, status);
      breaker->first();
      while (breaker->next() != icu::BreakIterator::DONE) {
        words += breaker->getRuleStatus() != UBRK_WORD_NONE ? 1 : 0;
      }
      utext_close(&utext);
    }
    benchmark::DoNotOptimize(words);
  }
  SetCounters(state);
}
BENCHMARK(BM_BareWordBreakUtf8)->Unit(benchmark::kMillisecond);

// The same after converting each text to UTF-16 first, for comparison.
void BM_BareWordBreakUtf16(benchmark::State& state) {
  Texts();
  std::unique_ptr<icu::BreakIterator> breaker = MakeBreaker();
  for (auto _ : state) {
    size_t words = 0;
    for (const std::string& text : Texts()) {
      icu::UnicodeString unicode = icu::UnicodeString::fromUTF8(
          icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
      breaker->setText(unicode);
      breaker->first();
      while (breaker->next() != icu::BreakIterator::DONE) {
        words += breaker->getRuleStatus() != UBRK_WORD_NONE ? 1 : 0;
      }
    }
    benchmark::DoNotOptimize(words);
  }
  SetCounters(state);
}
BENCHMARK(BM_BareWordBreakUtf16)->Unit(benchmark::kMillisecond);

// The word index alone, built over the same texts as the floor.
void BM_BuildIndexOfEveryText(benchmark::State& state) {
  ScopedConfigFolder config(FW_SOURCE_DIR "/config");
  std::shared_ptr<const StopList> stop = CurrentStopList();
  Texts();
  size_t words = 0;
  for (auto _ : state) {
    for (const std::string& text : Texts()) {
      words += WordIndex::Build(text, *stop).TotalWords();
    }
  }
  benchmark::DoNotOptimize(words);
  SetCounters(state);
}
BENCHMARK(BM_BuildIndexOfEveryText)->Unit(benchmark::kMillisecond);

// Every note drops and rebuilds its index, as after the document is opened. The index
// also takes in the notes' user string values, which the floor does not read.
void BM_BuildEveryNoteIndex(benchmark::State& state) {
  ScopedConfigFolder config(FW_SOURCE_DIR "/config");
  Texts();
  size_t words = 0;
  for (auto _ : state) {
    for (Node* n : Originals()) {
      n->Index();
      words += n->GetWordIndex().TotalWords();
    }
  }
  benchmark::DoNotOptimize(words);
  state.counters["stop_words"] = static_cast<double>(CurrentStopList()->size());
  SetCounters(state);
}
BENCHMARK(BM_BuildEveryNoteIndex)->Unit(benchmark::kMillisecond);

// One note ranked against the 10,000 notes of a document, indexes already built.
void BM_SimilarToAgainst10k(benchmark::State& state) {
  ScopedConfigFolder config(FW_SOURCE_DIR "/config");
  const NodeVector all = bench::Generated(10000).doc->AllNodes();
  for (Node* n : all) {
    n->GetWordIndex();
  }
  const Node* target = all[all.size() / 2];
  size_t found = 0;
  for (auto _ : state) {
    found += MostSimilarNotes(*target, 5).size();
  }
  benchmark::DoNotOptimize(found);
  state.counters["notes"] = static_cast<double>(all.size());
}
BENCHMARK(BM_SimilarToAgainst10k)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace fernweave
