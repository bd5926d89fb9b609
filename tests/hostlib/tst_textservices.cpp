#include "services/EditMask.h"
#include "services/Messages.h"
#include "services/TextUtils.h"

#include <QTemporaryFile>
#include <QTest>

using namespace prx;

class TextServicesTest : public QObject
{
    Q_OBJECT

private slots:
    // Codes typed short must reach the lookups at full width; anything that is
    // not all digits (the "all" code, letters) must be left as typed.
    void ajusta_data();
    void ajusta();
    // Binary doubles sit just below many two-decimal values; a naive
    // floor(v*100) turns 0.29 into 0.28.
    void trunc2_data();
    void trunc2();
    void roundDec_data();
    void roundDec();
    // Masks decide what is stored: hours without the colon, dates with the
    // slashes, branch codes in capitals.
    void editMask_data();
    void editMask();
    void editMaskQtTranslation();
    // Catalogue lines split at the first bar only, keep blanks, and keys
    // match in any case.
    void catalogue();
};

void TextServicesTest::ajusta_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("expected");
    QTest::newRow("digits padded") << "1" << 4 << "0001";
    QTest::newRow("blanks trimmed then padded") << " 12 " << 4 << "0012";
    QTest::newRow("already full") << "1234" << 4 << "1234";
    QTest::newRow("empty stays empty") << "" << 4 << "";
    QTest::newRow("blank becomes empty") << "   " << 3 << "";
    QTest::newRow("all code untouched") << "T" << 4 << "T";
    QTest::newRow("letters untouched") << "ab1" << 4 << "ab1";
    QTest::newRow("table code") << "5" << 3 << "005";
}

void TextServicesTest::ajusta()
{
    QFETCH(QString, text);
    QFETCH(int, width);
    QFETCH(QString, expected);
    QCOMPARE(Ajusta(text, width), expected);
}

void TextServicesTest::trunc2_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<double>("expected");
    QTest::newRow("cut not round") << 12.349 << 12.34;
    QTest::newRow("inexact 0.29") << 0.29 << 0.29;
    QTest::newRow("inexact 1.15") << 1.15 << 1.15;
    QTest::newRow("inexact 4.35") << 4.35 << 4.35;
    QTest::newRow("negative toward zero") << -12.349 << -12.34;
    QTest::newRow("whole") << 7.0 << 7.0;
    QTest::newRow("large") << 999999999999998.0 << 999999999999998.0;
    QTest::newRow("tiny") << 0.009 << 0.0;
}

void TextServicesTest::trunc2()
{
    QFETCH(double, value);
    QFETCH(double, expected);
    QCOMPARE(Trunc2(value), expected);
}

void TextServicesTest::roundDec_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<double>("expected");
    QTest::newRow("half up") << 2.675 << 2.68;
    QTest::newRow("below half") << 2.674 << 2.67;
    QTest::newRow("carry") << 9.995 << 10.0;
    QTest::newRow("negative") << -1.005 << -1.01;
}

void TextServicesTest::roundDec()
{
    QFETCH(double, value);
    QFETCH(double, expected);
    QCOMPARE(RoundDec(value, 2), expected);
}

void TextServicesTest::editMask_data()
{
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("shown");
    QTest::newRow("hour") << "99:99;0; " << "23:59" << "2359" << "23:59";
    QTest::newRow("hour partly typed") << "99:99;0; " << "2 :  " << "2" << "2";
    QTest::newRow("branch upper") << ">aaaa;0; " << "ab1 " << "AB1" << "AB1";
    QTest::newRow("date keeps slashes") << "!99/99/9999;1;_" << "01/02/2026" << "01/02/2026"
                                        << "01/02/2026";
    QTest::newRow("tree code") << "99.99.9999;0;_" << "01.02.0003" << "01020003"
                               << "01.02.0003";
    QTest::newRow("tree code of a group") << "99.99.9999;0;_" << "01.02.____" << "0102"
                                          << "01.02";
}

void TextServicesTest::editMask()
{
    QFETCH(QString, mask);
    QFETCH(QString, edit);
    QFETCH(QString, stored);
    QFETCH(QString, shown);
    const EditMask m(mask);
    QCOMPARE(m.storedFromEdit(edit), stored);
    QCOMPARE(m.format(stored), shown);
}

void TextServicesTest::editMaskQtTranslation()
{
    QCOMPARE(EditMask(">aaaa;0; ").qtInputMask(), QStringLiteral(">nnnn; "));
    QCOMPARE(EditMask("99:99;0; ").qtInputMask(), QStringLiteral("00:00; "));
    QCOMPARE(EditMask("999;0; ").inputLength(), 3);
    QCOMPARE(EditMask("99:99;0; ").editFromStored("0730"), QStringLiteral("07:30"));
    QVERIFY(EditMask().isEmpty());
}

void TextServicesTest::catalogue()
{
    QTemporaryFile file;
    QVERIFY(file.open());
    file.write("DTINI_inf|Data inicial de vigência deve ser informada.\r\n"
               "HoraInv|  Não é hora válida.\n"
               "PRECNCAD|Preço do produto não está cadastrado. \n"
               "Pipe|a|b\n");
    file.close();
    const TMessages msgs = TMessages::fromFile(file.fileName());
    QCOMPARE(msgs.count(), 4);
    QCOMPARE(msgs.Msg("DTINI_Inf"), QStringLiteral("Data inicial de vigência deve ser informada."));
    QCOMPARE(msgs.Msg("HORAINV"), QStringLiteral("  Não é hora válida."));
    QCOMPARE(msgs.Msg("precncad"), QStringLiteral("Preço do produto não está cadastrado. "));
    QCOMPARE(msgs.Msg("pipe"), QStringLiteral("a|b"));
    QVERIFY(msgs.Msg("nada").isEmpty());
}

QTEST_APPLESS_MAIN(TextServicesTest)
#include "tst_textservices.moc"
