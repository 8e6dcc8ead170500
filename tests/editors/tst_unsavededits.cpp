#include <QtTest>
#include <QPushButton>
#include "../config/ConfigTestRig.h"
#include "config/CloseGuard.h"
#include "config/ConfigPage.h"
#include "link/OperationTags.h"
#include "link/StatusSupervisor.h"

// Edits not yet written to the unit are not lost silently: the mark on the image, who clears it,
// and the two reads that would replace the image.
class TestUnsavedEdits : public QObject {
    Q_OBJECT

    // Polls until the exchange holding the link ends, bounded.
    static void finish(ConfigTestRig &rig)
    {
        for (int i = 0; i < 500 && !rig.queue.LinkFree(); ++i)
            rig.poll();
    }

private slots:
    void exchangeEnd_data()
    {
        QTest::addColumn<QString>("exchange");
        QTest::addColumn<int>("replyBytes");
        QTest::addColumn<QString>("tag");
        QTest::addColumn<bool>("changedAfter");
        QTest::newRow("complete read") << "read" << 2370 << Tag::ReadOk << false;
        QTest::newRow("short read") << "read" << 1000 << Tag::ReadError << true;
        QTest::newRow("write acknowledged") << "write" << 37 << Tag::Written << false;
        QTest::newRow("write not acknowledged") << "write" << 3 << Tag::WriteError << true;
        QTest::newRow("short read, nothing edited") << "read unedited" << 1000 << Tag::ReadError << false;
        QTest::newRow("complete read, nothing edited") << "read unedited" << 2370 << Tag::ReadOk << false;
    }
    void exchangeEnd()
    {
        QFETCH(QString, exchange);
        QFETCH(int, replyBytes);
        QFETCH(QString, tag);
        QFETCH(bool, changedAfter);
        ConfigTestRig rig;
        fillImage(rig.image, unitConfiguration());
        rig.image.setChanged(!exchange.endsWith(QLatin1String("unedited")));
        if (exchange.startsWith(QLatin1String("read"))) {
            rig.exchange.ConfiguraciaReadProcess();
            rig.deliver(unitConfiguration().left(replyBytes), 512);
        } else {
            const int acks = replyBytes;
            rig.port.onWrite = [&rig, acks](const QByteArray &) {
                if (rig.port.writes.size() <= acks + 1)
                    rig.port.feed("OK");
            };
            rig.exchange.ConfiguraciaWriteProcess();
        }
        finish(rig);
        QCOMPARE(rig.tag(), tag);
        QCOMPARE(rig.image.isChanged(), changedAfter);
    }

    // A read that did not complete leaves an image that is no one unit's: "Записать" refuses it
    // until a complete read or a whole file fills the image again. A read never sets the mark.
    void partialRead_data()
    {
        QTest::addColumn<QList<int>>("reads");   // bytes the unit answers each read with
        QTest::addColumn<bool>("openFile");
        QTest::addColumn<bool>("refused");
        QTest::newRow("complete read") << QList<int>{2370} << false << false;
        QTest::newRow("read cut at 1238") << QList<int>{1238} << false << true;
        QTest::newRow("no answer at all") << QList<int>{0} << false << true;
        QTest::newRow("one byte too many") << QList<int>{2371} << false << true;
        QTest::newRow("cut, then complete") << QList<int>{1238, 2370} << false << false;
        QTest::newRow("complete, then cut") << QList<int>{2370, 1238} << false << true;
        QTest::newRow("cut, then a file opened") << QList<int>{1238} << true << false;
    }
    void partialRead()
    {
        QFETCH(QList<int>, reads);
        QFETCH(bool, openFile);
        QFETCH(bool, refused);
        ConfigTestRig rig;
        fillImage(rig.image, unitConfiguration());
        const QString file = rig.path(QStringLiteral("unit.cf"));
        rig.dialogs.answers = {file};
        rig.files.Save();
        QVERIFY(QFile::exists(file));
        for (const int bytes : reads) {
            rig.exchange.ConfiguraciaReadProcess();
            rig.deliver(unitConfiguration().left(qMin(bytes, 2370)) + QByteArray(qMax(0, bytes - 2370), 'x'), 512);
            finish(rig);
        }
        QVERIFY(!rig.image.isChanged());
        if (openFile) {
            rig.dialogs.answers = {file};
            rig.files.Open();
        }
        rig.messages.texts.clear();
        rig.port.takeWritten();

        // The button refuses at once; the write refuses again when it starts.
        ConfigPage page(rig.exchange, rig.files, rig.transfer, rig.operations, rig.status, rig.messages);
        page.Command2_Click();
        rig.exchange.ConfiguraciaWriteProcess();
        const QString message = QStringLiteral(
            "Запись невозможна! Чтение конфигурации из устройства не было завершено: в памяти программы часть "
            "конфигурации одного устройства и часть прежней. Прочитайте конфигурацию из устройства ещё раз "
            "кнопкой \"Прочитать\".");
        const QStringList messages = refused ? QStringList{message, message} : QStringList();
        QCOMPARE(rig.messages.texts, messages);
        QCOMPARE(rig.operations.started, refused ? QStringList() : QStringList{QStringLiteral("write 0")});
        QCOMPARE(rig.tag(), refused ? Tag::WriteError : Tag::ConfigWrite);
        QCOMPARE(rig.port.written(), refused ? QByteArray() : QByteArray("#6001"));
    }

