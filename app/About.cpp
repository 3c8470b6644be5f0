#include "app/About.h"

#include <QKeyEvent>

TDlgAbout::TDlgAbout(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("DlgAbout"));
}

void TDlgAbout::keyPressEvent(QKeyEvent* event) { QDialog::keyPressEvent(event); }

bool TDlgAbout::eventFilter(QObject* watched, QEvent* event)
{
    return QDialog::eventFilter(watched, event);
}

void TDlgAbout::FormKeyPress(QKeyEvent*) { }

void TDlgAbout::Label3Click() { }
