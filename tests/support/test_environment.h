#pragma once

#include <string>

namespace kantrel::test {

// Gives the test process a temporary folder of its own: HOME, XDG_CONFIG_HOME and
// XDG_DATA_HOME point into it, and it is the working directory. The folder is removed
// when the object goes.
class IsolatedEnvironment {
public:
    IsolatedEnvironment();
    ~IsolatedEnvironment();
    IsolatedEnvironment(const IsolatedEnvironment&) = delete;
    IsolatedEnvironment& operator=(const IsolatedEnvironment&) = delete;

    static const std::string& Root();  // the temporary folder of this process

private:
    std::string originalDir_;
};

// A folder of the running test's own below Root(), created: what an earlier test of the
// same process left behind is not in it.
std::string TestFolder();

// Reads and writes whole files for fixtures and checks.
std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
std::string TestDataPath(const std::string& name);  // a file under tests/data

}  // namespace kantrel::test
