#include <gtest/gtest.h>

#include "measure/keyboard_output.h"
#include "settings/settings.h"
#include "support/fake_ports.h"

namespace kantrel {
namespace {

TEST(TypeIntoKeyBuffer, TypesEachCharacterWithAPauseThenEnter) {
    test::PortsScope scope;
    settings.KeyBufDelayTimeMs = 10;
    struct Case {
        std::string text, separator, changed;
        std::u32string typed;
    } cases[] = {
        {" 123,5", ".", " 123.5", U" 123.5\n"},
        {" 15000", ".", " 15000", U" 15000\n"},  // no separator: unchanged
        {" -0.25", ",", " -0,25", U" -0,25\n"},
        {"", ".", "", U"\n"},                    // only Enter
        {" 1,5\xC2\xB5", ".", " 1.5\xC2\xB5", U" 1.5\u00B5\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        scope.keys.strokes.clear();
        scope.keys.pauses.clear();
        settings.DecimalSeparator = c.separator;
        std::string text = c.text;
        TypeIntoKeyBuffer(text);
        EXPECT_EQ(text, c.changed);
        EXPECT_EQ(scope.keys.strokes, c.typed);
        EXPECT_EQ(scope.keys.pauses, std::vector<int>(c.typed.size() - 1, 10));  // none after Enter
    }
}

TEST(TypeIntoKeyBuffer, WithoutADisplaySaysSoOnceAndGoesOn) {
    test::PortsScope scope;
    scope.keys.available = false;
    settings.DecimalSeparator = ".";
    std::string text = " 1,5";
    TypeIntoKeyBuffer(text);
    TypeIntoKeyBuffer(text);
    EXPECT_EQ(text, " 1.5");
    EXPECT_TRUE(scope.keys.strokes.empty());
    EXPECT_EQ(scope.window.statusTexts.size(), 1u);
}

}  // namespace
}  // namespace kantrel
