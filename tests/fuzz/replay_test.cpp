// The ordinary test of one fuzz target: runs every kept input of its corpus folder once.
// A broken property is reported with the name of the input, and the next input runs.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "support/test_environment.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace kantrel::fuzz {

namespace {
struct PropertyFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// KANTREL_FUZZ_CORPUS: the folders of kept inputs, separated by '|'.
std::vector<std::filesystem::path> KeptInputs() {
    std::vector<std::filesystem::path> files;
    std::string_view folders = KANTREL_FUZZ_CORPUS;
    while (!folders.empty()) {
        const std::size_t end = std::min(folders.find('|'), folders.size());
        for (const auto& entry : std::filesystem::directory_iterator(std::string(folders.substr(0, end))))
            if (entry.is_regular_file())
                files.push_back(entry.path());
        folders.remove_prefix(std::min(end + 1, folders.size()));
    }
    std::sort(files.begin(), files.end());
    return files;
}
} // namespace

void PropertyFailed(const char* condition, const std::string& detail, const char* file, int line) {
    throw PropertyFailure(std::string(file) + ":" + std::to_string(line) + ": property broken: " + condition +
                          (detail.empty() ? "" : "\n" + detail));
}

TEST(KANTREL_FUZZ_SUITE, ReplaysEveryKeptInput) {
    const auto files = KeptInputs();
    ASSERT_FALSE(files.empty()) << "no kept inputs in " << KANTREL_FUZZ_CORPUS;
    for (const auto& path : files) {
        SCOPED_TRACE(path.filename().string());
        const std::string bytes = test::ReadFileBytes(path.string());
        try {
            LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
        } catch (const PropertyFailure& failure) {
            ADD_FAILURE() << failure.what();
        }
    }
}

} // namespace kantrel::fuzz
