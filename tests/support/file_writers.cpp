#include "support/file_writers.h"

#include <cerrno>
#include <filesystem>

#include "files/data_file_writer.h"
#include "settings/language.h"
#include "settings/settings.h"
#include "support/test_environment.h"

namespace kantrel::test {

// The working directory and the per-user folder are both the writer's folder.
class WriterFolders : public SystemFolders {
public:
    explicit WriterFolders(std::string appData) : appData_(std::move(appData)) {}
    std::optional<std::string> AppDataFolder() const override { return appData_; }
    std::optional<std::string> ProgramFilesFolder() const override { return std::nullopt; }
    std::string CurrentDirectory() const override { return *PerUserFolder(); }

private:
    std::string appData_;
};

std::string NameOf(WrittenFile file) {
    switch (file) {
    case WrittenFile::DataFile:
        return "DataFile";
    case WrittenFile::Settings:
        return "Settings";
    case WrittenFile::Language:
        return "Language";
    }
    return {};
}

namespace {

const std::vector<std::string> kDataLines = {"Number\t[Date]\t[Time]\t[Diff] = ms\t(100ms)",
                                             "1\t09.12.2025\t12:00:00\t000\t 1,5\t 1\t 2\t 3\t 4"};

} // namespace

FileWriter::FileWriter(WrittenFile file, const std::string& root)
    : file_(file), folders_(std::make_unique<WriterFolders>(root + "/appdata")) {
    SetSystemFolders(folders_.get());
    folder_ = *PerUserFolder();
    std::filesystem::create_directories(folder_);
    switch (file) {
    case WrittenFile::DataFile:
        path_ = folder_ + "/data.txt";
        oldBytes_ = "Number\told\r\n";
        newBytes_ = JoinLinesCrLf(kDataLines);
        createdBytes_ = newBytes_;
        break;
    case WrittenFile::Settings:
        configInCurrentDir = true;
        path_ = *SettingsFilePath();
        oldBytes_ = "[Config]\nSampleRate=3\n";
        newBytes_ = "[Config]\nSampleRate=3\ngraficMode=2\n";
        createdBytes_ = "[Config]\ngraficMode=2\n";
        break;
    case WrittenFile::Language:
        path_ = *LanguageFilePath();
        oldBytes_ = "[LANGUAGE1]\nLanguage=Deutsch\n";
        newBytes_ = "[LANGUAGE1]\nLanguage=Deutsch\n&SAVE=&SAVE\n";
        createdBytes_ = "[LANGUAGE1]\n&SAVE=&SAVE\n";
        break;
    }
}

FileWriter::~FileWriter() {
    SetSystemFolders(nullptr);
    configInCurrentDir = false;
}

void FileWriter::PutOldFile() const {
    WriteFileBytes(path_, oldBytes_);
}

std::string FileWriter::Write(const std::string& at) {
    const std::string target = at.empty() ? path_ : at;
    switch (file_) {
    case WrittenFile::DataFile:
        return SaveDataSetLines(target, kDataLines).error;
    case WrittenFile::Settings:
        // The settings file is where the program looks for it; `at` names the same file.
        return StoreSetting("graficMode", "2").error;
    case WrittenFile::Language: {
        const std::size_t before = ports.window.Messages().size();
        Translate("&SAVE", 1);
        const auto messages = ports.window.Messages();
        return messages.size() > before ? messages.back().text : std::string();
    }
    }
    return {};
}

namespace {

// Runs the call, then the hook, and keeps the call's errno for the caller.
template <typename Call>
auto Hooked(const char* name, Call call, std::function<void(std::string_view)> after) {
    return [=](auto... arguments) {
        const auto result = call(arguments...);
        const int error = errno;
        after(name);
        errno = error;
        return result;
    };
}

} // namespace

FileCalls CallsWithHook(std::function<void(std::string_view call)> after) {
    const FileCalls s = FileCalls::System();
    FileCalls c;
    c.open = Hooked("open", s.open, after);
    c.write = Hooked("write", s.write, after);
    c.fsync = Hooked("fsync", s.fsync, after);
    c.fdatasync = Hooked("fdatasync", s.fdatasync, after);
    c.close = Hooked("close", s.close, after);
    c.rename = Hooked("rename", s.rename, after);
    c.unlink = Hooked("unlink", s.unlink, after);
    c.stat = Hooked("stat", s.stat, after);
    c.access = Hooked("access", s.access, after);
    c.fchown = Hooked("fchown", s.fchown, after);
    c.fchmod = Hooked("fchmod", s.fchmod, after);
    c.ftruncate = Hooked("ftruncate", s.ftruncate, after);
    c.allocate = Hooked("allocate", s.allocate, after);
    return c;
}

} // namespace kantrel::test
