// The named functions of the expression language: one table from each name (aliases
// included) to the way its arguments are read and the maker of its value.
//
// The parser recognises every name of the table. A row whose maker is still null
// parses its arguments as the row says and then yields an invalid value whose text is
// "<name>: not available yet" (the parser stores the same message), so a document that
// uses such a function is told plainly rather than given a made-up result. Functions
// become available by setting the maker of their rows (function_table.cc).

#ifndef FERNWEAVE_LANG_FUNCTION_TABLE_H_
#define FERNWEAVE_LANG_FUNCTION_TABLE_H_

#include <memory>
#include <string>
#include <string_view>

#include "lang/aa_value.h"
#include "lang/list_splitters.h"

namespace fernweave {

// How a function reads its arguments.
enum class ArgumentConvention {
  kList,        // "(a, b)" split into raw texts; the function parses them itself
  kSingle,      // the first raw text parsed as an expression ("0" when there is none)
  kPath,        // the first raw text kept as a literal designator
  kExpression,  // the whole group parsed as one expression, commas making a chain
  kIf,          // if(condition){then} else {else}
  kLinks,       // links[(designator)].direction.type.attribute
};

// What a maker receives.
struct FunctionCall {
  std::string name;          // the name as written (an alias stays an alias)
  std::string canonical;     // the table's main name for the function
  ArgList raw;               // the raw argument texts
  // kSingle: the parsed first argument; kPath: the designator as a literal text (or a
  // default value); kExpression: the parsed chain (first argument, its `next` the
  // second, ...). Null for kList.
  std::unique_ptr<AAValue> arguments;
  bool case_sensitive = false;
  ArgumentConvention convention = ArgumentConvention::kList;
  // How many groups deep the call lies; arguments a maker parses itself lie one deeper.
  int nesting = 0;
};

// Makes the function's value; may return an AAInvalid (for example "sum: syntax error"
// for too few arguments). Never null.
using FunctionMaker = std::unique_ptr<AAValue> (*)(FunctionCall call);

struct FunctionEntry {
  const char* name;
  const char* canonical;
  ArgumentConvention convention;
  FunctionMaker maker;  // null while the function is not available
};

// The row for `name` (matched exactly, case-sensitively), or null.
const FunctionEntry* FindFunction(std::string_view name);

// Every row, for tests and documentation.
const FunctionEntry* FunctionTableBegin();
const FunctionEntry* FunctionTableEnd();

}  // namespace fernweave

#endif  // FERNWEAVE_LANG_FUNCTION_TABLE_H_
