#include "record/record_window.h"

#include "record/console_report.h"
#include "record/event_loop.h"

namespace kantrel::record {

void RecordWindow::PostToMainThread(std::function<void()> fn) {
    loop_.Post(std::move(fn));
}

void RecordWindow::ShowMessage(std::string_view text, std::string_view caption) {
    std::string line = "kantrel731-record: " + std::string(caption) + ": " + std::string(text) + "\n";
    {
        std::lock_guard lock(mutex_);
        shownTexts_.emplace(text);
        if (!shownLines_.insert(line).second)
            return;
    }
    console_.Error(line);
}

void RecordWindow::PostFirmwareText(std::string text) {
    std::lock_guard lock(mutex_);
    firmware_ = std::move(text);
}

void RecordWindow::PostDeviceErrorText(std::string text) {
    std::lock_guard lock(mutex_);
    deviceError_ = std::move(text);
}

void RecordWindow::SaveDataSets() {
    if (save_)
        save_();
}

bool RecordWindow::Shown(std::string_view text) const {
    std::lock_guard lock(mutex_);
    return shownTexts_.find(text) != shownTexts_.end();
}

std::string RecordWindow::FirmwareText() const {
    std::lock_guard lock(mutex_);
    return firmware_;
}

std::string RecordWindow::DeviceErrorText() const {
    std::lock_guard lock(mutex_);
    return deviceError_;
}

} // namespace kantrel::record
