#pragma once

// Saving a whole file so that it is always either the old file or the new one, never a
// torn or empty one, whatever stops the save (a full disk, a failed write, the process
// killed, the power cut):
//   1. Symbolic links are followed to the file they name; a link to a file not yet there
//      creates that file. A file the user may not write is not replaced (its folder
//      might let us), and nothing is written.
//   2. The bytes go to a new temporary file of a unique name in the same folder (created
//      exclusively, never through a link), with the old file's owner (where we may) and
//      permissions, and are flushed to the disk.
//   3. The temporary file is renamed over the file, and the folder is flushed so that
//      the rename itself is on the disk.
// Where the folder lets no file be created but the file itself is writable, the file is
// overwritten in place, its room reserved first so that a full disk leaves it as it was.
// Devices and pipes are written as they are.

#include <string>
#include <string_view>

#include "core/file_calls.h"

namespace kantrel {

struct SaveResult {
    bool ok = true;
    std::string error; // for the operator: names the file and the cause
    int errorNumber = 0;
    explicit operator bool() const { return ok; }
};

SaveResult SaveFileReplacing(const std::string& path, std::string_view bytes,
                             const FileCalls& calls = fileCalls());

// A write beyond the process's file size limit (ulimit -f) then fails with EFBIG, and the
// save reports it, instead of the signal that ends the process. Called once at start-up.
void IgnoreFileSizeLimitSignal();

} // namespace kantrel
