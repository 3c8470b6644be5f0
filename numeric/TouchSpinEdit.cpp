#include "numeric/TouchSpinEdit.h"

#include "numeric/IntegerText.h"
#include "numeric/TouchSpinPanel.h"

#include <QPointer>
#include <QtGlobal>

#include <utility>

namespace {

void warnAboutFailure(std::exception_ptr failure)
{
    try {
        std::rethrow_exception(std::move(failure));
    } catch (const std::exception& e) {
        qWarning("Touch spin edit: %s", e.what());
    } catch (...) {
        qWarning("Touch spin edit: unknown failure");
    }
}

TTouchSpinEdit::ErrorReporter& currentReporter()
{
    static TTouchSpinEdit::ErrorReporter reporter = &warnAboutFailure;
    return reporter;
}

} // namespace

TTouchSpinEdit::TTouchSpinEdit(QWidget* parent)
    : TSpinEdit(parent)
{
    connect(this, &TSpinEdit::OnDblClick, this, &TTouchSpinEdit::ShowPanel);
}

TTouchSpinEdit::ErrorReporter TTouchSpinEdit::setErrorReporter(ErrorReporter reporter)
{
    if (!reporter)
        reporter = &warnAboutFailure;
    return std::exchange(currentReporter(), std::move(reporter));
}

void TTouchSpinEdit::ShowPanel()
{
    // The field may go while the keypad's own event loop runs (its dialog closed under it).
    const QPointer<TTouchSpinEdit> self(this);
    bool accepted = false;
    QString digits;
    {
        // No owner: the keypad lives only in this scope and is gone before any failure is shown.
        TTouchSpinPanelWnd panel;
        accepted = panel.exec() == QDialog::Accepted;
        digits = panel.valueText();
    }
    if (!self || !accepted || digits.isEmpty())
        return;

    // The failure is reported here rather than thrown: it would otherwise have to unwind through
    // the toolkit's mouse event delivery, which is not built to pass exceptions on.
    try {
        setValue(numeric::textToInteger(digits));
    } catch (...) {
        currentReporter()(std::current_exception());
    }
}
