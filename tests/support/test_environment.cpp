#include "support/test_environment.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

namespace kantrel::test {
namespace {
std::string& RootStorage() {
    static std::string root;
    return root;
}
}  // namespace

IsolatedEnvironment::IsolatedEnvironment() {
    originalDir_ = std::filesystem::current_path().string();
    std::string templ = (std::filesystem::temp_directory_path() / "kantrel731-test-XXXXXX").string();
    if (mkdtemp(templ.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    RootStorage() = templ;
    const std::string home = templ + "/home";
    const std::string config = home + "/.config";
    const std::string data = home + "/.local/share";
    const std::string work = templ + "/work";
    std::filesystem::create_directories(config);
    std::filesystem::create_directories(data);
    std::filesystem::create_directories(work);
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    setenv("XDG_DATA_HOME", data.c_str(), 1);
    std::filesystem::current_path(work);
}

IsolatedEnvironment::~IsolatedEnvironment() {
    std::error_code ignored;
    std::filesystem::current_path(originalDir_, ignored);
    std::filesystem::remove_all(RootStorage(), ignored);
}

const std::string& IsolatedEnvironment::Root() { return RootStorage(); }

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string TestDataPath(const std::string& name) { return std::string(KANTREL_TEST_DATA_DIR) + "/" + name; }

}  // namespace kantrel::test
