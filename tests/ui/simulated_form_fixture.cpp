#include "simulated_form_fixture.h"

#include <QCoreApplication>
#include <QLabel>
#include <algorithm>

#include "core/value_text.h"
#include "device/connection.h"
#include "measure/meas_data.h"

namespace kantrel::test {

namespace {

constexpr auto kDeliveryLimit = std::chrono::seconds(10);

bool RingNearlyFull() {
    const TMeasData* store = measData;
    if (!store)
        return false;
    const int used =
        (store->ringWriteIndex.load() - store->ringReadIndex.load() + kSampleRingSize) % kSampleRingSize;
    return used > kSampleRingSize - 1 - kSamplesPerFrame;
}

} // namespace

sim::Scenario SteadyScenario() {
    sim::Scenario s;
    s.shape = sim::SignalShape::Constant;
    s.level = 250.0;
    s.noise = 0.0;
    return s;
}

SimulatedFormTest::~SimulatedFormTest() {
    form.reset(); // joins the link's threads before the instrument goes
    SetUsbTransport(nullptr);
}

void SimulatedFormTest::Open(sim::Scenario scenario) {
    instrument = std::make_unique<sim::SimulatedInstrument>(std::move(scenario), clock);
    instrument->SetConsumerFullProbe(RingNearlyFull);
    SetUsbTransport(instrument.get());
    StartForm();
}

void SimulatedFormTest::Run(int milliseconds) {
    for (int t = 0; t < milliseconds; t += 10) {
        clock.Advance(10);
        // After a lost connection the link takes nothing more from the instrument.
        if (!(measData && measData->IsConnectionLost())) {
            ASSERT_TRUE(instrument->WaitUntilDelivered(kDeliveryLimit));
        }
        QCoreApplication::sendPostedEvents();
        elapsedMs += 10;
        if (measData) {
            auto* readout = dynamic_cast<ManualTimer*>(measData->readoutTimer.get());
            if (readout && readout->active)
                readout->tick();
        }
        if (form->TimerInit2->IsActive())
            form->TimerInit2Timer();
        if (elapsedMs % 100 == 0 && form->TimerGetMeas->IsActive())
            form->TimerGetMeasTimer();
        QCoreApplication::sendPostedEvents();
    }
}

void SimulatedFormTest::RunUntilReady() {
    for (int i = 0; i < 100 && !form->TimerGetMeas->IsActive(); ++i)
        Run(100);
    ASSERT_TRUE(form->TimerGetMeas->IsActive()) << "the readout did not complete";
    Run(200);
}

double SimulatedFormTest::ShownMean() const {
    QString text = form->meas300->text();
    text.chop(2); // " N"
    return ParseValueText(text.toStdString(), ",").value_or(-1);
}

bool SimulatedFormTest::Sent(const std::string& command) const {
    const auto commands = instrument->ReceivedCommands();
    return std::find(commands.begin(), commands.end(), command) != commands.end();
}

} // namespace kantrel::test
