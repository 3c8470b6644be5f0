#pragma once

#include <QDialog>

/** The regulator limits dialog: the lower and upper limit to send to the instrument. */
class TdlgRegParam : public QDialog {
    Q_OBJECT

public:
    explicit TdlgRegParam(QWidget* parent = nullptr);
};
