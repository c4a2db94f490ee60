#include "TestTextAndNumbers.h"

#include "core/settings/NumericText.h"
#include "core/settings/TextFile.h"

#include <QTest>

static QStringList readAll(const QString &text)
{
    TextReader r(text);
    QStringList out;
    QString v;
    while (r.readValue(v))
        out << v;
    return out;
}

void TestTextAndNumbers::readingRule()
{
    // comma ends a value, leading spaces are skipped, quotes run to the next quote
    QCOMPARE(readAll(QStringLiteral("abc,  def\r\n  ghi  \r\n\"a,b\" tail,x\r\n")),
             QStringList({"abc", "def", "ghi  ", "a,b", "x"}));
    // a blank line is a value of its own (the parser refuses it later)
    QCOMPARE(readAll(QStringLiteral("1\r\n\r\n2\r\n")), QStringList({"1", "", "2"}));
    // lone LF line ends and a last line without a line end
    QCOMPARE(readAll(QStringLiteral("a\nb")), QStringList({"a", "b"}));
    // an unterminated quote runs to the end
    QCOMPARE(readAll(QStringLiteral("\"abc")), QStringList({"abc"}));
    QVERIFY(readAll(QString()).isEmpty());
}

void TestTextAndNumbers::codePage1251()
{
    const QString text = QStringLiteral("Журнал ДА");
    const QByteArray bytes = TextFile::encode1251(text);
    QCOMPARE(bytes, QByteArray("\xC6\xF3\xF0\xED\xE0\xEB \xC4\xC0"));
    QCOMPARE(TextFile::decode1251(bytes), text);
}

void TestTextAndNumbers::numberFormat()
{
    QCOMPARE(TextFile::formatNumber(9600), QStringLiteral(" 9600 "));
    QCOMPARE(TextFile::formatNumber(0), QStringLiteral(" 0 "));
    QCOMPARE(TextFile::formatNumber(-5), QStringLiteral("-5 "));
    QCOMPARE(TextFile::formatText(QStringLiteral("C:\\a,b.bin")), QStringLiteral("\"C:\\a,b.bin\""));
    QCOMPARE(TextFile::formatText(QStringLiteral("plain")), QStringLiteral("plain"));
}

void TestTextAndNumbers::numericTest_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("numeric");
    QTest::addColumn<double>("value");
    QTest::newRow("int") << "42" << true << 42.0;
    QTest::newRow("spaces") << "  -7  " << true << -7.0;
    QTest::newRow("plus") << "+3" << true << 3.0;
    QTest::newRow("fraction") << "12.5" << true << 12.5;
    QTest::newRow("exponent") << "1e3" << true << 1000.0;
    QTest::newRow("letters") << "abc" << false << 0.0;
    QTest::newRow("trailing letters") << "12a" << false << 0.0;
    QTest::newRow("empty") << "" << false << 0.0;
    QTest::newRow("blank") << "   " << false << 0.0;
    QTest::newRow("inf") << "inf" << false << 0.0;
    QTest::newRow("nan") << "nan" << false << 0.0;
    QTest::newRow("sign only") << "-" << false << 0.0;
    QTest::newRow("hex") << "0x10" << false << 0.0;
}

void TestTextAndNumbers::numericTest()
{
    QFETCH(QString, text);
    QFETCH(bool, numeric);
    QFETCH(double, value);
    double v = 0;
    QCOMPARE(NumericText::isNumeric(text, &v), numeric);
    if (numeric)
        QCOMPARE(v, value);
}

void TestTextAndNumbers::rounding()
{
    QCOMPARE(NumericText::roundHalfEven(2.5), 2);
    QCOMPARE(NumericText::roundHalfEven(3.5), 4);
    QCOMPARE(NumericText::roundHalfEven(-2.5), -2);
    QCOMPARE(NumericText::roundHalfEven(-3.5), -4);
    QCOMPARE(NumericText::roundHalfEven(2.51), 3);
    qint64 v = 0;
    QVERIFY(NumericText::toInt(QStringLiteral("0.5"), 0, 10, v));
    QCOMPARE(v, 0);
    QVERIFY(NumericText::toInt(QStringLiteral("255.4"), 0, 255, v));
    QCOMPARE(v, 255);
    QVERIFY(!NumericText::toInt(QStringLiteral("255.6"), 0, 255, v));
    QVERIFY(!NumericText::toInt(QStringLiteral("3000000000"), -2147483648LL, 2147483647LL, v));
}

void TestTextAndNumbers::localeDecimalSeparator()
{
    const QLocale russian(QLocale::Russian, QLocale::Russia);
    double v = 0;
    QVERIFY(NumericText::isNumericIn(QStringLiteral("1,5"), russian, &v));
    QCOMPARE(v, 1.5);
    QVERIFY(NumericText::isNumericIn(QStringLiteral("1.5"), russian, &v));
    QCOMPARE(v, 1.5);
    // Without a comma locale the comma form is no number.
    QVERIFY(!NumericText::isNumericIn(QStringLiteral("1,5"), QLocale::c(), &v));
}
