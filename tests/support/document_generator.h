// Generated documents for round-trip tests, fuzz seeds and benchmarks: a tree of notes
// five levels deep with user attributes of several types, texts of about 500 bytes
// (with carriage returns, markup characters and non-ASCII text), one link for every
// five notes, and some aliases and prototypes. The same options and seed always give
// the same document, ids and dates included.
//
// The plain shape is the kind of document other programs produce: every note carries
// the same four user attributes (a string, a number, a set and a date) and a text of
// plain ASCII words, with one link for every five notes and nothing else.

#ifndef FERNWEAVE_TESTS_SUPPORT_DOCUMENT_GENERATOR_H_
#define FERNWEAVE_TESTS_SUPPORT_DOCUMENT_GENERATOR_H_

#include <cstddef>
#include <cstdint>
#include <memory>

#include "model/orvex.h"

namespace fernweave::test {

struct GeneratorOptions {
  size_t notes = 1000;      // notes below the root; aliases come on top (one per 50)
  int levels = 5;           // depth of the tree
  size_t text_bytes = 500;  // approximate length of each text
  uint32_t seed = 1;
  // Extras that exercise every section of the file: styles, struck spans, pictures,
  // scripts, macros, stamps, link types, preferences and windows.
  bool extras = true;
  // The plain shape (see above); `extras` is ignored.
  bool plain = false;
};

// REQUIRES: options.notes >= 10.
std::unique_ptr<Orvex> GenerateDocument(const GeneratorOptions& options);

}  // namespace fernweave::test

#endif  // FERNWEAVE_TESTS_SUPPORT_DOCUMENT_GENERATOR_H_
