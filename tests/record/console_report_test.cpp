// What kantrel731-record tells the terminal.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include "record/console_report.h"

namespace kantrel::record {
namespace {

TEST(ConsoleReport, IdentificationNamesSerialsNominalValueAndUnit) {
    EXPECT_EQ(IdentificationText({"D731-0001", "S1000N-0001", "1000.0", "N", "Tensolog SIM 1.0", "No Error"}),
              "Tensolog: device D731-0001, sensor S1000N-0001, nominal value 1000.0 N, firmware Tensolog SIM "
              "1.0, device error \"No Error\"\n");
    // Texts the instrument did not send are left out.
    EXPECT_EQ(IdentificationText({"D1", "S1", "5.000", "kN", "", ""}),
              "Tensolog: device D1, sensor S1, nominal value 5.000 kN\n");
}

TEST(ConsoleReport, ProgressLine) {
    const struct {
        std::int64_t dataSets;
        const char* mean;
        std::int64_t elapsedMs;
        const char* text;
    } cases[] = {
        {0, "0.0", 0, "0 data sets, live 0.0 N, 0:00:00"},
        {1, "255.0", 999, "1 data set, live 255.0 N, 0:00:00"},
        {1234, "-3.5", 65000, "1234 data sets, live -3.5 N, 0:01:05"},
        {10, "1.0", 3600000 + 59000, "10 data sets, live 1.0 N, 1:00:59"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ProgressText(c.dataSets, c.mean, "N", c.elapsedMs), c.text);
}

TEST(ConsoleReport, SummaryWithAndWithoutLimits) {
    Statistics s;
    s.n = 3;
    s.mean = 255.0;
    s.stdDev = 5.0;
    s.min = 250.0;
    s.max = 260.0;
    s.range = 10.0;
    s.pass = 2;
    s.high = 1;
    s.cp = 1.0 / 3.0;
    s.cpk = -0.25;
    const std::string values = "n 3, mean 255 N, standard deviation 5 N, min 250 N, max 260 N, range 10 N\n";
    EXPECT_EQ(SummaryText(s, {}, "N"), values);
    EXPECT_EQ(SummaryText(s, {250.0, 258.5}, "N"),
              values + "limits 250:258.5: 2 passed, 0 low, 1 high, Cp 0.333, Cpk -0.25\n");

    Statistics one;
    one.n = 1;
    one.mean = one.min = one.max = 7.25;
    one.pass = 1;
    one.invalid = 2;
    EXPECT_EQ(
        SummaryText(one, {std::nullopt, 8.0}, "kN"),
        "n 1, mean 7.25 kN, standard deviation -, min 7.25 kN, max 7.25 kN, range 0 kN, 2 not a number\n"
        "limits :8: 1 passed, 0 low, 0 high, Cp -, Cpk -\n");
    EXPECT_EQ(SummaryText(Statistics{}, {}, "N"), "n 0\n");
}

class ConsoleTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(::pipe2(fds_, O_CLOEXEC | O_NONBLOCK), 0); }
    void TearDown() override {
        ::close(fds_[0]);
        ::close(fds_[1]);
    }
    std::string Written() {
        std::string text;
        char buffer[256];
        for (ssize_t n; (n = ::read(fds_[0], buffer, sizeof buffer)) > 0;)
            text.append(buffer, static_cast<std::size_t>(n));
        return text;
    }
    int fds_[2] = {-1, -1};
};

TEST_F(ConsoleTest, ProgressLineIsRewrittenAndEndedBeforeOtherText) {
    Console console(fds_[1], true, false);
    EXPECT_TRUE(console.Watched());
    console.Progress("1 data set");
    console.Progress("2 data sets");
    console.Info("summary\n");
    console.Error("error\n");
    EXPECT_EQ(Written(), "\r\x1b[K1 data set\r\x1b[K2 data sets\nsummary\nerror\n");
}

TEST_F(ConsoleTest, WithoutTerminalNoProgressAndQuietLeavesOnlyErrors) {
    Console plain(fds_[1], false, false);
    EXPECT_FALSE(plain.Watched());
    plain.Progress("1 data set");
    plain.Info("summary\n");
    EXPECT_EQ(Written(), "summary\n");

    Console quiet(fds_[1], true, true);
    EXPECT_FALSE(quiet.Watched());
    quiet.Progress("1 data set");
    quiet.Info("summary\n");
    quiet.Error("error\n");
    EXPECT_EQ(Written(), "error\n");

    // Data on the same terminal: identification yes, progress line no.
    Console sharing(fds_[1], true, false, false);
    EXPECT_TRUE(sharing.Watched());
    sharing.Progress("1 data set");
    sharing.Info("summary\n");
    EXPECT_EQ(Written(), "summary\n");
}

} // namespace
} // namespace kantrel::record
