#include "../support/ModalAnswer.h"
#include "preferences/PreferencesDialog.h"

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

// What the dialog was filled with: every kind of value set, so that a row can see one change.
static alarms::AlarmSettings filledAlarms()
{
    alarms::AlarmSettings s;
    s.Enabled = true;
    s.High = 40.0;
    s.Low = 20.5;
    s.Band = true;
    s.Margin = 0.2;
    s.Stale = 10.0;
    s.Delay = 5.0;
    s.Hysteresis = 0.3;
    return s;
}

class TstPreferences : public QObject {
    Q_OBJECT

private slots:
    // Each row types into fields ("objectName=text") and presses OK: the dialog takes every
    // page or, with a value refused, names it with its reason, shows its page and keeps all.
    void typedValuesAreTakenOrRefused_data()
    {
        QTest::addColumn<QStringList>("typed");
        QTest::addColumn<QString>("refusal"); // empty: accepted
        QTest::addColumn<QString>("high"); // the high threshold then, as the file keeps it
        QTest::addColumn<QString>("stale");
        QTest::addColumn<QString>("folder");

        QTest::newRow("nothing typed keeps every value") << QStringList {} << ""
                                                         << "40"
                                                         << "10"
                                                         << "";
        QTest::newRow("comma decimal") << QStringList { "edtAlarmHigh=30,5" } << ""
                                       << "30.5"
                                       << "10"
                                       << "";
        QTest::newRow("empty and 0 are off")
            << QStringList { "edtAlarmHigh= ", "edtAlarmStale=0" } << ""
            << ""
            << ""
            << "";
        QTest::newRow("folder taken trimmed") << QStringList { "edtRunFolder= /data/runs " } << ""
                                              << "40"
                                              << "10"
                                              << "/data/runs";
        QTest::newRow("no number")
            << QStringList { "edtAlarmHigh=тридцать" } << "Выше, °C: не число"
            << "40"
            << "10"
            << "";
        QTest::newRow("exponent") << QStringList { "edtAlarmHigh=3e1" } << "Выше, °C: не число"
                                  << "40"
                                  << "10"
                                  << "";
        QTest::newRow("seconds out of range")
            << QStringList { "edtAlarmStale=90000" }
            << "Нет показаний дольше, с: вне пределов от 0 до 86400"
            << "40"
            << "10"
            << "";
        QTest::newRow("negative delay")
            << QStringList { "edtAlarmDelay=-1" } << "Задержка, с: вне пределов от 0 до 86400"
            << "40"
            << "10"
            << "";
        QTest::newRow("low not below high") << QStringList { "edtAlarmHigh=25", "edtAlarmLow=25" }
                                            << "Ниже, °C: порог должен быть ниже, чем «Выше, °C»"
                                            << "40"
                                            << "10"
                                            << "";
        QTest::newRow("line break in the folder")
            << QStringList { "edtRunFolder=runs\n[Options]" }
            << "Папка опросов: имя содержит управляющий символ"
            << "40"
            << "10"
            << "";
    }
    void typedValuesAreTakenOrRefused()
    {
        QFETCH(QStringList, typed);
        QFETCH(QString, refusal);
        QFETCH(QString, high);
        QFETCH(QString, stale);
        QFETCH(QString, folder);

        preferences::PreferencesDialog dialog;
        const app::RunLogSettings runLog { false, QString() };
        dialog.fill(runLog, QStringLiteral("/home/u/runs"), filledAlarms(), false);
        dialog.show();
        QWidget* lastField = nullptr;
        for (const QString& entry : typed) {
            const qsizetype equals = entry.indexOf(u'=');
            auto* edit = dialog.findChild<QLineEdit*>(entry.left(equals));
            QVERIFY2(edit, qPrintable(entry));
            edit->setText(entry.mid(equals + 1));
            lastField = edit;
        }

        MessageBoxSeen seen;
        const auto answer = answerNextMessageBox(seen);
        dialog.accept();

        QCOMPARE(seen.text, refusal);
        QCOMPARE(dialog.result(), refusal.isEmpty() ? QDialog::Accepted : QDialog::Rejected);
        if (!refusal.isEmpty()) {
            // The refused field's page is in front; nothing of any page was taken.
            auto* pages = dialog.findChild<QTabWidget*>();
            QVERIFY(pages->currentWidget()->isAncestorOf(lastField));
            QCOMPARE(dialog.alarmSettings(), filledAlarms());
            QCOMPARE(dialog.runLogSettings(), runLog);
            return;
        }
        QCOMPARE(alarms::alarmValueText(dialog.alarmSettings().High), high);
        QCOMPARE(alarms::alarmValueText(dialog.alarmSettings().Stale), stale);
        QCOMPARE(dialog.alarmSettings().Low, filledAlarms().Low);
        QCOMPARE(dialog.runLogSettings().Folder, folder);
        QCOMPARE(dialog.runLogSettings().Enabled, false);
    }

