// The log's code page tables against the system's Windows-1251 converter (ICU), which Linux has
// and a Windows Qt without ICU does not: every byte, and every character that has a byte.
#include "ui/codepage.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <QTest>

class TestCodePageIcu : public QObject {
    Q_OBJECT
private slots:
    void everyByteAsTheConverterReadsIt()
    {
        QStringDecoder d("windows-1251");
        QVERIFY(d.isValid());
        for (int b = 0; b < 256; ++b) {
            const char c = char(b);
            const QString u = d.decode(QByteArrayView(&c, 1));
            d.resetState();
            QCOMPARE(u.size(), 1);
            QCOMPARE(uint(codepage::tochar(uchar(b))), uint(u.at(0).unicode()));
        }
    }

    void everyCharacterAsTheConverterWritesIt()
    {
        QStringEncoder e("windows-1251");
        QVERIFY(e.isValid());
        for (uint c = 1; c < 0x10000; ++c) {
            if (QChar::isSurrogate(c))
                continue;
            const QChar ch{char16_t(c)};
            const QByteArray want = e.encode(QStringView(&ch, 1));
            e.resetState();
            unsigned char b;
            const bool has = codepage::tobyte(char16_t(c), &b);
            // Where the converter only finds a look-alike (U+0080 as 0x88, say), the log
            // writes "?" as before: no letter is turned into another.
            if (has)
                QCOMPARE(QByteArray(1, char(b)), want);
            else
                QCOMPARE(b, uchar('?'));
        }
    }
};

QTEST_GUILESS_MAIN(TestCodePageIcu)
#include "test_codepage_icu.moc"
