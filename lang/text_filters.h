// HTML filters of text shared by the expression language's `escapeHTML` and the export
// of notes: characters HTML cannot carry as they are become entities.

#ifndef FERNWEAVE_LANG_TEXT_FILTERS_H_
#define FERNWEAVE_LANG_TEXT_FILTERS_H_

#include <string>
#include <string_view>

namespace fernweave {

// The text (UTF-8) with "&" written "&amp;" unless `keep_ampersands` is set or it
// already starts an entity (the characters after it up to a ";" are all letters,
// digits or "#"); with `quote_markup`, "<" and ">" written "&lt;" and "&gt;"; every
// character above U+007E written "&#x" + its code point in lower-case hexadecimal +
// ";". Ill-formed bytes become U+FFFD's entity.
std::string EntityFilter(std::string_view text, bool keep_ampersands, bool quote_markup);

// Every double quote written "&quot;".
std::string EncodeQuotes(std::string_view text);

}  // namespace fernweave

#endif  // FERNWEAVE_LANG_TEXT_FILTERS_H_
