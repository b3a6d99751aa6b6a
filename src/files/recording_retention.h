#pragma once

// Keeps the recordings folder within its limits: recordings older than the age limit
// go, then the oldest (by name, which is by start time) until all recordings together
// fit the size limit. A recording in use (the one being written, one offered for
// recovery, or one that another running program holds locked) never goes.

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace kantrel {

struct RetentionLimits {
    std::uint64_t maxBytes = 0; // 0: no size limit
    int keepDays = 0;           // 0: no age limit
};

struct RecordingOnDisk {
    std::string name;
    std::uint64_t bytes = 0;
    double ageDays = 0.0; // since its last change
    bool inUse = false;
};

// Another running program holds the recording locked: it is being written.
bool RecordingInUse(const std::string& path);

// The names to remove, oldest first.
std::vector<std::string> ChooseRecordingsToRemove(std::vector<RecordingOnDisk> files,
                                                  const RetentionLimits& limits);

// Lists the folder's recordings and removes what the limits say; `keep` names files of
// this program that must stay. Returns the number removed.
int TrimRecordings(const std::string& folder, const RetentionLimits& limits,
                   const std::set<std::string>& keep);

} // namespace kantrel
