#include <QTest>

class TstProfile : public QObject {
    Q_OBJECT
private slots:
    void placeholder() { }
};

QTEST_MAIN(TstProfile)
#include "tst_profile.moc"
