#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

/**
 * The about dialog: the program's icon, name and version, the maker's notice line and a link
 * to the maker's web page. Created hidden at start-up and shown modally by the main window.
 */
class TDlgAbout : public QDialog {
    Q_OBJECT

public:
    static constexpr char kWebAddress[] = "https://velmora-thermo.example.org/";

    explicit TDlgAbout(QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormKeyPress(QKeyEvent* event);
    void Label3Click();

    QLabel* Image1;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QPushButton* BitBtn1;
};
