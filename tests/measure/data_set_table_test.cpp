// The data-set table after any sequence of recordings, CLR LAST, CLR ALL and the rebuild
// after a recording: the data sets written (file and clipboard) are exactly those still
// held, oldest first, and a full table gives up its oldest data set to the next one.

#include <gtest/gtest.h>

#include <algorithm>
#include <fmt/format.h>

#include "files/data_file_writer.h"
#include "measure/format_value.h"
#include "measure/meas_data.h"
#include "support/measurement_fixture.h"

namespace kantrel {
namespace {

constexpr int S = kDataListSize;

enum class Op { Store, DropLast, ClearAll, MarkFull };
struct Step {
    Op op;
    int times = 1;
};
// Data-set numbers first..last.
struct Range {
    int first, last;
};

class DataSetTableTest : public testing::Test {
protected:
    void SetUp() override { test::UseIdentityParameters(); }

    // Stores `count` data sets whose readings count on from the last one (1, 2, ...).
    void StoreDataSets(TMeasData& store, int count) {
        store.SetAutoRecording(true);
        while (count > 0) {
            const int portion = std::min(count, 900);
            for (int i = 0; i < portion; ++i)
                test::PushSample(store, 0, static_cast<std::int16_t>(++number_));
            store.ProcessSamples();
            count -= portion;
        }
        store.SetAutoRecording(false);
    }

    // The Value field of every data line that a save writes.
    static std::vector<std::string> SavedValues(const TMeasData& store) {
        std::vector<std::string> values;
        const auto lines = BuildDataSetLines(ListCaptions{}, store, 6);
        for (std::size_t i = 1; i < lines.size(); ++i) {
            std::size_t at = 0;
            for (int field = 0; field < 4; ++field)
                at = lines[i].find('\t', at) + 1;
            values.push_back(lines[i].substr(at, lines[i].find('\t', at) - at));
            EXPECT_TRUE(lines[i].starts_with(fmt::format("{}\t", i))) << "numbered from 1 without gaps";
        }
        return values;
    }

    test::PortsScope scope;
    int number_ = 0;
};

TEST_F(DataSetTableTest, SaveWritesTheDataSetsHeldOldestFirstAfterAnySequence) {
    const struct {
        const char* name;
        std::vector<Step> steps;
        std::vector<Range> expected;
    } cases[] = {
        {"three data sets", {{Op::Store, 3}}, {{1, 3}}},
        {"a recording that wrapped", {{Op::Store, S + 60}}, {{61, S + 60}}},
        {"the rebuild after it", {{Op::Store, S + 60}, {Op::MarkFull}}, {{61, S + 60}}},
        {"one more after the rebuild replaces the oldest",
         {{Op::Store, S + 60}, {Op::MarkFull}, {Op::Store}},
         {{62, S + 61}}},
        {"CLR LAST on the wrapped table", {{Op::Store, S + 60}, {Op::DropLast}}, {{61, S + 59}}},
        {"CLR LAST on the wrapped table, then one more",
         {{Op::Store, S + 60}, {Op::DropLast}, {Op::Store}},
         {{61, S + 59}, {S + 61, S + 61}}},
        {"rebuilt, CLR LAST twice, two more",
         {{Op::Store, S + 60}, {Op::MarkFull}, {Op::DropLast, 2}, {Op::Store, 2}},
         {{61, S + 58}, {S + 61, S + 62}}},
        {"full without wrapping, CLR LAST, two more",
         {{Op::Store, S}, {Op::DropLast}, {Op::Store, 2}},
         {{2, S - 1}, {S + 1, S + 2}}},
        {"every data set of a wrapped table cleared one by one", {{Op::Store, S + 5}, {Op::DropLast, S}}, {}},
        {"CLR ALL after a wrap, then two",
         {{Op::Store, S + 60}, {Op::ClearAll}, {Op::Store, 2}},
         {{S + 61, S + 62}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        number_ = 0;
        TMeasData store(1);
        for (const Step& step : c.steps) {
            switch (step.op) {
            case Op::Store:
                StoreDataSets(store, step.times);
                break;
            case Op::DropLast:
                for (int i = 0; i < step.times; ++i)
                    store.DropLastRow();
                break;
            case Op::ClearAll:
                store.ClearDataList();
                break;
            case Op::MarkFull:
                store.MarkDataListFull();
                break;
            }
        }
        std::vector<std::string> expected;
        for (const Range& r : c.expected)
            for (int n = r.first; n <= r.last; ++n)
                expected.push_back(FormatValue(n));
        const std::vector<std::string> saved = SavedValues(store);
        ASSERT_EQ(saved.size(), expected.size());
        const auto differ = std::mismatch(saved.begin(), saved.end(), expected.begin());
        EXPECT_TRUE(differ.first == saved.end()) << "line " << (differ.first - saved.begin()) + 1 << " holds "
                                                 << *differ.first << " for " << *differ.second;
        EXPECT_EQ(store.GetDataSetCount(), static_cast<int>(expected.size()));
    }
}

} // namespace
} // namespace kantrel
