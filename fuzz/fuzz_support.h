// What the fuzz targets share: a message sink that shows nothing, and a check that
// aborts, so libFuzzer reports a broken promise as a crash with its input.

#ifndef FERNWEAVE_FUZZ_FUZZ_SUPPORT_H_
#define FERNWEAVE_FUZZ_FUZZ_SUPPORT_H_

#include <cstdlib>
#include <string>

#include "foundation/user_messages.h"

namespace fernweave::fuzz {

class QuietMessages : public UserMessages {
 public:
  void Warn(const std::string&) override {}
};

// Sends the messages of the run nowhere; call at the start of each input.
inline void Silence() {
  static QuietMessages quiet;
  SetMessages(&quiet);
}

inline void Check(bool condition) {
  if (!condition) {
    std::abort();
  }
}

}  // namespace fernweave::fuzz

#endif  // FERNWEAVE_FUZZ_FUZZ_SUPPORT_H_
