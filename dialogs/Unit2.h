#pragma once

#include <QDialog>

/** The parameters dialog: port, timing, chart and font settings. */
class TdlgParam : public QDialog {
    Q_OBJECT

public:
    explicit TdlgParam(QWidget* parent = nullptr);
};
