// The PDF report, produced offscreen and read back with pdftotext and pdfinfo: the
// program, the date, the instrument, the averaging time, the figures of the statistics,
// the data sets from the first to the last with the header on every page and their verdict
// while limits are on, and the chart drawn as vector graphics.

#include <QLineEdit>
#include <QTableWidget>
#include <cstdio>
#include <filesystem>
#include <regex>
#include <sstream>

#include "settings/settings.h"
#include "statistics_fixture.h"
#include "support/test_environment.h"
#include "ui/data_set_list.h"
#include "ui/statistics_feature.h"

namespace kantrel::test {
namespace {

namespace fs = std::filesystem;

std::string OutputOf(const std::string& command) {
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            output.append(buffer, n);
        pclose(pipe);
    }
    return output;
}

std::size_t Occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
        ++count;
    return count;
}

class ReportTest : public StatisticsFixture {
protected:
    // The PDF is read back with poppler-utils, which script/setup installs.
    static void RequireTools(const std::string& tools) {
        std::istringstream names(tools);
        for (std::string name; names >> name;)
            ASSERT_FALSE(OutputOf("command -v " + name).empty()) << name << " is missing: run script/setup";
    }
    static std::string Folder() { return IsolatedEnvironment::Root() + "/reports"; }

    // Writes the report through the menu's action with the dialog answered.
    void WriteReport(const std::string& path) {
        fs::create_directories(Folder());
        boxes.saveAnswer = QString::fromStdString(path);
        form->statistics->WriteReport();
    }
    static std::string PdfText(const std::string& path, int page = 0) {
        const std::string pages = page ? " -f " + std::to_string(page) + " -l " + std::to_string(page) : "";
        return OutputOf("pdftotext -layout" + pages + " '" + path + "' - 2>/dev/null");
    }
    static int PageCount(const std::string& path) {
        std::smatch match;
        const std::string info = OutputOf("pdfinfo '" + path + "' 2>/dev/null");
        return std::regex_search(info, match, std::regex("Pages:\\s+(\\d+)")) ? std::stoi(match[1]) : 0;
    }
    // Many data sets: the first and the last one stand out.
    void ShowManyDataSets(int count) {
        std::vector<std::string> values;
        for (int i = 0; i < count; ++i)
            values.push_back(i == 0           ? "-7,125"
                             : i == count - 1 ? " 987,5"
                                              : " " + std::to_string(240 + i % 20) + ",0");
        ShowValues(values);
    }
};

TEST_F(ReportTest, ReportHoldsTheRunTheFiguresAndEveryDataSet) {
    ASSERT_NO_FATAL_FAILURE(RequireTools("pdftotext pdfinfo"));
    StartForm();
    AttachInstrument();
    form->BuildHeader();
    constexpr int kDataSets = 150;
    ShowManyDataSets(kDataSets);
    SetLimits(230.0, 255.0);
    OpenStatistics();

    const std::string path = Folder() + "/report.pdf";
    WriteReport(path);
    ASSERT_TRUE(boxes.messages.empty()) << boxes.messages[0].text;
    const std::string text = PdfText(path);
    ASSERT_FALSE(text.empty());

    for (const char* expected :
         {"KANTREL 731 USB (Version: 1.0.0.1)", "09.12.2025 12:00:00", "D-1", "S-1", "1000,0 N",
          "Averaging time:", "100 ms", "Statistics", "Data sets", "Verdict"})
        EXPECT_NE(text.find(expected), std::string::npos) << expected;

    // Every figure of the statistics window, in its line.
    const QTableWidget& figures = *Window().Figures;
    for (int row = 0; row < figures.rowCount(); ++row) {
        std::string line = figures.verticalHeaderItem(row)->text().toStdString();
        SCOPED_TRACE(line);
        for (int c = 0; c < figures.columnCount(); ++c)
            if (!figures.item(row, c)->text().isEmpty())
                line += "\\s+" + std::regex_replace(figures.item(row, c)->text().toStdString(),
                                                    std::regex("[-+.]"), "\\$&");
        EXPECT_TRUE(std::regex_search(text, std::regex(line))) << line;
    }
    EXPECT_NE(text.find("Cpk"), std::string::npos);

    // The first and the last data set with their verdicts.
    EXPECT_TRUE(std::regex_search(
        text, std::regex(R"(\n\s*1\s+09\.12\.2025\s+12:00:01\s+000\s+-7,125(\s+-7,125){4}\s+LOW)")));
    EXPECT_TRUE(std::regex_search(
        text, std::regex(R"(\n\s*150\s+09\.12\.2025\s+12:00:30\s+000( +987,5){5}\s+HIGH)")));
    std::size_t high = 1;
    for (int i = 1; i < kDataSets - 1; ++i)
        high += 240 + i % 20 > 255 ? 1 : 0;
    EXPECT_EQ(Occurrences(text, "HIGH"), high);
    EXPECT_EQ(Occurrences(text, "PASS"), kDataSets - 1 - high);

    // Paged, with the table's header at the top of every page it continues on.
    const int pages = PageCount(path);
    EXPECT_GE(pages, 3);
    for (int page = 2; page <= pages; ++page) {
        SCOPED_TRACE(page);
        EXPECT_EQ(Occurrences(PdfText(path, page), "[Date]"), 1u);
    }
}

TEST_F(ReportTest, ChartIsDrawnAsVectorGraphics) {
    ASSERT_NO_FATAL_FAILURE(RequireTools("pdfimages"));
    StartForm();
    ShowValues({" 1,0", " 2,0"});
    const std::string path = Folder() + "/vector.pdf";
    WriteReport(path);
    const std::string images = OutputOf("pdfimages -list '" + path + "' 2>/dev/null");
    // Only the two header lines: no image in the file.
    EXPECT_EQ(Occurrences(images, "\n"), 2u) << images;
    EXPECT_NE(PdfText(path).find("[n] = 1"), std::string::npos); // the chart's axis title as text
}

TEST_F(ReportTest, WithoutLimitsTheTableHasNoVerdict) {
    ASSERT_NO_FATAL_FAILURE(RequireTools("pdftotext"));
    StartForm();
    ShowValues({" 1,0", " 2,0"});
    SetLimits(0.0, 1.5, false);
    const std::string path = Folder() + "/plain.pdf";
    WriteReport(path);
    const std::string text = PdfText(path);
    EXPECT_EQ(text.find("Verdict"), std::string::npos);
    EXPECT_EQ(text.find("PASS"), std::string::npos);
    EXPECT_EQ(text.find("Cp"), std::string::npos);
    // Without an instrument there is no identity to name.
    EXPECT_EQ(text.find("Serial No."), std::string::npos);
}

TEST_F(ReportTest, FileNameGetsItsSuffixAndFailuresAreReported) {
    StartForm();
    ShowValues({" 1,0"});
    WriteReport(Folder() + "/named");
    EXPECT_TRUE(fs::exists(Folder() + "/named.pdf"));
    EXPECT_TRUE(boxes.messages.empty());

    WriteReport(""); // cancelled
    EXPECT_TRUE(boxes.messages.empty());

    const std::string unwritable = Folder() + "/no such folder/report.pdf";
    WriteReport(unwritable);
    ASSERT_EQ(boxes.messages.size(), 1u);
    EXPECT_EQ(boxes.messages[0].text, "The report could not be written to " + unwritable + ".");
    EXPECT_EQ(boxes.messages[0].caption, "Error");
}

} // namespace
} // namespace kantrel::test
