#pragma once

#include <QDialog>
#include <QString>

class QComboBox;

/** The parameters dialog: port, timing, chart and font settings. */
class TdlgParam : public QDialog {
    Q_OBJECT

public:
    /** Created once at start-up; lists the serial ports found in @p deviceFolder then. */
    explicit TdlgParam(
        QWidget* parent = nullptr, const QString& deviceFolder = QStringLiteral("/dev"));

private:
    void FormCreate(const QString& deviceFolder);

    QComboBox* cbbComboPorts;
};
