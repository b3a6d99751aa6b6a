#pragma once

// The core's view of the main window, implemented on TForm1. Work from the worker
// threads crosses to the main thread through Qt's event queue.

#include <QPointer>

#include "core/ports.h"

namespace kantrel::ui {

class TForm1;

class FormWindowPort : public WindowPort {
public:
    explicit FormWindowPort(TForm1& form);

    void PostToMainThread(std::function<void()> fn) override;
    void ShowMessage(std::string_view text, std::string_view caption) override;
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

private:
    QPointer<TForm1> form_;
};

} // namespace kantrel::ui
