#pragma once

// The application object: an error raised inside any event handler is shown in the
// error box, and the program goes on.

#include <QApplication>

namespace kantrel::ui {

class KantrelApplication : public QApplication {
public:
    KantrelApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace kantrel::ui