    // The network's page: each row types ("objectName=text"; "chkMqtt" ticks the box; "@" in a
    // text stands for a folder of the test's own) and presses OK, then reads the section back
    // as the settings file would get it, or the refusal.
    void networkValuesAreTakenOrRefused_data()
    {
        QTest::addColumn<QStringList>("typed");
        QTest::addColumn<QString>("expected"); // the [Mqtt] keys that are set, or the refusal

        QTest::newRow("off by default, nothing typed")
            << QStringList {} << "Enabled=0 Discovery=1 RemoteLimits=0";
        QTest::newRow("broker, port and a private password file")
            << QStringList { "chkMqtt", "edtMqttHost= broker.lab ", "edtMqttPort=8883",
                   "edtMqttBench=bench-3", "edtMqttPasswordFile=@/private" }
            << "Enabled=1 Host=broker.lab Port=8883 Bench=bench-3 PasswordFile=@/private "
               "Discovery=1 RemoteLimits=0";
        QTest::newRow("port out of range")
            << QStringList { "chkMqtt", "edtMqttPort=70000" } << "Порт: вне пределов от 1 до 65535";
        QTest::newRow("bench with a topic separator")
            << QStringList { "edtMqttBench=lab/3" }
            << "Имя стенда: только латинские буквы, цифры, «-» и «_»";
        QTest::newRow("relative CA file")
            << QStringList { "edtMqttCaFile=ca.pem" } << "Сертификат ЦС (TLS): нужен полный путь";
        QTest::newRow("password file others may read")
            << QStringList { "chkMqtt", "edtMqttPasswordFile=@/shared" }
            << "Файл пароля: @/shared: readable or writable by others (chmod 600 it)";
    }
    void networkValuesAreTakenOrRefused()
    {
        QFETCH(QStringList, typed);
        QFETCH(QString, expected);
        QTemporaryDir folder;
        const auto place = [&folder](QString text) { return text.replace(u'@', folder.path()); };
        const QFile::Permissions own = QFile::ReadOwner | QFile::WriteOwner;
        for (const auto& [name, mode] : { std::pair { "private", own },
                 { "shared", own | QFile::ReadGroup | QFile::ReadOther } }) {
            QFile file(folder.filePath(QString::fromLatin1(name)));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("secret\n");
            QVERIFY(file.setPermissions(mode));
        }

        preferences::PreferencesDialog dialog;
        dialog.fill({ false, QString() }, QStringLiteral("/home/u/runs"), filledAlarms(), false);
        dialog.fillNetwork(telemetry::MqttSettings {}, QStringLiteral("pc-ttyUSB0"));
        for (const QString& entry : typed) {
            const qsizetype equals = entry.indexOf(u'=');
            if (equals < 0) {
                dialog.findChild<QCheckBox*>(entry)->setChecked(true);
                continue;
            }
            auto* edit = dialog.findChild<QLineEdit*>(entry.left(equals));
            QVERIFY2(edit, qPrintable(entry));
            edit->setText(place(entry.mid(equals + 1)));
        }
        MessageBoxSeen seen;
        const auto answer = answerNextMessageBox(seen);
        dialog.accept();

        QString got = seen.text;
        if (got.isEmpty()) {
            QStringList keys;
            for (const auto& entry : telemetry::mqttEntries(dialog.mqttSettings())) {
                if (!entry.second.isEmpty())
                    keys << entry.first + u'=' + entry.second;
            }
            got = keys.join(u' ');
        }
        QCOMPARE(got, place(expected));
    }
};

QTEST_MAIN(TstPreferences)
#include "tst_preferences.moc"
