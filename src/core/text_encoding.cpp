#include "core/text_encoding.h"

#include <algorithm>
#include <array>

namespace kantrel {
namespace {

// Windows-1252 0x80..0x9F; the five unassigned codes map to the C1 controls of the
// same value, as Windows itself converts them.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void AppendWindows1252(std::string& out, unsigned char c) {
    if (c < 0x80)
        out.push_back(static_cast<char>(c));
    else if (c < 0xA0)
        AppendUtf8(out, kHighControls[c - 0x80]);
    else
        AppendUtf8(out, c);
}

// The range of the second byte after a lead byte: it rules out overlong forms,
// surrogates and code points beyond U+10FFFF.
struct SecondByteRange {
    unsigned char low, high;
};
SecondByteRange SecondByteAfter(unsigned char lead) {
    switch (lead) {
    case 0xE0:
        return {0xA0, 0xBF};
    case 0xED:
        return {0x80, 0x9F};
    case 0xF0:
        return {0x90, 0xBF};
    case 0xF4:
        return {0x80, 0x8F};
    default:
        return {0x80, 0xBF};
    }
}

// Decodes from the start of data and returns how many bytes it took. Without `final`
// it stops in front of a sequence that the end of data cuts.
std::size_t DecodeAvailable(std::string_view data, bool final, std::string& out) {
    std::size_t i = 0;
    while (i < data.size()) {
        const auto ascii = std::find_if(data.begin() + static_cast<std::ptrdiff_t>(i), data.end(),
                                        [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
        const auto run = static_cast<std::size_t>(ascii - data.begin()) - i;
        out.append(data.substr(i, run));
        i += run;
        if (i == data.size())
            break;
        const Utf8Sequence s = NextUtf8Sequence(data.substr(i));
        if (s.kind == Utf8Sequence::Valid) {
            out.append(data.substr(i, s.length));
            i += s.length;
        } else if (s.kind == Utf8Sequence::Truncated && !final) {
            break;
        } else {
            AppendWindows1252(out, static_cast<unsigned char>(data[i]));
            ++i;
        }
    }
    return i;
}

} // namespace

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

std::u32string Utf8ToCodePoints(std::string_view text) {
    std::u32string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        if (extra > 0 && i + static_cast<std::size_t>(extra) >= text.size())
            extra = 0;
        char32_t cp = extra == 0 ? c : (c & (0x3F >> extra));
        for (int k = 1; k <= extra; ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]) & 0x3F);
        out.push_back(cp);
        i += static_cast<std::size_t>(extra) + 1;
    }
    return out;
}

Utf8Sequence NextUtf8Sequence(std::string_view bytes) {
    if (bytes.empty())
        return {Utf8Sequence::Truncated, 0};
    const auto lead = static_cast<unsigned char>(bytes[0]);
    if (lead < 0x80)
        return {Utf8Sequence::Valid, 1};
    std::size_t length = 0;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4;
    else
        return {Utf8Sequence::Invalid, 0};
    for (std::size_t k = 1; k < length; ++k) {
        if (k >= bytes.size())
            return {Utf8Sequence::Truncated, 0};
        const auto c = static_cast<unsigned char>(bytes[k]);
        const SecondByteRange range = k == 1 ? SecondByteAfter(lead) : SecondByteRange{0x80, 0xBF};
        if (!IsUtf8ContinuationByte(static_cast<char>(c)) || c < range.low || c > range.high)
            return {Utf8Sequence::Invalid, 0};
    }
    return {Utf8Sequence::Valid, length};
}

bool IsValidUtf8(std::string_view bytes) {
    while (!bytes.empty()) {
        const Utf8Sequence sequence = NextUtf8Sequence(bytes);
        if (sequence.kind != Utf8Sequence::Valid)
            return false;
        bytes.remove_prefix(sequence.length);
    }
    return true;
}

void TextDecoder::Decode(std::string_view bytes, std::string& out) {
    if (!pending_.empty()) {
        // The cut sequence and enough of the new bytes to finish it.
        const std::size_t added = std::min<std::size_t>(bytes.size(), 4);
        const std::string joined = pending_ + std::string(bytes.substr(0, added));
        const std::size_t used = DecodeAvailable(joined, false, out);
        if (used < pending_.size()) {
            pending_ = joined.substr(used);
            return;
        }
        bytes.remove_prefix(used - pending_.size());
        pending_.clear();
    }
    const std::size_t used = DecodeAvailable(bytes, false, out);
    pending_ = std::string(bytes.substr(used));
}

void TextDecoder::Finish(std::string& out) {
    DecodeAvailable(pending_, true, out);
    pending_.clear();
}

std::string DecodeTextFile(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    DecodeAvailable(bytes, true, out);
    return out;
}

std::size_t CountUtf8Characters(std::string_view text) {
    return static_cast<std::size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return !IsUtf8ContinuationByte(c); }));
}

std::string Windows1252ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (const char c : bytes)
        AppendWindows1252(out, static_cast<unsigned char>(c));
    return out;
}

} // namespace kantrel
