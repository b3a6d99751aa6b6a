#pragma once

// Boxes that open inside the refresh tick. A modal box's own event loop would hold the
// tick: Qt does not run a timer's slot again while that slot waits, so the values would
// freeze and the sample ring fill up. These boxes are shown without waiting, one at a
// time, in the order they were opened.

#include <QString>
#include <deque>
#include <functional>
#include <vector>

namespace kantrel::ui {

class MessageBoxQueue {
public:
    // Shows the box now, or once the boxes before it have closed. A box with the text
    // and caption of one showing or waiting is not shown a second time; its onClosed
    // (may be empty) runs when that one closes.
    void Open(const QString& text, const QString& caption, std::function<void()> onClosed);
    // The box showing and those waiting.
    int Count() const { return static_cast<int>(boxes_.size()); }
    // Forgets every box without running its onClosed (a test that leaves a box open
    // must not hold the next one's boxes).
    void Clear();

private:
    struct Box {
        QString text;
        QString caption;
        std::vector<std::function<void()>> onClosed;
    };
    void ShowFront();
    void FrontClosed(unsigned generation);

    std::deque<Box> boxes_; // the front one is showing (or about to)
    bool showing_ = false;
    unsigned generation_ = 0;
};

// The queue of the program's main window.
MessageBoxQueue& messageBoxes();

} // namespace kantrel::ui
