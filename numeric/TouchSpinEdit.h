#pragma once

#include "numeric/Spin.h"

#include <exception>
#include <functional>

/**
 * A spin edit for touch screens: a double click (a double tap) on it opens the digit keypad, and
 * the number entered there becomes the field's value, clamped into its range. Apart from that
 * it is a plain TSpinEdit and keeps nothing of its own.
 */
class TTouchSpinEdit : public TSpinEdit {
    Q_OBJECT

public:
    /**
     * Receives a failure of the keypad's result, such as a digit string beyond the 32-bit range
     * (numeric::ConversionError). The application installs its error box here.
     */
    using ErrorReporter = std::function<void(std::exception_ptr)>;

    explicit TTouchSpinEdit(QWidget* parent = nullptr);

    /**
     * Installs @p reporter for every later failure and returns the one it replaces. An empty
     * reporter restores the default, which only logs a warning.
     */
    static ErrorReporter setErrorReporter(ErrorReporter reporter);

public slots:
    /**
     * Runs a new keypad modally. On OK with digits entered, writes their value to the field;
     * on Cancel, on the close box or with no digits, leaves the field as it was. A value that is
     * no 32-bit integer leaves the field unchanged too and goes to the error reporter, after the
     * keypad has gone.
     */
    void ShowPanel();
};
