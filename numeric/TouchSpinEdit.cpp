#include "numeric/TouchSpinEdit.h"

#include "numeric/IntegerText.h"
#include "numeric/TouchSpinPanel.h"
#include "platform/HandlerBoundary.h"

#include <QPointer>

TTouchSpinEdit::TTouchSpinEdit(QWidget* parent)
    : TSpinEdit(parent)
{
    connect(this, &TSpinEdit::OnDblClick, this, &TTouchSpinEdit::ShowPanel);
}

void TTouchSpinEdit::ShowPanel()
{
    // A failure is reported at this boundary, once the keypad has gone, rather than thrown on
    // through the toolkit's mouse event delivery.
    platform::guarded([this] { RunPanel(); });
}

void TTouchSpinEdit::RunPanel()
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
    setValue(numeric::textToInteger(digits));
}
