#include <QTest>

class TstUnit1 : public QObject {
    Q_OBJECT
private slots:
    void placeholder() { }
};

QTEST_MAIN(TstUnit1)
#include "tst_unit1.moc"
