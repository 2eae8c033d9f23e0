// Benchmarks of the note model: building a large tree, reading values inherited
// through a prototype chain, and sorting a large container by a text attribute.

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include "model/cnode.h"
#include "model/orvex.h"

namespace fernweave {
namespace {

// Resident memory now, in bytes.
long CurrentRss() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0;
  long resident = 0;
  statm >> pages >> resident;
  return resident * sysconf(_SC_PAGESIZE);
}

long PeakRss() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss * 1024L;
}

// Five levels of ten children each below the root: 111,110 notes.
size_t BuildTree(Hypertext* doc) {
  size_t made = 0;
  std::vector<Node*> level{doc->Root()};
  for (int depth = 0; depth < 5; ++depth) {
    std::vector<Node*> next;
    next.reserve(level.size() * 10);
    for (Node* parent : level) {
      Node* last = nullptr;
      for (int i = 0; i < 10; ++i) {
        last = doc->MakeNode("note " + std::to_string(made), parent, last, i * 4.0, depth * 2.0);
        next.push_back(last);
        ++made;
      }
    }
    level = std::move(next);
  }
  return made;
}

void BM_Build100kNotes(benchmark::State& state) {
  size_t notes = 0;
  double bytes_per_note = 0;
  for (auto _ : state) {
    const long before = CurrentRss();
    auto doc = Orvex::Create("Bench.skep");
    notes = BuildTree(doc.get());
    // Later iterations reuse the memory the first one freed; keep the largest growth.
    bytes_per_note = std::max(
        bytes_per_note, static_cast<double>(CurrentRss() - before) / static_cast<double>(notes));
    benchmark::DoNotOptimize(doc->NodeCount());
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * notes));
  state.counters["bytes_per_note"] = bytes_per_note;
  state.counters["peak_rss_per_note"] = static_cast<double>(PeakRss()) / static_cast<double>(notes);
  state.counters["sizeof_CNode"] = sizeof(CNode);
}
BENCHMARK(BM_Build100kNotes)->Unit(benchmark::kMillisecond)->Iterations(3);

// A note whose colour comes from the third prototype up its chain.
struct Chain {
  std::unique_ptr<Orvex> doc = Orvex::Create("Chain.skep");
  Node* note;
  const Attribute* color;

  Chain() {
    auto* p3 = static_cast<CNode*>(doc->MakeNode("p3", nullptr, nullptr, 0, 0));
    auto* p2 = static_cast<CNode*>(doc->MakeNode("p2", nullptr, nullptr, 0, 0));
    auto* p1 = static_cast<CNode*>(doc->MakeNode("p1", nullptr, nullptr, 0, 0));
    auto* n = static_cast<CNode*>(doc->MakeNode("n", nullptr, nullptr, 0, 0));
    p3->Set("Color", "red");
    p2->SetPrototypeCache(p3);
    p1->SetPrototypeCache(p2);
    n->SetPrototypeCache(p1);
    note = n;
    color = doc->GetAttribute("Color");
  }
};

void BM_ReadInheritedByAttribute(benchmark::State& state) {
  Chain chain;
  for (auto _ : state) {
    benchmark::DoNotOptimize(chain.note->Get(chain.color));
  }
}
BENCHMARK(BM_ReadInheritedByAttribute);

void BM_ReadInheritedByName(benchmark::State& state) {
  Chain chain;
  for (auto _ : state) {
    benchmark::DoNotOptimize(chain.note->Get("$Color"));
  }
}
BENCHMARK(BM_ReadInheritedByName);

void BM_ReadDefaultByName(benchmark::State& state) {
  Chain chain;
  for (auto _ : state) {
    benchmark::DoNotOptimize(chain.note->Get("Checked"));
  }
}
BENCHMARK(BM_ReadDefaultByName);

// 10,000 children with pseudo-random text keys; each iteration sorts them the other
// way round, so no sort starts from sorted input.
void BM_Sort10kChildrenByText(benchmark::State& state) {
  auto doc = Orvex::Create("Sort.skep");
  doc->Properties().CreateBasicAttribute("Key", "User", true, AttributeType::kString);
  Node* box = doc->MakeNode("box", nullptr, nullptr, 0, 0);
  Node* last = nullptr;
  uint32_t seed = 12345;
  for (int i = 0; i < 10000; ++i) {
    last = doc->MakeNode("c", box, last, 0, 0);
    seed = seed * 1103515245 + 12345;
    last->Set("Key", "key " + std::to_string(seed % 100000));
  }
  box->Set("Sort", "Key");
  box->Set("SortTransform", state.range(0) == 0 ? "case-sensitive" : "lowercase");
  bool backward = false;
  for (auto _ : state) {
    box->SetBoolean("SortBackward", backward);
    backward = !backward;
    benchmark::DoNotOptimize(box->SortNow());
  }
  state.SetItemsProcessed(state.iterations() * 10000);
}
BENCHMARK(BM_Sort10kChildrenByText)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace fernweave