    // Closing the window: questions that default to staying, and a transfer stopped on request
    // reported as stopped; the closing port is not taken for a lost link.
    void closing_data()
    {
        QTest::addColumn<QString>("tag");
        QTest::addColumn<bool>("changed");
        QTest::addColumn<QList<bool>>("answers");
        QTest::addColumn<bool>("closes");
        QTest::addColumn<QStringList>("questions");
        QTest::addColumn<QString>("message");   // after a stop; empty: no stop
        const QString edits = QStringLiteral(
            "В памяти программы есть изменения, не записанные в устройство. Выйти из программы без записи?");
        const QString flash = QStringLiteral(
            "Идёт запись прошивки в устройство. Если её остановить, устройство может остаться без работающей "
            "прошивки! Остановить и выйти из программы?");
        const QString read = QStringLiteral("Идёт чтение конфигурации из устройства. Остановить и выйти из программы?");
        QTest::newRow("nothing to lose") << Tag::NameRead << false << QList<bool>{} << true << QStringList{} << "";
        QTest::newRow("monitoring is no transfer")
            << Tag::Monitoring << false << QList<bool>{} << true << QStringList{} << "";
        QTest::newRow("edits, stay") << Tag::NameRead << true << QList<bool>{} << false << QStringList{edits} << "";
        QTest::newRow("edits, leave") << Tag::NameRead << true << QList<bool>{true} << true << QStringList{edits}
                                      << "";
        QTest::newRow("firmware write, go on") << Tag::FirmwareWrite << false << QList<bool>{false} << false
                                               << QStringList{flash} << "";
        QTest::newRow("firmware write, stop")
            << Tag::FirmwareWrite << false << QList<bool>{true} << true << QStringList{flash}
            << "Запись прошивки остановлена (640 / 2370 байт). Устройство может остаться без работающей прошивки! "
               "Повторите загрузку прошивки из файла.";
        QTest::newRow("firmware read, stop")
            << Tag::FirmwareRead << false << QList<bool>{true} << true
            << QStringList{"Идёт чтение прошивки из устройства в файл. Если его остановить, файл прошивки не будет "
                           "сохранён. Остановить и выйти из программы?"}
            << "Чтение прошивки остановлено (640 / 2370 байт). Файл прошивки не сохранён.";
        QTest::newRow("configuration write with edits: one question")
            << Tag::ConfigWrite << true << QList<bool>{true} << true
            << QStringList{"Идёт запись конфигурации в устройство. Если её остановить, в устройстве останется часть "
                           "новой конфигурации и часть прежней. Остановить и выйти из программы?"}
            << "Запись конфигурации остановлена (640 / 2370 байт). Конфигурация устройства записана не полностью.";
        QTest::newRow("configuration read: stop, but keep the edits")
            << Tag::ConfigRead << true << QList<bool>{true, false} << false << QStringList{read, edits} << "";
        QTest::newRow("configuration read: stop and leave the edits")
            << Tag::ConfigRead << true << QList<bool>{true, true} << true << QStringList{read, edits}
            << "Чтение конфигурации остановлено (640 / 2370 байт).";
        QTest::newRow("copy to file, stop")
            << Tag::ConfigFileCopy << false << QList<bool>{true} << true
            << QStringList{"Идёт копирование конфигурации из устройства в файл. Если его остановить, файл не будет "
                           "сохранён. Остановить и выйти из программы?"}
            << "Копирование конфигурации в файл остановлено (640 / 2370 байт). Файл не сохранён.";
    }
    void closing()
    {
        QFETCH(QString, tag);
        QFETCH(bool, changed);
        QFETCH(QList<bool>, answers);
        QFETCH(bool, closes);
        QFETCH(QStringList, questions);
        QFETCH(QString, message);
        ConfigTestRig rig;
        rig.link.RPF_02VektorPriemaIsPorta = tag;
        rig.image.setChanged(changed);
        rig.status.showProgress(640, 2370);
        rig.messages.answers = answers;
        int shutDowns = 0;
        CloseGuard guard(rig.link, rig.image, rig.status, rig.messages, [&] {
            ++shutDowns;
            rig.link.CloseUsbComPort();
        });
        QSignalSpy dropped(&rig.link, &SerialLink::exchangeDropped);
        QCOMPARE(guard.mayClose(), closes);
        QCOMPARE(rig.messages.questions, questions);
        const bool stop = !message.isEmpty();
        QCOMPARE(rig.messages.texts, stop ? QStringList{message} : QStringList());
        QCOMPARE(shutDowns, stop ? 1 : 0);
        QCOMPARE(rig.port.isOpen(), !stop);
        QCOMPARE(dropped.count(), 0);
        if (!stop)
            QCOMPARE(rig.tag(), tag);
    }

