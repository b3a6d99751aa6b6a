// The core's view of the window: work from other threads reaches the main thread, the
// firmware and device-error texts land in their labels, boxes get their captions.

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <thread>

#include "form_fixture.h"
#include "ui/data_set_chart.h"

namespace kantrel::test {
namespace {

class WindowPortTest : public FormTest {};

TEST_F(WindowPortTest, WorkFromAnotherThreadRunsOnTheMainThread) {
    CreateForm();
    std::thread::id ranOn;
    std::thread worker([&] {
        ports().window->PostToMainThread([&] { ranOn = std::this_thread::get_id(); });
        ports().window->PostFirmwareText("FW 2.1");
        ports().window->PostDeviceErrorText("Error 7");
    });
    worker.join();
    EXPECT_EQ(form->Label1->text(), QStringLiteral("-")); // not before the main thread runs it
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(ranOn, std::this_thread::get_id());
    EXPECT_EQ(form->Label1->text(), QStringLiteral("FW 2.1"));
    EXPECT_EQ(form->ErrorString->text(), QStringLiteral("Error 7"));
}

TEST_F(WindowPortTest, TextsPostedForAClosedWindowAreDropped) {
    CreateForm();
    ports().window->PostFirmwareText("late");
    form.reset();
    QCoreApplication::sendPostedEvents(); // must not touch the destroyed window
    SUCCEED();
}

TEST_F(WindowPortTest, MessagesKeysStatusSaveAndChartFeed) {
    CreateForm();
    WindowPort& port = *ports().window;
    port.ShowMessage("Sensor Calibration Error", kCaptionError);
    EXPECT_EQ(boxes.messages, (std::vector<Box>{{"Sensor Calibration Error", "Error"}}));
    bool closed = false;
    boxes.holdBoxes = true;
    port.OpenMessage("File 'x' not found!", kCaptionError, [&] { closed = true; });
    EXPECT_EQ(boxes.messages.back(), (Box{"File 'x' not found!", "Error"}));
    EXPECT_FALSE(closed);
    boxes.CloseBox();
    EXPECT_TRUE(closed);

    port.SetStatusText("No connection to Device");
    EXPECT_EQ(form->ErrorString->text(), QStringLiteral("No connection to Device"));

    port.SetTensologKeys(true);
    EXPECT_TRUE(form->ButtonSingleShot->isEnabled());
    EXPECT_TRUE(form->Zero->isEnabled());
    port.SetTensologKeys(false);
    EXPECT_FALSE(form->ButtonSingleShot->isEnabled());

    port.SaveDataSets();
    EXPECT_EQ(Saves(), 1);

    form->InitSeriesType();
    form->CheckBoxMean->setChecked(true);
    EXPECT_TRUE(port.IsSeriesChecked(ui::kSlotValue));
    EXPECT_FALSE(port.IsSeriesChecked(ui::kSlotMaxAvr));
    port.ChartAddPoint(ui::kSlotValue, 100, 1.5);
    port.ChartAddPoint(ui::kSlotValue, 0, 2.5);
    EXPECT_EQ(form->Chart1->Series(ui::kSlotValue)->data()->at(0)->key, 0.0);
    port.ChartDeletePoint(ui::kSlotValue, 0);
    EXPECT_EQ(form->Chart1->PointCount(ui::kSlotValue), 1);
    port.ChartDeletePoint(ui::kSlotValue, 5); // no such point: nothing happens
    EXPECT_EQ(form->Chart1->PointCount(ui::kSlotValue), 1);
    port.ChartZoomAll();
    EXPECT_TRUE(form->Chart1->LeftAutoScale());
}

TEST_F(WindowPortTest, ErrorInsideAHandlerIsShownAndTheWindowGoesOn) {
    CreateForm();
    form->Safely([] { throw std::runtime_error("Cannot create /x"); });
    form->Safely([] { throw 42; });
    EXPECT_EQ(boxes.errors, (std::vector<std::string>{"Cannot create /x", ""}));
    form->ClrAll->setEnabled(true);
    form->ClrAll->click(); // still working
    EXPECT_FALSE(form->saveToFile->isEnabled());
}

} // namespace
} // namespace kantrel::test
