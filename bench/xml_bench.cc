// Parse throughput of XMLReader building its item tree, against expat with empty
// handlers on the same generated document: notes with several attributes and texts of
// about 500 bytes, as a document file holds them.

#include <expat.h>

#include <istream>
#include <map>
#include <streambuf>
#include <string>

#include <benchmark/benchmark.h>

#include "foundation/xml_reader.h"

namespace {

// Reads a string in place, so the benchmark measures parsing rather than copying the
// input into a string stream.
class MemoryBuffer : public std::streambuf {
 public:
  explicit MemoryBuffer(const std::string& text) {
    char* start = const_cast<char*>(text.data());
    setg(start, start, start + text.size());
  }
};

// Parses the text as the reader parses a file: through a stream, in blocks.
bool ParseFromMemory(fernweave::XMLReader* reader, const std::string& text) {
  MemoryBuffer buffer(text);
  std::istream in(&buffer);
  return reader->Parse(in, text.size());
}

const std::string& Document(int notes) {
  static std::map<int, std::string> cache;
  std::string& doc = cache[notes];
  if (!doc.empty()) {
    return doc;
  }
  const std::string sentence =
      "The quick note links to another idea &amp; keeps a caf\xC3\xA9 address. ";
  std::string text;
  while (text.size() < 500) {
    text += sentence;
  }
  doc = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<fernweave version=\"2\" revision=\"8\" >\n";
  for (int i = 0; i < notes; ++i) {
    std::string id = std::to_string(i + 1);
    doc += "<item ID=\"" + id + "\" Creator=\"fw\" name=\"Note " + id +
           "\" Color=\"#ff8000\" Xpos=\"" + std::to_string(i % 40) + "\" Ypos=\"" +
           std::to_string(i % 25) + "\" Created=\"2009-05-03T09:05:07\" >\n<text >" + text +
           "</text>\n</item>\n";
  }
  doc += "</fernweave>\n";
  return doc;
}

void BM_ItemTree(benchmark::State& state) {
  const std::string& doc = Document(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    fernweave::XMLReader reader;
    if (!ParseFromMemory(&reader, doc)) {
      state.SkipWithError("parse failed");
      return;
    }
    benchmark::DoNotOptimize(reader.root());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(doc.size()));
}

// The same, then reading every item's Mac OS Roman text, which converts it.
void BM_ItemTreeWithText(benchmark::State& state) {
  const std::string& doc = Document(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    fernweave::XMLReader reader;
    if (!ParseFromMemory(&reader, doc)) {
      state.SkipWithError("parse failed");
      return;
    }
    size_t total = 0;
    for (auto* item = reader.root()->Son(); item != nullptr; item = item->Brother()) {
      total += item->Text().size() + item->Son()->Text().size();
    }
    benchmark::DoNotOptimize(total);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(doc.size()));
}

void XMLCALL EmptyStart(void*, const XML_Char*, const XML_Char**) {}
void XMLCALL EmptyEnd(void*, const XML_Char*) {}
void XMLCALL EmptyChars(void*, const XML_Char*, int) {}

void BM_BareExpat(benchmark::State& state) {
  const std::string& doc = Document(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    XML_Parser parser = XML_ParserCreateNS(nullptr, '*');
    XML_SetElementHandler(parser, EmptyStart, EmptyEnd);
    XML_SetCharacterDataHandler(parser, EmptyChars);
    // The same 32768-byte blocks the reader uses.
    bool ok = true;
    for (size_t offset = 0; ok && offset < doc.size(); offset += 32768) {
      size_t length = std::min<size_t>(32768, doc.size() - offset);
      ok = XML_Parse(parser, doc.data() + offset, static_cast<int>(length),
                     offset + length == doc.size()) == XML_STATUS_OK;
    }
    XML_ParserFree(parser);
    if (!ok) {
      state.SkipWithError("parse failed");
      return;
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(doc.size()));
}

BENCHMARK(BM_ItemTree)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ItemTreeWithText)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareExpat)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
