#pragma once

// What the fuzz targets share. Each target is one LLVMFuzzerTestOneInput; built with
// clang and libFuzzer it is a fuzzer (script/fuzz), built as a test it replays the kept
// inputs of tests/fuzz/corpus/<target>.
//
// A target checks properties with FUZZ_CHECK. A broken property is a finding: the
// fuzzer aborts (and keeps the input), the replay test reports the input and goes on.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kantrel::fuzz {

[[noreturn]] void PropertyFailed(const char* condition, const std::string& detail, const char* file,
                                 int line);

#define FUZZ_CHECK(condition)                                                                                \
    do {                                                                                                     \
        if (!(condition))                                                                                    \
            ::kantrel::fuzz::PropertyFailed(#condition, {}, __FILE__, __LINE__);                             \
    } while (0)
// detail: an expression giving a std::string, evaluated only when the check fails.
#define FUZZ_CHECK_MSG(condition, detail)                                                                    \
    do {                                                                                                     \
        if (!(condition))                                                                                    \
            ::kantrel::fuzz::PropertyFailed(#condition, (detail), __FILE__, __LINE__);                       \
    } while (0)

// Takes a fuzz input apart from the front: single bytes, doubles, and texts that end at
// a zero byte. What is missing at the end reads as zero or empty.
class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size)
        : rest_(reinterpret_cast<const char*>(data), size) {}

    bool Empty() const { return rest_.empty(); }
    std::uint8_t Byte();
    // A selector byte below 0x60 picks one of the values that tend to break arithmetic
    // (0, -0, NaN, infinities, the largest and smallest doubles, ...); up to 0xBF, the
    // next two bytes are a signed 16-bit number scaled by a power of ten (1e-8 to 1e7);
    // from 0xC0, the next eight bytes are the double's bit pattern.
    double Double();
    // The bytes up to the next zero byte (which is consumed) or the end.
    std::string_view Text();
    std::string_view Rest();

private:
    std::string_view rest_;
};

// A value text read back as a number: blanks in front dropped, the first separator made
// a point, the rest read whole; nullopt when that is no number.
std::optional<double> ReadValueText(std::string text, std::string_view separator);

} // namespace kantrel::fuzz
