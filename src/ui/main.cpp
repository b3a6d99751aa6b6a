// The program kantrel731: the application object, the ports of the core, the instrument
// source and the main window.

#include <QIcon>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/ports.h"
#include "core/replace_file.h"
#include "device/connection.h"
#include "device/unit_usb.h"
#include "files/external_program.h"
#include "files/flight_recorder.h"
#include "platform/instrument_source.h"
#include "platform/posix_program_launcher.h"
#include "platform/posix_regional_settings.h"
#include "platform/system_clock.h"
#include "platform/udev_rule_install.h"
#include "platform/xtest_key_injector.h"
#include "ui/command_line.h"
#include "ui/dialogs.h"
#include "ui/form1.h"
#include "ui/kantrel_application.h"
#include "ui/qt_timers.h"
#include "ui/window_port.h"

namespace {

void RunWindow(kantrel::ui::KantrelApplication& app) {
    using namespace kantrel;
    PosixRegionalSettings regional;
    SystemClock systemClock;
    ui::QtTimerFactory qtTimers;
    XTestKeyInjector keyInjector;
    PosixProgramLauncher launcher;
    ExternalProgramStarter externalProgram;
    Ports& installed = ports();
    installed.regional = &regional;
    installed.clock = &systemClock;
    installed.timers = &qtTimers;
    installed.keys = &keyInjector;
    installed.launcher = &launcher;
    installed.externalProgram = &externalProgram;
    {
        ui::TForm1 form;
        ui::FormWindowPort windowPort(form);
        installed.window = &windowPort;
        // Shown at once: the whole start-up runs before the message loop.
        form.show();
        // Started once the settings are read; what it has to say about the last run is
        // shown when the message loop runs, after the start-up.
        std::unique_ptr<FlightRecorder> recorder = StartFlightRecorder();
        installed.dataSets = recorder.get();
        // The end after "Data error" leaves through exit(): the recording is completed first.
        SetProcessEndHook([&recorder] {
            if (recorder)
                recorder->Close();
            std::exit(0);
        });
        app.exec();
        form.FormClose();
        if (recorder)
            recorder->Close();
        SetProcessEndHook({});
        installed.dataSets = nullptr;
        installed.window = nullptr;
    }
    installed = Ports{};
}

// --udev-rule VID:PID prints the rule; with --install it writes it as well.
int RunUdevRuleCommand(kantrel::UsbId id, bool install) {
    using namespace kantrel;
    if (!install) {
        std::fputs(UdevRuleText(id).c_str(), stdout);
        return 0;
    }
    const UdevInstallResult result = InstallUdevRule(id, RealUdevSystem());
    std::fputs(result.report.c_str(), result.done ? stdout : stderr);
    return result.done ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    using namespace kantrel::ui;
    const std::vector<std::string> arguments(argv, argv + argc);
    const CommandLine line = ParseCommandLine(arguments);
    if (line.help) {
        std::fputs(UsageText("kantrel731").c_str(), stdout);
        return 0;
    }
    if (line.version) {
        std::fputs(VersionText().c_str(), stdout);
        return 0;
    }
    if (!line.error.empty()) {
        std::fprintf(stderr, "kantrel731: %s\n%s", line.error.c_str(), UsageText("kantrel731").c_str());
        return 2;
    }
    if (line.udevRule)
        return RunUdevRuleCommand(*line.udevRule, line.installUdevRule);

    kantrel::SourceResult source =
        line.simulate ? kantrel::OpenSimulatedSource(line.scenarioFile) : kantrel::OpenUsbSource();
    for (const std::string& warning : source.warnings)
        std::fprintf(stderr, "kantrel731: %s\n", warning.c_str());
    if (!source.source) {
        std::fprintf(stderr, "kantrel731: %s\n", source.error.c_str());
        return 2;
    }

    // A save beyond a file size limit reports "File too large" instead of ending the program.
    kantrel::IgnoreFileSizeLimitSignal();
    KantrelApplication app(argc, argv);
    KantrelApplication::setApplicationName(QStringLiteral("Kantrel USB"));
    KantrelApplication::setWindowIcon(QIcon(QStringLiteral(":/kantrel/icon.png")));
    try {
        RunWindow(app);
    } catch (const std::exception& e) {
        dialogs().Error(QString::fromUtf8(e.what()));
    } catch (...) {
        dialogs().Error(QString());
    }
    return 0;
}
