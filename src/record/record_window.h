#pragma once

// The core's view of "the window" in kantrel731-record: there is none. Work for the main
// thread goes to the event loop, message boxes become lines on standard error (each text
// once, as the window's boxes would not pile up either), the firmware and device error
// texts are kept for the identification, and the save after a data error writes out what
// was recorded. The rest of the window (status line, keys, chart) has no counterpart.

#include <functional>
#include <mutex>
#include <set>
#include <string>

#include "core/ports.h"

namespace kantrel::record {

class Console;
class EventLoop;

class RecordWindow : public WindowPort {
public:
    RecordWindow(EventLoop& loop, Console& console) : loop_(loop), console_(console) {}

    void PostToMainThread(std::function<void()> fn) override;
    void ShowMessage(std::string_view text, std::string_view caption) override;
    void PostFirmwareText(std::string text) override;
    void PostDeviceErrorText(std::string text) override;
    void SaveDataSets() override;

    // Main thread: what the save writes out.
    void SetSaveAction(std::function<void()> save) { save_ = std::move(save); }

    std::string FirmwareText() const;
    std::string DeviceErrorText() const;
    // Whether a message of that text has been shown.
    bool Shown(std::string_view text) const;

private:
    EventLoop& loop_;
    Console& console_;
    std::function<void()> save_;

    mutable std::mutex mutex_;
    std::set<std::string, std::less<>> shownTexts_;
    std::set<std::string> shownLines_;
    std::string firmware_;
    std::string deviceError_;
};

} // namespace kantrel::record
