// Benchmarks of exploding a note: a 10 MB text of generated prose in paragraphs,
// exploded by paragraph and by size 500, each beside a baseline that makes the same
// notes (same names, texts and places) through the model API, one note at a time and
// inside one change batch as an explosion makes them. The ratio is the cost of finding
// the chunks, widening them to words and naming them.

#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "model/change.h"
#include "model/exploder.h"
#include "model/node.h"
#include "model/orvex.h"

namespace fernweave {
namespace {

constexpr size_t kTextBytes = 10 * 1024 * 1024;

// Sentences of 4 to 14 words, some of them not ASCII, in paragraphs of 2 to 7
// sentences separated by carriage returns; always the same text.
const std::string& Prose() {
  static const std::string text = [] {
    static constexpr const char* kWords[] = {
        "river", "stone", "lantern", "meadow", "ember", "harbour", "quiet", "north",
        "the", "a", "of", "and", "caf\xC3\xA9", "na\xC3\xAFve", "\xE6\x9D\xB1\xE4\xBA\xAC",
        "over", "under", "between", "slowly", "bright", "winter", "garden", "letter"};
    std::mt19937 rng(7);
    std::uniform_int_distribution<size_t> word(0, std::size(kWords) - 1);
    std::uniform_int_distribution<int> words(4, 14);
    std::uniform_int_distribution<int> sentences(2, 7);
    std::string out;
    out.reserve(kTextBytes + 1024);
    while (out.size() < kTextBytes) {
      for (int s = sentences(rng); s > 0; --s) {
        std::string sentence = kWords[word(rng)];
        sentence[0] = static_cast<char>(sentence[0] >= 'a' && sentence[0] <= 'z'
                                            ? sentence[0] - 'a' + 'A'
                                            : sentence[0]);
        for (int w = words(rng); w > 1; --w) {
          sentence += std::string(" ") + kWords[word(rng)];
        }
        out += sentence + (s % 5 == 0 ? "... " : s % 3 == 0 ? "? " : ". ");
      }
      out += "\r";
    }
    return out;
  }();
  return text;
}

// Answers nothing: the benchmarks call Do with their settings.
class BenchExploder : public Exploder {
 public:
  bool AskToExplode(ExplodeSettings*) override { return true; }
};

ExplodeSettings ByParagraph() {
  return ExplodeSettings{0, "\r", true, Exploder::kFirstSentence, false};
}
ExplodeSettings BySize500() {
  return ExplodeSettings{500, "", false, Exploder::kFirstSentence, false};
}

// A document holding one note with the prose.
std::unique_ptr<Orvex> ProseDocument(Node** note) {
  std::unique_ptr<Orvex> doc = Orvex::Create("Prose.skep");
  *note = doc->MakeNode("Prose", nullptr, nullptr, 0, 0);
  (*note)->SetText(Prose());
  return doc;
}

struct MadeNote {
  std::string name;
  std::string text;
  MapPoint place;
};

// The notes an explosion makes, found by one run outside the timing.
const std::vector<MadeNote>& NotesOf(const ExplodeSettings& settings) {
  static std::vector<MadeNote> by_paragraph;
  static std::vector<MadeNote> by_size;
  std::vector<MadeNote>& notes = settings.delimiter.empty() ? by_size : by_paragraph;
  if (notes.empty()) {
    Node* note = nullptr;
    std::unique_ptr<Orvex> doc = ProseDocument(&note);
    BenchExploder exploder;
    Node* exploded = exploder.Do(note, settings);
    for (const Node* n = exploded->Son(); n != nullptr; n = n->Brother()) {
      notes.push_back(MadeNote{n->Name(), n->GetText(), n->Position()});
    }
  }
  return notes;
}

void Explode(benchmark::State& state, const ExplodeSettings& settings) {
  size_t made = 0;
  for (auto _ : state) {
    state.PauseTiming();
    Node* note = nullptr;
    std::unique_ptr<Orvex> doc = ProseDocument(&note);
    BenchExploder exploder;
    state.ResumeTiming();
    Node* exploded = exploder.Do(note, settings);
    made = exploded->ChildCount();
    state.PauseTiming();
    doc.reset();
    state.ResumeTiming();
  }
  state.counters["notes"] = static_cast<double>(made);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Prose().size()));
}

// The same notes made directly inside a container, the copy of the note included;
// `batched` makes them inside one change batch, as an explosion does.
void Baseline(benchmark::State& state, const ExplodeSettings& settings, bool batched = false) {
  const std::vector<MadeNote>& notes = NotesOf(settings);
  for (auto _ : state) {
    state.PauseTiming();
    Node* note = nullptr;
    std::unique_ptr<Orvex> doc = ProseDocument(&note);
    state.ResumeTiming();
    std::optional<StChanges> changes;
    if (batched) {
      changes.emplace(doc.get());
    }
    Node* container = doc->MakeNode("Exploded Text", note, nullptr, 0, 0);
    container->SetText(note->GetText());
    Node* last = nullptr;
    for (const MadeNote& m : notes) {
      last = doc->MakeNode(m.name, container, last, m.place.x, m.place.y);
      last->SetText(m.text);
    }
    benchmark::DoNotOptimize(last);
    changes.reset();
    state.PauseTiming();
    doc.reset();
    state.ResumeTiming();
  }
  state.counters["notes"] = static_cast<double>(notes.size());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Prose().size()));
}

void BM_ExplodeByParagraph(benchmark::State& state) { Explode(state, ByParagraph()); }
void BM_BaselineByParagraph(benchmark::State& state) { Baseline(state, ByParagraph()); }
void BM_BatchedBaselineByParagraph(benchmark::State& state) {
  Baseline(state, ByParagraph(), true);
}
void BM_ExplodeBySize500(benchmark::State& state) { Explode(state, BySize500()); }
void BM_BaselineBySize500(benchmark::State& state) { Baseline(state, BySize500()); }
void BM_BatchedBaselineBySize500(benchmark::State& state) { Baseline(state, BySize500(), true); }

BENCHMARK(BM_ExplodeByParagraph)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BaselineByParagraph)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BatchedBaselineByParagraph)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExplodeBySize500)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BaselineBySize500)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BatchedBaselineBySize500)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace fernweave
