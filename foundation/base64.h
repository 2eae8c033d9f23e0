// Base64 for the binary data a document carries (pictures, compiled scripts): the
// standard alphabet with '=' padding, broken into lines the way the document file
// stores them.

#ifndef FERNWEAVE_FOUNDATION_BASE64_H_
#define FERNWEAVE_FOUNDATION_BASE64_H_

#include <string>
#include <string_view>

namespace fernweave {

// Encodes `data` (any bytes) with '=' padding, a carriage return after every 76 output
// characters and one more at the end. The empty input gives "\r".
std::string Base64Encode(std::string_view data);

// Decodes `text`, ignoring every character outside the alphabet: line breaks, padding,
// spaces and stray bytes alike. A final group of two or three characters yields one or
// two bytes; a lone trailing character carries too few bits for a byte and is dropped.
std::string Base64Decode(std::string_view text);

}  // namespace fernweave

#endif  // FERNWEAVE_FOUNDATION_BASE64_H_
