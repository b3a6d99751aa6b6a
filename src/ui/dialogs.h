#pragma once

// Every modal box and file dialog of the window goes through here, so that tests can
// answer them without a person and without blocking.

#include <QString>
#include <functional>

class QWidget;

namespace kantrel::ui {

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // A box with an OK button; the caption is the title and picks the icon: "Error" and
    // "ERROR" critical, "WARNING" warning, "INFORMATION" information.
    virtual void Message(const QString& text, const QString& caption);
    // The same box without waiting for it: it blocks the operator's input to the window
    // but not the caller, and onClosed runs once the operator has closed it.
    virtual void OpenMessage(const QString& text, const QString& caption, std::function<void()> onClosed);
    // The standard box for an error raised inside a handler.
    virtual void Error(const QString& text);
    // File dialogs; an empty result means cancelled.
    virtual QString OpenFileName(const QString& title, const QString& directory, const QString& filter);
    virtual QString SaveFileName(const QString& title, const QString& directory, const QString& filter);
};

Dialogs& dialogs();
// Installs other dialogs (tests); null restores the real ones.
void SetDialogs(Dialogs* replacement);
// The window that owns the boxes (the main window once it exists).
void SetDialogOwner(QWidget* owner);

} // namespace kantrel::ui
