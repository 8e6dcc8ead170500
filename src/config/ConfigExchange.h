#pragma once
#include "link/LockStepWrite.h"
#include <QByteArray>
#include <QMetaObject>
#include <QString>
#include <functional>

class SerialLink;
class CommandQueue;
class StatusModel;
class ConfigImage;
class MessageSink;

// Reading the unit's configuration into the image ("#6000") and writing the image back ("#6001"):
// the two start routines run by the command queue and their receive handlers.
class ConfigExchange {
public:
    inline static const QByteArray kReadRequest = QByteArrayLiteral("#6000");
    inline static const QByteArray kWriteRequest = QByteArrayLiteral("#6001");
    inline static const QByteArray kGoAhead = QByteArrayLiteral("OK");
    // The exchange ends at the first poll whose idle count exceeds this.
    static constexpr int kIdleLimit = 15;

    inline static const QString kCountMismatch = QStringLiteral("Ошибка загрузки! Не соответствует количество байт!");
    inline static const QString kSequenceBroken =
        QStringLiteral("Ошибка загрузки! Нарушение последовательности обмена!");
    // A write that ended early: the unit may hold part of the new configuration.
    inline static const QString kMayBeIncomplete =
        QStringLiteral("Конфигурация в устройстве может быть записана не полностью, повторите запись.");
    // The port closed under a running exchange; what the image or the unit is left with follows.
    inline static const QString kLinkLostRead =
        QStringLiteral("Связь с устройством потеряна во время чтения конфигурации (получено %1 из %2 байт).");
    inline static const QString kLinkLostWrite =
        QStringLiteral("Связь с устройством потеряна во время записи конфигурации (передано %1 из %2 байт).");
    inline static const QString kPartialImage =
        QStringLiteral("В памяти программы часть конфигурации устройства и часть прежней: когда устройство снова "
                       "ответит, прочитайте конфигурацию ещё раз кнопкой \"Прочитать\".");
    inline static const QString kIncompleteImage =
        QStringLiteral("Запись невозможна! В памяти программы нет полной конфигурации (нет данных байта %1). "
                       "Сначала прочитайте конфигурацию из устройства кнопкой \"Прочитать\".");

    ConfigExchange(SerialLink &link, CommandQueue &queue, StatusModel &status, ConfigImage &image,
                   MessageSink &messages);
    ~ConfigExchange();
    ConfigExchange(const ConfigExchange &) = delete;
    ConfigExchange &operator=(const ConfigExchange &) = delete;

    void ConfiguraciaReadProcess();
    void ConfiguraciaWriteProcess();
    void ConfiguraciaRead(QByteArray &PoluchenoIzPorta, int &OgidaniePriema);
    void ConfiguraciaWrite(QByteArray &PoluchenoIzPorta, int &OgidaniePriema);

    // A complete read is held (or already queued by the status panel).
    bool ConfiguraciaProchitana = false;
    // Read: position base of the next block.
    int NomerBaitaKonfiguracii = 0;
    // Read: bytes received; write: bytes sent (a multiple of 64).
    int SchetchikBaitov = 0;
    // Read: received bytes not yet stored; write: the block just sent.
    QByteArray BuferPriema;

    // Set by the unit's session: a complete read, the last step before "#6001" (false refuses the
    // write; the hook has said why) and how a write ended.
    std::function<void()> readCompleted;
    std::function<bool()> beforeWrite;
    std::function<void(bool ok)> writeEnded;

    // The last write's blocks sent and acknowledged, for saying how it failed.
    const LockStepWrite &lockStep() const { return m_lockStep; }
    SerialLink &link() { return m_link; }
    ConfigImage &image() { return m_image; }

private:
    // Stores every complete block waiting (at most 37 in all), then the model bytes when due.
    void start(const QByteArray &request, const QString &tag);
    void storeWaitingBlocks();
    void endWrite(const QString &tag, const QString &message = QString());
    // The port closed under a running read or write: its handler is not called again.
    void dropped(const QString &tag);

    SerialLink &m_link;
    CommandQueue &m_queue;
    StatusModel &m_status;
    ConfigImage &m_image;
    MessageSink &m_messages;
    LockStepWrite m_lockStep;   // the write's go-aheads
    QMetaObject::Connection m_droppedConnection;
};
