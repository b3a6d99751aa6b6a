// TForm1: creation of every control at its place, the fonts, the focus order, the
// handlers' connections, the window's own timers and the anchoring on resize.

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QTreeView>
#include <algorithm>

#include "device/device_parameters.h"
#include "ui/data_set_chart.h"
#include "ui/data_set_list.h"
#include "ui/dialogs.h"
#include "ui/form1.h"
#include "ui/form_fonts.h"
#include "ui/message_box_queue.h"
#include "ui/qt_text.h"
#include "ui/statistics_feature.h"

namespace kantrel::ui {

namespace {

constexpr int kDesignWidth = 800;
constexpr int kDesignHeight = 562;
const QRect kChartGeometry(308, 278, 484, 270);
const QRect kModeGroupGeometry(667, 395, 111, 63);

template <typename T> T* Named(T* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

} // namespace

TForm1::TForm1(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("KANTREL 731 USB"));
    setWindowIcon(QIcon(QStringLiteral(":/kantrel/icon.png")));
    setFont(TahomaFont(11));
    resize(kDesignWidth, kDesignHeight);
    CreateControls();
    SetTabOrder();
    ConnectHandlers();
    CreateTimers();
    // FormCreate: the second banner stays hidden.
    Image3->hide();
    SetDialogOwner(this);
    statistics = std::make_unique<StatisticsFeature>(*this);
}

TForm1::~TForm1() {
    if (!formCloseRan_)
        Safely([this] { FormClose(); });
    SetDialogOwner(nullptr);
}

void TForm1::CreateControls() {
    Image1 = Named(new QLabel(this), "Image1");
    Image1->setPixmap(QPixmap(QStringLiteral(":/kantrel/banner.png")));
    Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Image1->setGeometry(0, -3, 798, 59);
    Image3 = Named(new QLabel(this), "Image3");
    Image3->setPixmap(QPixmap(QStringLiteral(":/kantrel/banner2.png")));
    Image3->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Image3->setGeometry(0, -3, 798, 59);

    Label10 = Named(new QLabel(QStringLiteral("KANTREL 731 USB"), this), "Label10");
    Label10->setFont(TahomaFont(27));
    Label10->setGeometry(282, 58, 248, 33);
    ErrorString = Named(new QLabel(this), "ErrorString");
    ErrorString->setFont(TahomaFont(19));
    QPalette red = ErrorString->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    ErrorString->setPalette(red);
    ErrorString->move(536, 62);
    SetLabelText(ErrorString, QStringLiteral("Initialisation"));

    Language = Named(new QComboBox(this), "Language");
    Language->setEditable(true);
    Language->setInsertPolicy(QComboBox::NoInsert);
    Language->setFont(TahomaFont(9));
    Language->setGeometry(8, 62, 91, 19);
    Language->setEditText(QStringLiteral("Language"));

    ComboBoxSampleRate = Named(new QComboBox(this), "ComboBoxSampleRate");
    ComboBoxSampleRate->setEditable(true);
    ComboBoxSampleRate->setInsertPolicy(QComboBox::NoInsert);
    ComboBoxSampleRate->setFont(CourierFont(9, false));
    ComboBoxSampleRate->setGeometry(112, 62, 154, 18);
    for (const char* item : kSampleRateItems)
        ComboBoxSampleRate->addItem(QString::fromLatin1(item));
    ComboBoxSampleRate->setCurrentIndex(-1);
    ComboBoxSampleRate->setEditText(QStringLiteral("---"));

    CheckBoxHiRes = Named(new QCheckBox(QStringLiteral("Hi. Res."), this), "CheckBoxHiRes");
    CheckBoxHiRes->setGeometry(8, 79, 56, 17);
    CheckBoxHiRes->hide();

    CreateInfoLabels();

    listModel = new DataSetListModel(this);
    ListView1 = Named(new QTreeView(this), "ListView1");
    ListView1->setModel(listModel);
    ListView1->setRootIsDecorated(false);
    ListView1->setItemsExpandable(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setSortingEnabled(false);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->header()->setSectionsClickable(false);
    ListView1->header()->setStretchLastSection(false);
    for (int c = 0; c < DataSetListModel::kColumns; ++c)
        ListView1->header()->resizeSection(c, DataSetListModel::kInitialWidths[static_cast<std::size_t>(c)]);
    ListView1->setGeometry(210, 97, 560, 117);

    CreateButtons();
    CreateSeriesControls();
    CreateChartAndModeGroup();

    for (QObject* component : children())
        components_.append(component);
    // Labels and images are drawn beneath the other controls.
    for (QLabel* label : findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly))
        label->lower();
    Image3->lower();
    Image1->lower();
}

void TForm1::CreateInfoLabels() {
    struct Line {
        QLabel*& caption;
        const char* captionName;
        const char* captionText;
        QLabel*& value;
        const char* valueName;
        int top;
    };
    Line lines[] = {
        {Label2, "Label2", "Firmware:", Label1, "Label1", 97},
        {Label9, "Label9", "Serial No. Device:", SerialDev, "SerialDev", 122},
        {Label11, "Label11", "Serial No. Sensor:", SerialSens, "SerialSens", 147},
        {Label4, "Label4", "Nominal Value:", NomVal, "NomVal", 172},
        {Label12, "Label12", "Actual Dataset:", State, "State", 197},
    };
    for (Line& line : lines) {
        line.caption = Named(new QLabel(this), line.captionName);
        line.caption->move(8, line.top);
        SetLabelText(line.caption, QString::fromLatin1(line.captionText));
        line.value = Named(new QLabel(this), line.valueName);
        line.value->move(120, line.top);
        SetLabelText(line.value, QStringLiteral("-"));
    }
    CheckBoxToKeyBuf = Named(new QCheckBox(QStringLiteral("Mean to key buffer"), this), "CheckBoxToKeyBuf");
    CheckBoxToKeyBuf->setGeometry(8, 106, 196, 17);
    CheckBoxToKeyBuf->hide();
}

void TForm1::CreateButtons() {
    struct Button {
        QPushButton*& button;
        const char* name;
        const char* caption;
        QRect geometry;
        bool enabled;
    };
    Button buttons[] = {
        {clrPeak, "clrPeak", "Clr &Peak", {10, 222, 100, 22}, false},
        {Zero, "Zero", "Z&ero", {10, 250, 100, 22}, false},
        {ClrLast, "ClrLast", "&CLR LAST MEASUREMENT", {116, 222, 129, 22}, false},
        {ClrAll, "ClrAll", "CL&R ALL MEASUREMENTS", {116, 250, 129, 22}, false},
        {ButtonSingleShot, "ButtonSingleShot", "S&INGLE SHOT", {250, 222, 120, 50}, false},
        {Start, "Start", "ST&ART AUTO", {375, 222, 140, 22}, false},
        {Stop, "Stop", "ST&OP AUTO", {375, 250, 140, 22}, false},
        {loadFromFile, "loadFromFile", "&LOAD", {540, 222, 100, 22}, true},
        {saveToFile, "saveToFile", "&SAVE", {540, 250, 100, 22}, false},
        {ButtonExcel, "ButtonExcel", "Clipboard + &Excel", {645, 222, 125, 22}, false},
        {ButtonZoom, "ButtonZoom", "&ZOOM ALL", {645, 250, 125, 22}, true},
    };
    for (Button& b : buttons) {
        b.button = Named(new QPushButton(QString::fromLatin1(b.caption), this), b.name);
        b.button->setGeometry(b.geometry);
        b.button->setEnabled(b.enabled);
        b.button->setAutoDefault(false);
        FitCaption(b.button);
    }
    CheckBoxAutoClrPeak =
        Named(new QCheckBox(QStringLiteral("Clear peak auto"), this), "CheckBoxAutoClrPeak");
    CheckBoxAutoClrPeak->setGeometry(251, 255, 118, 17);
    CheckBoxAutoClrPeak->hide();
}

void TForm1::CreateSeriesControls() {
    struct Series {
        QCheckBox*& box;
        const char* boxName;
        const char* caption;
        int boxTop;
        QLabel*& label;
        const char* labelName;
        int labelTop;
        int fontPx;
        bool labelVisible;
    };
    Series series[] = {
        {CheckBPeak1msUp, "CheckBPeak1msUp", "Maximum", 285, pkMax, "pkMax", 300, 32, true},
        {CheckBPeakfilteredUp, "CheckBPeakfilteredUp", "Maximum averaged", 340, pkMaxAvr, "pkMaxAvr", 357, 32,
         false},
        {CheckBoxMean, "CheckBoxMean", "Mean value", 395, meas300, "meas300", 410, 48, true},
        {CheckBPeakfilteredDn, "CheckBPeakfilteredDn", "Minimum averaged", 460, pkMinAvr, "pkMinAvr", 475, 32,
         true},
        {CheckBPeak1msLo, "CheckBPeak1msLo", "Minimum", 515, pkMin, "pkMin", 530, 32, true},
    };
    for (Series& s : series) {
        s.box = Named(new QCheckBox(QString::fromLatin1(s.caption), this), s.boxName);
        s.box->setGeometry(8, s.boxTop, 200, 17);
        s.label = Named(new QLabel(this), s.labelName);
        s.label->setFont(CourierLineFont(s.fontPx));
        s.label->move(8, s.labelTop);
        SetLabelText(s.label, QStringLiteral("-"));
        s.label->setVisible(s.labelVisible);
    }

    struct Extra {
        QLabel*& label;
        const char* name;
        const char* text;
        QPoint at;
        bool courier;
    };
    Extra extras[] = {
        {Label13, "Label13", "Numbers", {190, 341}, false},
        {Label14, "Label14", "-", {190, 357}, true},
        {Label7, "Label7", "Mean of means", {190, 396}, false},
        {TrumakCompany, "TrumakCompany", "---", {190, 410}, true},
    };
    for (Extra& e : extras) {
        e.label = Named(new QLabel(this), e.name);
        if (e.courier)
            e.label->setFont(CourierLineFont(32));
        e.label->move(e.at);
        SetLabelText(e.label, QString::fromLatin1(e.text));
        e.label->hide();
    }

    LabelOverflow = Named(new QLabel(QStringLiteral("!"), this), "LabelOverflow");
    LabelOverflow->setFont(TahomaFont(96));
    LabelOverflow->setGeometry(276, 379, 32, 116);
    LabelOverflow->hide();
}

void TForm1::CreateChartAndModeGroup() {
    Chart1 = Named(new DataSetChart(this), "Chart1");
    Chart1->setFocusPolicy(Qt::StrongFocus);
    chartDesign_ = kChartGeometry;
    Chart1->setGeometry(chartDesign_);

    RadioGroupGraficMode = Named(new QGroupBox(QStringLiteral("grafic mode"), this), "RadioGroupGraficMode");
    modeGroupDesign_ = kModeGroupGeometry;
    RadioGroupGraficMode->setGeometry(modeGroupDesign_);
    RadioGroupGraficMode->setAutoFillBackground(true); // a panel of its own over the chart
    auto* group = new QButtonGroup(RadioGroupGraficMode);
    group->setObjectName(QStringLiteral("graficModeButtons"));
    const char* items[] = {"number", "time", "time with lines"};
    for (int i = 0; i < 3; ++i) {
        auto* item = new QRadioButton(QString::fromLatin1(items[i]), RadioGroupGraficMode);
        item->setObjectName(QStringLiteral("graficMode%1").arg(i));
        item->setGeometry(8, 14 + 16 * i, 100, 16);
        group->addButton(item, i);
        graficModeItems[static_cast<std::size_t>(i)] = item;
    }
    graficModeItems[0]->setChecked(true);
}

void TForm1::SetTabOrder() {
    QWidget* order[] = {clrPeak,
                        Zero,
                        CheckBoxHiRes,
                        ComboBoxSampleRate,
                        ListView1,
                        ButtonSingleShot,
                        ClrAll,
                        ClrLast,
                        Start,
                        Stop,
                        saveToFile,
                        Chart1,
                        loadFromFile,
                        ButtonZoom,
                        Language,
                        CheckBPeak1msUp,
                        CheckBPeakfilteredUp,
                        CheckBoxMean,
                        CheckBPeakfilteredDn,
                        CheckBPeak1msLo,
                        graficModeItems[0],
                        graficModeItems[1],
                        graficModeItems[2],
                        ButtonExcel,
                        CheckBoxAutoClrPeak,
                        CheckBoxToKeyBuf};
    for (std::size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

void TForm1::ConnectHandlers() {
    const auto onClick = [this](QPushButton* button, void (TForm1::*handler)()) {
        connect(button, &QPushButton::clicked, this,
                [this, handler] { Safely([&] { (this->*handler)(); }); });
    };
    onClick(clrPeak, &TForm1::clrPeakClick);
    onClick(Zero, &TForm1::ZeroClick);
    onClick(ClrLast, &TForm1::ClrLastClick);
    onClick(ClrAll, &TForm1::ClrAllClick);
    onClick(ButtonSingleShot, &TForm1::ButtonSingleShotClick);
    onClick(Start, &TForm1::StartClick);
    onClick(Stop, &TForm1::StopClick);
    onClick(loadFromFile, &TForm1::loadFromFileClick);
    onClick(saveToFile, &TForm1::saveToFileClick);
    onClick(ButtonExcel, &TForm1::ButtonExcelClick);
    onClick(ButtonZoom, &TForm1::ButtonZoomClick);

    // A check box set from code runs its handler too, as the operator's click does.
    const auto onToggle = [this](QCheckBox* box, void (TForm1::*handler)()) {
        connect(box, &QCheckBox::toggled, this, [this, handler] { Safely([&] { (this->*handler)(); }); });
    };
    onToggle(CheckBoxHiRes, &TForm1::CheckBoxHiResClick);
    onToggle(CheckBoxToKeyBuf, &TForm1::CheckBoxToKeyBufClick);
    onToggle(CheckBoxAutoClrPeak, &TForm1::CheckBoxAutoClrPeakClick);
    onToggle(CheckBPeak1msUp, &TForm1::CheckBPeak1msUpClick);
    onToggle(CheckBPeakfilteredUp, &TForm1::CheckBPeakfilteredUpClick);
    onToggle(CheckBoxMean, &TForm1::CheckBoxMeanClick);
    onToggle(CheckBPeakfilteredDn, &TForm1::CheckBPeakfilteredDnClick);
    onToggle(CheckBPeak1msLo, &TForm1::CheckBPeak1msLoClick);

    // Only the operator's choice of an item runs the combo boxes' handlers.
    connect(ComboBoxSampleRate, &QComboBox::activated, this,
            [this](int index) { Safely([&] { ComboBoxSampleRateChange(index); }); });
    connect(Language, &QComboBox::activated, this,
            [this](int index) { Safely([&] { LanguageChange(index); }); });

    auto* group = RadioGroupGraficMode->findChild<QButtonGroup*>(QStringLiteral("graficModeButtons"));
    connect(group, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked)
            Safely([&] { RadioGroupGraficModeClick(id); });
    });
}

void TForm1::CreateTimers() {
    TimerInit2 = timers().CreateTimer([this] { Safely([this] { TimerInit2Timer(); }); });
    TimerGetMeas = timers().CreateTimer([this] { Safely([this] { TimerGetMeasTimer(); }); });
    TimerZeroSingle = timers().CreateTimer([this] { Safely([this] { TimerZeroSingleTimer(); }); });
}

void TForm1::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    ApplyAnchors();
}

