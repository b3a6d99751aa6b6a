#pragma once

// Starting a program the way the shell's "open" does: an executable runs with the
// parameters split into words (SplitShellWords, parameter_words.h), any other existing
// file opens with xdg-open. The program is not waited for; its exit is collected in the
// background so that it leaves no zombie.

#include <string>
#include <string_view>
#include <vector>

#include "core/parameter_words.h" // SplitShellWords: how the parameters become words
#include "core/ports.h"

namespace kantrel {

class PosixProgramLauncher : public ProgramLauncher {
public:
    // Returns 42 when started, else the result code for the failure (see ProgramLauncher).
    int Launch(const std::string& program, const std::string& parameters) override;
};

// The result code for the errno of a failed start.
int LaunchResultForErrno(int error);

inline constexpr int kLaunchStarted = 42;
inline constexpr int kLaunchNoOpener = 31;

} // namespace kantrel
