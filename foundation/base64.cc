#include "foundation/base64.h"

#include <array>
#include <cstdint>

namespace fernweave {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr size_t kLineLength = 76;

// Maps each byte to its six-bit value, or -1 for bytes outside the alphabet.
constexpr std::array<int8_t, 256> MakeDecodeTable() {
  std::array<int8_t, 256> table{};
  for (int8_t& entry : table) {
    entry = -1;
  }
  for (int i = 0; i < 64; ++i) {
    table[static_cast<unsigned char>(kAlphabet[i])] = static_cast<int8_t>(i);
  }
  return table;
}

constexpr std::array<int8_t, 256> kDecodeTable = MakeDecodeTable();

}  // namespace

std::string Base64Encode(std::string_view data) {
  std::string out;
  size_t encoded_length = (data.size() + 2) / 3 * 4;
  out.reserve(encoded_length + encoded_length / kLineLength + 1);
  size_t on_line = 0;
  const auto emit = [&](char c) {
    out.push_back(c);
    if (++on_line == kLineLength) {
      out.push_back('\r');
      on_line = 0;
    }
  };
  size_t i = 0;
  for (; i + 3 <= data.size(); i += 3) {
    uint32_t group = static_cast<uint32_t>(static_cast<unsigned char>(data[i])) << 16 |
                     static_cast<uint32_t>(static_cast<unsigned char>(data[i + 1])) << 8 |
                     static_cast<unsigned char>(data[i + 2]);
    emit(kAlphabet[(group >> 18) & 63]);
    emit(kAlphabet[(group >> 12) & 63]);
    emit(kAlphabet[(group >> 6) & 63]);
    emit(kAlphabet[group & 63]);
  }
  size_t rest = data.size() - i;
  if (rest > 0) {
    uint32_t group = static_cast<uint32_t>(static_cast<unsigned char>(data[i])) << 16;
    if (rest == 2) {
      group |= static_cast<uint32_t>(static_cast<unsigned char>(data[i + 1])) << 8;
    }
    emit(kAlphabet[(group >> 18) & 63]);
    emit(kAlphabet[(group >> 12) & 63]);
    emit(rest == 2 ? kAlphabet[(group >> 6) & 63] : '=');
    emit('=');
  }
  out.push_back('\r');
  return out;
}

std::string Base64Decode(std::string_view text) {
  std::string out;
  out.reserve(text.size() / 4 * 3 + 2);
  uint32_t group = 0;
  int count = 0;
  for (char c : text) {
    int8_t value = kDecodeTable[static_cast<unsigned char>(c)];
    if (value < 0) {
      continue;
    }
    group = group << 6 | static_cast<uint32_t>(value);
    if (++count == 4) {
      out.push_back(static_cast<char>(group >> 16));
      out.push_back(static_cast<char>(group >> 8));
      out.push_back(static_cast<char>(group));
      group = 0;
      count = 0;
    }
  }
  if (count == 2) {
    out.push_back(static_cast<char>(group >> 4));
  } else if (count == 3) {
    out.push_back(static_cast<char>(group >> 10));
    out.push_back(static_cast<char>(group >> 2));
  }
  return out;
}

}  // namespace fernweave
