// Macros: named texts a document keeps, with numbered places for arguments. `do(name,
// a, b)` in an expression and the `do` code of export templates both expand them here.
//
// Substitution reads the macro text once, character by character:
//   "\" before "$", a double quote, a single quote or "\" gives that character;
//   "$" and one or two digits is argument n ("$0" the macro name, "$1" the first
//   argument after it), with one pair of outer quotes removed; a missing argument
//   gives nothing when n is below 6 and no "." follows, else "$" and the digits as
//   written;
//   "$" before anything else gives both characters; everything else is copied.
// The result is not read again: an argument holding "$1" stays "$1".

#ifndef FERNWEAVE_LANG_MACRO_SUBSTITUTION_H_
#define FERNWEAVE_LANG_MACRO_SUBSTITUTION_H_

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fernweave {

class Hypertext;

// The macro text with `arguments` substituted; arguments[0] is the macro name.
std::string SubstituteMacro(std::string_view text, const std::vector<std::string>& arguments);

// The document's macro named arguments[0], substituted; nullopt when the document has
// no such macro or `arguments` is empty. The result is never longer than the
// language's text limit (empty when it would be).
std::optional<std::string> ExpandMacro(const Hypertext& document,
                                       const std::vector<std::string>& arguments);

}  // namespace fernweave

#endif  // FERNWEAVE_LANG_MACRO_SUBSTITUTION_H_
