#include <gtest/gtest.h>

#include "core/text_encoding.h"

namespace kantrel {
namespace {

struct DecodeCase {
    std::string bytes, utf8;
};

const DecodeCase kDecodeCases[] = {
    {"plain", "plain"},
    {"\xC2\xB5m", "\xC2\xB5m"},                       // valid UTF-8 stays
    {"\xB5m", "\xC2\xB5m"},                           // Windows-1252 micro sign
    {"\x80 \x9F", "\xE2\x82\xAC \xC5\xB8"},           // euro sign, Y with diaeresis
    {"\xC3", "\xC3\x83"},                             // a lone lead byte is not UTF-8
    {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xE2\x82\xAC"}, // an encoded surrogate is not UTF-8
    {"\xE2\x82", "\xC3\xA2\xE2\x80\x9A"},             // a sequence cut by the end of the text
    {"\xF0\x9F\x98\x80!", "\xF0\x9F\x98\x80!"},       // four bytes
    {"\xC0\xAF", "\xC3\x80\xC2\xAF"},                 // an overlong form is not UTF-8
    // One Windows byte in a UTF-8 text changes only that byte: "Über" stays.
    {"\xC3\x9C"
     "ber \xB5m \xE2\x82\xAC",
     "\xC3\x9C"
     "ber \xC2\xB5m \xE2\x82\xAC"},
    {"\xC3\x9C\xE4", "\xC3\x9C\xC3\xA4"},
    {"\xE4\xC3\x9C", "\xC3\xA4\xC3\x9C"},
};

TEST(TextEncoding, ValidSequencesStayAndOtherBytesAreWindows1252) {
    for (const DecodeCase& c : kDecodeCases) {
        SCOPED_TRACE(c.bytes);
        EXPECT_EQ(DecodeTextFile(c.bytes), c.utf8);
    }
}

// A text that arrives in pieces decodes as the whole text does, wherever it is cut.
TEST(TextEncoding, PiecesDecodeAsTheWholeText) {
    for (const DecodeCase& c : kDecodeCases) {
        for (std::size_t cut1 = 0; cut1 <= c.bytes.size(); ++cut1) {
            for (std::size_t cut2 = cut1; cut2 <= c.bytes.size(); ++cut2) {
                SCOPED_TRACE(c.bytes + " cut at " + std::to_string(cut1) + ", " + std::to_string(cut2));
                TextDecoder decoder;
                std::string out;
                decoder.Decode(std::string_view(c.bytes).substr(0, cut1), out);
                decoder.Decode(std::string_view(c.bytes).substr(cut1, cut2 - cut1), out);
                decoder.Decode(std::string_view(c.bytes).substr(cut2), out);
                decoder.Finish(out);
                EXPECT_EQ(out, c.utf8);
            }
        }
    }
}

TEST(TextEncoding, SequenceLengths) {
    struct Case {
        std::string bytes;
        Utf8Sequence::Kind kind;
        std::size_t length;
    } cases[] = {
        {"a", Utf8Sequence::Valid, 1},          {"\xC2\xB5", Utf8Sequence::Valid, 2},
        {"\xE2\x82\xAC", Utf8Sequence::Valid, 3}, {"\xE2\x82", Utf8Sequence::Truncated, 0},
        {"\xE2\x28", Utf8Sequence::Invalid, 0}, {"\xB5", Utf8Sequence::Invalid, 0},
        {"\xF4\x90\x80\x80", Utf8Sequence::Invalid, 0}, // beyond U+10FFFF
        {"\xED\xA0", Utf8Sequence::Invalid, 0},         // a surrogate already shows in its second byte
        {"", Utf8Sequence::Truncated, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        const Utf8Sequence s = NextUtf8Sequence(c.bytes);
        EXPECT_EQ(s.kind, c.kind);
        EXPECT_EQ(s.length, c.length);
    }
}

} // namespace
} // namespace kantrel
