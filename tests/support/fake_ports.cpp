#include "support/fake_ports.h"

#include <algorithm>
#include <fmt/format.h>

#include "core/date_time.h"
#include "core/link_flags.h"
#include "device/device_parameters.h"
#include "measure/meas_data.h"
#include "settings/language.h"
#include "settings/settings.h"

namespace kantrel::test {

void FakeWindow::PostToMainThread(std::function<void()> fn) {
    if (runPostedInline) {
        fn();
        return;
    }
    std::lock_guard lock(mutex);
    posted.push_back(std::move(fn));
}

int FakeWindow::RunPosted() {
    std::vector<std::function<void()>> work;
    {
        std::lock_guard lock(mutex);
        work.swap(posted);
    }
    for (auto& fn : work) fn();
    return static_cast<int>(work.size());
}

void FakeWindow::ShowMessage(std::string_view text, std::string_view caption) {
    Message m{std::string(text), std::string(caption)};
    {
        std::lock_guard lock(mutex);
        messages.push_back(m);
        events.push_back("message:" + m.text);
    }
    if (onMessage) onMessage(m);
}

void FakeWindow::OpenMessage(std::string_view text, std::string_view caption,
                             std::function<void()> onClosed) {
    ShowMessage(text, caption);
    if (!onClosed)
        onClosed = [] {};
    if (holdBoxes) {
        std::lock_guard lock(mutex);
        heldBoxes.push_back(std::move(onClosed));
        return;
    }
    onClosed();
}

int FakeWindow::CloseHeldBoxes() {
    std::vector<std::function<void()>> closing;
    {
        std::lock_guard lock(mutex);
        closing.swap(heldBoxes);
    }
    for (auto& onClosed : closing)
        onClosed();
    return static_cast<int>(closing.size());
}

void FakeWindow::SetStatusText(std::string_view text) {
    std::lock_guard lock(mutex);
    statusTexts.emplace_back(text);
}
void FakeWindow::PostFirmwareText(std::string text) {
    std::lock_guard lock(mutex);
    firmwareTexts.push_back(std::move(text));
}
void FakeWindow::PostDeviceErrorText(std::string text) {
    std::lock_guard lock(mutex);
    deviceErrorTexts.push_back(std::move(text));
}
void FakeWindow::SetTensologKeys(bool enabled) {
    std::lock_guard lock(mutex);
    tensologKeys.push_back(enabled);
    events.push_back(enabled ? "keys:on" : "keys:off");
}
void FakeWindow::EnableReadoutControls() {
    std::lock_guard lock(mutex);
    ++readoutControlsEnabled;
}
void FakeWindow::SaveDataSets() {
    std::lock_guard lock(mutex);
    ++saves;
    events.push_back("save");
}
bool FakeWindow::IsSeriesChecked(int slot) { return slot >= 0 && slot < 5 && seriesChecked[slot]; }
void FakeWindow::ChartDeletePoint(int slot, int index) { deletedPoints.emplace_back(slot, index); }
void FakeWindow::ChartAddPoint(int slot, double x, double y) { addedPoints.push_back({slot, x, y}); }
void FakeWindow::ChartZoomAll() { ++zoomAlls; }

std::vector<Message> FakeWindow::Messages() const {
    std::lock_guard lock(mutex);
    return messages;
}
std::vector<std::string> FakeWindow::Events() const {
    std::lock_guard lock(mutex);
    return events;
}

std::string FakeRegional::FormatLongTime(const CivilDateTime& t) const {
    return fmt::format("{:02}:{:02}:{:02}", t.hour, t.minute, t.second);
}
std::string FakeRegional::FormatShortDate(const CivilDateTime& t) const {
    return fmt::format("{:02}.{:02}.{:04}", t.day, t.month, t.year);
}
std::optional<double> FakeRegional::ParseDateTime(std::string_view text) const {
    CivilDateTime t;
    std::string s(text);
    if (std::sscanf(s.c_str(), "%d.%d.%d %d:%d:%d", &t.day, &t.month, &t.year, &t.hour, &t.minute,
                    &t.second) != 6)
        return std::nullopt;
    return EncodeDateTime(t);
}

std::unique_ptr<MainThreadTimer> ManualTimerFactory::CreateTimer(std::function<void()> tick) {
    struct Tracked : ManualTimer {
        Tracked(std::function<void()> t, ManualTimerFactory* f) : ManualTimer(std::move(t)), factory(f) {
            factory->live.push_back(this);
        }
        ~Tracked() override { std::erase(factory->live, static_cast<ManualTimer*>(this)); }
        ManualTimerFactory* factory;
    };
    return std::make_unique<Tracked>(std::move(tick), this);
}

void ManualTimerFactory::ReleaseLater(std::unique_ptr<MainThreadTimer> timer) {
    if (timer) timer->Stop();
    released.push_back(std::move(timer));
}

void ManualTimerFactory::TickAll() {
    std::vector<ManualTimer*> round = live;
    for (ManualTimer* t : round) {
        if (std::find(live.begin(), live.end(), t) == live.end()) continue;  // destroyed meanwhile
        if (t->active && t->tick) t->tick();
    }
    released.clear();
}

void ResetProcessState() {
    deviceParameters = DeviceParameters{};
    readoutMask = 0;
    hiResolution = false;
    sampleRateIndex = 0;
    commandPending = false;
    instrumentConnected = false;
    dataErrorLatched = false;
    settings = Settings{};
    configInCurrentDir = false;
    languageIndex = 0;
    peakMax = -kPeakReset;
    peakMin = kPeakReset;
    peakMaxAvr = -kPeakReset;
    peakMinAvr = kPeakReset;
    overloadHoldOff = 0;
    calErrorShowing = false;
    ResetMeanOfMeans();
    listRebuildPending = false;
    connectionLossHandled = false;
    measData = nullptr;
}

PortsScope::PortsScope() : saved_(ports()) {
    ResetProcessState();
    ports() = Ports{&window, &regional, &clock, &timers, &keys, &launcher};
}
PortsScope::~PortsScope() { ports() = saved_; }

}  // namespace kantrel::test
