#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

/**
 * The about dialog: the program's icon, name and version, the maker's notice line and a link
 * to the maker's web page. Created hidden at start-up and shown modally by the main window;
 * its content is fixed, so every opening shows the same.
 *
 * The OK button is the only control that takes the keyboard focus: Enter and Space on it
 * accept the dialog, other keys typed to it do nothing. Only when the window itself holds
 * the focus does a character key close it, with the result Rejected.
 */
class TDlgAbout : public QDialog {
    Q_OBJECT

public:
    /** The maker's web page, opened in the default browser by a click on the address. */
    static constexpr char kWebAddress[] = "https://velmora.example.org/";
    /** The address as the dialog shows it. */
    static constexpr char kWebAddressText[] = "velmora.example.org";

    static constexpr int kClientWidth = 314;
    static constexpr int kClientHeight = 113;

    explicit TDlgAbout(QWidget* parent = nullptr);

    void setVisible(bool visible) override;

protected:
    void showEvent(QShowEvent* event) override;
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

    // A click on the address is a left press and a left release, both on the label.
    bool m_label3Pressed = false;
};
