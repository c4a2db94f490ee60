#include "TestCodePage.h"

#include "core/common/CodePage.h"

#include <QTest>

using namespace CodePage;

void TestCodePage::ansiRoundTrip()
{
    for (int b = 0; b < 256; ++b) {
        const QChar c = ansiChar(quint8(b));
        QCOMPARE(int(ansiByte(c)), b);
    }
    QCOMPARE(ansiByte(QChar(0x4E00)), quint8('?'));
}

void TestCodePage::ansiCyrillic()
{
    QCOMPARE(toAnsi(QStringLiteral("Модем")), QByteArray("\xCC\xEE\xE4\xE5\xEC"));
    QCOMPARE(fromAnsi(QByteArray("\xA8\xB8\xB9")), QStringLiteral("Ёё№"));
}

