#pragma once

// Test doubles of the core's ports. Install them with PortsScope, which restores the
// previous ports when it goes.

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/ports.h"

namespace kantrel::test {

struct Message {
    std::string text;
    std::string caption;
    bool operator==(const Message&) const = default;
};

// Records what the core asks of the window. Thread-safe; posted work is queued until
// the test runs it with RunPosted() (or runs at once when runPostedInline is set).
class FakeWindow : public WindowPort {
public:
    void PostToMainThread(std::function<void()> fn) override;
    void ShowMessage(std::string_view text, std::string_view caption) override;
    // Recorded like ShowMessage; the box closes at once unless holdBoxes is set.
    void OpenMessage(std::string_view text, std::string_view caption,
                     std::function<void()> onClosed) override;
    void SetStatusText(std::string_view text) override;
    void PostFirmwareText(std::string text) override;
    void PostDeviceErrorText(std::string text) override;
    void SetTensologKeys(bool enabled) override;
    void EnableReadoutControls() override;
    void SaveDataSets() override;
    bool IsSeriesChecked(int slot) override;
    void ChartDeletePoint(int slot, int index) override;
    void ChartAddPoint(int slot, double x, double y) override;
    void ChartZoomAll() override;

    int RunPosted();  // runs the queued work; returns how many ran
    // Closes the boxes held open, oldest first; returns how many closed.
    int CloseHeldBoxes();

    struct Point {
        int slot;
        double x, y;
    };
    mutable std::mutex mutex;
    bool runPostedInline = false;
    std::vector<std::function<void()>> posted;
    std::vector<Message> messages;
    std::vector<std::string> statusTexts;
    std::vector<std::string> firmwareTexts;
    std::vector<std::string> deviceErrorTexts;
    std::vector<bool> tensologKeys;
    int readoutControlsEnabled = 0;
    int saves = 0;
    bool seriesChecked[5] = {true, true, true, true, true};
    std::vector<Point> addedPoints;
    std::vector<std::pair<int, int>> deletedPoints;  // slot, index
    int zoomAlls = 0;
    // Runs while the message "box" is open (for re-entry tests).
    std::function<void(const Message&)> onMessage;
    // Boxes opened by OpenMessage stay open (their onClosed pending) until
    // CloseHeldBoxes().
    bool holdBoxes = false;
    std::vector<std::function<void()>> heldBoxes;
    // Event log in call order: "message:<text>", "save", ... for order checks.
    std::vector<std::string> events;

    std::vector<Message> Messages() const;
    std::vector<std::string> Events() const;
};

class FakeRegional : public RegionalSettings {
public:
    explicit FakeRegional(std::string separator = ",") : separator(std::move(separator)) {}
    std::string DecimalSeparator() const override { return separator; }
    std::string FormatLongTime(const CivilDateTime& t) const override;   // HH:MM:SS
    std::string FormatShortDate(const CivilDateTime& t) const override;  // DD.MM.YYYY
    std::optional<double> ParseDateTime(std::string_view text) const override;
    std::string separator;
};

class FixedClock : public Clock {
public:
    explicit FixedClock(double now) : now(now) {}
    double Now() const override { return now; }
    double now;
};

// Timers that tick only when the test says so.
class ManualTimer : public MainThreadTimer {
public:
    explicit ManualTimer(std::function<void()> tick) : tick(std::move(tick)) {}
    void Start(int intervalMs) override {
        interval = intervalMs;
        active = true;
    }
    void Stop() override { active = false; }
    bool IsActive() const override { return active; }
    std::function<void()> tick;
    int interval = 0;
    bool active = false;
};

class ManualTimerFactory : public TimerFactory {
public:
    std::unique_ptr<MainThreadTimer> CreateTimer(std::function<void()> tick) override;
    void ReleaseLater(std::unique_ptr<MainThreadTimer> timer) override;
    // Ticks every active timer once (timers created during the round wait for the next).
    void TickAll();
    std::vector<ManualTimer*> live;  // timers not yet destroyed
    std::vector<std::unique_ptr<MainThreadTimer>> released;
};

class RecordingKeys : public KeyInjector {
public:
    bool Available() override { return available; }
    void SendKeyStroke(char32_t ch) override { strokes.push_back(ch); }
    void SendEnter() override {
        strokes.push_back(U'\n');
        if (onEnter)
            onEnter();
    }
    void Pause(int ms) override { pauses.push_back(ms); }
    bool available = true;
    std::u32string strokes;
    std::vector<int> pauses;
    std::function<void()> onEnter; // runs after each Enter (for re-entry tests)
};

class RecordingLauncher : public ProgramLauncher {
public:
    int Launch(const std::string& program, const std::string& parameters) override {
        calls.push_back({program, parameters});
        if (onLaunch)
            onLaunch();
        return result;
    }
    struct Call {
        std::string program, parameters;
    };
    std::vector<Call> calls;
    int result = 42;
    std::function<void()> onLaunch; // runs during each start (for re-entry tests)
};

// Puts the process-wide state of the core back to its program-start values: device
// parameters, settings, link flags, peaks and mean of means. Each test process starts
// fresh anyway; this keeps tests independent when a binary runs them all at once.
void ResetProcessState();

// Installs a set of fakes as the process's ports for the life of the scope, after
// ResetProcessState().
class PortsScope {
public:
    PortsScope();
    ~PortsScope();
    FakeWindow window;
    FakeRegional regional;
    FixedClock clock{46000.5};  // 2025-12-09 12:00:00
    ManualTimerFactory timers;
    RecordingKeys keys;
    RecordingLauncher launcher;

private:
    Ports saved_;
};

}  // namespace kantrel::test
