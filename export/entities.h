// Entity filtering of text placed in HTML pages.
//
// The filter keeps a page readable in any encoding: every character above 0x7E becomes
// a numeric entity, a stray "&" becomes "&amp;" and, when asked (or inside a
// "<code" ... "</code" block of the text), "<" and ">" become "&lt;" and "&gt;".
// Text the system itself puts into an attribute value of a tag it writes goes through
// EncodeAttribute, which always escapes the characters that could end the value or
// start markup.

#ifndef FERNWEAVE_EXPORT_ENTITIES_H_
#define FERNWEAVE_EXPORT_ENTITIES_H_

#include <string>
#include <string_view>

namespace fernweave {

// The HTML entity filter over UTF-8 text. `keep_ampersands` lets every "&" pass;
// otherwise an "&" passes only when it starts an entity (letters, digits or "#" up to
// a ";"). Bytes that are not valid UTF-8 are written as &#xfffd;.
std::string EntityFilter(std::string_view text, bool keep_ampersands, bool quote_markup);
// Every '"' becomes "&quot;".
std::string EncodeQuotes(std::string_view text);
// Every "&" becomes "&amp;".
std::string EncodeAmpersands(std::string_view text);
// Escapes "&", "<", ">", '"' and "'" so the text can stand inside a quoted attribute
// value or between tags without changing the markup around it.
std::string EncodeAttribute(std::string_view text);

}  // namespace fernweave

#endif  // FERNWEAVE_EXPORT_ENTITIES_H_
