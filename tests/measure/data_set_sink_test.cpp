// The processing cycle reports every data set it stores to the data-set sink, once, in
// the order stored, with the row already filled.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "measure/meas_data.h"
#include "support/measurement_fixture.h"

namespace kantrel {
namespace {

struct Reported {
    int row;
    std::string meanText; // the row's value text at the moment of the report
    std::string rawText;
};

class ReportingSink : public DataSetSink {
public:
    void DataSetStored(const TMeasData& store, int row) override {
        reported.push_back({row, store.Row(row).meanText, store.Row(row).rawText});
    }
    std::vector<Reported> reported;
};

class DataSetSinkTest : public testing::Test {
protected:
    void SetUp() override {
        test::UseIdentityParameters();
        ports().dataSets = &sink;
    }
    test::PortsScope scope;
    ReportingSink sink;
};

TEST_F(DataSetSinkTest, EachStoredDataSetIsReportedOnceInOrderWithItsRowFilled) {
    struct Case {
        const char* name;
        bool automatic;
        int startPos; // dataListPos before the first sample
        int samples;
        std::vector<int> rows;
    };
    const Case cases[] = {
        {"nothing requested", false, -1, 5, {}},
        {"single shot", false, -1, 3, {0}},
        {"automatic recording", true, -1, 3, {0, 1, 2}},
        {"automatic recording past the last row", true, kDataListSize - 2, 3, {kDataListSize - 1, 0, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sink.reported.clear();
        TMeasData store(1);
        store.dataListPos = c.startPos;
        store.SetAutoRecording(c.automatic);
        if (!c.automatic && !c.rows.empty())
            store.RequestSingleShot();
        for (int i = 0; i < c.samples; ++i)
            test::PushSample(store, 0, static_cast<std::int16_t>(100 + i));
        store.ProcessSamples();

        ASSERT_EQ(sink.reported.size(), c.rows.size());
        for (std::size_t i = 0; i < c.rows.size(); ++i) {
            EXPECT_EQ(sink.reported[i].row, c.rows[i]);
            EXPECT_FALSE(sink.reported[i].meanText.empty());
            EXPECT_EQ(sink.reported[i].rawText, std::to_string(100 + i));
        }
    }
}

} // namespace
} // namespace kantrel
