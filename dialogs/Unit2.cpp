#include "dialogs/Unit2.h"

#include "app/Settings.h"
#include "dialogs/ColorBox.h"
#include "instrument/GetComPortsFuncs.h"
#include "numeric/IntegerText.h"
#include "numeric/Spin.h"
#include "numeric/TouchSpinEdit.h"
#include "platform/Fonts.h"
#include "platform/WindowPlacement.h"

#include <QComboBox>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTabWidget>

#include <algorithm>
#include <limits>

namespace dialogs {

QStringList fontNameList(const QStringList& families)
{
    // The default face is listed under its own spelling, even where a family has that name in
    // another letter case: the name stands for the default face in any case.
    QStringList names { QString::fromLatin1(platform::kDefaultFaceAlias) };
    for (const QString& family : families) {
        if (!platform::isDefaultFaceAlias(family))
            names << family;
    }
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int order = a.compare(b, Qt::CaseInsensitive);
        return order != 0 ? order < 0 : a < b;
    });
    const auto same
        = [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; };
    names.erase(std::unique(names.begin(), names.end(), same), names.end());
    return names;
}

} // namespace dialogs

namespace {

template <typename Widget> Widget* place(Widget* widget, const char* name, const QRect& geometry)
{
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(geometry);
    return widget;
}

QGroupBox* makeGroup(QWidget* parent, const char* name, const QString& title, const QRect& geometry)
{
    return place(new QGroupBox(title, parent), name, geometry);
}

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, const QPoint& position)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setFocusPolicy(Qt::NoFocus);
    label->adjustSize();
    label->move(position);
    return label;
}

QComboBox* makeNameBox(QWidget* parent, const char* name, const QRect& geometry)
{
    auto* box = place(new QComboBox(parent), name, geometry);
    box->setEditable(true);
    // Typing a name must not add it to the list: the list is made once, at creation.
    box->setInsertPolicy(QComboBox::NoInsert);
    return box;
}

// Shows @p name as it is written, with the list's row of that name (letter case aside) as the
// current one, so that the opened list starts there; a name not listed has no current row.
void showFontName(QComboBox* box, const QString& name)
{
    box->setCurrentIndex(box->findText(name, Qt::MatchFixedString));
    box->setEditText(name);
}

template <typename Field>
Field* makeSpin(QWidget* parent, const char* name, const QRect& geometry, std::int32_t minValue,
    std::int32_t maxValue)
{
    auto* field = place(new Field(parent), name, geometry);
    field->setMaxValue(maxValue);
    field->setMinValue(minValue);
    return field;
}

// The number fields hand back only what they offer, whatever the text was when the dialog
// closed: closing it without leaving a field does not clamp its text.
std::int32_t rangedValue(const TSpinEdit* field)
{
    return field->ClampToRange(field->Value());
}

} // namespace

