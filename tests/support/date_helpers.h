// Helpers for tests of dates: build an STime from ISO text and dump one compactly.

#ifndef FERNWEAVE_TESTS_SUPPORT_DATE_HELPERS_H_
#define FERNWEAVE_TESTS_SUPPORT_DATE_HELPERS_H_

#include <string>

#include <unicode/locid.h>

#include "foundation/clock.h"
#include "foundation/error.h"
#include "foundation/stime.h"

namespace fernweave::test {

// The STime of a local reading "YYYY-MM-DDTHH:MM:SS" (throws "asrt" on other text).
inline STime At(const std::string& iso) {
  const std::optional<int64_t> seconds = ParseClockOverride(iso);
  Require(seconds.has_value(), "At needs YYYY-MM-DDTHH:MM:SS");
  return STime(*seconds);
}

// "2009-05-03 09:05:07", or "never".
inline std::string Dump(const STime& time) {
  return time.AsExportString("y-M0-D h:mm:s");
}

// Sets ICU's default locale for the life of the object, restoring it after.
class ScopedIcuLocale {
 public:
  explicit ScopedIcuLocale(const char* name) : previous_(icu::Locale::getDefault()) {
    UErrorCode status = U_ZERO_ERROR;
    icu::Locale::setDefault(icu::Locale(name), status);
  }
  ~ScopedIcuLocale() {
    UErrorCode status = U_ZERO_ERROR;
    icu::Locale::setDefault(previous_, status);
  }

 private:
  icu::Locale previous_;
};

}  // namespace fernweave::test

#endif  // FERNWEAVE_TESTS_SUPPORT_DATE_HELPERS_H_
