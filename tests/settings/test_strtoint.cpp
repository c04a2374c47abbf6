// The integer conversion behind every numeric settings field: which texts it takes and what
// it makes of them, and which it refuses.
#include "settings/strtoint.h"

#include <QtTest>

#include <climits>

using settings::strtoint;

class StrToIntTest : public QObject {
    Q_OBJECT
private slots:
    void conversion_data();
    void conversion();
    void refusalMessage();
};

void StrToIntTest::conversion_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("value");

    auto take = [](const char* name, const QString& text, int value) {
        QTest::newRow(name) << text << true << value;
    };
    auto refuse = [](const char* name, const QString& text) {
        QTest::newRow(name) << text << false << 0;
    };

    // decimal
    take("zero", "0", 0);
    take("plain", "31", 31);
    take("leading spaces", "   31", 31);
    take("plus", "+31", 31);
    take("minus", "-31", -31);
    take("spaces then sign", "  -31", -31);
    take("leading zeros", "0031", 31);
    take("many leading zeros", "000000000000002147483647", INT_MAX);
    take("largest", "2147483647", INT_MAX);
    take("largest with plus", "+2147483647", INT_MAX);
    take("smallest", "-2147483648", INT_MIN);
    take("minus zero", "-0", 0);

    // hexadecimal, all five prefixes, digits in either case
    take("dollar", "$1F", 31);
    take("dollar lower", "$1f", 31);
    take("x", "x1F", 31);
    take("X", "X1f", 31);
    take("0x", "0x1F", 31);
    take("0X", "0X1F", 31);
    take("hex two-byte max", "$FFFF", 0xFFFF);
    take("hex after spaces", "  $1F", 31);
    take("hex with plus", "+$1F", 31);
    take("hex negated", "-0x10", -16);
    take("hex x negated", "-x10", -16);
    take("eight F is -1", "$FFFFFFFF", -1);
    take("eight f is -1", "0xffffffff", -1);
    take("minus eight F is 1", "-$FFFFFFFF", 1);
    take("top bit pattern", "$80000000", INT_MIN);
    take("top bit negated wraps", "-$80000000", INT_MIN);
    take("largest positive pattern", "$7FFFFFFF", INT_MAX);
    take("hex leading zeros", "$0000000001F", 31);
    take("hex zero", "0x0", 0);

    // refused
    refuse("empty", "");
    refuse("spaces only", "   ");
    refuse("trailing space", "31 ");
    refuse("space inside", "3 1");
    refuse("tab before", "\t31");
    refuse("no-break space before", QString(QChar(0xA0)) + "31");
    refuse("line feed after", "31\n");
    refuse("sign only", "-");
    refuse("plus only", "+");
    refuse("two minus", "--5");
    refuse("plus minus", "+-5");
    refuse("minus plus", "-+5");
    refuse("space after sign", "- 5");
    refuse("dollar alone", "$");
    refuse("0x alone", "0x");
    refuse("x alone", "x");
    refuse("minus dollar alone", "-$");
    refuse("sign after prefix", "$-1");
    refuse("bad hex digit", "0x1G");
    refuse("zero before 0x", "00x1F");
    refuse("zero before dollar", "0$1F");
    refuse("above largest", "2147483648");
    refuse("below smallest", "-2147483649");
    refuse("far too long", "99999999999999999999");
    refuse("nine hex digits", "$100000000");
    refuse("letters after", "12a");
    refuse("decimal point", "1.5");
    refuse("exponent", "1e3");
    refuse("blank field", "-- --");
    refuse("undetermined", QStringLiteral("Не определенно"));
    refuse("letters", "abc");
    refuse("fullwidth digit", QString(QChar(0xFF13)));
    refuse("arabic-indic digit", QString(QChar(0x0663)));
}

void StrToIntTest::conversion()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(int, value);

    const auto got = strtoint(text);
    QCOMPARE(got.has_value(), ok);
    if (ok)
        QCOMPARE(int(*got), value);

    if (ok) {
        QCOMPARE(int(settings::strtointorthrow(text)), value);
    } else {
        try {
            settings::strtointorthrow(text);
            QFAIL("no error raised");
        } catch (const settings::ConvertError& e) {
            QCOMPARE(e.message(), QStringLiteral("'%1' is not a valid integer value.").arg(text));
        }
    }
}

void StrToIntTest::refusalMessage()
{
    // The error box shows what(): it must be the UTF-8 of the message, Cyrillic intact, and a
    // "%1" typed by the operator must come through as typed.
    try {
        settings::strtointorthrow(QStringLiteral("Ошибка %1"));
        QFAIL("no error raised");
    } catch (const std::runtime_error& e) {
        QCOMPARE(QString::fromUtf8(e.what()),
                 QStringLiteral("'Ошибка %1' is not a valid integer value."));
    }
}

QTEST_GUILESS_MAIN(StrToIntTest)
#include "test_strtoint.moc"
