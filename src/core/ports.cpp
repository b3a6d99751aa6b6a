#include "core/ports.h"

#include <chrono>
#include <ctime>
#include <fmt/format.h>

#include "core/date_time.h"

namespace kantrel {

void WindowPort::PostToMainThread(std::function<void()> fn) {
    if (fn) fn();
}
void WindowPort::ShowMessage(std::string_view, std::string_view) {}
void WindowPort::OpenMessage(std::string_view text, std::string_view caption,
                             std::function<void()> onClosed) {
    ShowMessage(text, caption);
    if (onClosed)
        onClosed();
}
void WindowPort::SetStatusText(std::string_view) {}
void WindowPort::PostFirmwareText(std::string) {}
void WindowPort::PostDeviceErrorText(std::string) {}
void WindowPort::SetTensologKeys(bool) {}
void WindowPort::EnableReadoutControls() {}
void WindowPort::SaveDataSets() {}
bool WindowPort::IsSeriesChecked(int) { return false; }
void WindowPort::ChartDeletePoint(int, int) {}
void WindowPort::ChartAddPoint(int, double, double) {}
void WindowPort::ChartZoomAll() {}

std::string RegionalSettings::DecimalSeparator() const { return "."; }
std::string RegionalSettings::FormatLongTime(const CivilDateTime& t) const {
    return fmt::format("{:02}:{:02}:{:02}", t.hour, t.minute, t.second);
}
std::string RegionalSettings::FormatShortDate(const CivilDateTime& t) const {
    return fmt::format("{:02}.{:02}.{:04}", t.day, t.month, t.year);
}
std::optional<double> RegionalSettings::ParseDateTime(std::string_view) const { return std::nullopt; }

double Clock::Now() const {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&seconds, &local);
    CivilDateTime t = FromBrokenDownTime(local);
    t.millisecond = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
    return EncodeDateTime(t);
}

namespace {
// Without a main loop there is nothing to tick: a timer that never fires.
class InertTimer : public MainThreadTimer {
public:
    void Start(int) override { active_ = true; }
    void Stop() override { active_ = false; }
    bool IsActive() const override { return active_; }

private:
    bool active_ = false;
};
}  // namespace

std::unique_ptr<MainThreadTimer> TimerFactory::CreateTimer(std::function<void()>) {
    return std::make_unique<InertTimer>();
}
void TimerFactory::ReleaseLater(std::unique_ptr<MainThreadTimer> timer) {
    if (timer) timer->Stop();
}

bool KeyInjector::Available() { return false; }
void KeyInjector::SendKeyStroke(char32_t) {}
void KeyInjector::SendEnter() {}
void KeyInjector::Pause(int) {}

int ProgramLauncher::Launch(const std::string&, const std::string&) { return 0; }

void ExternalProgram::HandOver(TMeasData&, int) {}

void DataSetSink::DataSetStored(const TMeasData&, int) {}
void DataSetSink::DataSetsSaved() {}

Ports& ports() {
    static Ports current;
    return current;
}

namespace {
template <typename T>
T& OrDefault(T* p) {
    static T fallback;
    return p ? *p : fallback;
}
}  // namespace

WindowPort& window() { return OrDefault(ports().window); }
RegionalSettings& regional() { return OrDefault(ports().regional); }
Clock& clock() { return OrDefault(ports().clock); }
TimerFactory& timers() { return OrDefault(ports().timers); }
KeyInjector& keys() { return OrDefault(ports().keys); }
ProgramLauncher& launcher() { return OrDefault(ports().launcher); }
ExternalProgram& externalProgram() {
    return OrDefault(ports().externalProgram);
}
DataSetSink& dataSetSink() {
    return OrDefault(ports().dataSets);
}

}  // namespace kantrel
