#include <QtTest>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include "E2eProgram.h"
#include "SimProcess.h"
#include "config/ConfigImage.h"
#include "editors/EditorPage.h"
#include "link/Cp1251.h"
#include "link/StatusModel.h"
#include "shell/MainWindow.h"

// The settings pages against zorgel-sim: read the unit, edit a field of every kind through the
// widgets, write, and compare the unit's memory file byte by byte.
class TestE2eEditors : public QObject {
    Q_OBJECT

    static constexpr int kTimeoutMs = 90000;   // generous: a busy machine slows the programs, not the checks

    using Program = E2e::Program;

    // Selects everything in the box and types text key by key.
    static void retype(EditorPage *page, const QString &key, const QString &text)
    {
        QLineEdit *box = page->box(key);
        QVERIFY2(box && box->isEnabled(), qPrintable(key));
        box->setFocus();
        box->selectAll();
        QTest::keyClicks(box, text);
        QCOMPARE(box->text(), text);
    }

    // Bytes at memory offset position - 1.
    static void expect(QByteArray &memory, int position, const QByteArray &bytes)
    {
        memory.replace(position - 1, bytes.size(), bytes);
    }

private slots:
    void editEveryKindAndWrite()
    {
        QTemporaryDir folder;
        E2e::writeSettings(folder.path(), {{QStringLiteral("4")}});
        SimProcess sim;
        QVERIFY2(sim.start(folder.path(), {QStringLiteral("--port"), QStringLiteral("4")}), qPrintable(sim.errorText()));
        const QString memoryFile = folder.path() + QStringLiteral("/Service/zorgel-config.bin");
        QByteArray expected = E2e::fileBytes(memoryFile);
        QCOMPARE(expected.size(), ConfigImage::kImageSize);

        Program program(folder.path());
        TarviksApp &app = program.app;
        QTRY_COMPARE_WITH_TIMEOUT(app.status().operation(), QStringLiteral("Прочитано успешно!"), kTimeoutMs);

        app.window().showPage(QStringLiteral("m07"));
        auto *basic = qobject_cast<EditorPage *>(app.page(QStringLiteral("RPF_07")));
        QVERIFY(basic && basic->isVisible());
        QCOMPARE(basic->box(QStringLiteral("Z1TEXT"))->text(), Cp1251::decode(expected.mid(256, 60).split('\0').first()));
        retype(basic, QStringLiteral("Z1TEXT"), QStringLiteral("ALARM"));
        expect(expected, 257, QByteArray("ALARM\0", 6));
        retype(basic, QStringLiteral("T1H"), QStringLiteral("25"));
        expect(expected, 1576, QByteArray::fromHex("2E00"));
        retype(basic, QStringLiteral("R1D"), QStringLiteral("-5"));
        expect(expected, 1544, QByteArray::fromHex("FFF6"));
        retype(basic, QStringLiteral("T2L"), QStringLiteral("100"));   // refused, cells unchanged
        QVERIFY(EditorPage::hasErrorColour(basic->box(QStringLiteral("T2L"))));

        app.window().showPage(QStringLiteral("m08"));
        auto *sim08 = qobject_cast<EditorPage *>(app.page(QStringLiteral("RPF_08")));
        QVERIFY(sim08 && sim08->isVisible());
        retype(sim08, QStringLiteral("00 SMS"), QStringLiteral("+79990001122"));
        expect(expected, 1025, QByteArray("+79990001122\0", 13));
        retype(sim08, QStringLiteral("Zaderjka"), QStringLiteral("45"));
        expect(expected, 1681, QByteArray("45\0", 3));
        retype(sim08, QStringLiteral("Parol"), QStringLiteral("12a"));   // refused
        QCheckBox *siren = sim08->checkBox(QStringLiteral("Syrena"));
        QVERIFY(siren->isEnabled());
        const bool wasOn = siren->isChecked();
        QTest::mouseClick(siren, Qt::LeftButton, {}, QPoint(8, siren->height() / 2));
        QCOMPARE(siren->isChecked(), !wasOn);
        expect(expected, 1761, wasOn ? QByteArray("0\0", 2) : QByteArray("1\0", 2));

        app.window().showPage(QStringLiteral("m11"));
        auto *inputs = qobject_cast<EditorPage *>(app.page(QStringLiteral("RPF_11")));
        QVERIFY(inputs && inputs->isVisible());
        retype(inputs, QStringLiteral("ZL1"), QStringLiteral("30"));
        expect(expected, 1393, QByteArray::fromHex("1E"));
        retype(inputs, QStringLiteral("ZH2"), QStringLiteral("101"));   // refused

        QVERIFY(app.image().isChanged());
        app.window().showPage(QStringLiteral("m17"));
        auto *write = app.page(QStringLiteral("RPF_17"))->findChild<QPushButton *>(QStringLiteral("Command2"));
        QVERIFY(write && write->isEnabled());
        // The three refused boxes are named before the rest is written.
        program.messages.answers = {true};
        write->click();
        QCOMPARE(program.messages.questions.size(), 1);
        for (const QString &box : {QStringLiteral("Базовые настройки (из памяти контроллера): T2 Нижняя (L)"),
                                   QStringLiteral("Базовые настройки (с SIM-карты): Parol"),
                                   QStringLiteral("Входы: Вход 2 Верхний (H)")})
            QVERIFY2(program.messages.questions.first().contains(box), qPrintable(box));
        QTRY_COMPARE_WITH_TIMEOUT(app.status().operation(), QStringLiteral("Записано успешно!"), kTimeoutMs);
        QVERIFY(!app.image().isChanged());

        QTRY_COMPARE_WITH_TIMEOUT(E2e::fileBytes(memoryFile), expected, kTimeoutMs);
        QCOMPARE(program.messages.texts.size(), 1);
        QVERIFY(program.messages.texts.first().startsWith(QStringLiteral("Записано успешно!\nПамять устройства прочитана")));
    }
};

QTEST_MAIN(TestE2eEditors)
#include "tst_e2e_editors.moc"