TdlgParam::TdlgParam(QWidget* parent, const QString& deviceFolder)
    : QDialog(parent,
        Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
            | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("dlgParam"));
    setWindowTitle(QStringLiteral("Параметры"));
    setFixedSize(kClientWidth, kClientHeight);
    setFont(platform::windowFont(11));

    // A dialog box wears the button-face colour rather than the plain window colour.
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::Button));
    setPalette(palette);

    pgc1 = place(new QTabWidget(this), "pgc1", QRect(0, 0, kClientWidth, 345));
    ts1 = new QWidget;
    ts1->setObjectName(QStringLiteral("ts1"));
    ts2 = new QWidget;
    ts2->setObjectName(QStringLiteral("ts2"));
    ts3 = new QWidget;
    ts3->setObjectName(QStringLiteral("ts3"));
    pgc1->addTab(ts1, QStringLiteral("Управление"));
    pgc1->addTab(ts2, QStringLiteral("Отображение"));
    pgc1->addTab(ts3, QStringLiteral("Вид"));
    pgc1->setCurrentWidget(ts1);

    btn1 = place(new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton),
                     QStringLiteral("Cancel"), this),
        "btn1", QRect(56, 352, 75, 25));
    connect(btn1, &QPushButton::clicked, this, &QDialog::reject);
    btn2 = place(new QPushButton(
                     style()->standardIcon(QStyle::SP_DialogOkButton), QStringLiteral("OK"), this),
        "btn2", QRect(152, 352, 75, 25));
    btn2->setDefault(true);
    connect(btn2, &QPushButton::clicked, this, &QDialog::accept);

    // Control page.
    auto* grp1 = makeGroup(ts1, "grp1", QStringLiteral("Параметры порта"), QRect(8, 5, 265, 68));
    makeLabel(grp1, "lbl1", QStringLiteral("Номер"), QPoint(8, 21));
    makeLabel(grp1, "lbl2", QStringLiteral("Скорость"), QPoint(8, 48));
    // The list only suggests names: any port name can be typed.
    cbbComboPorts = makeNameBox(grp1, "cbbComboPorts", QRect(112, 16, 145, 21));
    cbbComboPorts->setEditText(QStringLiteral("COM1"));
    cbbComboBaudRate = makeNameBox(grp1, "cbbComboBaudRate", QRect(112, 40, 145, 21));
    cbbComboBaudRate->addItems(
        { QStringLiteral("100"), QStringLiteral("300"), QStringLiteral("600"),
            QStringLiteral("1200"), QStringLiteral("2400"), QStringLiteral("4800"),
            QStringLiteral("9600"), QStringLiteral("14400"), QStringLiteral("19200"),
            QStringLiteral("38400"), QStringLiteral("56000"), QStringLiteral("57600"),
            QStringLiteral("115200"), QStringLiteral("128000"), QStringLiteral("256000") });
    cbbComboBaudRate->setEditText(QStringLiteral("38400"));

    auto* grp2 = makeGroup(ts1, "grp2", QStringLiteral("Параметры таймера"), QRect(8, 73, 265, 44));
    makeLabel(grp2, "lbl3", QStringLiteral("Интервал опроса, мс"), QPoint(8, 21));
    se1 = makeSpin<TSpinEdit>(grp2, "se1", QRect(184, 16, 73, 22), 600, 10000);

    auto* grp9 = makeGroup(ts1, "grp9", QStringLiteral("Точки"), QRect(8, 117, 265, 47));
    makeLabel(grp9, "lbl18", QStringLiteral("Количество отображаемых точек"), QPoint(8, 21));
    seNPoints = makeSpin<TTouchSpinEdit>(grp9, "seNPoints", QRect(184, 16, 73, 22), 10, 10000);
    seNPoints->setValue(500);

    // Display page. "YCaption" is the time axis, so it stands under the abscissa.
    auto* grp7 = makeGroup(ts2, "grp7", QStringLiteral("Оси"), QRect(8, 5, 265, 68));
    makeLabel(grp7, "lbl14", QStringLiteral("Абсцисс"), QPoint(8, 21));
    makeLabel(grp7, "lbl15", QStringLiteral("Ординат"), QPoint(8, 48));
    edt4 = place(new QLineEdit(grp7), "edt4", QRect(112, 16, 121, 21));
    edt5 = place(new QLineEdit(grp7), "edt5", QRect(112, 40, 121, 21));

    auto* grp8 = makeGroup(ts2, "grp8", QStringLiteral("Масштаб"), QRect(8, 73, 265, 68));
    makeLabel(grp8, "lbl16", QStringLiteral("Min"), QPoint(8, 21));
    makeLabel(grp8, "lbl17", QStringLiteral("Max"), QPoint(8, 48));
    edt6 = place(new QLineEdit(grp8), "edt6", QRect(112, 16, 121, 21));
    edt7 = place(new QLineEdit(grp8), "edt7", QRect(112, 40, 121, 21));

    // Appearance page.
    auto* grp3 = makeGroup(ts3, "grp3", QStringLiteral("Оформление"), QRect(8, 6, 265, 239));
    makeLabel(grp3, "lbl4", QStringLiteral("Фон графиков"), QPoint(8, 19));
    makeLabel(grp3, "lbl5", QStringLiteral("Перо графиков"), QPoint(8, 43));
    makeLabel(grp3, "lbl6", QStringLiteral("Оси, цифры"), QPoint(8, 67));
    clrbxBrushGraph
        = place(new dialogs::ColorBox(grp3), "clrbxBrushGraph", QRect(112, 14, 145, 22));
    clrbxBrushGraph->setSelected(0xFFFFFF);
    clrbxPenGraph = place(new dialogs::ColorBox(grp3), "clrbxPenGraph", QRect(112, 38, 145, 22));
    clrbxPenGraph->setSelected(0x0000FF);
    clrbxAxisGraph = place(new dialogs::ColorBox(grp3), "clrbxAxisGraph", QRect(112, 62, 145, 22));
    clrbxAxisGraph->setSelected(0xFF0000);

    auto* grp4 = makeGroup(grp3, "grp4", QStringLiteral("Шрифт текста"), QRect(8, 88, 249, 70));
    makeLabel(grp4, "lbl7", QStringLiteral("Название"), QPoint(8, 18));
    makeLabel(grp4, "lbl8", QStringLiteral("Размер"), QPoint(8, 42));
    cbbTextFontBox = makeNameBox(grp4, "cbbTextFontBox", QRect(96, 14, 145, 21));
    seEditTextSize = makeSpin<TSpinEdit>(grp4, "seEditTextSize", QRect(96, 42, 145, 22), 6, 100);

    auto* grp5
        = makeGroup(grp3, "grp5", QStringLiteral("Шрифт на графиках"), QRect(8, 161, 249, 70));
    makeLabel(grp5, "lbl9", QStringLiteral("Название"), QPoint(8, 18));
    makeLabel(grp5, "lbl10", QStringLiteral("Размер"), QPoint(8, 42));
    cbbGraphFontBox = makeNameBox(grp5, "cbbGraphFontBox", QRect(96, 14, 145, 21));
    seEditGraphSize = makeSpin<TSpinEdit>(grp5, "seEditGraphSize", QRect(96, 42, 145, 22), 6, 100);

    // Cancel and OK come first, then the pages; on a page, the port list follows the baud rate.
    const QList<QWidget*> tabOrder { btn1, btn2, pgc1, cbbComboBaudRate, cbbComboPorts, se1,
        seNPoints, edt4, edt5, edt6, edt7, clrbxBrushGraph, clrbxPenGraph, clrbxAxisGraph,
        cbbTextFontBox, seEditTextSize, cbbGraphFontBox, seEditGraphSize };
    for (qsizetype i = 1; i < tabOrder.size(); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);

    FormCreate(deviceFolder);
}

