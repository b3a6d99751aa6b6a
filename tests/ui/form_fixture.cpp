#include "form_fixture.h"

#include <QWidget>
#include <filesystem>

#include "core/link_flags.h"
#include "measure/meas_data.h"
#include "settings/settings.h"
#include "support/measurement_fixture.h"
#include "support/test_environment.h"
#include "ui/message_box_queue.h"

namespace kantrel::test {

void FakeDialogs::Message(const QString& text, const QString& caption) {
    messages.push_back({text.toStdString(), caption.toStdString()});
}
void FakeDialogs::OpenMessage(const QString& text, const QString& caption, std::function<void()> onClosed) {
    Message(text, caption);
    if (holdBoxes)
        heldBoxes.push_back(std::move(onClosed));
    else if (onClosed)
        onClosed();
}
bool FakeDialogs::CloseBox() {
    if (heldBoxes.empty())
        return false;
    std::function<void()> onClosed = std::move(heldBoxes.front());
    heldBoxes.erase(heldBoxes.begin());
    if (onClosed)
        onClosed();
    return true;
}
void FakeDialogs::Error(const QString& text) {
    errors.push_back(text.toStdString());
}
QString FakeDialogs::OpenFileName(const QString&, const QString&, const QString&) {
    return openAnswer;
}
QString FakeDialogs::SaveFileName(const QString&, const QString&, const QString&) {
    return saveAnswer;
}

FormTest::FormTest() {
    // Tests of one program may also run in one process: each starts without settings.
    std::error_code ignored;
    std::filesystem::remove(IsolatedEnvironment::Root() + "/work/731config.ini", ignored);
    std::filesystem::remove_all(IsolatedEnvironment::Root() + "/home/.config/Marvix", ignored);
    ui::SetDialogs(&boxes);
    ui::messageBoxes().Clear();
    ports().externalProgram = &externalProgram;
}

FormTest::~FormTest() {
    form.reset(); // closes the window: threads stopped, store destroyed
    ports().window = &fakes.window;
    windowPort.reset();
    ui::messageBoxes().Clear();
    ui::SetDialogs(nullptr);
}

ui::TForm1& FormTest::CreateForm() {
    form = std::make_unique<CountingForm>();
    windowPort = std::make_unique<ui::FormWindowPort>(*form);
    ports().window = windowPort.get();
    return *form;
}

ui::TForm1& FormTest::StartForm() {
    CreateForm();
    form->FormShow();
    return *form;
}

std::string FormTest::SettingsPath() {
    // Started outside the installation folder, the program keeps its settings in the
    // working directory, which is this process's own temporary folder.
    return SettingsFilePath().value_or(IsolatedEnvironment::Root() + "/work/731config.ini");
}

void FormTest::WriteSettings(const std::string& text) {
    WriteFileBytes(IsolatedEnvironment::Root() + "/work/731config.ini", text);
}

std::string FormTest::ReadSettingsFile() {
    return ReadFileBytes(IsolatedEnvironment::Root() + "/work/731config.ini");
}

void FormTest::AttachInstrument(int averagingCount) {
    UseIdentityParameters(1000);
    if (!measData)
        measData = new TMeasData(averagingCount);
    measData->SetAveragingCount(averagingCount);
    measData->readoutTimer.reset();
    measData->readoutDone = true;
    instrumentConnected.store(true);
    // What the end of the readout does to the window.
    ports().window->SetTensologKeys(true);
    ports().window->EnableReadoutControls();
    form->TimerInit2->Start(ui::TForm1::kTimerInit2Ms);
    form->TimerInit2Timer();
}

ui::TForm1& FormTest::StartConnected(int averagingCount) {
    StartForm();
    AttachInstrument(averagingCount);
    return *form;
}

void FormTest::FeedAndTick(int count, std::int16_t raw) {
    while (count > 0) {
        const int portion = std::min(count, 900);
        PushSamples(*measData, portion, raw);
        form->TimerGetMeasTimer();
        count -= portion;
    }
}

std::vector<std::string> EnabledOf(const ui::TForm1& form, const std::vector<std::string>& names) {
    std::vector<std::string> enabled;
    for (const std::string& name : names) {
        auto* widget = form.findChild<QWidget*>(QString::fromStdString(name));
        if (widget && widget->isEnabled())
            enabled.push_back(name);
    }
    return enabled;
}

} // namespace kantrel::test
