#include "chart/ReadoutFormat.h"

#include <QLocale>
#include <QTest>

using chart::formatBound;
using chart::formatReading;

class TstReadoutFormat : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    void reading_data();
    void reading();
    void bound_data();
    void bound();
};

void TstReadoutFormat::reading_data()
{
    QTest::addColumn<double>("reading");
    QTest::addColumn<QString>("separator");
    QTest::addColumn<QString>("expected");

    // The expected text is written with "."; each row also runs with a comma locale's separator.
    const auto row = [](const char* name, double reading, const char* expected) {
        const QString text = QString::fromLatin1(expected);
        QTest::newRow(name) << reading << QStringLiteral(".") << text;
        QTest::newRow(qPrintable(QString::fromLatin1(name) + QStringLiteral(" comma")))
            << reading << QStringLiteral(",") << QString(text).replace(u'.', u',');
    };

    row("0.0", 0.0, "0.0");
    row("0.1", 0.1, "0.1");
    row("23.4", 23.4, "23.4");
    row("99.9", 99.9, "99.9");
    row("100.0", 100.0, "100.0");
    row("123.4", 123.4, "123.0");
    row("124.5", 124.5, "125.0");
    row("999.4", 999.4, "999.0");
    row("999.5", 999.5, "1E3");
    row("1234.5", 1234.5, "1.23E3");
    row("6553.5", 6553.5, "6.55E3");

    // The half at the one decimal place, and just below it.
    row("0.05", 0.05, "0.1");
    row("0.04", 0.04, "0.0");
    row("0.96", 0.96, "1.0");
    row("99.95", 99.95, "100.0");
    // Halves are judged on the 18-digit expansion of the binary value, not on the text the
    // reading was typed as: 9.95 is 9.9499999999999993, 2.45 is 2.4500000000000002, and
    // 1.45 is 1.44999999999999996, which only 17 digits would round up to the half.
    row("9.95", 9.95, "9.9");
    row("0.15", 0.15, "0.1");
    row("0.25", 0.25, "0.3");
    row("2.45", 2.45, "2.5");
    row("1.45", 1.45, "1.4");
    row("12.35", 12.35, "12.3");
    // From 1000 on, trailing zeros go and the exponent has neither sign nor leading zeros.
    row("1000.0", 1000.0, "1E3");
    row("1004.9", 1004.9, "1E3");
    row("1005.0", 1005.0, "1.01E3");
    row("1200.0", 1200.0, "1.2E3");
    row("6549.9", 6549.9, "6.55E3");
}

void TstReadoutFormat::reading()
{
    QFETCH(double, reading);
    QFETCH(QString, separator);
    QFETCH(QString, expected);

    QCOMPARE(formatReading(reading, separator), expected);
}

void TstReadoutFormat::bound_data()
{
    QTest::addColumn<double>("bound");
    QTest::addColumn<QString>("expected");

    QTest::newRow("20") << 20.0 << QStringLiteral("20");
    QTest::newRow("-5") << -5.0 << QStringLiteral("-5");
    QTest::newRow("0") << 0.0 << QStringLiteral("0");
    QTest::newRow("2147483647") << 2147483647.0 << QStringLiteral("2147483647");
    QTest::newRow("-2147483648") << -2147483648.0 << QStringLiteral("-2147483648");
}

void TstReadoutFormat::bound()
{
    QFETCH(double, bound);
    QFETCH(QString, expected);

    // A comma locale changes nothing: the labels are plain integers without grouping.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const QString text = formatBound(bound);
    QLocale::setDefault(QLocale::c());
    QCOMPARE(text, expected);
}

QTEST_MAIN(TstReadoutFormat)
#include "tst_readoutformat.moc"
