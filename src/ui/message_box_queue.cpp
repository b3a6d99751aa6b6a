#include "ui/message_box_queue.h"

#include <algorithm>

#include "ui/dialogs.h"

namespace kantrel::ui {

void MessageBoxQueue::Open(const QString& text, const QString& caption, std::function<void()> onClosed) {
    const auto same = std::find_if(boxes_.begin(), boxes_.end(), [&](const Box& box) {
        return box.text == text && box.caption == caption;
    });
    if (same != boxes_.end()) {
        if (onClosed)
            same->onClosed.push_back(std::move(onClosed));
        return;
    }
    Box box{text, caption, {}};
    if (onClosed)
        box.onClosed.push_back(std::move(onClosed));
    boxes_.push_back(std::move(box));
    if (!showing_)
        ShowFront();
}

void MessageBoxQueue::Clear() {
    boxes_.clear();
    showing_ = false;
    ++generation_;
}

void MessageBoxQueue::ShowFront() {
    // The dialogs may close the box before they return (tests answer at once): nothing
    // here may use the front box after the call.
    showing_ = true;
    const QString text = boxes_.front().text;
    const QString caption = boxes_.front().caption;
    dialogs().OpenMessage(text, caption, [this, generation = generation_] { FrontClosed(generation); });
}

void MessageBoxQueue::FrontClosed(unsigned generation) {
    if (generation != generation_ || boxes_.empty())
        return;
    showing_ = false;
    std::vector<std::function<void()>> onClosed = std::move(boxes_.front().onClosed);
    boxes_.pop_front();
    // A box opened by one of these shows at once (the next waiting one, if any, first).
    for (auto& fn : onClosed)
        fn();
    if (!showing_ && !boxes_.empty())
        ShowFront();
}

MessageBoxQueue& messageBoxes() {
    static MessageBoxQueue queue;
    return queue;
}

} // namespace kantrel::ui
