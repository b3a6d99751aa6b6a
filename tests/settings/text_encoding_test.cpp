#include <gtest/gtest.h>

#include "settings/text_encoding.h"

namespace kantrel {
namespace {

TEST(TextEncoding, Utf8PassesAndWindowsBytesAreConverted) {
    struct Case {
        std::string bytes, utf8;
    } cases[] = {
        {"plain", "plain"},
        {"\xC2\xB5m", "\xC2\xB5m"},            // valid UTF-8 stays
        {"\xB5m", "\xC2\xB5m"},                // Windows-1252 micro sign
        {"\x80 \x9F", "\xE2\x82\xAC \xC5\xB8"},  // euro sign, Y with diaeresis
        {"\xC3", "\xC3\x83"},                  // a lone lead byte is not UTF-8
        {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xE2\x82\xAC"},  // an encoded surrogate is not UTF-8
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        EXPECT_EQ(DecodeTextFile(c.bytes), c.utf8);
    }
}

}  // namespace
}  // namespace kantrel
