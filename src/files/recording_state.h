#pragma once

// What the next start needs to know about the last run of the flight recorder, kept in
// "last-run.ini" beside the recordings:
//
//   [LastRun]
//   Started    = 2025-12-09 12:00:00        when the run began (for people reading it)
//   Files      = 2                          the run's recordings, oldest first
//   File1      = recording-2025-12-09_12-00-01-000.txt
//   File2      = recording-2025-12-09_12-05-00-000.txt
//   SavedFile  = recording-2025-12-09_12-05-00-000.txt
//   SavedLines = 120                        data lines of SavedFile covered by the last save
//
// The file is rewritten whole when a run starts, when it starts a recording and when
// its data sets are saved. A data set counts as recorded once its whole line, line end
// included, is in the file; what follows the last line end was torn by the end of the
// run and is not counted.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kantrel {

inline constexpr std::string_view kRunRecordFileName = "last-run.ini";

struct RunRecord {
    std::string started;
    std::vector<std::string> files;
    std::string savedFile; // empty: nothing was saved
    std::int64_t savedLines = 0;
};

std::string SerializeRunRecord(const RunRecord& run);
RunRecord ParseRunRecord(std::string_view bytes);
// The record in the file; empty when there is none.
RunRecord LoadRunRecord(const std::string& path);

// Line ends in a piece of a file.
std::int64_t CountLineEnds(std::string_view bytes);
// Complete data lines of a recording (its complete lines after the header); nullopt
// when it cannot be read.
std::optional<std::int64_t> CountRecordedDataSets(const std::string& path);

struct UnsavedRecording {
    std::string name;
    std::int64_t dataSets = 0; // all complete data lines of the file
};

// The recordings of the run that hold data sets stored after its last save, with the
// data sets each holds. countDataSets gives nullopt for a file that is gone.
std::vector<UnsavedRecording>
FindUnsaved(const RunRecord& run,
            const std::function<std::optional<std::int64_t>(const std::string&)>& countDataSets);

// The text of the box that offers them at the next start.
std::string RecoveryMessage(const std::vector<UnsavedRecording>& unsaved, const std::string& folder);

} // namespace kantrel
