#include "foundation/error.h"

namespace fernweave {

Error::Error(std::string_view code, const std::string& detail)
    : std::runtime_error(std::string(code) + ": " + detail), code_(code) {}

std::string Error::ToString() const { return what(); }

void Require(bool condition, const char* what) {
  if (!condition) {
    throw Error(error_code::kAsrt, what);
  }
}

}  // namespace fernweave
