#include "../support/PtyPeer.h"
#include "dialogs/Unit2.h"

#include <QComboBox>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TstUnit2 : public QObject {
    Q_OBJECT

private slots:
    void creationListsThePortsPresentThen()
    {
        QTemporaryDir folder;
        PtyPeer com3;
        PtyPeer com7;
        QVERIFY(QFile::link(com3.devicePath(), folder.filePath(QStringLiteral("ttyS2"))));
        QVERIFY(QFile::link(com7.devicePath(), folder.filePath(QStringLiteral("ttyS6"))));

        TdlgParam dialog(nullptr, folder.path());
        auto* ports = dialog.findChild<QComboBox*>(QStringLiteral("cbbComboPorts"));
        QVERIFY(ports);
        QCOMPARE(ports->count(), 2);
        QCOMPARE(ports->itemText(0), QStringLiteral("COM3"));
        QCOMPARE(ports->itemText(1), QStringLiteral("COM7"));
        // The list only suggests: any name can be typed.
        QVERIFY(ports->isEditable());
    }

    void noPortsGiveAnEmptyList()
    {
        QTemporaryDir folder;
        TdlgParam dialog(nullptr, folder.path());
        QCOMPARE(dialog.findChild<QComboBox*>(QStringLiteral("cbbComboPorts"))->count(), 0);
    }
};

QTEST_MAIN(TstUnit2)
#include "tst_unit2.moc"
