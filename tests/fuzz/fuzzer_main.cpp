// Linked into the libFuzzer programs only. A broken property aborts, so that libFuzzer
// stops and keeps the input; the program works in a temporary folder of its own, with
// HOME and XDG_CONFIG_HOME inside it, as every test does.

#include <cstdio>
#include <cstdlib>

#include "fuzz/fuzz_support.h"
#include "support/test_environment.h"

namespace kantrel::fuzz {

void PropertyFailed(const char* condition, const std::string& detail, const char* file, int line) {
    std::fprintf(stderr, "\n==== property broken at %s:%d\n     %s\n", file, line, condition);
    if (!detail.empty())
        std::fprintf(stderr, "     %s\n", detail.c_str());
    std::abort();
}

} // namespace kantrel::fuzz

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static kantrel::test::IsolatedEnvironment environment;
    return 0;
}
