// How the operator reaches the statistics: the context menu on the list and on the chart
// (mouse and the keyboard's menu key), F9, the menu texts through the language file, and
// the chart as an image on the clipboard.

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTest>
#include <QTreeView>
#include <filesystem>

#include "settings/language.h"
#include "settings/settings.h"
#include "statistics_fixture.h"
#include "support/test_environment.h"
#include "ui/context_menus.h"
#include "ui/data_set_chart.h"
#include "ui/statistics_feature.h"

namespace kantrel::test {
namespace {

const QStringList kEntries = {QStringLiteral("Statistics and limits\u2026"),
                              QStringLiteral("Report (PDF)\u2026"), QStringLiteral("Copy chart as image")};

class ContextMenuTest : public StatisticsFixture {
protected:
    ContextMenuTest() {
        std::error_code ignored;
        std::filesystem::remove(IsolatedEnvironment::Root() + "/work/731config.lng", ignored);
    }
    ~ContextMenuTest() override { languageIndex = 0; }

    QMenu* RequestMenu(QWidget* widget, QContextMenuEvent::Reason reason) {
        const QPoint at(10, 10);
        QContextMenuEvent event(reason, at, widget->mapToGlobal(at));
        QApplication::sendEvent(widget, &event);
        return form->statistics->Menus().OpenMenu();
    }
    static QStringList Texts(const QMenu& menu) {
        QStringList texts;
        for (const QAction* action : menu.actions())
            texts.append(action->text());
        return texts;
    }
    static void Choose(QMenu& menu, int entry) { menu.actions().at(entry)->trigger(); }
};

TEST_F(ContextMenuTest, ListAndChartOfferTheEntriesByMouseAndByKey) {
    StartForm();
    form->show();
    // The platform turns the keyboard's menu key into a context-menu event for the focused
    // widget, as the right mouse button gives one for the widget under the mouse.
    struct Case {
        const char* name;
        QWidget* widget;
        QContextMenuEvent::Reason reason;
    } cases[] = {
        {"list, right mouse button", form->ListView1->viewport(), QContextMenuEvent::Mouse},
        {"list, menu key", form->ListView1, QContextMenuEvent::Keyboard},
        {"chart, right mouse button", form->Chart1, QContextMenuEvent::Mouse},
        {"chart, menu key", form->Chart1, QContextMenuEvent::Keyboard},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QMenu* menu = RequestMenu(c.widget, c.reason);
        ASSERT_NE(menu, nullptr);
        EXPECT_TRUE(menu->isVisible());
        EXPECT_EQ(Texts(*menu), kEntries);
        menu->close();
    }
}

TEST_F(ContextMenuTest, EntryAndF9OpenTheStatisticsWindow) {
    StartForm();
    form->show();
    Choose(*RequestMenu(form->Chart1, QContextMenuEvent::Mouse), 0);
    ASSERT_NE(form->statistics->Window(), nullptr);
    EXPECT_TRUE(form->statistics->Window()->isVisible());
    EXPECT_FALSE(form->statistics->Window()->isModal());

    form->statistics->Window()->close();
    QApplication::setActiveWindow(form.get());
    QTest::keyClick(form.get(), Qt::Key_F9);
    EXPECT_TRUE(form->statistics->Window()->isVisible());
}

TEST_F(ContextMenuTest, CopyChartPutsTheChartAsShownOnTheClipboard) {
    StartForm();
    form->show();
    QApplication::clipboard()->clear();
    Choose(*RequestMenu(form->ListView1->viewport(), QContextMenuEvent::Mouse), 2);
    const QImage image = QApplication::clipboard()->image();
    EXPECT_EQ(image.size(), form->Chart1->size() * form->Chart1->devicePixelRatioF());
}

TEST_F(ContextMenuTest, MenuTextsComeFromTheLanguageFileOnlyWhenTheMenuOpens) {
    const std::string languageFile = LanguageFilePath().value();
    WriteFileBytes(languageFile,
                   "[LANGUAGE1]\nLanguage=Deutsch\nCopy chart as image=Diagramm als Bild kopieren\n");
    // Started outside the installation folder, the choice lives in the working directory.
    WriteFileBytes(IsolatedEnvironment::Root() + "/work/731config.lng", "[Config]\nLang=1\n");
    StartForm();
    ASSERT_EQ(languageIndex, 1);
    form->show();
    form->TimerGetMeasTimer();
    // The start-up lists the window's captions for a translator, but nothing of the menu
    // and the statistics while they are not used.
    const std::string started = ReadFileBytes(languageFile);
    EXPECT_NE(started.find("&SAVE=&SAVE"), std::string::npos);
    for (const char* text : {"Statistics", "Report", "Limit"})
        EXPECT_EQ(started.find(text), std::string::npos) << text;

    QMenu* menu = RequestMenu(form->Chart1, QContextMenuEvent::Mouse);
    EXPECT_EQ(Texts(*menu).at(2), QStringLiteral("Diagramm als Bild kopieren"));
    // The others have no translation yet: the file now lists them for a translator.
    EXPECT_EQ(Texts(*menu).at(0), kEntries.at(0));
    EXPECT_NE(ReadFileBytes(languageFile).find("Statistics and limits\u2026=Statistics and limits\u2026"),
              std::string::npos);
}

} // namespace
} // namespace kantrel::test
