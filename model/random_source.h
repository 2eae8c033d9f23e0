// A source of random numbers the whole model draws from ("randomchild", the random
// link guard). The process holds one current source; tests install a seeded one so
// that draws repeat from run to run.

#ifndef FERNWEAVE_MODEL_RANDOM_SOURCE_H_
#define FERNWEAVE_MODEL_RANDOM_SOURCE_H_

#include <cstdint>

namespace fernweave {

class RandomSource {
 public:
  virtual ~RandomSource();
  // A value in [0, n); 0 when n is 0.
  virtual uint32_t Next(uint32_t n) = 0;
  // A raw draw in [0, kRawMax], as the C library's rand() gives.
  virtual uint32_t Raw() = 0;
  static constexpr uint32_t kRawMax = 0x7fffffff;
};

// A source seeded from a fixed number: the same seed gives the same draws.
class SeededRandom : public RandomSource {
 public:
  explicit SeededRandom(uint64_t seed);
  uint32_t Next(uint32_t n) override;
  uint32_t Raw() override;

 private:
  uint64_t state_;
};

// The process-wide source; by default one seeded from the clock at first use.
RandomSource& Random();

// Installs `source` as the process-wide source (null restores the default) and
// returns the one it replaces (null when that was the default). Does not take
// ownership: `source` must outlive its installation.
RandomSource* SetRandom(RandomSource* source);

}  // namespace fernweave

#endif  // FERNWEAVE_MODEL_RANDOM_SOURCE_H_
