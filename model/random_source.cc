#include "model/random_source.h"

#include <chrono>

namespace fernweave {

RandomSource::~RandomSource() = default;

SeededRandom::SeededRandom(uint64_t seed) : state_(seed) {}

uint32_t SeededRandom::Raw() {
  // splitmix64: small, fast and well mixed even for seeds 0 and 1.
  state_ += 0x9e3779b97f4a7c15ull;
  uint64_t z = state_;
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
  z ^= z >> 31;
  return static_cast<uint32_t>(z >> 33) & kRawMax;
}

uint32_t SeededRandom::Next(uint32_t n) {
  if (n == 0) {
    return 0;
  }
  // Scale in 64 bits so the product never overflows and the result stays below n.
  uint64_t scaled = static_cast<uint64_t>(Raw()) * n / (static_cast<uint64_t>(kRawMax) + 1);
  return static_cast<uint32_t>(scaled);
}

namespace {

RandomSource* installed = nullptr;

SeededRandom& DefaultSource() {
  static SeededRandom source(
      static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
  return source;
}

}  // namespace

RandomSource& Random() {
  return installed != nullptr ? *installed : DefaultSource();
}

RandomSource* SetRandom(RandomSource* source) {
  RandomSource* previous = installed;
  installed = source;
  return previous;
}

}  // namespace fernweave
