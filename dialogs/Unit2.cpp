#include "dialogs/Unit2.h"

#include "instrument/GetComPortsFuncs.h"

#include <QComboBox>

TdlgParam::TdlgParam(QWidget* parent, const QString& deviceFolder)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("dlgParam"));
    setWindowTitle(QStringLiteral("Параметры"));

    // The list only suggests names: any port name can be typed.
    cbbComboPorts = new QComboBox(this);
    cbbComboPorts->setObjectName(QStringLiteral("cbbComboPorts"));
    cbbComboPorts->setEditable(true);

    FormCreate(deviceFolder);
}

void TdlgParam::FormCreate(const QString& deviceFolder)
{
    // The ports present at start-up; the list is not refreshed while the program runs.
    cbbComboPorts->clear();
    cbbComboPorts->addItems(instrument::GetComPorts(deviceFolder));
}
