#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "core/link_flags.h"
#include "device/command_channel.h"
#include "device/measuring_thread.h"
#include "device/readout.h"
#include "measure/format_value.h"
#include "sim/signal.h"
#include "simulated_link.h"

namespace kantrel {
namespace {

using test::kPatience;

class LinkRun : public test::SimulatedLinkTest {};

// The data-error reaction as the window saw it: messages, saves and the end.
std::vector<std::string> ReactionEvents(const test::FakeWindow& window) {
    auto events = window.Events();
    std::erase_if(events, [](const std::string& e) { return e.starts_with("keys:"); });
    return events;
}

std::vector<std::string> ReadoutSequence() {
    return {kReadoutCommands.begin(), kReadoutCommands.end()};
}

TEST_F(LinkRun, ConnectReadoutAndMeasureFromRawFramesToValueTexts) {
    sampleRateIndex = 6; // 100 samples per mean
    const sim::Scenario scenario = QuietScenario(250.0);
    const ConnectResult connected = Connect(scenario);
    ASSERT_TRUE(connected.opened);
    ASSERT_TRUE(connected.commandThreadStarted);
    ASSERT_TRUE(connected.measuringThreadStarted);

    ASSERT_TRUE(RunUntilDisplayStarts(2000));
    EXPECT_EQ(instrument->ReceivedCommands(), ReadoutSequence());
    EXPECT_EQ(readoutMask.load(), kReadoutComplete);
    EXPECT_EQ(deviceParameters.fullScale, 1000.0);
    EXPECT_EQ(deviceParameters.deviceSerial, "D731-0001");
    EXPECT_EQ(deviceParameters.nominalValue, 1000.0);
    EXPECT_EQ(deviceParameters.calPointCount, 3);
    EXPECT_EQ(deviceParameters.calOutput[1], 510.0);
    EXPECT_EQ(deviceParameters.calInput[2], 1000.0);
    EXPECT_EQ(deviceParameters.unitText, "N");
    EXPECT_EQ(deviceParameters.sensorSerial, "S1000N-0001");
    {
        std::lock_guard lock(window.mutex);
        EXPECT_EQ(window.firmwareTexts, std::vector<std::string>{"Tensolog SIM 1.0"});
        EXPECT_EQ(window.deviceErrorTexts, std::vector<std::string>{"No Error"});
        EXPECT_EQ(window.tensologKeys, std::vector<bool>{true});
        EXPECT_EQ(window.readoutControlsEnabled, 1);
    }

    Run(500);
    const std::int16_t raw = sim::ValueToRaw(scenario, 250.0);
    const double value = ApplyCalibration(RawToScaled(raw)).value;
    EXPECT_NEAR(value, 255.0, 0.05);
    EXPECT_EQ(measData->GetMeanText(), FormatValue(value));
    EXPECT_EQ(measData->GetMaxText(), FormatValue(value));
    EXPECT_EQ(measData->GetMinAvrText(), FormatValue(value));

    measData->RequestSingleShot();
    Run(200);
    ASSERT_EQ(measData->GetDataListPos(), 0);
    EXPECT_EQ(measData->GetRowMean(0), FormatValue(value));
    EXPECT_EQ(measData->Row(0).rawText, std::to_string(raw));

    // Zero goes to the instrument, comes back as code '1' on a sample, and the program
    // averages the next 1000 readings into its zero.
    ZeroClick();
    Run(1300);
    EXPECT_EQ(instrument->ReceivedCommands().back(), "#A03");
    EXPECT_NEAR(measData->zeroValue, value, 1e-9);
    EXPECT_EQ(measData->GetMeanText(), FormatValue(value - measData->zeroValue));

    // Nothing lost, nothing doubled: every sample sent is processed or waits in the ring.
    EXPECT_EQ(measData->elapsedMs + test::RingCount(*measData), instrument->FramesSent() * kSamplesPerFrame);
    EXPECT_TRUE(window.Messages().empty());
}

TEST_F(LinkRun, InstrumentThatNeverAnswersZ63RepeatsTheReadout) {
    sim::Scenario scenario = QuietScenario();
    scenario.silentCommands = {"#Z63"};
    ASSERT_TRUE(Connect(scenario).opened);

    EXPECT_FALSE(RunUntilDisplayStarts(3000)); // the ring fills meanwhile; nothing drains it
    EXPECT_TRUE(test::RingFull(*measData));
    // Pass after pass of the whole sequence, "#A13" included; the last may be under way.
    const auto commands = instrument->ReceivedCommands();
    const auto sequence = ReadoutSequence();
    ASSERT_GE(commands.size(), 2 * sequence.size());
    for (std::size_t at = 0; at < commands.size(); at += sequence.size()) {
        SCOPED_TRACE("pass from command " + std::to_string(at));
        const std::size_t n = std::min(sequence.size(), commands.size() - at);
        EXPECT_TRUE(std::equal(sequence.begin(), sequence.begin() + static_cast<std::ptrdiff_t>(n),
                               commands.begin() + static_cast<std::ptrdiff_t>(at)));
    }
    EXPECT_FALSE(measData->IsReadoutDone());
    EXPECT_NE(measData->readoutTimer, nullptr);
    EXPECT_FALSE(answerReceived[7]);
    EXPECT_NE(readoutMask.load(), kReadoutComplete);
    std::lock_guard lock(window.mutex);
    EXPECT_TRUE(window.tensologKeys.empty());
    EXPECT_EQ(window.readoutControlsEnabled, 0);
}

TEST_F(LinkRun, ConnectionLostDuringMeasurementEndsBothThreadsQuietly) {
    sim::Scenario scenario = QuietScenario();
    scenario.connectionLostAtMs = 1500;
    ASSERT_TRUE(Connect(scenario).opened);
    ASSERT_TRUE(RunUntilDisplayStarts(1400));
    while (!measData->IsConnectionLost() && elapsedMs < 1700)
        Step();
    ASSERT_TRUE(measData->IsConnectionLost());
    {
        std::lock_guard lock(window.mutex);
        EXPECT_EQ(window.tensologKeys.back(), false);
        EXPECT_EQ(window.statusTexts.back(), "No connection to Device");
    }

    // Every transfer is refused now: the readers end at their next step, at the latest
    // when the idle answer read runs out.
    clock.Advance(1000);
    EXPECT_TRUE(MeasuringThread()->WaitUntilFinished(kPatience));
    EXPECT_TRUE(CommandThread()->WaitUntilFinished(kPatience));
    const auto before = instrument->ReceivedCommands().size();
    ZeroClick();
    ButtonGetFirmwareClick();
    EXPECT_EQ(instrument->ReceivedCommands().size(), before);
    EXPECT_TRUE(window.Messages().empty());
    EXPECT_FALSE(dataErrorLatched);
}

TEST_F(LinkRun, MeasurementStallShowsMessageThenSavesThenEnds) {
    sim::Scenario scenario = QuietScenario();
    scenario.r2Stall = {1500, 5000};
    ASSERT_TRUE(Connect(scenario).opened);
    ASSERT_TRUE(RunUntilDisplayStarts(1400));
    while (elapsedMs < 1500)
        Step();

    std::thread::id messageThread;
    window.onMessage = [&](const test::Message&) { messageThread = std::this_thread::get_id(); };
    clock.Advance(750); // the frame read runs out of time
    ASSERT_TRUE(window.WaitForPosts(1));
    EXPECT_TRUE(dataErrorLatched);
    EXPECT_TRUE(ReactionEvents(window).empty()); // nothing happens before the main thread runs it
    window.RunPosted();

    EXPECT_EQ(ReactionEvents(window),
              (std::vector<std::string>{"message:Data error, save data and repower device", "save", "end"}));
    EXPECT_EQ(window.Messages().at(0).caption, "WARNING");
    const auto mainThread = std::this_thread::get_id();
    EXPECT_EQ(messageThread, mainThread);
    EXPECT_EQ(window.saveThreads, std::vector<std::thread::id>{mainThread});
    EXPECT_EQ(endThreads, std::vector<std::thread::id>{mainThread});
    EXPECT_TRUE(MeasuringThread()->WaitUntilFinished(kPatience));
}

TEST_F(LinkRun, CloseDuringMeasurementStallDoesNotDeadlock) {
    sim::Scenario scenario = QuietScenario();
    scenario.r2Stall = {600, 5000};
    ASSERT_TRUE(Connect(scenario).opened);
    while (elapsedMs < 600)
        Step();
    clock.Advance(750);
    ASSERT_TRUE(window.WaitForPosts(1)); // the measuring thread now waits for the main thread

    DisconnectInstrument(); // joins it from the main thread
    EXPECT_EQ(MeasuringThread(), nullptr);
    EXPECT_EQ(CommandThread(), nullptr);
    DestroyMeasData();

    window.RunPosted(); // the abandoned request does nothing any more
    EXPECT_TRUE(ReactionEvents(window).empty());
    EXPECT_TRUE(endThreads.empty());
}

TEST_F(LinkRun, DisconnectWhileTheReadoutRunsStopsThreadsBeforeTheStoreGoes) {
    ASSERT_TRUE(Connect(QuietScenario()).opened);
    while (instrument->ReceivedCommands().size() < 8)
        Step();
    ASSERT_FALSE(measData->IsReadoutDone());
    TMeasData* store = measData;

    DisconnectInstrument();
    EXPECT_FALSE(instrumentConnected);
    EXPECT_EQ(CommandThread(), nullptr);
    EXPECT_EQ(MeasuringThread(), nullptr);
    EXPECT_FALSE(instrument->IsOpen());
    EXPECT_EQ(measData, store); // the store outlives its writers
    const std::int64_t samples = instrument->FramesSent() * kSamplesPerFrame;
    ASSERT_LT(samples, kSampleRingSize);
    EXPECT_EQ(test::RingCount(*store), samples);
    DestroyMeasData();
    EXPECT_TRUE(ports.timers.live.empty()); // the readout timer went with its store
    EXPECT_TRUE(window.Messages().empty());
}

// The readout completes on answerReceived, which late answers of an earlier pass, or of
// the earlier connection, have set already: answers may still be arriving when the window
// reads the identification, as TimerInit2Timer does once the readout is done. Here the
// answers come slower than the readout's 110 ms retry, and the identification is read
// while the clock lets the late answers in.
TEST_F(LinkRun, IdentificationIsReadWhileLateAnswersArrive) {
    sim::Scenario scenario = QuietScenario();
    scenario.answerDelayMs = 300;
    const auto readIdentification = [] {
        const Identification shown = ReadIdentification();
        return std::vector<std::string>{shown.sensorSerial, shown.deviceSerial, shown.nominalText};
    };
    for (int connection = 1; connection <= 2; ++connection) {
        SCOPED_TRACE("connection " + std::to_string(connection));
        displayStarted = false;
        ASSERT_TRUE(connection == 1 ? Connect(scenario).opened : ConnectInstrument().opened);
        ASSERT_TRUE(RunUntilDisplayStarts(20000));
        std::vector<std::string> shown;
        for (int t = 0; t < 500; t += 10) {
            clock.Advance(10);
            shown = readIdentification(); // while the command thread may store an answer
            ASSERT_TRUE(instrument->WaitUntilDelivered(kPatience));
            ports.timers.TickAll();
        }
        EXPECT_EQ(readIdentification(),
                  (std::vector<std::string>{"S1000N-0001", "D731-0001", FormatValue(1000.0) + " N"}));
    }
}

TEST_F(LinkRun, ReconnectStartsAFreshStoreAndReadsOutAgain) {
    ASSERT_TRUE(Connect(QuietScenario()).opened);
    ASSERT_TRUE(RunUntilDisplayStarts(2000));
    measData->RequestSingleShot();
    Run(200);
    ASSERT_EQ(measData->GetDataListPos(), 0);

    displayStarted = false;
    ASSERT_TRUE(ConnectInstrument().opened);
    EXPECT_EQ(measData->GetDataListPos(), -1);
    EXPECT_EQ(readoutMask.load(), 0u);
    ASSERT_TRUE(RunUntilDisplayStarts(1000)); // no start delay the second time
    EXPECT_EQ(readoutMask.load(), kReadoutComplete);
}

} // namespace
} // namespace kantrel
