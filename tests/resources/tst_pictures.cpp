#include <QTest>

class TstPictures : public QObject {
    Q_OBJECT
private slots:
    void placeholder() { }
};

QTEST_MAIN(TstPictures)
#include "tst_pictures.moc"
