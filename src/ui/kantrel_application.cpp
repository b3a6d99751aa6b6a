#include "ui/kantrel_application.h"

#include <exception>

#include "ui/dialogs.h"

namespace kantrel::ui {

KantrelApplication::KantrelApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool KantrelApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        dialogs().Error(QString::fromUtf8(e.what()));
    } catch (...) {
        dialogs().Error(QString());
    }
    return false;
}

} // namespace kantrel::ui