void TForm1::ApplyAnchors() {
    // Chart1 follows all four edges, the mode group the right and bottom ones; every
    // other control keeps its place.
    const int dw = width() - kDesignWidth;
    const int dh = height() - kDesignHeight;
    if (Chart1) {
        Chart1->setGeometry(chartDesign_.x(), chartDesign_.y(), std::max(0, chartDesign_.width() + dw),
                            std::max(0, chartDesign_.height() + dh));
    }
    if (RadioGroupGraficMode)
        RadioGroupGraficMode->setGeometry(modeGroupDesign_.translated(dw, dh));
    // The group sits over the chart's right side: the legend's column spans it there,
    // so that the plot stays clear of it. Both follow the right edge, so the width holds.
    if (Chart1 && RadioGroupGraficMode) {
        constexpr int kGap = 4;
        const int covered = Chart1->geometry().right() - RadioGroupGraficMode->geometry().left() + 1;
        Chart1->SetLegendColumnWidth(std::max(covered + kGap, DataSetChart::kDefaultLegendColumnWidth / 2));
    }
}

void TForm1::SetChartGeometry(const QRect& geometry) {
    const int dw = width() - kDesignWidth;
    const int dh = height() - kDesignHeight;
    chartDesign_ = QRect(geometry.x(), geometry.y(), geometry.width() - dw, geometry.height() - dh);
    ApplyAnchors();
}

