// A readable text of a parsed expression tree, for tests and `fernweave eval --tree`.
// Binary operators are written in parentheses with their sides ("($A == (($B + 1) *
// 2))"), a parenthesised group as its contents, operands as written (quoted text in
// its quotes), functions with their arguments, the items of a comma chain joined by
// ", ". The dump of a valid tree parses back to a tree with the same dump.

#ifndef FERNWEAVE_LANG_VALUE_DUMP_H_
#define FERNWEAVE_LANG_VALUE_DUMP_H_

#include <string>

namespace fernweave {

class AAValue;

// "<null>" for a null value.
std::string DumpTree(const AAValue* value);

}  // namespace fernweave

#endif  // FERNWEAVE_LANG_VALUE_DUMP_H_
