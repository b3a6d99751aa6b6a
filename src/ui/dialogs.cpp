#include "ui/dialogs.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>

namespace kantrel::ui {
namespace {

QPointer<QWidget>& Owner() {
    static QPointer<QWidget> owner;
    return owner;
}

QMessageBox::Icon IconForCaption(const QString& caption) {
    if (caption == QLatin1String("Error") || caption == QLatin1String("ERROR"))
        return QMessageBox::Critical;
    if (caption == QLatin1String("WARNING"))
        return QMessageBox::Warning;
    if (caption == QLatin1String("INFORMATION"))
        return QMessageBox::Information;
    return QMessageBox::NoIcon;
}

Dialogs*& Installed() {
    static Dialogs* installed = nullptr;
    return installed;
}

} // namespace

void Dialogs::Message(const QString& text, const QString& caption) {
    QMessageBox box(IconForCaption(caption), caption, text, QMessageBox::Ok, Owner());
    box.exec();
}

void Dialogs::OpenMessage(const QString& text, const QString& caption, std::function<void()> onClosed) {
    auto* box = new QMessageBox(IconForCaption(caption), caption, text, QMessageBox::Ok, Owner());
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::ApplicationModal);
    QObject::connect(box, &QDialog::finished, box, [onClosed = std::move(onClosed)] {
        if (onClosed)
            onClosed();
    });
    box->show();
}

void Dialogs::Error(const QString& text) {
    QMessageBox box(QMessageBox::Critical, QCoreApplication::applicationName(), text, QMessageBox::Ok,
                    Owner());
    box.exec();
}

QString Dialogs::OpenFileName(const QString& title, const QString& directory, const QString& filter) {
    return QFileDialog::getOpenFileName(Owner(), title, directory, filter);
}

QString Dialogs::SaveFileName(const QString& title, const QString& directory, const QString& filter) {
    // The chosen file is replaced without a further question: the automatic save after a
    // lost connection must not wait for one either.
    return QFileDialog::getSaveFileName(Owner(), title, directory, filter, nullptr,
                                        QFileDialog::DontConfirmOverwrite);
}

Dialogs& dialogs() {
    static Dialogs real;
    return Installed() ? *Installed() : real;
}

void SetDialogs(Dialogs* replacement) {
    Installed() = replacement;
}

void SetDialogOwner(QWidget* owner) {
    Owner() = owner;
}

} // namespace kantrel::ui
