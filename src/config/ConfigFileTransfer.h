#pragma once
#include "link/LockStepWrite.h"
#include <QByteArray>
#include <QList>
#include <QMetaObject>
#include <QString>
#include <memory>

class SerialLink;
class StatusModel;
class MessageSink;
class ConfigFiles;
class QSaveFile;

// Moving a configuration straight between the unit and a ".cf" file, leaving the image alone:
// Copy to file over "#6000" and Load from file over "#6001".
class ConfigFileTransfer {
public:
    inline static const QString kNoConnection =
        QStringLiteral("Нет соединения с устройством! Дождитесь завершения поиска устройства или установите "
                       "правильные параметры порта вручную. Предварительно должен быть установлен драйвер "
                       "виртуального COM-порта.");

    // A copy cut off: the chosen file is as it was.
    inline static const QString kNotSaved = QStringLiteral("Файл конфигурации не сохранен: ");

    ConfigFileTransfer(SerialLink &link, StatusModel &status, MessageSink &messages, ConfigFiles &files);
    ~ConfigFileTransfer();
    ConfigFileTransfer(const ConfigFileTransfer &) = delete;
    ConfigFileTransfer &operator=(const ConfigFileTransfer &) = delete;

    // "Копировать в файл": choose and create the file, then start the read.
    void CopyToFile();
    // "Загрузить из файла": choose the file, check all of it, then start the write.
    void LoadFromFile();

    void ConfiguraciaSaveToFileProcess();
    void ConfiguraciaLoadFromFileProcess();
    void SaveConfiguraciaToFile(QByteArray &PoluchenoIzPorta, int &OgidaniePriema);
    void LoadConfiguraciaFromFile(QByteArray &PoluchenoIzPorta, int &OgidaniePriema);

    int SchetchikBaitov = 0;
    QByteArray BuferPriema;
    QString ImyaFailaSohraneniya;
    QString ImyaFailaZagruzki;

    // The last write's blocks sent and acknowledged, for saying how it failed.
    const LockStepWrite &lockStep() const { return m_loadStep; }

private:
    // Writes every complete block waiting (at most 37), then the model bytes line when due.
    bool writeWaitingLines();
    void failCopy(const QString &message);
    void finishLoad(const QString &tag, const QString &message = QString());
    // The port closed under a running transfer: its handler is not called again.
    void dropped(const QString &tag);

    SerialLink &m_link;
    StatusModel &m_status;
    MessageSink &m_messages;
    ConfigFiles &m_files;
    std::unique_ptr<QSaveFile> m_copyFile;   // replaces the chosen file only on success
    int m_linesWritten = 0;
    QList<QByteArray> m_loadBlocks;          // the checked file, block by block
    LockStepWrite m_loadStep;                // the load's go-aheads
    QMetaObject::Connection m_droppedConnection;
};
