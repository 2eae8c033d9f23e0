// How fast typed dates are read and dates are written: the translator on texts that
// take each recogniser (the locale forms both on a cache hit and on a miss), and the
// export date format.

#include <stdlib.h>
#include <time.h>

#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <unicode/locid.h>

#include "foundation/clock.h"
#include "foundation/date_translator.h"
#include "foundation/stime.h"

namespace {

void SetUpClockAndLocale() {
  static const bool done = [] {
    setenv("TZ", "America/New_York", 1);
    tzset();
    UErrorCode status = U_ZERO_ERROR;
    icu::Locale::setDefault(icu::Locale("en_US"), status);
    fernweave::SetNowForTesting(fernweave::ParseClockOverride("2009-05-04T10:17:33"));
    return true;
  }();
  (void)done;
}

void Translate(benchmark::State& state, const std::string& text) {
  SetUpClockAndLocale();
  for (auto _ : state) {
    fernweave::DateTranslator translator(text);
    benchmark::DoNotOptimize(translator.GetTime());
  }
}

void BM_TranslateKeyword(benchmark::State& state) {
  Translate(state, "tomorrow 9:30 pm");
}
void BM_TranslateWeekday(benchmark::State& state) {
  Translate(state, "Mon 5:00 pm");
}
void BM_TranslateIso(benchmark::State& state) {
  Translate(state, "2009-05-03T09:05:07-04:00");
}
void BM_TranslateNumber(benchmark::State& state) {
  Translate(state, "3324186307");
}
void BM_TranslateLocaleCached(benchmark::State& state) {
  Translate(state, "May 3, 2009 +2 days");
}
void BM_TranslateDayMonthYear(benchmark::State& state) {
  Translate(state, "3 May 09 +2 days");
}

// Every text is new, so each one runs the locale parsers until one takes it.
void BM_TranslateLocaleUncached(benchmark::State& state) {
  SetUpClockAndLocale();
  std::vector<std::string> texts;
  for (int year = 1901; year < 2100; ++year) {
    for (int day = 1; day <= 28; ++day) {
      texts.push_back("February " + std::to_string(day) + ", " + std::to_string(year) +
                      " at 9:05:07 AM GMT");
    }
  }
  size_t i = 0;
  for (auto _ : state) {
    if (i == texts.size()) {
      state.PauseTiming();
      fernweave::DateTranslator::cache().Clear();
      i = 0;
      state.ResumeTiming();
    }
    fernweave::DateTranslator translator(texts[i++]);
    benchmark::DoNotOptimize(translator.GetTime());
  }
}

// A text no recogniser takes tries every locale parser and every hand-written reader.
void BM_TranslateInvalid(benchmark::State& state) {
  Translate(state, "Sept 3, 2009");
}

void BM_ExportString(benchmark::State& state) {
  SetUpClockAndLocale();
  const fernweave::STime time(int64_t{3324186307});
  for (auto _ : state) {
    benchmark::DoNotOptimize(time.AsExportString("W, MM d, y h:mm:s p"));
  }
}

void BM_ExportStringLocale(benchmark::State& state) {
  SetUpClockAndLocale();
  const fernweave::STime time(int64_t{3324186307});
  for (auto _ : state) {
    benchmark::DoNotOptimize(time.AsExportString("l t ="));
  }
}

BENCHMARK(BM_TranslateKeyword);
BENCHMARK(BM_TranslateWeekday);
BENCHMARK(BM_TranslateIso);
BENCHMARK(BM_TranslateNumber);
BENCHMARK(BM_TranslateLocaleCached);
BENCHMARK(BM_TranslateDayMonthYear);
BENCHMARK(BM_TranslateLocaleUncached);
BENCHMARK(BM_TranslateInvalid);
BENCHMARK(BM_ExportString);
BENCHMARK(BM_ExportStringLocale);

}  // namespace
