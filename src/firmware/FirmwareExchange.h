#pragma once
#include "firmware/FirmwareFile.h"
#include "link/LockStepWrite.h"
#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <memory>

class SerialLink;
class CommandQueue;
class StatusModel;
class MessageSink;
class FileWriter;

// Copying the unit's firmware into a ".fw" file ("#5000") and loading a ".fw" file into the unit
// ("#5001", one block per "OK"). Callers choose the file; this checks it, holds the link for the whole
// transfer (nothing else may talk to a unit being flashed) and reports through the operation tag, the
// status panel's progress and, once the transfer has ended, the message sink.
class FirmwareExchange : public QObject {
    Q_OBJECT
public:
    inline static const QByteArray kReadRequest = QByteArrayLiteral("#5000");
    inline static const QByteArray kWriteRequest = QByteArrayLiteral("#5001");

    inline static const QString kNoConnection =
        QStringLiteral("Нет соединения с устройством! Дождитесь завершения поиска устройства или установите "
                       "правильные параметры порта вручную. Предварительно должен быть установлен драйвер "
                       "виртуального COM-порта.");
    inline static const QString kBusy =
        QStringLiteral("Идёт обмен с устройством. Дождитесь его завершения и повторите.");
    inline static const QString kCreateError = QStringLiteral("Ошибка создания файла: ");
    inline static const QString kOpenError = QStringLiteral("Ошибка открытия файла: ");
    inline static const QString kReadFileError = QStringLiteral("Ошибка чтения файла: ");
    inline static const QString kWriteFileError = QStringLiteral("Ошибка записи в файл: ");
    inline static const QString kFormatError = QStringLiteral("Ошибка формата файла прошивки: %1 (строка %2: %3)");
    inline static const QString kCountMismatch = QStringLiteral("Ошибка загрузки! Не соответствует количество байт!");
    inline static const QString kSequenceBroken =
        QStringLiteral("Ошибка загрузки! Нарушение последовательности обмена! ОК=");
    // Said under a status text that arrives while a flash goes on: the unit's text is no failure.
    inline static const QString kWriteGoesOn =
        QStringLiteral("Это сообщение устройства: запись прошивки продолжается, ждать ответа на него не нужно.");
    inline static const QString kLinkLostRead =
        QStringLiteral("Связь с устройством потеряна во время чтения прошивки (получено %1 из %2 байт).");
    inline static const QString kLinkLostWrite =
        QStringLiteral("Связь с устройством потеряна во время записи прошивки (передано %1 из %2 байт).");
    inline static const QString kNotSaved = QStringLiteral("Файл прошивки не сохранён: ");
    inline static const QString kMayBeUnusable =
        QStringLiteral("Запись прошивки не завершена: устройство может остаться без работающей прошивки! "
                       "Повторите загрузку прошивки из файла.");
    // The same when the line went: the unit has to answer again first.
    inline static const QString kMayBeUnusableLost =
        QStringLiteral("Запись прошивки не завершена: устройство может остаться без работающей прошивки! "
                       "Когда устройство снова ответит, повторите загрузку прошивки из файла.");

    FirmwareExchange(SerialLink &link, CommandQueue &queue, StatusModel &status, MessageSink &messages,
                     QObject *parent = nullptr);
    ~FirmwareExchange() override;

    // Whether a transfer may begin now; if not, says why (no unit, or a transfer already under way).
    bool checkReady();
    // "Копировать в файл": prepares the file (written beside fileName, which is replaced only by a
    // complete firmware) and queues the read. False when refused; the message has been shown.
    bool saveToFile(const QString &fileName);
    // "Загрузить из файла": checks the whole file, then queues the write. Without confirmation.
    bool loadFromFile(const QString &fileName);
    // The same for a file already read and checked (fileName names it in messages).
    bool loadContent(const FirmwareFile::Content &content, const QString &fileName);

    // Start routines (run by the command queue while the link is free) and receive handlers.
    void ProsivkaSaveToFileProcess();
    void ProsivkaLoadFromFileProcess();
    void SaveProshivkaToFile(QByteArray &PoluchenoIzPorta, int &OgidaniePriema);
    void LoadProshivkaFromFile(QByteArray &PoluchenoIzPorta, int &OgidaniePriema);

    // The last copy into a file failed on the file (could not be created or written), not the unit.
    bool fileFailed() const { return m_fileFailed; }

    // A transfer is queued or running.
    bool isBusy() const { return m_state != State::Idle; }

    // Whether the firmware version an identified unit reports allows transfers: any version but an
    // empty one, "нет данных" or zero ("0", "000.00").
    static bool versionAllowsTransfer(const QString &version);

    int SchetchikBaitov = 0;       // bytes received (read) or sent (write)
    QByteArray BuferPriema;        // received bytes not yet written to the file
    QString ImyaFailaSohraneniya;
    QString ImyaFailaZagruzki;

    // The last write's blocks sent and acknowledged, for saying how it failed.
    const LockStepWrite &lockStep() const { return m_lockStep; }

signals:
    // A transfer was queued, or has ended.
    void busyChanged(bool busy);

private:
    enum class State { Idle, ReadQueued, Reading, WriteQueued, Writing };

    void setState(State state);
    bool writeWaitingLines();
    // Ends a transfer: the tag (empty: leave it), the link freed, then the messages, if any.
    void endRead(const QString &tag, const QStringList &messages = {});
    void endWrite(const QString &tag, const QStringList &messages = {});
    void finish(const QString &tag, const QStringList &messages);
    // The messages of a failed write: the reason (if any), the unit's stray text, the warning.
    QStringList writeFailure(const QString &reason, const QString &warning = kMayBeUnusable) const;
    // The sequence message quoting a text of the unit on one line.
    static QString quoted(const QByteArray &text);
    // A status text of the unit where an "OK" was due: shown, and kept for a failure's messages.
    void showStatusText();
    void dropped(const QString &tag);

    SerialLink &m_link;
    CommandQueue &m_queue;
    StatusModel &m_status;
    MessageSink &m_messages;
    State m_state = State::Idle;

    std::unique_ptr<FileWriter> m_saveFile;   // replaces the chosen file only when complete
    bool m_fileFailed = false;
    int m_linesWritten = 0;

    FirmwareFile::Blocks m_blocks;           // the checked file being loaded
    LockStepWrite m_lockStep;
    QByteArray m_strayText;                  // the last text without "OK" the unit sent during the write
};
