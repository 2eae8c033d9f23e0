// Foundation: the lowest layer of Fernweave. It holds the internal error type, the
// user-message and progress interfaces that stand in for the desktop platform, the
// clock, dates and times, the XML layer, text encodings and Base64. Nothing here
// includes any other project folder.
//
// Internal errors are programming errors: something that must exist is missing. They
// are thrown as `Error`, which carries a four-character code. Text a user writes never
// throws; it is reported through the objects that parse it.

#ifndef FERNWEAVE_FOUNDATION_ERROR_H_
#define FERNWEAVE_FOUNDATION_ERROR_H_

#include <stdexcept>
#include <string>
#include <string_view>

namespace fernweave {

// The four-character codes an `Error` may carry. Keep every code here, each with a
// comment, so callers and tests name the same codes.
namespace error_code {
// An object that must exist is missing (an assertion about the model failed).
inline constexpr std::string_view kAsrt = "asrt";
// A null attribute or link endpoint was handed to an operation that needs one.
inline constexpr std::string_view kNilP = "nilP";
// The system ran out of a resource it cannot do without (memory, a parser).
inline constexpr std::string_view kMemF = "memF";
}  // namespace error_code

// The one exception type of the system.
class Error : public std::runtime_error {
 public:
  // REQUIRES: code is four characters long.
  Error(std::string_view code, const std::string& detail);

  const std::string& code() const { return code_; }
  // "asrt: detail" — the code, a colon and the detail.
  std::string ToString() const;

 private:
  std::string code_;
};

// Throws Error(kAsrt, what) unless condition holds.
void Require(bool condition, const char* what);

// Throws Error(kNilP, what) when p is null; returns p otherwise.
template <typename T>
T* RequireNotNull(T* p, const char* what) {
  if (p == nullptr) {
    throw Error(error_code::kNilP, what);
  }
  return p;
}

}  // namespace fernweave

#endif  // FERNWEAVE_FOUNDATION_ERROR_H_
