// The real file dialogs on the offscreen platform, answered as an operator would.

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QTimer>
#include <gtest/gtest.h>

#include "support/test_environment.h"
#include "ui/dialogs.h"

namespace kantrel::test {
namespace {

// The save replaces an existing file without a further question, also when nobody is
// there to answer one (the automatic save after a lost connection).
TEST(DialogsTest, SaveDialogReplacesAnExistingFileWithoutAsking) {
    const QString existing = QString::fromStdString(IsolatedEnvironment::Root() + "/saved.txt");
    WriteFileBytes(existing.toStdString(), "old\r\n");
    QStringList questions;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        // Whatever box the dialog opens next is noted and answered with Yes.
        QTimer::singleShot(0, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                questions.append(box->text());
                box->button(QMessageBox::Yes)->click();
            }
        });
        dialog->selectFile(existing);
        static_cast<QDialog*>(dialog)->accept();
    });
    const QString chosen = ui::dialogs().SaveFileName(QString(), QString(), QString());
    EXPECT_EQ(chosen, existing);
    EXPECT_TRUE(questions.isEmpty()) << questions.join(QLatin1Char('\n')).toStdString();
}

} // namespace
} // namespace kantrel::test
