#include <QtTest>
#include "LinkRig.h"
#include "config/ConfigExchange.h"
#include "config/ConfigFileTransfer.h"
#include "config/ConfigFiles.h"
#include "config/ConfigImage.h"
#include "firmware/FirmwareExchange.h"
#include "firmware/FirmwareFile.h"
#include "link/CommandQueue.h"
#include "link/LockStepWrite.h"
#include "link/OperationTags.h"
#include "link/SerialLink.h"
#include "link/StatusModel.h"
#include "monitor/MonitorExchange.h"

// The protocol's fixed timings, sizes, requests, operation tags and messages, written out as the
// unit and the users know them, against the constants the exchanges use. A changed constant fails
// here by name rather than somewhere in a transfer.
class TestExchangeLiterals : public QObject {
    Q_OBJECT

    static QString text(int value) { return QString::number(value); }
    static QString text(const QByteArray &bytes) { return QString::fromLatin1(bytes); }

private slots:
    void literals_data()
    {
        QTest::addColumn<QString>("literal");
        QTest::addColumn<QString>("used");
        const auto row = [](const char *name, const QString &literal, const QString &used) {
            QTest::newRow(name) << literal << used;
        };
        LinkRig rig;

        // --- the receive pump, identification, queue and status strip ---
        row("receive poll period, ms", "50", text(rig.link.pollTimer().interval()));
        row("identification request", "#4000", text(SerialLink::kIdentifyRequest));
        row("identification marker", "#4000=", text(SerialLink::kIdentifyMarker));
        row("identification reply size", "24", text(SerialLink::kNameReplySize));
        row("identification: silent polls awaited", "5", text(SerialLink::kNameQuietPolls));
        row("send error prefix", "Ошибка передачи ", SerialLink::kSendErrorPrefix);
        row("unknown internal command", "Невыполнимая внутренняя команда!", CommandQueue::kUnknownCommand);
        row("link state active", "Активно", StatusModel::kActive);
        row("link state passive", "Пассивно", StatusModel::kPassive);
        row("link state none", "Нет", StatusModel::kNone);
        row("command: device search", "PoiskUstroistva", Cmd::PoiskUstroistva);
        row("command: settings load", "TXconfigLoadParam", Cmd::TXconfigLoadParam);
        row("command: settings save", "TXconfigSaveParam", Cmd::TXconfigSaveParam);
        row("command: configuration read", "ConfiguraciaReadProcess", Cmd::ConfiguraciaReadProcess);
        row("command: configuration write", "ConfiguraciaWriteProcess", Cmd::ConfiguraciaWriteProcess);
        row("command: monitoring", "MonitoringProcess", Cmd::MonitoringProcess);

        // --- operation tags ---
        row("tag firmware write", "Запись прошивки в устройство в процессе", Tag::FirmwareWrite);
        row("tag firmware read", "Чтение прошивки из устройства в процессе", Tag::FirmwareRead);
        row("tag load from file", "Запись конфигурации в устройство в процессе", Tag::ConfigFileLoad);
        row("tag copy to file", "Чтение конфигурации из устройства в процессе", Tag::ConfigFileCopy);
        row("tag configuration write", "Запись конфигурации из памяти в устройство в процессе", Tag::ConfigWrite);
        row("tag configuration read", "Чтение конфигурации из устройства в память в процессе", Tag::ConfigRead);
        row("tag name not read", "Имя не прочитано", Tag::NameNotRead);
        row("tag name reading", "Чтение имени устройства из порта в процессе", Tag::NameReading);
        row("tag monitoring", "Мониторинг в процессе", Tag::Monitoring);
        row("tag written", "Записано успешно", Tag::Written);
        row("tag write error", "Ошибка при записи", Tag::WriteError);
        row("tag saved", "Сохранено успешно", Tag::Saved);
        row("tag save error", "Ошибка при сохранении", Tag::SaveError);
        row("tag read", "Прочитано успешно", Tag::ReadOk);
        row("tag read error", "Ошибка при чтении", Tag::ReadError);
        row("tag name read", "Имя прочитано", Tag::NameRead);
        row("tag transfer error", "Ошибка передачи", Tag::TransferError);
        row("tag monitoring received", "Получено успешно", Tag::MonitoringOk);
        row("tag monitoring refused", "Выполнение невозможно", Tag::MonitoringRefused);

        // --- block writes in lock-step ---
        row("lock-step go-ahead", "OK", text(LockStepWrite::kGoAhead));
        row("lock-step: silent polls before the end", "15", text(LockStepWrite::kIdleLimit));

        // --- configuration exchange ---
        row("configuration read request", "#6000", text(ConfigExchange::kReadRequest));
        row("configuration write request", "#6001", text(ConfigExchange::kWriteRequest));
        row("configuration go-ahead", "OK", text(ConfigExchange::kGoAhead));
        row("configuration: silent polls before the end", "15", text(ConfigExchange::kIdleLimit));
        row("configuration reply size", "2370", text(ConfigImage::kImageSize));
        row("configuration bytes written", "2368", text(ConfigImage::kMemorySize));
        row("configuration block size", "64", text(ConfigImage::kBlockSize));
        row("configuration blocks", "37", text(ConfigImage::kBlockCount));
        row("configuration count message", "Ошибка загрузки! Не соответствует количество байт!",
            ConfigExchange::kCountMismatch);
        row("configuration sequence message", "Ошибка загрузки! Нарушение последовательности обмена!",
            ConfigExchange::kSequenceBroken);

        // --- configuration transfer between unit and file ---
        row("no connection message",
            "Нет соединения с устройством! Дождитесь завершения поиска устройства или установите правильные "
            "параметры порта вручную. Предварительно должен быть установлен драйвер виртуального COM-порта.",
            ConfigFileTransfer::kNoConnection);
        row("configuration file write error", "Ошибка записи в файл: ", ConfigFiles::kWriteError);
        row("configuration file read error", "Ошибка чтения файла: ", ConfigFiles::kReadError);

        // --- firmware exchange ---
        row("firmware read request", "#5000", text(FirmwareExchange::kReadRequest));
        row("firmware write request", "#5001", text(FirmwareExchange::kWriteRequest));
        row("firmware size", "62720", text(FirmwareFile::kFirmwareSize));
        row("firmware block size", "64", text(FirmwareFile::kBlockSize));
        row("firmware blocks", "980", text(FirmwareFile::kBlockCount));
        row("firmware file size", "190120", text(int(FirmwareFile::kFileSize)));
        row("firmware count message", "Ошибка загрузки! Не соответствует количество байт!",
            FirmwareExchange::kCountMismatch);
        row("firmware sequence message", "Ошибка загрузки! Нарушение последовательности обмена! ОК=",
            FirmwareExchange::kSequenceBroken);
        row("firmware file read error", "Ошибка чтения файла: ", FirmwareExchange::kReadFileError);
        row("firmware file write error", "Ошибка записи в файл: ", FirmwareExchange::kWriteFileError);
        row("firmware no connection message",
            "Нет соединения с устройством! Дождитесь завершения поиска устройства или установите правильные "
            "параметры порта вручную. Предварительно должен быть установлен драйвер виртуального COM-порта.",
            FirmwareExchange::kNoConnection);

        // --- monitoring exchange ---
        row("monitoring request", "#6002", text(MonitorExchange::kRequest));
        row("monitoring reply size", "64", text(MonitorExchange::kReplySize));
        row("monitoring: silent polls before giving up", "100", text(MonitorExchange::kGiveUpPolls));
        row("monitoring frame error", "Ошибка кадра.", MonitorExchange::kFrameError);
    }
    void literals()
    {
        QFETCH(QString, literal);
        QFETCH(QString, used);
        QCOMPARE(used, literal);
    }
};

QTEST_GUILESS_MAIN(TestExchangeLiterals)
#include "tst_exchangeliterals.moc"
