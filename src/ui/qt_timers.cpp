#include "ui/qt_timers.h"

#include <QTimer>

namespace kantrel::ui {

namespace {

class QtMainThreadTimer : public MainThreadTimer {
public:
    explicit QtMainThreadTimer(std::function<void()> tick) : timer_(new QTimer) {
        QObject::connect(timer_, &QTimer::timeout, timer_, std::move(tick));
    }
    ~QtMainThreadTimer() override { delete timer_; }
    QtMainThreadTimer(const QtMainThreadTimer&) = delete;
    QtMainThreadTimer& operator=(const QtMainThreadTimer&) = delete;

    void Start(int intervalMs) override { timer_->start(intervalMs); }
    void Stop() override {
        if (timer_)
            timer_->stop();
    }
    bool IsActive() const override { return timer_ && timer_->isActive(); }

    void ReleaseLater() {
        timer_->stop();
        timer_->deleteLater();
        timer_ = nullptr;
    }

private:
    QTimer* timer_;
};

} // namespace

std::unique_ptr<MainThreadTimer> QtTimerFactory::CreateTimer(std::function<void()> tick) {
    return std::make_unique<QtMainThreadTimer>(std::move(tick));
}

void QtTimerFactory::ReleaseLater(std::unique_ptr<MainThreadTimer> timer) {
    if (!timer)
        return;
    if (auto* qt = dynamic_cast<QtMainThreadTimer*>(timer.get())) {
        qt->ReleaseLater();
    } else {
        timer->Stop();
    }
}

} // namespace kantrel::ui
