#pragma once

// The byte layouts of the instrument's command and answer messages.
//
// Command message, 32 bytes, written as two 16-byte packets (bytes 0..15, then 16..31;
// the second is sent also when it holds only zeros):
//
//   offset  0 .. n-1   command text, n <= 30 characters ("#A03")
//           n          0x00
//           n+1        0xA7  end-of-message mark
//           n+2 .. 31  0x00
//
//   A longer text is cut to 30 characters: byte 30 = 0x00, byte 31 = 0xA7.
//
// Answer message, read as one 16-byte packet into bytes 0..15 of a zero-filled 32-byte
// buffer; the instrument sends a second packet (bytes 16..31) only when the first holds
// no 0xA7:
//
//   offset  0 .. 3     code of the command answered ("#Z16")
//           4 .. z-1   payload text, up to the first zero byte z
//           z          0x00
//           z+1        0xA7
//
// An answer read that times out is replaced by the substitute answer in bytes 0..5:
//   0x23 0x4E 0x4F 0x50 0xA7 0x00  ("#NOP", mark, zero); bytes 6..15 stay as they were.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace kantrel {

inline constexpr std::uint8_t kEndOfMessage = 0xA7;
inline constexpr std::size_t kCommandMessageBytes = 32;
inline constexpr std::size_t kCommandPacketBytes = 16;
inline constexpr std::size_t kMaxCommandText = 30;
inline constexpr std::size_t kAnswerPacketBytes = 16;
inline constexpr std::size_t kAnswerBufferBytes = 32;
inline constexpr std::size_t kAnswerCodeBytes = 4;
inline constexpr std::size_t kMaxAnswerText = 31;

using CommandBlock = std::array<std::uint8_t, kCommandMessageBytes>;
using AnswerBuffer = std::array<std::uint8_t, kAnswerBufferBytes>;

struct CommandMessage {
    CommandBlock block{};
    bool cut = false; // the text was longer than 30 characters
};
CommandMessage BuildCommandMessage(std::string_view text);

void WriteSubstituteAnswer(std::span<std::uint8_t, kAnswerPacketBytes> packet);

bool HoldsEndMark(std::span<const std::uint8_t> bytes);

// True when the first four bytes of both are equal (exact; a shorter text counts as
// padded with zero bytes).
bool SameCode(std::string_view a, std::string_view b);
std::string_view AnswerCode(std::span<const std::uint8_t, kAnswerBufferBytes> answer);

// The payload: the bytes from offset 4 up to the first zero byte (or the end of the
// buffer), at most maxLength of them, copied unchanged.
std::string AnswerText(std::span<const std::uint8_t, kAnswerBufferBytes> answer,
                       std::size_t maxLength = kMaxAnswerText);

// The payload as a number: sign, digits, fraction, exponent. The first '.' or ',' is the
// decimal point, whatever the regional settings say; the number ends at the first
// character that cannot continue it; no number at all (also "nan" or "inf") gives 0.0.
double ParseAnswerNumber(std::span<const std::uint8_t, kAnswerBufferBytes> answer);
double ParseDecimalPrefix(std::string_view text);

} // namespace kantrel
