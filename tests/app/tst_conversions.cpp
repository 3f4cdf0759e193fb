// Conversions of control texts and the run-time error texts.
#include "common/conversions.h"
#include "common/errors.h"
#include "support/testprogram.h"

#include <QTest>

class TestConversions : public QObject
{
    Q_OBJECT


private slots:
    void cint_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::newRow("plain") << "59" << 59;
        QTest::newRow("leading zero") << "05" << 5;
        QTest::newRow("half down to even") << "2.5" << 2;
        QTest::newRow("half up to even") << "3.5" << 4;
        QTest::newRow("negative half") << "-0.5" << 0;
        QTest::newRow("minus one and a half") << "-1.5" << -2;
        QTest::newRow("just above half") << "2.51" << 3;
        QTest::newRow("blanks around") << "  42 " << 42;
        QTest::newRow("tab") << "\t7" << 7;
        QTest::newRow("top of range") << "32767" << 32767;
        QTest::newRow("bottom of range") << "-32768" << -32768;
        QTest::newRow("rounds into range") << "32767.4" << 32767;
    }
    void cint()
    {
        QFETCH(QString, text);
        QFETCH(int, value);
        QCOMPARE(int(conv::CInt(text)), value);
    }

    void failures()
    {
        QCOMPARE(runtimeErrorOf([] { conv::CInt(QString()); }), rt::TypeMismatch);
        QCOMPARE(runtimeErrorOf([] { conv::CInt(QStringLiteral("   ")); }), rt::TypeMismatch);
        QCOMPARE(runtimeErrorOf([] { conv::CInt(QStringLiteral("1a")); }), rt::TypeMismatch);
        QCOMPARE(runtimeErrorOf([] { conv::CInt(QStringLiteral("0x10")); }), rt::TypeMismatch);
        QCOMPARE(runtimeErrorOf([] { conv::CInt(QStringLiteral("nan")); }), rt::TypeMismatch);
        QCOMPARE(runtimeErrorOf([] { conv::CInt(QStringLiteral("32768")); }), rt::Overflow);
        QCOMPARE(runtimeErrorOf([] { conv::CInt(QStringLiteral("32767.5")); }), rt::Overflow);
        QCOMPARE(runtimeErrorOf([] { conv::CInt(QStringLiteral("-32769")); }), rt::Overflow);
        QCOMPARE(runtimeErrorOf([] { conv::CLng(QStringLiteral("2147483648")); }), rt::Overflow);
        QCOMPARE(runtimeErrorOf([] { conv::CBool(QStringLiteral("yes")); }), rt::TypeMismatch);
        QCOMPARE(runtimeErrorOf([] { conv::CDbl(QStringLiteral("1e999")); }), rt::Overflow);
    }

    void longsDoublesAndTruth()
    {
        QCOMPARE(conv::CLng(QStringLiteral("32768")), 32768);
        QCOMPARE(conv::CLng(QStringLiteral("-2147483648")), -2147483647 - 1);
        QCOMPARE(conv::CLng(QStringLiteral("16777215")), 16777215);
        QCOMPARE(conv::Int(conv::CDbl(QStringLiteral("59.9"))), 59.0);
        QCOMPARE(conv::Int(conv::CDbl(QStringLiteral("-0.5"))), -1.0);
        QCOMPARE(conv::CBool(QStringLiteral("True")), true);
        QCOMPARE(conv::CBool(QStringLiteral("false")), false);
        QCOMPARE(conv::CBool(QStringLiteral(" 0 ")), false);
        QCOMPARE(conv::CBool(QStringLiteral("-1")), true);
        QCOMPARE(conv::CBool(QStringLiteral("2")), true);
        QCOMPARE(conv::boolText(true), QStringLiteral("True"));
    }

    void generalErrorReport()
    {
        QCOMPARE(generalErrorText(RuntimeError(rt::TypeMismatch)),
                 QStringLiteral("ERROR# 13 TYPE MISMATCH. PLEASE CONTACT SUPPORT."));
        QCOMPARE(generalErrorText(RuntimeError(rt::PathFileAccessError)),
                 QStringLiteral("ERROR# 75 PATH/FILE ACCESS ERROR. PLEASE CONTACT SUPPORT."));
        const int numbers[] = {5, 6, 9, 13, 52, 53, 58, 70, 75, 76, 380};
        for (int n : numbers)
            QVERIFY2(!runtimeErrorDescription(n).startsWith(QLatin1String("Application")), qPrintable(QString::number(n)));
    }
};

QTEST_GUILESS_MAIN(TestConversions)
#include "tst_conversions.moc"
#include "support/testprogram.h"
