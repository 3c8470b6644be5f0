#include "dialogs/Unit2.h"

TdlgParam::TdlgParam(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("dlgParam"));
    setWindowTitle(QStringLiteral("Параметры"));
}
