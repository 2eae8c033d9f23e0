// The generated documents the benchmarks read and write: made once per program for each
// size, with the bytes they save to. The generator itself is compiled into each
// benchmark program (see the programs' includes).

#ifndef FERNWEAVE_BENCH_GENERATED_DOCUMENT_H_
#define FERNWEAVE_BENCH_GENERATED_DOCUMENT_H_

#include <map>
#include <memory>
#include <string>
#include <utility>

#include "model/orvex.h"
#include "persist/orvex_writer.h"
#include "tests/support/document_generator.h"

namespace fernweave::bench {

struct GeneratedDocument {
  std::unique_ptr<Orvex> doc;
  std::string bytes;
};

// A document of `notes` generated notes (always the same seed) and its saved bytes.
// With `plain`, the plain shape (tests/support/document_generator.h) with texts of
// about 450 bytes.
inline GeneratedDocument& Generated(int notes, bool plain = false) {
  static std::map<std::pair<int, bool>, GeneratedDocument> cache;
  GeneratedDocument& g = cache[{notes, plain}];
  if (g.doc == nullptr) {
    test::GeneratorOptions options;
    options.notes = static_cast<size_t>(notes);
    options.seed = 11;
    options.plain = plain;
    if (plain) {
      options.text_bytes = 450;
    }
    g.doc = test::GenerateDocument(options);
    g.bytes = OrvexWriter::WriteToString(*g.doc);
  }
  return g;
}

}  // namespace fernweave::bench

#endif  // FERNWEAVE_BENCH_GENERATED_DOCUMENT_H_
