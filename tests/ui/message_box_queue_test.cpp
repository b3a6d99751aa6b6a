// Boxes opened by the refresh tick: shown without waiting, one at a time, in order.

#include "form_fixture.h"
#include "ui/message_box_queue.h"

namespace kantrel::test {
namespace {

class MessageBoxQueueTest : public FormTest {
protected:
    MessageBoxQueueTest() { boxes.holdBoxes = true; }
    std::vector<std::string> Shown() const {
        std::vector<std::string> texts;
        for (const Box& box : boxes.messages)
            texts.push_back(box.text);
        return texts;
    }
};

TEST_F(MessageBoxQueueTest, OneBoxAtATimeInOrderAndEachOnlyOnceWhileOpenOrWaiting) {
    ui::MessageBoxQueue& queue = ui::messageBoxes();
    std::vector<std::string> closed;
    const auto onClosed = [&](const char* name) { return [&closed, name] { closed.emplace_back(name); }; };
    queue.Open(QStringLiteral("A"), QStringLiteral("Error"), onClosed("a1"));
    queue.Open(QStringLiteral("B"), QStringLiteral("Error"), onClosed("b"));
    queue.Open(QStringLiteral("A"), QStringLiteral("Error"), onClosed("a2")); // A is showing
    queue.Open(QStringLiteral("B"), QStringLiteral("WARNING"), nullptr);      // another caption
    EXPECT_EQ(Shown(), std::vector<std::string>{"A"});
    EXPECT_EQ(queue.Count(), 3);

    ASSERT_TRUE(boxes.CloseBox());
    EXPECT_EQ(closed, (std::vector<std::string>{"a1", "a2"}));
    EXPECT_EQ(Shown(), (std::vector<std::string>{"A", "B"}));
    ASSERT_TRUE(boxes.CloseBox());
    EXPECT_EQ(boxes.messages.back(), (Box{"B", "WARNING"}));
    ASSERT_TRUE(boxes.CloseBox());
    EXPECT_EQ(closed, (std::vector<std::string>{"a1", "a2", "b"}));
    EXPECT_EQ(queue.Count(), 0);
    EXPECT_FALSE(boxes.CloseBox());

    queue.Open(QStringLiteral("A"), QStringLiteral("Error"), nullptr); // shown again once closed
    EXPECT_EQ(boxes.messages.size(), 4u);
}

TEST_F(MessageBoxQueueTest, BoxOpenedWhenTheLastOneClosesShowsAtOnce) {
    ui::MessageBoxQueue& queue = ui::messageBoxes();
    queue.Open(QStringLiteral("first"), QStringLiteral("Error"),
               [&] { queue.Open(QStringLiteral("second"), QStringLiteral("Error"), nullptr); });
    ASSERT_TRUE(boxes.CloseBox());
    EXPECT_EQ(Shown(), (std::vector<std::string>{"first", "second"}));
    EXPECT_EQ(boxes.heldBoxes.size(), 1u); // shown once, not twice
}

} // namespace
} // namespace kantrel::test
