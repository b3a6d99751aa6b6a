#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "measure/format_value.h"
#include "measure/keyboard_output.h"
#include "platform/xtest_key_injector.h"
#include "settings/settings.h"
#include "support/fake_ports.h"
#include "support/test_environment.h"

namespace kantrel {
namespace {

namespace fs = std::filesystem;

TEST(KeysymTest, CharactersBecomeTheirKeysyms) {
    struct Case {
        char32_t ch;
        unsigned long keysym;
    } cases[] = {
        {U' ', 0x20},
        {U'1', 0x31},
        {U'.', 0x2E},
        {U',', 0x2C},
        {U'-', 0x2D},
        {U'\u00b5', 0xB5},
        {U'\u20ac', 0x010020AC},
        {U'\n', 0},
        {U'\x7f', 0},
        {U'\x9f', 0},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(static_cast<unsigned long>(k.ch));
        EXPECT_EQ(KeysymForCharacter(k.ch), k.keysym);
    }
}

TEST(XTestKeyInjectorTest, WithoutDisplayTypingIsUnavailableAndSaidOnce) {
    test::PortsScope scope;
    XTestKeyInjector injector(":4711"); // no server there
    EXPECT_FALSE(injector.Available());
    injector.SendKeyStroke(U'1');
    injector.SendEnter();
    ports().keys = &injector;
    std::string mean = " 1,5";
    TypeIntoKeyBuffer(mean);
    TypeIntoKeyBuffer(mean);
    EXPECT_EQ(scope.window.statusTexts.size(), 1u);
}

// A child process whose standard output the test reads line by line.
class Child {
public:
    Child(const std::vector<std::string>& argv, bool outputOnFd3 = false) {
        int fds[2];
        if (pipe(fds) != 0)
            return;
        pid_ = fork();
        if (pid_ == 0) {
            close(fds[0]);
            dup2(fds[1], outputOnFd3 ? 3 : STDOUT_FILENO);
            const int log = open((test::IsolatedEnvironment::Root() + "/child.log").c_str(),
                                 O_WRONLY | O_CREAT | O_APPEND, 0644);
            dup2(log, STDERR_FILENO);
            std::vector<char*> args;
            for (const std::string& a : argv)
                args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            execvp(args[0], args.data());
            _exit(127);
        }
        close(fds[1]);
        out_ = fds[0];
    }
    ~Child() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0)
            close(out_);
    }

    // The next line, or nullopt after 20 seconds or at the end of the output.
    std::optional<std::string> ReadLine() {
        std::string line;
        for (;;) {
            pollfd p{out_, POLLIN, 0};
            if (poll(&p, 1, 20000) <= 0)
                return std::nullopt;
            char c;
            if (read(out_, &c, 1) != 1)
                return std::nullopt;
            if (c == '\n')
                return line;
            line += c;
        }
    }

private:
    pid_t pid_ = -1;
    int out_ = -1;
};

std::string BesideThisTest(const char* name) {
    return (fs::read_symlink("/proc/self/exe").parent_path() / name).string();
}

// Keys typed through XTest reach a text field of another program on an X server of the
// test's own, without a window manager.
class TypedIntoAnotherProgramTest : public testing::Test {
protected:
    void SetUp() override {
        if (system("command -v Xvfb >/dev/null 2>&1") != 0)
            GTEST_SKIP() << "Xvfb is not installed";
        ASSERT_TRUE(fs::exists(BesideThisTest("kantrel_x11_text_field")));
        server = std::make_unique<Child>(std::vector<std::string>{"Xvfb", "-displayfd", "3", "-nolisten",
                                                                  "tcp", "-screen", "0", "320x200x24"},
                                         true);
        const auto number = server->ReadLine();
        ASSERT_TRUE(number) << "Xvfb did not start";
        display = ":" + *number;
        setenv("DISPLAY", display.c_str(), 1);
    }

    std::string display;
    std::unique_ptr<Child> server;
    test::PortsScope scope;
};

TEST_F(TypedIntoAnotherProgramTest, MeanArrivesWithTheConfiguredSeparatorAndEnter) {
    XTestKeyInjector injector(display.c_str());
    ASSERT_TRUE(injector.Available());
    ports().keys = &injector;
    settings.KeyBufDelayTimeMs = 1;
    struct Case {
        double mean, nominalValue;
        const char* regionalSeparator;
        const char* configured;
        const char* typed;
    } cases[] = {
        {123.5, 1000, ",", ".", " 123.5"},
        {-0.25, 100, ".", ",", " -0,25"},
        {15000, 20000, ",", ".", " 15000"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.typed);
        Child field({BesideThisTest("kantrel_x11_text_field")});
        ASSERT_EQ(field.ReadLine(), "ready");
        settings.DecimalSeparator = k.configured;
        std::string meanText = FormatValue(k.mean, k.nominalValue, false, k.regionalSeparator);
        TypeIntoKeyBuffer(meanText);
        EXPECT_EQ(meanText, k.typed); // the store's text carries the configured separator
        EXPECT_EQ(field.ReadLine(), k.typed);
    }
}

} // namespace
} // namespace kantrel
