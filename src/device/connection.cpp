#include "device/connection.h"

#include <memory>
#include <system_error>

#include "core/link_flags.h"
#include "core/ports.h"
#include "device/command_channel.h"
#include "device/device_parameters.h"
#include "device/measuring_thread.h"
#include "device/unit_usb.h"
#include "measure/format_value.h"
#include "measure/meas_data.h"

namespace kantrel {

namespace {

constexpr std::string_view kCommandThreadFailed = "Can not create command thread";
constexpr std::string_view kMeasuringThreadFailed = "Can not create measuring thread";

// Owned here; each is destroyed (stopped and joined) before the store it writes into.
std::unique_ptr<TDataThread> commandThread;
std::unique_ptr<TdataThread2> measuringThread;

template <typename Thread> bool StartThread(std::unique_ptr<Thread>& slot, std::string_view failureText) {
    try {
        slot = std::make_unique<Thread>(unitUsb());
        return true;
    } catch (const std::system_error&) {
        window().ShowMessage(failureText, kCaptionError);
        return false;
    }
}

// A guarded command goes out only when no answer is awaited, and then takes the slot.
void SendGuarded(std::string_view code) {
    if (commandPending.exchange(true))
        return;
    SendCommand(code);
}

} // namespace

void SetUsbTransport(UsbTransport* transport) {
    unitUsb().SetTransport(transport);
}

TDataThread* CommandThread() {
    return commandThread.get();
}
TdataThread2* MeasuringThread() {
    return measuringThread.get();
}

ConnectResult ConnectInstrument() {
    DisconnectInstrument();
    DestroyMeasData();
    measData = new TMeasData(AveragingCountFor(sampleRateIndex));

    ConnectResult result;
    result.opened = unitUsb().OpenUsbLink();
    if (!result.opened)
        return result;

    // The first readout command waits for the command thread's first read.
    commandPending.store(true);
    instrumentConnected.store(true);
    readoutMask.store(0, std::memory_order_release);
    result.commandThreadStarted = StartThread(commandThread, kCommandThreadFailed);
    result.measuringThreadStarted = StartThread(measuringThread, kMeasuringThreadFailed);
    return result;
}

void DisconnectInstrument() {
    // Transfers are refused from here on, and blocked ones end now, so both threads fall
    // out of their loops; a worker waiting for the main thread gives up on its stop.
    instrumentConnected.store(false);
    unitUsb().CancelTransfers();
    commandThread.reset();
    measuringThread.reset();
    unitUsb().CloseUsbLink();
}

void DestroyMeasData() {
    delete measData;
    measData = nullptr;
}

Identification ReadIdentification() {
    const DeviceParameters p = ReadDeviceParameters();
    return {p.sensorSerial, p.deviceSerial,
            FormatValue(p.nominalValue, p.nominalValue, hiResolution, regional().DecimalSeparator()) + " " +
                p.unitText};
}

void ZeroClick() {
    SendCommand("#A03");
}
void unZeroClick() {
    SendCommand("#A13");
}
void clrPeakClick() {
    SendCommand("#B03");
}
void ButtonGetFirmwareClick() {
    SendGuarded("#I05");
}
void ButtonGetErrorClick() {
    SendCommand("#Y00");
}
void clrDevErrorClick() {
    SendGuarded("#Y01");
}

} // namespace kantrel
