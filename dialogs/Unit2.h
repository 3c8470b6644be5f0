#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

#include <cstdint>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QWidget;
class TSpinEdit;
class TTouchSpinEdit;

namespace app {
struct Settings;
}

namespace dialogs {
class ColorBox;

/**
 * The names the font boxes list: each of @p families once (letter case ignored) and "Default",
 * sorted alphabetically without regard to case. A family named "Default" in any case gives way
 * to the entry for the default face.
 */
QStringList fontNameList(const QStringList& families);
} // namespace dialogs

/**
 * The parameters dialog: port, timing, chart and font settings. It is filled from the settings
 * before each opening and read back into them afterwards; it keeps the page shown last and the
 * lists made at creation.
 */
class TdlgParam : public QDialog {
    Q_OBJECT

public:
    static constexpr int kClientWidth = 289;
    static constexpr int kClientHeight = 382;

    /** Created once at start-up; lists the serial ports found in @p deviceFolder then. */
    explicit TdlgParam(
        QWidget* parent = nullptr, const QString& deviceFolder = QStringLiteral("/dev"));

    /** Shows @p settings and the poll @p interval (milliseconds) in the fields. */
    void fill(const app::Settings& settings, std::uint32_t interval);

    /**
     * Writes the fields back into @p settings and @p interval, one after another in the order
     * of the fields. The number fields give their values limited to their ranges.
     *
     * Throws numeric::ConversionError when the baud rate or a scale bound is no integer. The
     * values before the failing one are then written already; it and all after it are left
     * as they were.
     */
    void readBack(app::Settings& settings, std::uint32_t& interval) const;

    /** The dialog opens centred on the screen. */
    void setVisible(bool visible) override;

private:
    void FormCreate(const QString& deviceFolder);

    QTabWidget* pgc1;
    QWidget* ts1;
    QWidget* ts2;
    QWidget* ts3;
    QPushButton* btn1;
    QPushButton* btn2;

    QComboBox* cbbComboPorts;
    QComboBox* cbbComboBaudRate;
    TSpinEdit* se1;
    TTouchSpinEdit* seNPoints;

    QLineEdit* edt4;
    QLineEdit* edt5;
    QLineEdit* edt6;
    QLineEdit* edt7;

    dialogs::ColorBox* clrbxBrushGraph;
    dialogs::ColorBox* clrbxPenGraph;
    dialogs::ColorBox* clrbxAxisGraph;
    QComboBox* cbbTextFontBox;
    TSpinEdit* seEditTextSize;
    QComboBox* cbbGraphFontBox;
    TSpinEdit* seEditGraphSize;
};
