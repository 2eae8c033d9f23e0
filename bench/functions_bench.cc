// Benchmarks of the language's aggregates on the generated 100k-note document, each
// beside a hand-written loop over the same notes in the same run: sum(descendant,
// $Priority) and collect(all, $Status) evaluated at the root. And similarTo for one note
// of a 10k-note document (every index already built), beside the ranking alone.

#include <algorithm>
#include <memory>
#include <string>
#include <unordered_set>

#include <benchmark/benchmark.h>

#include "bench/generated_document.h"
#include "lang/aa_value.h"
#include "lang/expression_parser.h"
#include "lang/language.h"
#include "model/config.h"
#include "model/node.h"
#include "model/node_vector.h"
#include "model/word_index.h"
#include "tests/support/document_generator.cc"  // NOLINT(bugprone-suspicious-include)

namespace fernweave {
namespace {

constexpr int kNotes = 100000;

void BM_SumDescendantPriority(benchmark::State& state) {
  InstallLanguage();
  Node* root = bench::Generated(kNotes).doc->Root();
  std::unique_ptr<AAValue> sum = AgentActionExpressionParser::Parse("sum(descendant, $Priority)", false);
  std::string total;
  for (auto _ : state) {
    Captures captures;
    total = sum->Get(root, captures);
  }
  benchmark::DoNotOptimize(total);
  state.SetLabel(total);
}
BENCHMARK(BM_SumDescendantPriority)->Unit(benchmark::kMillisecond);

void BM_SumDescendantPriorityHandLoop(benchmark::State& state) {
  Node* root = bench::Generated(kNotes).doc->Root();
  double total = 0;
  for (auto _ : state) {
    total = 0;
    for (Node* n = root->Son(); n != nullptr; n = n->NextWithin(root)) {
      total += n->GetDouble("Priority");
    }
  }
  benchmark::DoNotOptimize(total);
  state.SetLabel(FormatNumber(total));
}
BENCHMARK(BM_SumDescendantPriorityHandLoop)->Unit(benchmark::kMillisecond);

void BM_CollectAllStatus(benchmark::State& state) {
  InstallLanguage();
  Node* root = bench::Generated(kNotes).doc->Root();
  std::unique_ptr<AAValue> collect = AgentActionExpressionParser::Parse("collect(all, $Status)", false);
  std::string set;
  for (auto _ : state) {
    Captures captures;
    set = collect->Get(root, captures);
  }
  benchmark::DoNotOptimize(set);
  state.counters["members"] = static_cast<double>(std::count(set.begin(), set.end(), ';') + 1);
}
BENCHMARK(BM_CollectAllStatus)->Unit(benchmark::kMillisecond);

void BM_CollectAllStatusHandLoop(benchmark::State& state) {
  Node* root = bench::Generated(kNotes).doc->Root();
  std::string set;
  for (auto _ : state) {
    std::unordered_set<std::string> seen;
    set.clear();
    for (Node* n = root->Son(); n != nullptr; n = n->Next()) {
      std::string status = n->GetString("Status");
      if (!status.empty() && seen.insert(status).second) {
        if (!set.empty()) {
          set += ';';
        }
        set += status;
      }
    }
  }
  benchmark::DoNotOptimize(set);
  state.counters["members"] = static_cast<double>(std::count(set.begin(), set.end(), ';') + 1);
}
BENCHMARK(BM_CollectAllStatusHandLoop)->Unit(benchmark::kMillisecond);

// similarTo asked by one note of a 10k-note document about another.
void BM_SimilarToFunction10k(benchmark::State& state) {
  InstallLanguage();
  ScopedConfigFolder config(FW_SOURCE_DIR "/config");
  const NodeVector all = bench::Generated(10000).doc->AllNodes();
  for (Node* n : all) {
    n->GetWordIndex();
  }
  Node* target = all[all.size() / 2];
  Node* asking = all[all.size() / 3];
  const std::string text = "similarTo(\"" + target->PathName() + "\", 5)";
  std::unique_ptr<AAValue> similar = AgentActionExpressionParser::Parse(text, false);
  std::string answer;
  for (auto _ : state) {
    Captures captures;
    answer = similar->Get(asking, captures);
  }
  benchmark::DoNotOptimize(answer);
  state.counters["notes"] = static_cast<double>(all.size());
}
BENCHMARK(BM_SimilarToFunction10k)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace fernweave
