#include <QTest>

class TstSettings : public QObject {
    Q_OBJECT
private slots:
    void placeholder() { }
};

QTEST_MAIN(TstSettings)
#include "tst_settings.moc"
