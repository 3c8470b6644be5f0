#include "../support/ModalDialog.h"
#include "app/About.h"
#include "app/Version.h"
#include "resources/Pictures.h"

#include <QApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

template <typename T> T* child(const TDlgAbout& dlg, const char* name)
{
    return dlg.findChild<T*>(QString::fromLatin1(name));
}

} // namespace

class TstAbout : public QObject {
    Q_OBJECT

public slots:
    void openUrl(const QUrl& url) { m_opened.append(url); }

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale::c());
        QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "openUrl");
    }
    void cleanupTestCase() { QDesktopServices::unsetUrlHandler(QStringLiteral("https")); }
    void init() { m_opened.clear(); }

    void window()
    {
        TDlgAbout dlg;
        QCOMPARE(dlg.objectName(), QStringLiteral("DlgAbout"));
        QCOMPARE(dlg.windowTitle(), QStringLiteral("О программе"));
        QVERIFY(!dlg.isVisible());
        QCOMPARE(dlg.size(), QSize(314, 113));
        QCOMPARE(dlg.minimumSize(), dlg.maximumSize());
        QCOMPARE(dlg.windowFlags(),
            Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                | Qt::WindowCloseButtonHint);
        QCOMPARE(dlg.palette().color(QPalette::Window), dlg.palette().color(QPalette::Button));
        QCOMPARE(dlg.font().family(), QStringLiteral("MS Sans Serif"));
        QCOMPARE(dlg.font().pixelSize(), 11);
        QVERIFY(!dlg.font().bold() && !dlg.font().italic());
    }

    void controls_data()
    {
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<Qt::FocusPolicy>("focusPolicy");
        QTest::newRow("Image1") << QRect(8, 8, 32, 32) << Qt::NoFocus;
        QTest::newRow("Label1") << QRect(48, 8, 255, 29) << Qt::NoFocus;
        QTest::newRow("Label2") << QRect(74, 40, 192, 13) << Qt::NoFocus;
        QTest::newRow("Label3") << QRect(106, 56, 121, 13) << Qt::NoFocus;
        QTest::newRow("BitBtn1") << QRect(122, 80, 75, 25) << Qt::StrongFocus;
    }
    void controls()
    {
        QFETCH(QRect, geometry);
        QFETCH(Qt::FocusPolicy, focusPolicy);
        TDlgAbout dlg;
        const auto* control = child<QWidget>(dlg, QTest::currentDataTag());
        QVERIFY(control);
        QCOMPARE(control->geometry(), geometry);
        QCOMPARE(control->focusPolicy(), focusPolicy);
    }

    void content()
    {
        TDlgAbout dlg;
        const QColor blue(0x00, 0x00, 0xFF);

        const auto* image = child<QLabel>(dlg, "Image1");
        QVERIFY(!image->pixmap().isNull());
        QCOMPARE(image->pixmap().size(), resources::programIconPixmap().size());
        QCOMPARE(image->size(), QSize(32, 32));

        const auto* title = child<QLabel>(dlg, "Label1");
        QCOMPARE(
            title->text(), QStringLiteral("Velmora Thermo ") + QString::fromLatin1(app::kVersion));
        QCOMPARE(title->font().family(), QStringLiteral("MS Sans Serif"));
        QCOMPARE(title->font().pixelSize(), 24);
        QVERIFY(title->font().bold() && title->font().italic());
        QCOMPARE(title->palette().color(QPalette::WindowText), blue);

        const auto* notice = child<QLabel>(dlg, "Label2");
        QCOMPARE(notice->text(), QStringLiteral("© 2026 Velmora Instruments"));
        QCOMPARE(notice->font(), dlg.font());
        QCOMPARE(notice->palette().color(QPalette::WindowText),
            dlg.palette().color(QPalette::WindowText));

        const auto* link = child<QLabel>(dlg, "Label3");
        QCOMPARE(link->text(), QString::fromLatin1(TDlgAbout::kWebAddressText));
        QVERIFY(QString::fromLatin1(TDlgAbout::kWebAddress).contains(link->text()));
        QCOMPARE(link->font().family(), QStringLiteral("MS Sans Serif"));
        QCOMPARE(link->font().pixelSize(), 11);
        QVERIFY(!link->font().bold() && !link->font().italic() && !link->font().underline());
        QCOMPARE(link->palette().color(QPalette::WindowText), blue);
        QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);

        // Whatever face stands in for the windows' font, no caption is cut off.
        for (const QLabel* label : { title, notice, link })
            QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <= label->width(),
                qPrintable(label->objectName()));

        const auto* ok = child<QPushButton>(dlg, "BitBtn1");
        QCOMPARE(ok->text(), QStringLiteral("OK"));
        QCOMPARE(ok->icon().pixmap(16).toImage(),
            dlg.style()->standardIcon(QStyle::SP_DialogOkButton).pixmap(16).toImage());
        QVERIFY(ok->isDefault());
    }

    void opensCentredWithFocusOnOk()
    {
        // Centred on the screen, not on an owner window in a corner.
        QWidget owner;
        owner.setGeometry(0, 0, 200, 100);
        owner.show();
        TDlgAbout dlg(&owner);
        auto* ok = child<QPushButton>(dlg, "BitBtn1");
        const int result = execWith(dlg, [&] {
            QCOMPARE(QApplication::focusWidget(), ok);
            const QRect screen = dlg.screen()->geometry();
            QVERIFY(qAbs(dlg.frameGeometry().center().x() - screen.center().x()) <= 1);
            QVERIFY(qAbs(dlg.frameGeometry().center().y() - screen.center().y()) <= 1);
            QTest::keyClick(ok, Qt::Key_Return);
        });
        QCOMPARE(result, int(QDialog::Accepted));
    }

    // Keys are delivered as the window system delivers them: to the focus widget, or to
    // the window when no control has the focus.
    void keys_data()
    {
        QTest::addColumn<bool>("windowHasFocus");
        QTest::addColumn<Qt::Key>("key");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("result");
        const int accepted = QDialog::Accepted;
        const int rejected = QDialog::Rejected;
        const QString esc(QChar(0x1B));
        QTest::newRow("OK: Return") << false << Qt::Key_Return << "\r" << accepted;
        QTest::newRow("OK: Enter") << false << Qt::Key_Enter << "\r" << accepted;
        QTest::newRow("OK: Space") << false << Qt::Key_Space << " " << accepted;
        QTest::newRow("OK: a") << false << Qt::Key_A << "a" << kLeftOpen;
        QTest::newRow("OK: я") << false << Qt::Key_unknown << "я" << kLeftOpen;
        QTest::newRow("OK: Escape") << false << Qt::Key_Escape << esc << kLeftOpen;
        QTest::newRow("OK: F1") << false << Qt::Key_F1 << "" << kLeftOpen;
        QTest::newRow("window: a") << true << Qt::Key_A << "a" << rejected;
        QTest::newRow("window: я") << true << Qt::Key_unknown << "я" << rejected;
        QTest::newRow("window: Escape") << true << Qt::Key_Escape << esc << rejected;
        QTest::newRow("window: Return") << true << Qt::Key_Return << "\r" << rejected;
        QTest::newRow("window: F1") << true << Qt::Key_F1 << "" << kLeftOpen;
    }
    void keys()
    {
        QFETCH(bool, windowHasFocus);
        QFETCH(Qt::Key, key);
        QFETCH(QString, text);
        QFETCH(int, result);
        TDlgAbout dlg;
        auto* ok = child<QPushButton>(dlg, "BitBtn1");
        const int ended = execWith(dlg, [&] {
            if (windowHasFocus)
                ok->clearFocus();
            QCOMPARE(QApplication::focusWidget(), windowHasFocus ? nullptr : ok);
            QWidget* target = windowHasFocus ? static_cast<QWidget*>(&dlg) : ok;
            QTest::sendKeyEvent(QTest::Click, target, key, text, Qt::NoModifier);
        });
        QCOMPARE(ended, result);
    }

    void webAddressClick()
    {
        TDlgAbout dlg;
        auto* link = child<QLabel>(dlg, "Label3");
        const int result = execWith(dlg, [&] {
            // Pressing on the address and letting go elsewhere is no click.
            QTest::mousePress(link, Qt::LeftButton);
            QTest::mouseRelease(link, Qt::LeftButton, {}, QPoint(-4, -4));
            QVERIFY(m_opened.isEmpty());
            QTest::mouseClick(link, Qt::RightButton);
            QVERIFY(m_opened.isEmpty());

            QTest::mouseClick(link, Qt::LeftButton);
            QCOMPARE(m_opened, QList<QUrl>({ QUrl(QString::fromLatin1(TDlgAbout::kWebAddress)) }));
            QVERIFY(dlg.isVisible());
        });
        QCOMPARE(result, kLeftOpen);
    }

    void reopeningShowsTheSameContent()
    {
        TDlgAbout dlg;
        auto* ok = child<QPushButton>(dlg, "BitBtn1");
        QImage first;
        QPoint firstPosition;
        QCOMPARE(execWith(dlg,
                     [&] {
                         first = dlg.grab().toImage();
                         firstPosition = dlg.pos();
                         // Leave the window itself with the focus, then close it by a key.
                         ok->clearFocus();
                         QTest::keyClick(&dlg, Qt::Key_X);
                     }),
            int(QDialog::Rejected));

        QCOMPARE(execWith(dlg,
                     [&] {
                         QCOMPARE(QApplication::focusWidget(), ok);
                         QCOMPARE(dlg.pos(), firstPosition);
                         QCOMPARE(dlg.grab().toImage(), first);
                         QTest::keyClick(ok, Qt::Key_Return);
                     }),
            int(QDialog::Accepted));
    }

private:
    QList<QUrl> m_opened;
};

QTEST_MAIN(TstAbout)
#include "tst_about.moc"