QCheckBox* TForm1::SeriesCheckBox(int slot) const {
    switch (slot) {
    case kSlotValue:
        return CheckBoxMean;
    case kSlotMin:
        return CheckBPeak1msLo;
    case kSlotMax:
        return CheckBPeak1msUp;
    case kSlotMinAvr:
        return CheckBPeakfilteredDn;
    case kSlotMaxAvr:
        return CheckBPeakfilteredUp;
    default:
        return nullptr;
    }
}

QLabel* TForm1::SeriesValueLabel(int slot) const {
    switch (slot) {
    case kSlotValue:
        return meas300;
    case kSlotMin:
        return pkMin;
    case kSlotMax:
        return pkMax;
    case kSlotMinAvr:
        return pkMinAvr;
    case kSlotMaxAvr:
        return pkMaxAvr;
    default:
        return nullptr;
    }
}

bool TForm1::IsSeriesChecked(int slot) const {
    const QCheckBox* box = SeriesCheckBox(slot);
    return box && box->isChecked();
}

void TForm1::SetLabelText(QLabel* label, const QString& text) {
    if (label->text() == text)
        return;
    label->setText(text);
    label->adjustSize();
}

void TForm1::SetStatusText(const QString& text) {
    SetLabelText(ErrorString, text);
    ErrorString->repaint();
}

void FitCaption(QAbstractButton* button) {
    constexpr int kPadding = 10; // the style's margins around a push button's caption
    QString caption = button->text();
    caption.remove(QLatin1Char('&'));
    QFont font = button->font();
    while (font.pixelSize() > 8 && QFontMetrics(font).horizontalAdvance(caption) > button->width() - kPadding)
        font.setPixelSize(font.pixelSize() - 1);
    button->setFont(font);
}

void TForm1::ShowHandlerError(const char* what) {
    dialogs().Error(QString::fromUtf8(what));
}

void TForm1::ShowMessageBox(std::string_view text, std::string_view caption) {
    dialogs().Message(Q(text), Q(caption));
}

void TForm1::OpenMessageBox(std::string_view text, std::string_view caption) {
    messageBoxes().Open(Q(text), Q(caption), nullptr);
}

} // namespace kantrel::ui
