// The window as created: every control at its place with its caption, font and state,
// the focus order, the anchoring on resize, the caption and the banners.

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeView>
#include <set>

#include "form_fixture.h"
#include "ui/data_set_chart.h"
#include "ui/data_set_list.h"

namespace kantrel::test {
namespace {

struct ControlCase {
    const char* name;
    const char* caption; // nullptr: not checked
    QRect geometry;      // empty size: a label whose size follows its text
    bool enabled;
    bool visible;
};

const ControlCase kControls[] = {
    {"Image1", nullptr, {0, -3, 798, 59}, true, true},
    {"Image3", nullptr, {0, -3, 798, 59}, true, false},
    {"Label10", "KANTREL 731 USB", {282, 58, 248, 33}, true, true},
    {"ErrorString", "Initialisation", {536, 62, 0, 0}, true, true},
    {"Language", "Language", {8, 62, 91, 19}, true, true},
    {"ComboBoxSampleRate", "---", {112, 62, 154, 18}, true, true},
    {"CheckBoxHiRes", "Hi. Res.", {8, 79, 56, 17}, true, false},
    {"Label2", "Firmware:", {8, 97, 0, 0}, true, true},
    {"Label1", "-", {120, 97, 0, 0}, true, true},
    {"CheckBoxToKeyBuf", "Mean to key buffer", {8, 106, 196, 17}, true, false},
    {"Label9", "Serial No. Device:", {8, 122, 0, 0}, true, true},
    {"SerialDev", "-", {120, 122, 0, 0}, true, true},
    {"Label11", "Serial No. Sensor:", {8, 147, 0, 0}, true, true},
    {"SerialSens", "-", {120, 147, 0, 0}, true, true},
    {"Label4", "Nominal Value:", {8, 172, 0, 0}, true, true},
    {"NomVal", "-", {120, 172, 0, 0}, true, true},
    {"Label12", "Actual Dataset:", {8, 197, 0, 0}, true, true},
    {"State", "-", {120, 197, 0, 0}, true, true},
    {"ListView1", nullptr, {210, 97, 560, 117}, true, true},
    {"clrPeak", "Clr &Peak", {10, 222, 100, 22}, false, true},
    {"Zero", "Z&ero", {10, 250, 100, 22}, false, true},
    {"ClrLast", "&CLR LAST MEASUREMENT", {116, 222, 129, 22}, false, true},
    {"ClrAll", "CL&R ALL MEASUREMENTS", {116, 250, 129, 22}, false, true},
    {"ButtonSingleShot", "S&INGLE SHOT", {250, 222, 120, 50}, false, true},
    {"CheckBoxAutoClrPeak", "Clear peak auto", {251, 255, 118, 17}, true, false},
    {"Start", "ST&ART AUTO", {375, 222, 140, 22}, false, true},
    {"Stop", "ST&OP AUTO", {375, 250, 140, 22}, false, true},
    {"loadFromFile", "&LOAD", {540, 222, 100, 22}, true, true},
    {"saveToFile", "&SAVE", {540, 250, 100, 22}, false, true},
    {"ButtonExcel", "Clipboard + &Excel", {645, 222, 125, 22}, false, true},
    {"ButtonZoom", "&ZOOM ALL", {645, 250, 125, 22}, true, true},
    {"CheckBPeak1msUp", "Maximum", {8, 285, 200, 17}, true, true},
    {"pkMax", "-", {8, 300, 0, 0}, true, true},
    {"CheckBPeakfilteredUp", "Maximum averaged", {8, 340, 200, 17}, true, true},
    {"pkMaxAvr", "-", {8, 357, 0, 0}, true, false},
    {"CheckBoxMean", "Mean value", {8, 395, 200, 17}, true, true},
    {"meas300", "-", {8, 410, 0, 0}, true, true},
    {"CheckBPeakfilteredDn", "Minimum averaged", {8, 460, 200, 17}, true, true},
    {"pkMinAvr", "-", {8, 475, 0, 0}, true, true},
    {"CheckBPeak1msLo", "Minimum", {8, 515, 200, 17}, true, true},
    {"pkMin", "-", {8, 530, 0, 0}, true, true},
    {"Label13", "Numbers", {190, 341, 0, 0}, true, false},
    {"Label14", "-", {190, 357, 0, 0}, true, false},
    {"Label7", "Mean of means", {190, 396, 0, 0}, true, false},
    {"TrumakCompany", "---", {190, 410, 0, 0}, true, false},
    {"LabelOverflow", "!", {276, 379, 32, 116}, true, false},
    {"Chart1", nullptr, {308, 278, 484, 270}, true, true},
    {"RadioGroupGraficMode", "grafic mode", {667, 395, 111, 63}, true, true},
};

QString CaptionOf(QWidget* w) {
    if (auto* label = qobject_cast<QLabel*>(w))
        return label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(w))
        return button->text();
    if (auto* combo = qobject_cast<QComboBox*>(w))
        return combo->currentText();
    if (auto* group = qobject_cast<QGroupBox*>(w))
        return group->title();
    return {};
}

class FormCreationTest : public FormTest {};

TEST_F(FormCreationTest, EveryControlAtItsPlaceWithCaptionAndState) {
    ui::TForm1& f = CreateForm();
    ASSERT_EQ(f.size(), QSize(800, 562));
    for (const ControlCase& c : kControls) {
        SCOPED_TRACE(c.name);
        auto* w = f.findChild<QWidget*>(QString::fromLatin1(c.name));
        ASSERT_NE(w, nullptr);
        if (c.caption) {
            EXPECT_EQ(CaptionOf(w), QString::fromLatin1(c.caption));
        }
        if (c.geometry.size().isEmpty()) {
            EXPECT_EQ(w->pos(), c.geometry.topLeft());
            EXPECT_FALSE(w->size().isEmpty()); // follows its text
        } else {
            EXPECT_EQ(w->geometry(), c.geometry);
        }
        EXPECT_EQ(w->isEnabled(), c.enabled);
        EXPECT_EQ(!w->isHidden(), c.visible);
    }
}

TEST_F(FormCreationTest, CaptionFontsAndColours) {
    ui::TForm1& f = CreateForm();
    EXPECT_EQ(f.windowTitle(), QStringLiteral("KANTREL 731 USB"));
    EXPECT_FALSE(f.windowIcon().isNull());
    EXPECT_EQ(f.font().pixelSize(), 11);

    // The value labels' size is the height of their line, the others' the font's size.
    const struct {
        QWidget* widget;
        int pixels;
        bool bold;
        bool fixedPitch;
    } fonts[] = {{f.Label10, 27, false, false},     {f.ErrorString, 19, false, false},
                 {f.Language, 9, false, false},     {f.ComboBoxSampleRate, 9, false, true},
                 {f.pkMax, 32, true, true},         {f.pkMaxAvr, 32, true, true},
                 {f.meas300, 48, true, true},       {f.pkMinAvr, 32, true, true},
                 {f.pkMin, 32, true, true},         {f.Label14, 32, true, true},
                 {f.TrumakCompany, 32, true, true}, {f.LabelOverflow, 96, false, false}};
    for (const auto& c : fonts) {
        SCOPED_TRACE(c.widget->objectName().toStdString());
        if (c.bold) {
            EXPECT_LE(QFontMetrics(c.widget->font()).height(), c.pixels);
            EXPECT_GE(c.widget->font().pixelSize(), c.pixels * 3 / 4);
        } else {
            EXPECT_EQ(c.widget->font().pixelSize(), c.pixels);
        }
        EXPECT_EQ(c.widget->font().bold(), c.bold);
        EXPECT_EQ(c.widget->font().fixedPitch(), c.fixedPitch);
    }
    EXPECT_EQ(f.ErrorString->palette().color(QPalette::WindowText), QColor(Qt::red));
    EXPECT_FALSE(f.Image1->pixmap().isNull());
    EXPECT_EQ(f.Image1->pixmap().size(), QSize(800, 65));
    EXPECT_EQ(f.Image3->pixmap().size(), QSize(798, 59));
}

// The monospace fonts that stand in for Courier reach further below the baseline: at
// 32 px pkMin (top 530) ran past the bottom of the client area and lost a decimal comma
// or the descender of its unit, and meas300 ran into the check box below it.
TEST_F(FormCreationTest, ValueLabelsEndAboveWhatLiesBelowThem) {
    WriteSettings("[Config]\nshowMeanCompanyTrumak=1\n");
    for (bool meanOfMeans : {false, true}) {
        SCOPED_TRACE(meanOfMeans);
        ui::TForm1& f = meanOfMeans ? StartForm() : CreateForm();
        const struct {
            QLabel* label;
            int limit; // the top of the control below, or the bottom of the client area
        } labels[] = {{f.pkMax, 340}, {f.pkMaxAvr, 395}, {f.meas300, 460},      {f.pkMinAvr, 515},
                      {f.pkMin, 562}, {f.Label14, 396},  {f.TrumakCompany, 460}};
        for (const auto& c : labels) {
            SCOPED_TRACE(c.label->objectName().toStdString());
            ui::TForm1::SetLabelText(c.label, QString::fromUtf8("-98,5 kg\u00b5"));
            EXPECT_LE(c.label->geometry().bottom() + 1, c.limit);
        }
        form.reset();
    }
}

TEST_F(FormCreationTest, SampleRateItemsListColumnsAndModeGroup) {
    ui::TForm1& f = CreateForm();
    const char* items[] = {"  1 ms | 1000 Hz", "  2 ms |  500 Hz", "  5 ms |  200 Hz", " 10 ms |  100 Hz",
                           " 20 ms |   50 Hz", " 50 ms |   20 Hz", "100 ms |   10 Hz", "200 ms |    5 Hz",
                           "500 ms |    2 Hz", "   1 s |    1 Hz", "   2 s |  0,5 Hz", "   5 s |  0,2 Hz",
                           "  10 s |  0,1 Hz"};
    ASSERT_EQ(f.ComboBoxSampleRate->count(), 13);
    for (int i = 0; i < 13; ++i)
        EXPECT_EQ(f.ComboBoxSampleRate->itemText(i), QString::fromLatin1(items[i]));
    EXPECT_EQ(f.ComboBoxSampleRate->currentIndex(), -1);

    const struct {
        const char* caption;
        int width;
    } columns[] = {{"Number", 35},      {"[Date]", 70},       {"[Time]", 60},
                   {"[Diff] = ms", 40}, {"[Value] = ?", 70},  {"[Min] = ?", 70},
                   {"[Max] = ?", 70},   {"[MinAvr] = ?", 70}, {"[MaxAvr] = ?", 70}};
    ASSERT_EQ(f.listModel->columnCount(), 9);
    for (int c = 0; c < 9; ++c) {
        EXPECT_EQ(f.listModel->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString(),
                  QString::fromLatin1(columns[c].caption));
        EXPECT_EQ(f.ListView1->header()->sectionSize(c), columns[c].width);
    }
    EXPECT_FALSE(f.ListView1->header()->sectionsClickable());

    EXPECT_EQ(f.graficModeItems[0]->text(), QStringLiteral("number"));
    EXPECT_EQ(f.graficModeItems[1]->text(), QStringLiteral("time"));
    EXPECT_EQ(f.graficModeItems[2]->text(), QStringLiteral("time with lines"));
    EXPECT_TRUE(f.graficModeItems[0]->isChecked());
    for (int slot = 0; slot < ui::kSeriesSlots; ++slot)
        EXPECT_FALSE(f.IsSeriesChecked(slot));
}

TEST_F(FormCreationTest, TimersStoppedAndNoSeriesBeforeStartUp) {
    ui::TForm1& f = CreateForm();
    EXPECT_FALSE(f.TimerInit2->IsActive());
    EXPECT_FALSE(f.TimerGetMeas->IsActive());
    EXPECT_FALSE(f.TimerZeroSingle->IsActive());
    EXPECT_FALSE(f.Chart1->HasSeries());
    EXPECT_FALSE(f.startupDone);
}

TEST_F(FormCreationTest, FocusOrderFollowsTheOperatorControls) {
    ui::TForm1& f = CreateForm();
    const std::vector<QWidget*> order = {f.clrPeak,
                                         f.Zero,
                                         f.CheckBoxHiRes,
                                         f.ComboBoxSampleRate,
                                         f.ListView1,
                                         f.ButtonSingleShot,
                                         f.ClrAll,
                                         f.ClrLast,
                                         f.Start,
                                         f.Stop,
                                         f.saveToFile,
                                         f.Chart1,
                                         f.loadFromFile,
                                         f.ButtonZoom,
                                         f.Language,
                                         f.CheckBPeak1msUp,
                                         f.CheckBPeakfilteredUp,
                                         f.CheckBoxMean,
                                         f.CheckBPeakfilteredDn,
                                         f.CheckBPeak1msLo,
                                         f.graficModeItems[0]};
    const std::set<QWidget*> listed(order.begin(), order.end());
    for (std::size_t i = 1; i < order.size(); ++i) {
        SCOPED_TRACE(order[i - 1]->objectName().toStdString());
        // The next listed control in the chain (Qt itself skips hidden and disabled ones
        // when it moves the focus; inner widgets such as a combo box's editor are passed).
        QWidget* next = order[i - 1]->nextInFocusChain();
        while (!listed.count(next) && next != order[i - 1])
            next = next->nextInFocusChain();
        EXPECT_EQ(next, order[i]);
    }
}

TEST_F(FormCreationTest, ResizeStretchesTheChartAndMovesTheModeGroupOnly) {
    ui::TForm1& f = CreateForm();
    f.show(); // a hidden widget gets its resize events only when shown
    ASSERT_EQ(f.size(), QSize(800, 562));
    const QRect buttonBefore = f.ButtonZoom->geometry();
    f.resize(900, 600);
    EXPECT_EQ(f.Chart1->geometry(), QRect(308, 278, 584, 308));
    EXPECT_EQ(f.RadioGroupGraficMode->geometry(), QRect(767, 433, 111, 63));
    EXPECT_EQ(f.ButtonZoom->geometry(), buttonBefore);
    f.resize(800, 562);
    EXPECT_EQ(f.Chart1->geometry(), QRect(308, 278, 484, 270));
    EXPECT_EQ(f.RadioGroupGraficMode->geometry(), QRect(667, 395, 111, 63));
}

TEST_F(FormCreationTest, MnemonicsMarkTheirLetters) {
    ui::TForm1& f = CreateForm();
    const struct {
        QAbstractButton* button;
        QKeySequence shortcut;
    } cases[] = {{f.clrPeak, QKeySequence(Qt::ALT | Qt::Key_P)},
                 {f.Zero, QKeySequence(Qt::ALT | Qt::Key_E)},
                 {f.ClrLast, QKeySequence(Qt::ALT | Qt::Key_C)},
                 {f.ClrAll, QKeySequence(Qt::ALT | Qt::Key_R)},
                 {f.ButtonSingleShot, QKeySequence(Qt::ALT | Qt::Key_I)},
                 {f.Start, QKeySequence(Qt::ALT | Qt::Key_A)},
                 {f.Stop, QKeySequence(Qt::ALT | Qt::Key_O)},
                 {f.loadFromFile, QKeySequence(Qt::ALT | Qt::Key_L)},
                 {f.saveToFile, QKeySequence(Qt::ALT | Qt::Key_S)},
                 {f.ButtonExcel, QKeySequence(Qt::ALT | Qt::Key_E)},
                 {f.ButtonZoom, QKeySequence(Qt::ALT | Qt::Key_Z)}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.button->objectName().toStdString());
        EXPECT_EQ(c.button->shortcut(), c.shortcut);
    }
}

} // namespace
} // namespace kantrel::test
