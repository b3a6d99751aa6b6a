#pragma once

// A main window on the offscreen platform with faked ports and dialogs. The window's
// timers are manual: tests call the tick handlers themselves.

#include <gtest/gtest.h>

#include <QString>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "files/external_program.h"
#include "support/fake_ports.h"
#include "ui/dialogs.h"
#include "ui/form1.h"
#include "ui/window_port.h"

namespace kantrel::test {

struct Box {
    std::string text;
    std::string caption;
    bool operator==(const Box&) const = default;
    friend void PrintTo(const Box& box, std::ostream* out) {
        *out << '"' << box.text << "\" / \"" << box.caption << '"';
    }
};

// Answers every box and dialog at once and records it; boxes that do not block their
// caller stay open while holdBoxes is set, until the test closes them.
class FakeDialogs : public ui::Dialogs {
public:
    void Message(const QString& text, const QString& caption) override;
    void OpenMessage(const QString& text, const QString& caption, std::function<void()> onClosed) override;
    // Closes the oldest box held open; false when none is.
    bool CloseBox();
    void Error(const QString& text) override;
    QString OpenFileName(const QString& title, const QString& directory, const QString& filter) override;
    QString SaveFileName(const QString& title, const QString& directory, const QString& filter) override;

    std::vector<Box> messages;
    std::vector<std::string> errors;
    bool holdBoxes = false;
    std::vector<std::function<void()>> heldBoxes;
    QString openAnswer;
    QString saveAnswer;
};

// The window with its save counted (the save itself belongs to the data files).
class CountingForm : public ui::TForm1 {
public:
    void saveToFileClick() override { ++saves; }
    int saves = 0;
};

class FormTest : public ::testing::Test {
protected:
    FormTest();
    ~FormTest() override;

    // The window, created and (optionally) through its start-up sequence.
    ui::TForm1& CreateForm();
    ui::TForm1& StartForm(); // CreateForm + FormShow

    // Writes the settings file that this test process's start-up will read.
    static void WriteSettings(const std::string& text);
    static std::string ReadSettingsFile();
    static std::string SettingsPath();

    // Acts as a connected instrument whose readout has completed: identity conversion
    // (a raw count is the value), nominal value 1000, unit "N". Then the window's readout
    // timer tick starts the live refresh.
    void AttachInstrument(int averagingCount = 1);
    // StartForm + AttachInstrument.
    ui::TForm1& StartConnected(int averagingCount = 1);
    // Puts `count` samples of one raw value into the ring, ticking the refresh whenever
    // the ring would run full, and ticks once more at the end.
    void FeedAndTick(int count, std::int16_t raw);

    ExternalProgramStarter externalProgram; // installed as the program installs it
    PortsScope fakes;
    FakeDialogs boxes;
    int Saves() const { return static_cast<CountingForm*>(form.get())->saves; }
    std::unique_ptr<ui::TForm1> form;
    std::unique_ptr<ui::FormWindowPort> windowPort;
};

// Names of the enabled (or disabled) controls among the given ones, for readable checks.
std::vector<std::string> EnabledOf(const ui::TForm1& form, const std::vector<std::string>& names);

} // namespace kantrel::test
