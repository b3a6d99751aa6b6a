#pragma once

// Connecting and disconnecting the instrument, and the operator's instrument commands,
// as plain functions for the window. All run on the main thread.

#include <memory>
#include <string>

namespace kantrel {

class UsbTransport;
class TMeasData;
class TDataThread;
class TdataThread2;

// The transport that the next connection uses (libusb or the simulated instrument).
// The caller keeps it alive while connected.
void SetUsbTransport(UsbTransport* transport);

struct ConnectResult {
    bool opened = false;                  // false: "Tensolog not found"
    bool commandThreadStarted = false;    // false after opened: "Can not create command thread" was shown
    bool measuringThreadStarted = false;  // false after opened: "Can not create measuring thread" was shown
};

// Stops what ran (DisconnectInstrument), replaces measData with a new store for
// kAveragingCounts[sampleRateIndex], opens the link, sets commandPending,
// instrumentConnected and readoutMask = 0, starts both threads. The window then
// enables TimerInit2 and calls SetTensologKeys(true), or shows "Tensolog not found".
ConnectResult ConnectInstrument();

// Clears instrumentConnected, ends and joins the command thread, then the measuring
// thread, and closes the link. The window stops TimerGetMeas before calling it.
void DisconnectInstrument();

// Destroys the store (after DisconnectInstrument); measData becomes null.
void DestroyMeasData();

// What the window shows once the readout is done (TimerInit2Timer): the serial numbers
// and the nominal value with its unit. A late answer of the readout may still be stored
// while they are read, so they are read as one copy under the answer handler's lock.
struct Identification {
    std::string sensorSerial;
    std::string deviceSerial;
    std::string nominalText; // FormatValue(nominalValue) + " " + unitText
};
Identification ReadIdentification();

// The worker threads of the current connection; null when none exists.
TDataThread* CommandThread();
TdataThread2* MeasuringThread();

// The operator's instrument commands.
void ZeroClick();               // "#A03"
void unZeroClick();             // "#A13"
void clrPeakClick();            // "#B03"
void ButtonGetFirmwareClick();  // "#I05", only when commandPending is clear
void ButtonGetErrorClick();     // "#Y00"
void clrDevErrorClick();        // "#Y01", only when commandPending is clear

}  // namespace kantrel
