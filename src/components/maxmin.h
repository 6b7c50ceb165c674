#pragma once
// Integer larger/smaller, shared by the components and the picture codecs.
#include <cstdint>

namespace r56 {

constexpr std::int32_t LargerInt(std::int32_t a, std::int32_t b) { return a > b ? a : b; }
constexpr std::int32_t SmallerInt(std::int32_t a, std::int32_t b) { return a < b ? a : b; }

} // namespace r56
