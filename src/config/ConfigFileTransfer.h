#pragma once
#include "link/LockStepWrite.h"
#include <QByteArray>
#include <QList>
#include <QMetaObject>
#include <QString>
#include <functional>
#include <memory>

class SerialLink;
class StatusModel;
class MessageSink;
class ConfigFiles;
class FileWriter;

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
    // The unit's configuration read into a side buffer (copied()), neither into a file nor into the
    // image the pages show: what a unit holds before and after a write. Ends as a copy does.
    void ReadAside();
    // Checked blocks straight into the unit, as a load of a file named `source` does.
    void LoadBlocks(const QList<QByteArray> &blocks, const QString &source);
    // The bytes of the last copy or side read, complete when it ended "Сохранено успешно".
    const QByteArray &copied() const { return m_copied; }

    void ConfiguraciaSaveToFileProcess();
    void ConfiguraciaLoadFromFileProcess();
    void SaveConfiguraciaToFile(QByteArray &PoluchenoIzPorta, int &OgidaniePriema);
    void LoadConfiguraciaFromFile(QByteArray &PoluchenoIzPorta, int &OgidaniePriema);

    int SchetchikBaitov = 0;
    QByteArray BuferPriema;
    QString ImyaFailaSohraneniya;
    QString ImyaFailaZagruzki;

    // Set by the unit's session: a copy completed with the 2370 bytes read, the last step before
    // "#6001" (false refuses the load; the hook has said why), and how a load ended with the 2368
    // bytes it sent.
    std::function<void(const QByteArray &image)> copyCompleted;
    std::function<bool()> beforeLoad;
    std::function<void(bool ok, const QByteArray &memory)> loadEnded;
    // Set by whoever wants the bytes judged before they replace the chosen file: false fails the
    // copy as a failed read, the file untouched (the caller says why).
    std::function<bool(const QByteArray &image)> acceptCopy;

    // The last copy into a file failed on the file (could not be created or written), not the unit.
    bool fileFailed() const { return m_fileFailed; }
    // The last copy read all its bytes, but acceptCopy refused them.
    bool copyRefused() const { return m_copyRefused; }

    // The last write's blocks sent and acknowledged, for saying how it failed.
    const LockStepWrite &lockStep() const { return m_loadStep; }

private:
    // Writes every complete block waiting (at most 37), then the model bytes line when due.
    bool writeWaitingLines();
    // Ends the copy; a file error is shown with its reason.
    void failCopy(bool fileError);
    void finishLoad(const QString &tag, const QString &message = QString());
    // The port closed under a running transfer: its handler is not called again.
    void dropped(const QString &tag);

    SerialLink &m_link;
    StatusModel &m_status;
    MessageSink &m_messages;
    ConfigFiles &m_files;
    std::unique_ptr<FileWriter> m_copyFile;   // replaces the chosen file only on success
    bool m_fileFailed = false;
    bool m_copyRefused = false;
    bool m_aside = false;                     // the running copy goes to no file
    int m_linesWritten = 0;
    QByteArray m_copied;                     // the bytes written to the file so far
    QList<QByteArray> m_loadBlocks;          // the checked file, block by block
    LockStepWrite m_loadStep;                // the load's go-aheads
    QMetaObject::Connection m_droppedConnection;
};
