#include "ui/window_port.h"

#include <QCoreApplication>
#include <QLabel>
#include <QThread>

#include "ui/data_set_chart.h"
#include "ui/dialogs.h"
#include "ui/form1.h"
#include "ui/message_box_queue.h"
#include "ui/qt_text.h"

namespace kantrel::ui {

namespace {
bool OnMainThread() {
    return QCoreApplication::instance() && QThread::currentThread() == QCoreApplication::instance()->thread();
}
} // namespace

FormWindowPort::FormWindowPort(TForm1& form) : form_(&form) {}

void FormWindowPort::PostToMainThread(std::function<void()> fn) {
    if (!fn)
        return;
    QMetaObject::invokeMethod(qApp, std::move(fn), Qt::QueuedConnection);
}

void FormWindowPort::ShowMessage(std::string_view text, std::string_view caption) {
    const QString qText = Q(text);
    const QString qCaption = Q(caption);
    if (OnMainThread()) {
        dialogs().Message(qText, qCaption);
        return;
    }
    // Another thread waits until the operator has closed the box.
    QMetaObject::invokeMethod(
        qApp, [qText, qCaption] { dialogs().Message(qText, qCaption); }, Qt::BlockingQueuedConnection);
}

void FormWindowPort::OpenMessage(std::string_view text, std::string_view caption,
                                 std::function<void()> onClosed) {
    QMetaObject::invokeMethod(
        qApp,
        [text = Q(text), caption = Q(caption), onClosed = std::move(onClosed)]() mutable {
            messageBoxes().Open(text, caption, std::move(onClosed));
        },
        OnMainThread() ? Qt::DirectConnection : Qt::QueuedConnection);
}

void FormWindowPort::SetStatusText(std::string_view text) {
    if (form_)
        form_->SetStatusText(Q(text));
}

void FormWindowPort::PostFirmwareText(std::string text) {
    if (!form_)
        return;
    TForm1* form = form_.data();
    // With the form as context the call is dropped if the form is gone by then.
    QMetaObject::invokeMethod(
        form, [form, text = Q(text)] { TForm1::SetLabelText(form->Label1, text); }, Qt::QueuedConnection);
}

void FormWindowPort::PostDeviceErrorText(std::string text) {
    if (!form_)
        return;
    TForm1* form = form_.data();
    QMetaObject::invokeMethod(
        form, [form, text = Q(text)] { form->SetStatusText(text); }, Qt::QueuedConnection);
}

void FormWindowPort::SetTensologKeys(bool enabled) {
    if (form_)
        form_->SetTensologKeys(enabled);
}

void FormWindowPort::EnableReadoutControls() {
    if (form_)
        form_->ReadoutDoneState();
}

void FormWindowPort::SaveDataSets() {
    if (form_)
        form_->saveToFileClick();
}

bool FormWindowPort::IsSeriesChecked(int slot) {
    return form_ && form_->IsSeriesChecked(slot);
}

void FormWindowPort::ChartDeletePoint(int slot, int index) {
    if (form_)
        form_->Chart1->DeletePoint(slot, index);
}

void FormWindowPort::ChartAddPoint(int slot, double x, double y) {
    if (form_)
        form_->Chart1->AddPoint(slot, x, y);
}

void FormWindowPort::ChartZoomAll() {
    if (form_)
        form_->ButtonZoomClick();
}

} // namespace kantrel::ui
