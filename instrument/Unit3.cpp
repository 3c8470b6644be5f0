#include "instrument/Unit3.h"

TdlgRegParam::TdlgRegParam(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("dlgRegParam"));
    setWindowTitle(QStringLiteral("Установить параметры регулятора"));
}
