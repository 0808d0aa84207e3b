// The key codes the windows' key events carry and the views answer: Windows virtual key codes.
// Letters and digits are their upper-case ASCII codes ('A', '0').
#pragma once

#include <cstdint>

inline constexpr std::uint16_t kVkBack = 8;
inline constexpr std::uint16_t kVkTab = 9;
inline constexpr std::uint16_t kVkReturn = 13;
inline constexpr std::uint16_t kVkEscape = 27;
inline constexpr std::uint16_t kVkSpace = 32;
inline constexpr std::uint16_t kVkPageUp = 33;
inline constexpr std::uint16_t kVkPageDown = 34;
inline constexpr std::uint16_t kVkEnd = 35;
inline constexpr std::uint16_t kVkHome = 36;
inline constexpr std::uint16_t kVkLeft = 37;
inline constexpr std::uint16_t kVkUp = 38;
inline constexpr std::uint16_t kVkRight = 39;
inline constexpr std::uint16_t kVkDown = 40;
inline constexpr std::uint16_t kVkInsert = 45;
inline constexpr std::uint16_t kVkDelete = 46;
inline constexpr std::uint16_t kVkNumpad0 = 96; // to kVkNumpad0 + 9
inline constexpr std::uint16_t kVkMultiply = 106;
inline constexpr std::uint16_t kVkAdd = 107;
inline constexpr std::uint16_t kVkSeparator = 108;
inline constexpr std::uint16_t kVkSubtract = 109;
inline constexpr std::uint16_t kVkDecimal = 110;
inline constexpr std::uint16_t kVkDivide = 111;
inline constexpr std::uint16_t kVkF1 = 112; // to kVkF1 + 23
