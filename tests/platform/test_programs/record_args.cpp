// Writes its arguments (without the program name), each followed by a NUL byte, to the
// file named by $KANTREL_RECORD_ARGS_FILE. The file appears whole: it is written under
// another name first and then renamed.

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    const char* target = std::getenv("KANTREL_RECORD_ARGS_FILE");
    if (target == nullptr)
        return 2;
    const std::string partial = std::string(target) + ".partial";
    std::FILE* out = std::fopen(partial.c_str(), "wb");
    if (out == nullptr)
        return 3;
    for (int i = 1; i < argc; ++i) {
        std::fputs(argv[i], out);
        std::fputc('\0', out);
    }
    if (std::fclose(out) != 0)
        return 4;
    return std::rename(partial.c_str(), target) == 0 ? 0 : 5;
}
