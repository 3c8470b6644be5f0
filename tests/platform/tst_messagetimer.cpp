#include <QTest>

class TstMessagetimer : public QObject {
    Q_OBJECT
private slots:
    void placeholder() { }
};

QTEST_MAIN(TstMessagetimer)
#include "tst_messagetimer.moc"