    // "Прочитать" asks before replacing edits that were not written.
    void readButtonAsks_data()
    {
        QTest::addColumn<bool>("changed");
        QTest::addColumn<QList<bool>>("answers");
        QTest::addColumn<int>("questions");
        QTest::addColumn<QString>("queued");
        QTest::newRow("nothing edited") << false << QList<bool>{} << 0 << "read 0";
        QTest::newRow("edited, replace") << true << QList<bool>{true} << 1 << "read 0";
        QTest::newRow("edited, keep") << true << QList<bool>{false} << 1 << "";
    }
    void readButtonAsks()
    {
        QFETCH(bool, changed);
        QFETCH(QList<bool>, answers);
        QFETCH(int, questions);
        QFETCH(QString, queued);
        ConfigTestRig rig;
        rig.image.setChanged(changed);
        rig.messages.answers = answers;
        ConfigPage page(rig.exchange, rig.files, rig.transfer, rig.operations, rig.status, rig.messages);
        page.show();
        page.setOnlineControlsEnabled(true);
        QTest::mouseClick(page.button(QStringLiteral("Command1")), Qt::LeftButton);
        QCOMPARE(rig.messages.questions.size(), questions);
        if (questions)
            QCOMPARE(rig.messages.questions.first(), ConfigPage::kReplaceEdits);
        QCOMPARE(rig.operations.started.join(QLatin1Char('|')), queued);
        QVERIFY(rig.messages.texts.isEmpty());
    }

    // The read on detection leaves edited data alone and the status line says why.
    void readOnDetection_data()
    {
        QTest::addColumn<bool>("changed");
        QTest::addColumn<bool>("reads");
        QTest::addColumn<QString>("operation");
        QTest::newRow("nothing edited") << false << true << "Устройство обнаружено!";
        QTest::newRow("edits kept") << true << false << StatusSupervisor::kEditsKept;
    }
    void readOnDetection()
    {
        QFETCH(bool, changed);
        QFETCH(bool, reads);
        QFETCH(QString, operation);
        ConfigTestRig rig;
        StatusSupervisor supervisor{rig.link, rig.queue, rig.status};
        bool configurationRead = false;
        StatusSupervisor::Hooks hooks;
        hooks.configurationRead = [&] { return configurationRead; };
        hooks.setConfigurationRead = [&](bool read) { configurationRead = read; };
        hooks.unsavedEdits = [&] { return rig.image.isChanged(); };
        supervisor.setHooks(hooks);
        QStringList started;
        for (const QString &name : {Cmd::ConfiguraciaReadProcess, Cmd::TXconfigSaveParam})
            rig.queue.setStarter(name, [&started, name](QString &) { started << name; });
        supervisor.readOnDetection = true;
        rig.image.setChanged(changed);
        rig.link.UstroistvoNameClear = "ZORGEL-GSM8     ";
        rig.link.RPF_02VektorPriemaIsPorta = Tag::NameRead;
        for (int i = 0; i < 3; ++i)
            supervisor.tick();
        QCOMPARE(started.contains(Cmd::ConfiguraciaReadProcess), reads);
        QCOMPARE(configurationRead, reads);
        QCOMPARE(rig.status.operation(), operation);
    }

    // A read that stops early leaves the image partly new: the settings pages are refilled once
    // (the others would empty the byte counter that tells what came).
    void pagesRefilledAfterFailedRead()
    {
        ConfigTestRig rig;
        StatusSupervisor supervisor{rig.link, rig.queue, rig.status};
        int refreshes = 0;
        int allPages = 0;
        StatusSupervisor::Hooks hooks;
        hooks.refreshSettingsPages = [&] { ++refreshes; };
        hooks.refreshPages = [&] { ++allPages; };
        supervisor.setHooks(hooks);
        rig.link.UstroistvoNameClear = "ZORGEL-GSM8     ";
        for (const QString &tag : {Tag::ConfigRead, Tag::ReadError, Tag::ReadError, Tag::ConfigRead, Tag::ReadError}) {
            rig.link.RPF_02VektorPriemaIsPorta = tag;
            supervisor.tick();
        }
        QCOMPARE(refreshes, 2);
        QCOMPARE(allPages, 0);
    }
};

QTEST_MAIN(TestUnsavedEdits)
#include "tst_unsavededits.moc"