void TdlgParam::FormCreate(const QString& deviceFolder)
{
    // The ports present at start-up; the list is not refreshed while the program runs.
    cbbComboPorts->clear();
    cbbComboPorts->addItems(instrument::GetComPorts(deviceFolder));

    const QStringList fonts = dialogs::fontNameList(QFontDatabase::families());
    for (QComboBox* box : { cbbTextFontBox, cbbGraphFontBox }) {
        box->clear();
        box->addItems(fonts);
    }
}

void TdlgParam::fill(const app::Settings& settings, std::uint32_t interval)
{
    cbbComboPorts->setEditText(settings.Port);
    cbbComboBaudRate->setEditText(QString::number(settings.BaudRate));
    // An interval beyond the signed range is still far above the field's maximum.
    se1->setValue(static_cast<std::int32_t>(
        std::min<std::uint32_t>(interval, std::numeric_limits<std::int32_t>::max())));
    seNPoints->setValue(settings.NPoints);
    edt4->setText(settings.YCaption);
    edt5->setText(settings.XCaption);
    edt6->setText(QString::number(settings.MinY));
    edt7->setText(QString::number(settings.MaxY));
    clrbxBrushGraph->setSelected(settings.BrushGraphColor);
    clrbxPenGraph->setSelected(settings.PenGraphColor);
    clrbxAxisGraph->setSelected(settings.AxisGraphColor);
    showFontName(cbbTextFontBox, settings.TextFont.name());
    seEditTextSize->setValue(settings.TextFont.size());
    showFontName(cbbGraphFontBox, settings.GraphFont.name());
    seEditGraphSize->setValue(settings.GraphFont.size());
}

void TdlgParam::readBack(app::Settings& settings, std::uint32_t& interval) const
{
    settings.Port = cbbComboPorts->currentText();
    settings.BaudRate = numeric::textToInteger(cbbComboBaudRate->currentText());
    interval = static_cast<std::uint32_t>(rangedValue(se1));
    settings.NPoints = rangedValue(seNPoints);
    settings.YCaption = edt4->text();
    settings.XCaption = edt5->text();
    settings.MinY = numeric::textToInteger(edt6->text());
    settings.MaxY = numeric::textToInteger(edt7->text());
    settings.BrushGraphColor = clrbxBrushGraph->selected();
    settings.PenGraphColor = clrbxPenGraph->selected();
    settings.AxisGraphColor = clrbxAxisGraph->selected();
    settings.TextFont.setName(cbbTextFontBox->currentText());
    settings.TextFont.setSize(rangedValue(seEditTextSize));
    settings.GraphFont.setName(cbbGraphFontBox->currentText());
    settings.GraphFont.setSize(rangedValue(seEditGraphSize));
}

void TdlgParam::setVisible(bool visible)
{
    // Centred before it shows, so the window system maps it there; a dialog moved after showing
    // may be put back by the platform.
    if (visible && !isVisible())
        platform::centreOnScreen(this);
    QDialog::setVisible(visible);
}
