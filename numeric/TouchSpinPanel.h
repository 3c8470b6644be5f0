#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

/**
 * The digit keypad of the touch spin edit: ten large digit buttons in a telephone layout, the
 * read-only field that collects the digits pressed, and OK and Cancel.
 *
 * A keypad is made for one use and keeps nothing: its field starts empty. Digits are only ever
 * appended (no sign, no decimal point, no way to delete one); to start over the user cancels and
 * opens a new keypad. Enter presses OK, Escape and the close box cancel; typed characters leave
 * the field alone. The window stays on top of the others at a fixed place on the screen.
 */
class TTouchSpinPanelWnd : public QDialog {
    Q_OBJECT

public:
    static constexpr int kClientWidth = 198;
    static constexpr int kClientHeight = 354;
    static constexpr QPoint kScreenPosition { 752, 182 };

    explicit TTouchSpinPanelWnd(QWidget* parent = nullptr);

    /** The digits pressed so far, in order; empty when none was. */
    QString valueText() const;

    void SpeedButton1Click();
    void SpeedButton2Click();
    void SpeedButton3Click();
    void SpeedButton4Click();
    void SpeedButton5Click();
    void SpeedButton6Click();
    void SpeedButton7Click();
    void SpeedButton8Click();
    void SpeedButton9Click();
    void SpeedButton10Click();

private:
    void appendDigit(char digit);

    QLineEdit* EditValue;
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;
};
