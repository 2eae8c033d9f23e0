// A compact, complete text dump of a document for comparing a saved document with the
// one read back: every note in outline order with its kind, identity, stored values
// and text, then the links, link types, colours, stamps, macros, preferences, windows
// and the user attribute definitions. Two documents that dump alike hold the same data.

#ifndef FERNWEAVE_TESTS_SUPPORT_DOCUMENT_DUMP_H_
#define FERNWEAVE_TESTS_SUPPORT_DOCUMENT_DUMP_H_

#include <string>

#include "model/hypertext.h"

namespace fernweave::test {

std::string DumpDocument(const Hypertext& doc);

}  // namespace fernweave::test

#endif  // FERNWEAVE_TESTS_SUPPORT_DOCUMENT_DUMP_H_
