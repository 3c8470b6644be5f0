#include "numeric/IntegerText.h"

#include <QLocale>
#include <QTest>

#include <cstdint>
#include <optional>

using numeric::integerFromText;

class TstIntegerText : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    void accepted_data();
    void accepted();
    void rejected_data();
    void rejected();
    void textToIntegerReturnsTheValue();
    void textToIntegerThrowsWithTheText_data();
    void textToIntegerThrowsWithTheText();
};

void TstIntegerText::accepted_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("expected");

    const auto row = [](const QString& text, int expected) {
        QTest::newRow(qPrintable(text)) << text << expected;
    };

    // Decimal, with its limits and leading zeros.
    row(QStringLiteral("0"), 0);
    row(QStringLiteral("-0"), 0);
    row(QStringLiteral("+0"), 0);
    row(QStringLiteral("38400"), 38400);
    row(QStringLiteral("+17"), 17);
    row(QStringLiteral("-17"), -17);
    row(QStringLiteral("007"), 7);
    row(QStringLiteral("-00000000000000000012"), -12);
    row(QStringLiteral("2147483647"), 2147483647);
    row(QStringLiteral("-2147483648"), -2147483647 - 1);
    row(QStringLiteral("-16777208"), -16777208);

    // Only the code 32 blank may lead.
    row(QStringLiteral(" 5"), 5);
    row(QStringLiteral("   -5"), -5);
    row(QStringLiteral("  $ff"), 255);

    // Every hexadecimal prefix, digits in either letter case.
    row(QStringLiteral("$FF"), 255);
    row(QStringLiteral("$ff"), 255);
    row(QStringLiteral("$aB"), 171);
    row(QStringLiteral("xFF"), 255);
    row(QStringLiteral("XFF"), 255);
    row(QStringLiteral("0xFF"), 255);
    row(QStringLiteral("0XfF"), 255);
    row(QStringLiteral("+$10"), 16);
    row(QStringLiteral("-0x10"), -16);
    row(QStringLiteral("$0"), 0);

    // Eight significant digits, read as two's complement; leading zeros do not count.
    row(QStringLiteral("$7FFFFFFF"), 2147483647);
    row(QStringLiteral("$FFFFFFFF"), -1);
    row(QStringLiteral("$80000000"), -2147483647 - 1);
    row(QStringLiteral("-$80000000"), -2147483647 - 1);
    row(QStringLiteral("-$FFFFFFFF"), 1);
    row(QStringLiteral("-$1"), -1);
    row(QStringLiteral("$FF000008"), -16777208);
    row(QStringLiteral("$00000000FF000008"), -16777208);
    row(QStringLiteral("0x0000000012345678"), 0x12345678);
}

void TstIntegerText::accepted()
{
    QFETCH(QString, text);
    QFETCH(int, expected);

    const std::optional<std::int32_t> value = integerFromText(text);
    QVERIFY(value.has_value());
    QCOMPARE(*value, expected);
}

void TstIntegerText::rejected_data()
{
    QTest::addColumn<QString>("text");

    const auto row = [](const char* name, const QString& text) { QTest::newRow(name) << text; };

    row("empty", QString());
    row("blanks only", QStringLiteral("   "));
    row("tab before digits", QStringLiteral("\t1"));
    row("no-break space before digits", QStringLiteral("\u00A01"));
    row("trailing blank", QStringLiteral("1 "));
    row("1 2", QStringLiteral("1 2"));
    row("blank after sign", QStringLiteral("- 1"));
    row("+", QStringLiteral("+"));
    row("-", QStringLiteral("-"));
    row("--1", QStringLiteral("--1"));
    row("+-1", QStringLiteral("+-1"));
    row("-+1", QStringLiteral("-+1"));
    row("1.5", QStringLiteral("1.5"));
    row("1,5", QStringLiteral("1,5"));
    row("12a", QStringLiteral("12a"));
    row("1e3", QStringLiteral("1e3"));
    row("true", QStringLiteral("true"));
    row("2147483648", QStringLiteral("2147483648"));
    row("-2147483649", QStringLiteral("-2147483649"));
    row("99999999999999999999", QStringLiteral("99999999999999999999"));
    row("Arabic-Indic digits", QStringLiteral("\u0661\u0662"));
    row("full-width digits", QStringLiteral("\uFF11\uFF12"));
    row("full-width hex digits", QStringLiteral("$\uFF26\uFF26"));
    row("$", QStringLiteral("$"));
    row("x", QStringLiteral("x"));
    row("X", QStringLiteral("X"));
    row("0x", QStringLiteral("0x"));
    row("-0X", QStringLiteral("-0X"));
    row("$-1", QStringLiteral("$-1"));
    row("$ 1", QStringLiteral("$ 1"));
    row("$$1", QStringLiteral("$$1"));
    row("0x0x1", QStringLiteral("0x0x1"));
    row("$FG", QStringLiteral("$FG"));
    row("$FF ", QStringLiteral("$FF "));
    row("00x1", QStringLiteral("00x1"));
    row("$100000000", QStringLiteral("$100000000"));
    row("-$100000000", QStringLiteral("-$100000000"));
    row("0xFFFFFFFFF", QStringLiteral("0xFFFFFFFFF"));
}

void TstIntegerText::rejected()
{
    QFETCH(QString, text);

    const std::optional<std::int32_t> value = integerFromText(text);
    QVERIFY2(!value.has_value(), qPrintable(QStringLiteral("read as %1").arg(value.value_or(0))));
}

void TstIntegerText::textToIntegerReturnsTheValue()
{
    QCOMPARE(numeric::textToInteger(u"  -$10"), -16);
    QCOMPARE(numeric::textToInteger(u"2147483647"), 2147483647);
}

void TstIntegerText::textToIntegerThrowsWithTheText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");

    QTest::newRow("12a") << QStringLiteral("12a")
                         << QStringLiteral("'12a' is not a valid integer value");
    QTest::newRow("empty") << QString() << QStringLiteral("'' is not a valid integer value");
    QTest::newRow(" 1.5 ") << QStringLiteral(" 1.5 ")
                           << QStringLiteral("' 1.5 ' is not a valid integer value");
    // The text goes into the message as it is, placeholders and non-ASCII characters included.
    QTest::newRow("%1") << QStringLiteral("%1")
                        << QStringLiteral("'%1' is not a valid integer value");
    QTest::newRow("Cyrillic") << QStringLiteral("пять")
                              << QStringLiteral("'пять' is not a valid integer value");
}

void TstIntegerText::textToIntegerThrowsWithTheText()
{
    QFETCH(QString, text);
    QFETCH(QString, message);

    try {
        numeric::textToInteger(text);
        QFAIL("no exception");
    } catch (const numeric::ConversionError& error) {
        QCOMPARE(QString::fromUtf8(error.what()), message);
    }
}

QTEST_GUILESS_MAIN(TstIntegerText)
#include "tst_integertext.moc"
