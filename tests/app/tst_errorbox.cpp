#include <QTest>

class TstErrorbox : public QObject {
    Q_OBJECT
private slots:
    void placeholder() { }
};

QTEST_MAIN(TstErrorbox)
#include "tst_errorbox.moc"
