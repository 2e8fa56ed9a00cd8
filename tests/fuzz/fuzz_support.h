// What the fuzz targets share: taking an input apart, and a check that
// aborts (libFuzzer then keeps the input as a crash).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#define FUZZ_CHECK(condition)                                              \
  do {                                                                     \
    if (!(condition)) {                                                    \
      std::fprintf(stderr, "%s:%d: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                        \
    }                                                                      \
  } while (0)

// Reads an input front to back: small numbers, then texts split at a byte
// of 0xFF (never a character the functions give meaning to).
class FuzzInput {
 public:
  FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  int Number(int modulus) {
    if (at_ >= size_) return 0;
    return data_[at_++] % modulus;
  }
  std::string Text() {
    std::string text;
    while (at_ < size_ && data_[at_] != 0xFF) text += static_cast<char>(data_[at_++]);
    if (at_ < size_) ++at_;
    return text;
  }
  std::string Rest() {
    std::string text(reinterpret_cast<const char*>(data_) + at_, size_ - at_);
    at_ = size_;
    return text;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};
