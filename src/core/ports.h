#pragma once

// The interfaces through which the lower layers reach the window, the operator, the
// operating system and the external program. The window, the platform adapters and the
// files layer implement them, each program installs its own, and tests fake them. Every
// port has a default that does nothing or passes text through unchanged.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace kantrel {

struct CivilDateTime;
class TMeasData;

// Message-box captions as the operator sees them.
inline constexpr std::string_view kCaptionError = "Error";
inline constexpr std::string_view kCaptionERROR = "ERROR";
inline constexpr std::string_view kCaptionWarning = "WARNING";
inline constexpr std::string_view kCaptionInformation = "INFORMATION";

// The main window as the core sees it.
// Its operations are called on the main thread, except the two Post... operations.
class WindowPort {
public:
    virtual ~WindowPort() = default;
    // Runs fn on the main thread soon, without waiting (any thread). Worker threads use
    // it for what must happen there (a message box, the save). The default runs fn at
    // once on the calling thread.
    virtual void PostToMainThread(std::function<void()> fn);
    // Modal box with an OK button; returns when the operator has closed it.
    virtual void ShowMessage(std::string_view text, std::string_view caption);
    // The same box for the refresh tick, which must not wait in it: returns at once, so
    // that processing, recording and the display go on behind the box. The boxes show
    // one at a time; onClosed (may be empty) runs on the main thread once the operator
    // has closed this one. Main thread. The default shows the box through ShowMessage
    // and then calls onClosed.
    virtual void OpenMessage(std::string_view text, std::string_view caption, std::function<void()> onClosed);
    // The status line ErrorString (main thread).
    virtual void SetStatusText(std::string_view text);
    // Texts produced by the command thread ("#I05" firmware into Label1, "#Y00" error
    // into ErrorString). Called on the command thread; the window hands them over.
    virtual void PostFirmwareText(std::string text);
    virtual void PostDeviceErrorText(std::string text);
    // Enabled state of the recording keys.
    virtual void SetTensologKeys(bool enabled);
    // End of the start-up readout: loadFromFile, CheckBoxAutoClrPeak, ButtonZoom,
    // ComboBoxSampleRate and Language enabled.
    virtual void EnableReadoutControls();
    // The save action of the window (the SAVE button, saveToFileClick).
    virtual void SaveDataSets();

    // Chart feed during automatic recording. slot: 0 Value, 1 Min., 2 Max.,
    // 3 Min. averaged, 4 Max. averaged.
    virtual bool IsSeriesChecked(int slot);
    virtual void ChartDeletePoint(int slot, int index);
    virtual void ChartAddPoint(int slot, double x, double y);
    virtual void ChartZoomAll();
};

// The user's regional settings.
class RegionalSettings {
public:
    virtual ~RegionalSettings() = default;
    virtual std::string DecimalSeparator() const;                 // default "."
    virtual std::string FormatLongTime(const CivilDateTime& t) const;   // default HH:MM:SS
    virtual std::string FormatShortDate(const CivilDateTime& t) const;  // default DD.MM.YYYY
    // Date text + " " + time text back into a date-time (days); nullopt when the
    // regional formats cannot read it.
    virtual std::optional<double> ParseDateTime(std::string_view dateAndTime) const;
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual double Now() const;  // local date and time, days since 30 December 1899
};

// A timer that ticks on the main thread, also while a modal box is open.
class MainThreadTimer {
public:
    virtual ~MainThreadTimer() = default;
    virtual void Start(int intervalMs) = 0;
    virtual void Stop() = 0;
    virtual bool IsActive() const = 0;
};
class TimerFactory {
public:
    virtual ~TimerFactory() = default;
    // The timer is created stopped; tick runs on the main thread.
    virtual std::unique_ptr<MainThreadTimer> CreateTimer(std::function<void()> tick);
    // Releases a timer from inside its own tick: stops it now, frees it later.
    virtual void ReleaseLater(std::unique_ptr<MainThreadTimer> timer);
};

// Keystrokes into whatever window has the focus.
class KeyInjector {
public:
    virtual ~KeyInjector() = default;
    virtual bool Available();                 // false: typing is not possible here
    virtual void SendKeyStroke(char32_t ch);  // one press and one release of the key
    virtual void SendEnter();
    virtual void Pause(int milliseconds);
};

// Starts a program without waiting for it; the parameters are one line, which becomes
// the program's arguments as parameter_words.h splits it. Returns a shell-style result
// code: above 32 means started; 2 file not found, 3 path not found, 8 out of memory,
// 11 bad format, 26 access denied, 31 no program for the file type, other values a
// general failure.
class ProgramLauncher {
public:
    virtual ~ProgramLauncher() = default;
    virtual int Launch(const std::string& program, const std::string& parameters);
};

// The external program that takes each data set taken singly (SINGLE SHOT or the
// instrument's key). Called by the processing cycle inside the refresh tick, on the main
// thread: it must return without waiting for the program or the operator.
class ExternalProgram {
public:
    virtual ~ExternalProgram() = default;
    // Row `row` of the store has just been stored. The store's current value texts may be
    // changed on the way (the decimal separator the program gets). The default starts
    // nothing.
    virtual void HandOver(TMeasData& store, int row);
};

// Receives every data set that the processing cycle stores, and hears when the stored
// data sets have been saved. Main thread only.
class DataSetSink {
public:
    virtual ~DataSetSink() = default;
    // Row `row` of the store has just been filled with a new data set.
    virtual void DataSetStored(const TMeasData& store, int row);
    // Every data set stored so far has been saved to a file or handed to the spreadsheet.
    virtual void DataSetsSaved();
};

struct Ports {
    WindowPort* window = nullptr;
    RegionalSettings* regional = nullptr;
    Clock* clock = nullptr;
    TimerFactory* timers = nullptr;
    KeyInjector* keys = nullptr;
    ProgramLauncher* launcher = nullptr;
    ExternalProgram* externalProgram = nullptr;
    DataSetSink* dataSets = nullptr;
};

// The ports in use. Unset entries fall back to the defaults above.
Ports& ports();
WindowPort& window();
RegionalSettings& regional();
Clock& clock();
TimerFactory& timers();
KeyInjector& keys();
ProgramLauncher& launcher();
ExternalProgram& externalProgram();
DataSetSink& dataSetSink();

}  // namespace kantrel
