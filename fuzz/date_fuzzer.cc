// Feeds any text to the date translator (alone and against a note whose attributes
// are dates, the text itself, or nothing) and writes the results with every output
// form. Input: the date text, optionally followed by '\x01' and an export date format.

#include <stdlib.h>
#include <time.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include <unicode/locid.h>

#include "foundation/clock.h"
#include "foundation/date_translator.h"
#include "foundation/stime.h"

namespace {

// Inputs longer than this only cost time: every recogniser is linear in the text.
constexpr size_t kMaxInput = 256;

class FuzzNote : public fernweave::DateAttributeSource {
 public:
  explicit FuzzNote(const std::string& text) : text_(text) {}
  std::string GetAttributeText(const std::string& name) const override {
    if (name == "Self") {
      return text_;
    }
    if (name == "Due") {
      return "2009-05-03T09:05:07";
    }
    return "";
  }

 private:
  const std::string& text_;
};

void Exercise(const fernweave::STime& time, const std::string& text, const std::string& format) {
  time.AsExportString(format);
  time.ISO8601DateString();
  time.RFC822DateString();
  time.AsShortString();
  time.LongDateString();
  time.GetDateTimeRec();
  time.Add(text).SetTime(text).AsExportString("=*");
  time.FromGMT();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool initialised = [] {
    setenv("TZ", "America/New_York", 1);
    tzset();
    UErrorCode status = U_ZERO_ERROR;
    icu::Locale::setDefault(icu::Locale("en_US"), status);
    fernweave::SetNowForTesting(fernweave::ParseClockOverride("2009-05-04T10:17:33"));
    return true;
  }();
  (void)initialised;
  if (size > kMaxInput) {
    return 0;
  }
  const std::string input(reinterpret_cast<const char*>(data), size);
  const size_t split = input.find('\x01');
  const std::string text = input.substr(0, split);
  const std::string format =
      split == std::string::npos ? "W, MM d, y h:mm:s p" : input.substr(split + 1);

  fernweave::DateTranslator plain(text);
  plain.Translate();
  Exercise(plain.GetTime(), text, format);

  const FuzzNote note(text);
  fernweave::DateTranslator with_note(text, &note);
  with_note.IsValid();
  Exercise(with_note.GetTime(), text, format);

  fernweave::STime::IsDate(text);
  fernweave::DateTranslator::For(text);
  return 0;
}
