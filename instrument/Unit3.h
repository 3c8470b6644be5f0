#pragma once

#include <QDialog>

#include <cstdint>

class QGroupBox;
class QLabel;
class QPushButton;
class TSpinEdit;

/**
 * The regulator limits dialog: the lower and the upper limit, each as whole degrees, a full stop
 * and one digit of tenths. Created once, hidden, and shown modally by the main window; the fields
 * keep what the user left in them from one opening to the next, whether it ended with OK or
 * Cancel. Nothing outside writes to them: every program start shows 36.5 and 36.7.
 *
 * Enter presses OK and Esc presses Cancel, except while a number field holds the focus: the
 * fields keep both keys to themselves.
 */
class TdlgRegParam : public QDialog {
    Q_OBJECT

public:
    static constexpr int kClientWidth = 217;
    static constexpr int kClientHeight = 111;

    explicit TdlgRegParam(QWidget* parent = nullptr);

    /**
     * The lower limit in tenths of a degree: se11 * 10 + se12, from the values the fields report.
     * Not checked against the upper limit.
     */
    std::int32_t lowerTenths() const;
    /** The upper limit in tenths of a degree: se21 * 10 + se22. */
    std::int32_t upperTenths() const;

    void setVisible(bool visible) override;

private:
    QGroupBox* grp1;
    QLabel* lbl1;
    TSpinEdit* se11;
    QLabel* lbl2;
    TSpinEdit* se12;
    QLabel* lbl3;
    TSpinEdit* se21;
    QLabel* lbl4;
    TSpinEdit* se22;
    QPushButton* btn1;
    QPushButton* btn2;
};
