#include <QTest>

class TstIntegertext : public QObject {
    Q_OBJECT
private slots:
    void placeholder() { }
};

QTEST_MAIN(TstIntegertext)
#include "tst_integertext.moc"
