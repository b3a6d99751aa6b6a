// The language file and Translate, which rewrites it.
//
// Input: the text to translate (up to the first zero byte), a byte whose value modulo 4
// plus 1 is the language, then the bytes of "731config.lng". The window's captions and
// status texts are UTF-8: an input whose text is not is skipped.
//
// Properties: translating the same text twice gives the same result; the second lookup
// finds what the first one stored and leaves the file alone.

#include <filesystem>
#include <fmt/format.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

#include "core/text_encoding.h"
#include "fuzz/fuzz_support.h"
#include "settings/language.h"
#include "settings/settings.h"
#include "support/fake_ports.h"

namespace {

struct FileState {
    std::string bytes;
    ino_t inode = 0; // a save replaces the file by a new one
    bool operator==(const FileState&) const = default;
};

FileState StateOf(const std::string& path) {
    FileState state;
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    state.bytes = bytes.str();
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0)
        state.inode = info.st_ino;
    return state;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kantrel::fuzz::FuzzInput in(data, size);
    const std::string text(in.Text());
    const int language = in.Byte() % 4 + 1;
    const std::string_view file = in.Rest();
    if (!kantrel::IsValidUtf8(text))
        return 0;

    kantrel::test::PortsScope ports;
    const auto path = kantrel::LanguageFilePath();
    FUZZ_CHECK(path.has_value());
    std::filesystem::create_directories(std::filesystem::path(*path).parent_path());
    {
        std::ofstream out(*path, std::ios::binary | std::ios::trunc);
        out.write(file.data(), static_cast<std::streamsize>(file.size()));
    }

    const std::string first = kantrel::Translate(text, language);
    const FileState afterFirst = StateOf(*path);
    const std::string second = kantrel::Translate(text, language);
    const auto context = [&] {
        return fmt::format("text \"{}\" gave \"{}\", then \"{}\"", text, first, second);
    };
    FUZZ_CHECK_MSG(first == second, context());
    FUZZ_CHECK_MSG(ports.window.messages.empty(), ports.window.messages.front().text);
    FUZZ_CHECK_MSG(StateOf(*path) == afterFirst, context() + "; the second lookup rewrote the file");
    return 0;
}
