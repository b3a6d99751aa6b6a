// kantrel731-record: the instrument without a window. Records data sets on the core's
// measuring engine and writes them to standard output or a file, for test benches,
// scripts and CI jobs; runs over ssh, with no display.

#include <csignal>
#include <memory>
#include <cstdio>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

#include "core/ports.h"
#include "device/command_channel.h"
#include "device/connection.h"
#include "device/device_parameters.h"
#include "device/measuring_thread.h"
#include "device/unit_usb.h"
#include "files/flight_recorder.h"
#include "platform/instrument_source.h"
#include "platform/posix_regional_settings.h"
#include "platform/system_clock.h"
#include "record/console_report.h"
#include "record/event_loop.h"
#include "record/output_file.h"
#include "record/record_options.h"
#include "record/record_window.h"
#include "record/recording_run.h"
#include "record/simulated_pacer.h"
#include "record/stop_signal.h"
#include "settings/settings.h"

namespace {

using namespace kantrel;
using namespace kantrel::record;

// What the run takes from the settings file, and what it leaves out: the mode chooses
// what is recorded (not "useSelKeySingleShot"), and a program without a window types
// nothing into other windows and starts no program per data set.
void ApplySettings(const RecordOptions& options, const std::string& localeSeparator) {
    ReadSettings(localeSeparator);
    settings.useSelKeySingleShot = 0;
    settings.WriteToKeyBuffer = false;
    settings.extProgramm.clear();
    sampleRateIndex = options.rateIndex.value_or(ClampSampleRateIndex(settings.SampleRate));
}

int Record(const RecordOptions& options) {
    const bool dataOnTerminal = options.outPath.empty() && ::isatty(STDOUT_FILENO) == 1;
    Console console(STDERR_FILENO, ::isatty(STDERR_FILENO) == 1, options.quiet, !dataOnTerminal);

    std::optional<SimulatedPacer> pacer;
    if (options.fastClock)
        pacer.emplace();
    EventLoop loop(pacer ? &*pacer : nullptr);
    RecordWindow window(loop, console);
    PosixRegionalSettings regional;
    SystemClock systemClock;
    Ports& installed = ports();
    installed.window = &window;
    installed.regional = &regional;
    installed.clock = &systemClock;
    installed.timers = &loop;

    ApplySettings(options, regional.DecimalSeparator());
    // The flight recorder keeps every data set on disk as the window does, so that a run
    // whose output is lost (a full disk, a killed shell) can still be recovered.
    std::unique_ptr<FlightRecorder> recorder = StartFlightRecorder();
    installed.dataSets = recorder.get();
    const auto closeRecorder = [&recorder, &installed](bool saved) {
        if (recorder) {
            if (saved)
                recorder->DataSetsSaved();
            recorder->Close();
        }
        installed.dataSets = nullptr;
    };

    SourceResult source = !options.simulate ? OpenUsbSource()
                          : pacer           ? OpenSimulatedSource(options.scenarioFile, pacer->Clock())
                                            : OpenSimulatedSource(options.scenarioFile);
    for (const std::string& warning : source.warnings)
        console.Error("kantrel731-record: " + warning + "\n");
    if (!source.source) {
        console.Error("kantrel731-record: " + source.error + "\n");
        closeRecorder(false);
        installed = Ports{};
        return kExitUsage;
    }
    if (pacer) {
        pacer->SetInstrument(source.source->Simulated());
        pacer->SetWorkersGone([] {
            const TdataThread2* measuring = MeasuringThread();
            const TDataThread* command = CommandThread();
            return measuring == nullptr || command == nullptr || measuring->Finished() || command->Finished();
        });
    }

    OutputFile output;
    RecordingRun run(options, loop, console, output, window);
    // A data error on the measurement pipe ends the run, not the process: what was
    // recorded is still written and the exit code tells what happened.
    SetProcessEndHook([&run] { run.Fail("the instrument stopped sending measurements (data error)"); });
    const int code = run.Execute();
    SetProcessEndHook({});
    // What reached the output counts as saved: only a failed output leaves the data sets
    // to the next start's offer.
    closeRecorder(code != kExitOutputFailed);
    installed = Ports{};
    return code;
}

} // namespace

int main(int argc, char** argv) {
    const ParsedCommandLine line = ParseRecordCommandLine(std::vector<std::string>(argv, argv + argc));
    if (!line.error.empty()) {
        std::fprintf(stderr, "kantrel731-record: %s\nTry \"kantrel731-record --help\".\n",
                     line.error.c_str());
        return kExitUsage;
    }
    if (line.help) {
        std::fputs(RecordUsageText().c_str(), stdout);
        return kExitDone;
    }
    if (line.version) {
        std::fputs(RecordVersionText().c_str(), stdout);
        return kExitDone;
    }
    // A reader that goes away (a closed pipe) is an output failure like any other.
    std::signal(SIGPIPE, SIG_IGN);
    InstallStopSignalHandlers();
    return Record(line.options);
}
