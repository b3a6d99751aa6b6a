#include <gtest/gtest.h>

#include <string>

#include "device/packet_layout.h"

namespace kantrel {
namespace {

AnswerBuffer Answer(std::string_view codeAndPayload) {
    AnswerBuffer buffer{};
    std::copy(codeAndPayload.begin(), codeAndPayload.end(), buffer.begin());
    return buffer;
}

TEST(CommandMessage, LayoutOfTextZeroAndEndMark) {
    const std::string thirty(30, 'x');
    const std::string thirtyOne = thirty + "y";
    struct Case {
        std::string text;
        std::size_t kept; // characters of the text in the block
        bool cut;
    } cases[] = {
        {"#A03", 4, false},
        {"", 0, false},
        {"#Z16,5", 6, false},
        {std::string(14, 'a'), 14, false}, // zero and mark just fit into the first packet
        {std::string(15, 'a'), 15, false}, // the mark moves into the second packet
        {thirty, 30, false},
        {thirtyOne, 30, true},
        {std::string(64, 'z'), 30, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("text of " + std::to_string(c.text.size()) + " characters");
        const CommandMessage m = BuildCommandMessage(c.text);
        EXPECT_EQ(m.cut, c.cut);
        CommandBlock expected{};
        std::copy_n(c.text.begin(), c.kept, expected.begin());
        expected[c.kept + 1] = 0xA7;
        EXPECT_EQ(m.block, expected);
    }
}

TEST(CommandMessage, A03FitsWhollyIntoTheFirstPacket) {
    const CommandBlock block = BuildCommandMessage("#A03").block;
    const CommandBlock expected = {0x23, 0x41, 0x30, 0x33, 0x00, 0xA7};
    EXPECT_EQ(block, expected);
    EXPECT_TRUE(HoldsEndMark(std::span(block).first(16)));
    EXPECT_FALSE(HoldsEndMark(std::span(block).last(16)));
}

TEST(SubstituteAnswer, WritesNopMarkAndZeroAndKeepsTheRest) {
    std::array<std::uint8_t, 16> packet;
    for (std::size_t i = 0; i < packet.size(); ++i)
        packet[i] = static_cast<std::uint8_t>(0x40 + i);
    const auto before = packet;
    WriteSubstituteAnswer(packet);
    const std::array<std::uint8_t, 6> head = {0x23, 0x4E, 0x4F, 0x50, 0xA7, 0x00};
    EXPECT_TRUE(std::equal(head.begin(), head.end(), packet.begin()));
    EXPECT_TRUE(std::equal(before.begin() + 6, before.end(), packet.begin() + 6));
}

TEST(SameCode, ComparesExactlyFourBytes) {
    struct Case {
        std::string_view a, b;
        bool same;
    } cases[] = {
        {"#Z16", "#Z16", true},  {"#Z16abc", "#Z16", true}, {"#z16", "#Z16", false},
        {"#Z17", "#Z16", false}, {"#NO", "#NOP", false},    {"", "", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " / " + std::string(c.b));
        EXPECT_EQ(SameCode(c.a, c.b), c.same);
    }
}

TEST(AnswerText, RunsToTheFirstZeroWithinLimits) {
    struct Case {
        std::string_view raw;
        std::size_t limit;
        std::string text;
    } cases[] = {
        {"#I05Tensolog 1.2", kMaxAnswerText, "Tensolog 1.2"},
        {"#Z18ABCDEFGHIJKLMNOPQRSTUVWXY", 20, "ABCDEFGHIJKLMNOPQRST"}, // 25 characters: first 20 kept
        {"#Z75Newton", 8, "Newton"},
        {"#Z75kilonewton", 8, "kilonewt"},
        {"#Z74", kMaxAnswerText, ""},
        {"#I05ab\xA7"
         "cd",
         kMaxAnswerText,
         "ab\xA7"
         "cd"}, // a mark before the zero is copied
        // No zero byte at all: the text ends with the buffer, never beyond it.
        {"#Y00abcdefghijklmnopqrstuvwxyzAB", kMaxAnswerText, "abcdefghijklmnopqrstuvwxyzAB"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.raw));
        EXPECT_EQ(AnswerText(Answer(c.raw), c.limit), c.text);
    }
}

TEST(ParseAnswerNumber, FirstPointOrCommaIsTheDecimalPoint) {
    struct Case {
        std::string_view raw;
        double value;
    } cases[] = {
        {"#Z162000.0", 2000.0}, {"#Z162000,0", 2000.0}, {"#Z16-2.7", -2.7}, {"#Z16  12.5", 12.5},
        {"#Z16+3", 3.0},        {"#Z161.5e3", 1500.0},  {"#Z161,2.3", 1.2}, {"#Z161.2,3", 1.2},
        {"#Z16abc", 0.0},       {"#Z16", 0.0},          {"#Z16+-1", 0.0},   {"#Z1612kg", 12.0},
        {"#Z16.5", 0.5},        {"#Z161e", 1.0},        {"#Z160x1A", 0.0},  {"#Z161e999", 0.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.raw));
        EXPECT_DOUBLE_EQ(ParseAnswerNumber(Answer(c.raw)), c.value);
    }
}

// A number is a sign, digits, a fraction and an exponent; the words that the standard
// conversion also reads as NaN or infinity are no number at all.
TEST(ParseAnswerNumber, NanAndInfinityWordsAreNoNumber) {
    for (std::string_view raw :
         {"#Z16nan", "#Z16NaN", "#Z16-nan", "#Z16nan(1)", "#Z16inf", "#Z16-inf", "#Z16+inf", "#Z16INF",
          "#Z16infinity", "#Z16-Infinity", "#Z16 inf", "#Z16.inf", "#Z16-.nan"}) {
        SCOPED_TRACE(std::string(raw));
        EXPECT_EQ(ParseAnswerNumber(Answer(raw)), 0.0);
    }
}

} // namespace
} // namespace kantrel
