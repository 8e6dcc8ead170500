#pragma once
#include "shell/FileDialogs.h"
#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

class ConfigImage;
class SerialLink;
class StatusModel;
class MessageSink;
class Clock;
class FileWriter;

// Configuration files ".cf": the shared file choice, Save (image -> file), Open (file -> image),
// the exact format writer and a strict reader that checks a whole file before anything uses it.
class ConfigFiles {
public:
    inline static const QString kFolderName = QStringLiteral("Конфигурации");
    inline static const QString kFilter = QStringLiteral("Файл конфигурации (*.cf)|*.cf");
    inline static const QString kSuffix = QStringLiteral("cf");
    inline static const QString kCreateError = QStringLiteral("Ошибка создания файла: ");
    inline static const QString kOpenError = QStringLiteral("Ошибка открытия файла: ");
    inline static const QString kWriteError = QStringLiteral("Ошибка записи в файл: ");
    inline static const QString kReadError = QStringLiteral("Ошибка чтения файла: ");
    inline static const QString kFormatError = QStringLiteral("Ошибка формата файла: %1 (строка %2: %3)");
    inline static const QString kIncompleteImage =
        QStringLiteral("Сохранение невозможно! В памяти программы нет полной конфигурации (нет данных байта %1).");
    // No valid configuration file is anywhere near this big.
    static constexpr qint64 kMaxFileSize = 1 << 20;

    // A whole file checked line by line: 37 blocks of 64 bytes, then optionally the 2 model bytes.
    struct Content {
        bool ok = false;
        QList<QByteArray> blocks;
        QByteArray tail;          // empty when the file has no 38th line
        int badLine = 0;          // 1-based line of the first fault
        QString reason;           // what is wrong with it
        // The blocks and the tail into the image's cells, from the first on.
        void fill(ConfigImage &image) const;
    };

    ConfigFiles(ConfigImage &image, SerialLink &link, StatusModel &status, MessageSink &messages, FileDialogs &dialogs,
                Clock &clock, const QString &programFolder);
    ConfigFiles(const ConfigFiles &) = delete;
    ConfigFiles &operator=(const ConfigFiles &) = delete;

    // The dialog settings: writing operations get the date-time default name.
    FileDialogRequest dialogRequest(bool forWriting) const;
    // Shows the save or open dialog; nullopt when cancelled or no name was given.
    std::optional<QString> chooseFile(bool forWriting);

    // "Сохранить": the image into a new or replaced file.
    void Save();
    // "Открыть": a file into the image, only when the whole file is sound.
    void Open();

    // How much of a file is checked: all of it, or only the 37 blocks a load into the unit sends.
    enum class Scope { WholeFile, SentBlocks };
    // Reads and checks a file, showing the open, read or format message on failure; a file refused
    // for its content sets refusalTag when one is given.
    std::optional<Content> readChecked(const QString &fileName, Scope scope = Scope::WholeFile,
                                       const QString &refusalTag = QString());

    // The format: each byte as two upper-case digits and a blank, lines ending CR LF.
    static QByteArray formatLine(const QByteArray &bytes);
    // The 37 block lines of an image, and the model bytes line when both cells hold data; empty when
    // a cell of 1..2368 holds no data.
    static QByteArray formatImage(const ConfigImage &image);
    static Content parse(const QByteArray &fileBytes, Scope scope = Scope::WholeFile);
    static QString formatErrorText(const QString &fileName, const Content &content);
    // "Ошибка записи в файл: " and the name, then why and what the file is left with.
    static QString writeErrorText(const FileWriter &file);

    // Set by Save and Open as the routines always did.
    int NomerBaitaKonfiguracii = 0;
    int SchetchikBaitov = 0;

private:
    ConfigImage &m_image;
    SerialLink &m_link;
    StatusModel &m_status;
    MessageSink &m_messages;
    FileDialogs &m_dialogs;
    Clock &m_clock;
    QString m_programFolder;
};
