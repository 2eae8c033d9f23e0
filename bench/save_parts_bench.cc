// The parts of saving a document, without the file: the writer streaming a generated
// document into a stream that discards its bytes, and on their own the steps that
// dominate it (escaping note text, forming the file form of dates and of other values).
// Set against memcpy of the same bytes, the floor for forming them in memory.

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

#include "bench/generated_document.h"
#include <benchmark/benchmark.h>

#include "foundation/clock.h"
#include "foundation/xml_writer.h"
#include "model/content.h"
#include "model/value.h"
#include "persist/orvex_writer.h"
#include "persist/safe_save.h"
// The generator is shared with the tests; compiled into this program directly.
#include "tests/support/document_generator.cc"  // NOLINT(bugprone-suspicious-include)

namespace {

using fernweave::Orvex;
using fernweave::OrvexWriter;
using fernweave::XMLWriter;

// Counts what it is given and keeps none of it.
class CountingBuffer : public std::streambuf {
 public:
  size_t count() const { return count_; }

 protected:
  std::streamsize xsputn(const char*, std::streamsize n) override {
    count_ += static_cast<size_t>(n);
    return n;
  }
  int_type overflow(int_type c) override {
    ++count_;
    return traits_type::not_eof(c);
  }

 private:
  size_t count_ = 0;
};

using Fixture = fernweave::bench::GeneratedDocument;

Fixture& Document(int notes) {
  return fernweave::bench::Generated(notes);
}

void BM_WriteDocumentDiscarding(benchmark::State& state) {
  Fixture& f = Document(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    CountingBuffer buffer;
    std::ostream os(&buffer);
    OrvexWriter writer(*f.doc);
    if (!writer.Write(os) || buffer.count() != f.bytes.size()) {
      state.SkipWithError("write failed");
      return;
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.bytes.size()));
}

// A whole save through SafeSave, as the document commands save: a temporary file
// written, flushed and fsynced, renamed over the document, and the folder fsynced.
void BM_SafeSaveDocument(benchmark::State& state) {
  Fixture& f = Document(static_cast<int>(state.range(0)));
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("fw_save_parts_" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  const std::filesystem::path target = folder / "doc.skep";
  fernweave::SafeSaveOptions options;
  options.require_existing = false;
  for (auto _ : state) {
    OrvexWriter writer(*f.doc);
    const fernweave::SaveResult result = fernweave::SafeSave(
        target, [&writer](std::ostream& os) { return writer.Write(os); }, options);
    if (!result.ok) {
      state.SkipWithError("save failed");
      break;
    }
  }
  std::filesystem::remove_all(folder);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.bytes.size()));
}

// Copying the finished bytes in 64 KiB blocks: what forming them cannot beat.
void BM_CopyDocumentBytes(benchmark::State& state) {
  Fixture& f = Document(static_cast<int>(state.range(0)));
  std::vector<char> block(1 << 16);
  for (auto _ : state) {
    for (size_t at = 0; at < f.bytes.size(); at += block.size()) {
      const size_t n = std::min(block.size(), f.bytes.size() - at);
      std::memcpy(block.data(), f.bytes.data() + at, n);
      benchmark::DoNotOptimize(block.data());
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.bytes.size()));
}

// Every note text of a generated document, escaped as the writer escapes it.
void BM_ToXMLNoteTexts(benchmark::State& state) {
  Fixture& f = Document(static_cast<int>(state.range(0)));
  std::vector<std::string_view> texts;
  size_t bytes = 0;
  const fernweave::NodeVector all = f.doc->AllNodes();
  for (size_t i = 0; i < all.size(); ++i) {
    const fernweave::Content* content = all[i]->GetContent();
    if (content != nullptr && content->HasText()) {
      texts.push_back(content->text());
      bytes += content->text().size();
    }
  }
  std::string out;
  for (auto _ : state) {
    for (std::string_view text : texts) {
      out.clear();
      XMLWriter::AppendXML(&out, text, false);
      benchmark::DoNotOptimize(out.data());
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

// Note text as the generator makes it: markup characters, quotes, carriage returns,
// tabs and non-ASCII words every few bytes.
void BM_ToXMLMixedText(benchmark::State& state) {
  const std::string text =
      "cedar café stone 日本語 x&y signal x&y emoji🙂 x&y x&y\r\"quoted\" emoji🙂 "
      "日本語\t"
      "quill river\tquill cedar ember\rorbit\remoji🙂 meadow cedar Ωμέγα lantern cedar "
      "maple café\t日本語 quill it's signal lantern meadow signal Ωμέγα\tstone ember\r";
  std::string out;
  for (auto _ : state) {
    out.clear();
    XMLWriter::AppendXML(&out, text, false);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void BM_ToXMLPlainText(benchmark::State& state) {
  std::string text;
  while (text.size() < 500) {
    text += "river stone lantern meadow ember quill harbor cedar signal orbit ";
  }
  std::string out;
  for (auto _ : state) {
    out.clear();
    XMLWriter::AppendXML(&out, text, false);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

// The file form of dates, four an hour and a day apart, as a year of notes holds them;
// with and without a cache of zone offsets (argument 1 and 0).
void BM_DateFileForm(benchmark::State& state) {
  std::vector<fernweave::ValuePtr> dates;
  for (int i = 0; i < 365; ++i) {
    // Notes made together: several dates in the same hour.
    for (int k = 0; k < 4; ++k) {
      dates.push_back(fernweave::Value::ForDate(int64_t{3800000000} + i * 86400 + k * 600));
    }
  }
  std::string out;
  for (auto _ : state) {
    out.clear();
    // One cache per save, as the writer keeps it.
    fernweave::ZoneOffsetCache offsets;
    for (const auto& d : dates) {
      d->AppendXML(&out, state.range(0) != 0 ? &offsets : nullptr);
    }
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * dates.size()));
}

// The file form of the other kinds of value a note stores.
void BM_ValueFileForm(benchmark::State& state) {
  std::vector<fernweave::ValuePtr> values;
  values.push_back(fernweave::Value::ForInt(24));
  values.push_back(fernweave::Value::ForInt(-7));
  values.push_back(fernweave::Value::ForDouble(661.7));
  values.push_back(fernweave::Value::ForBoolean(true));
  values.push_back(fernweave::Value::ForUnsigned(55000));
  values.push_back(fernweave::Value::ForString("Note 353"));
  values.push_back(fernweave::Value::ForRectangle(fernweave::SRect{1, 2, 443, 40}));
  values.push_back(fernweave::Value::ForColor("#336699"));
  std::string out;
  for (auto _ : state) {
    out.clear();
    for (const auto& v : values) {
      v->AppendXML(&out, nullptr);
    }
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * values.size()));
}

BENCHMARK(BM_WriteDocumentDiscarding)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SafeSaveDocument)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(BM_CopyDocumentBytes)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ToXMLNoteTexts)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ToXMLMixedText);
BENCHMARK(BM_ToXMLPlainText);
BENCHMARK(BM_DateFileForm)->Arg(0)->Arg(1);
BENCHMARK(BM_ValueFileForm);

}  // namespace
