#pragma once

#include "numeric/Spin.h"

/**
 * A spin edit for touch screens: a double click (a double tap) with the left button opens the
 * digit keypad, and the number entered there becomes the field's value, clamped into its range.
 * Apart from that it is a plain TSpinEdit and keeps nothing of its own.
 */
class TTouchSpinEdit : public TSpinEdit {
    Q_OBJECT

public:
    explicit TTouchSpinEdit(QWidget* parent = nullptr);

public slots:
    /**
     * Runs a new keypad modally. On OK with digits entered, writes their value to the field;
     * on Cancel, on the close box or with no digits, leaves the field as it was. A value that is
     * no 32-bit integer (numeric::ConversionError) leaves the field unchanged too and goes to the
     * failure reporter of platform::guarded, after the keypad has gone.
     */
    void ShowPanel();

private:
    void RunPanel();
};
