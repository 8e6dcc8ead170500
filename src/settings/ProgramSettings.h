#pragma once
#include <QObject>
#include <QString>
#include <QStringList>

class QTimer;
class SerialLink;
class ProgramOptions;
class CommandQueue;
class MessageSink;

// TX.cfg: read at start-up and applied to the serial page and the options page, its known lines
// refreshed from them, and written back line for line. The program removes no lines; it adds one
// only for an adapter numbered while it runs.
class ProgramSettings : public QObject {
    Q_OBJECT
public:
    inline static const QString kPortKey = QStringLiteral("Доступный номер порта:");
    inline static const QString kSpeedKey = QStringLiteral("Доступная скорость порта:");
    inline static const QString kActivePortKey = QStringLiteral("Акт индекс номера порта:");
    inline static const QString kActiveSpeedKey = QStringLiteral("Акт индекс скорости:");
    inline static const QString kActiveHandshakeKey = QStringLiteral("Акт индекс контр передачи:");
    inline static const QString kOpenError = QStringLiteral("Ошибка открытия файла конфигурации программы : ");
    inline static const QString kWriteError = QStringLiteral("Ошибка записи файла конфигурации программы : ");
    inline static const QString kTooLarge =
        QStringLiteral("Файл настроек программы слишком велик, прочитано только его начало (строк: %1). "
                       "Программа не будет перезаписывать этот файл: %2");
    // A settings file is a few dozen lines; what lies beyond these bounds is not read.
    static constexpr qint64 kMaxFileBytes = 1 << 20;
    static constexpr int kMaxLines = 1000;
    // "RPF_19.Check1:" .. "RPF_19.Check5:"
    static QString checkKey(int check);

    ProgramSettings(QString filePath, SerialLink &link, ProgramOptions &options, CommandQueue &queue,
                    MessageSink &messages, QObject *parent = nullptr);

    // The status panel's supervision timer, paused with the receive poll while the file is used.
    void setSupervisionTimer(QTimer *timer) { m_supervisionTimer = timer; }

    void TXconfigLoadParam();
    void TXconfigUpdateParam();
    void TXconfigSaveParam();
    // A save button: refresh, then save, also into a file the program would otherwise leave alone
    // (an empty file, which started the program with the defaults).
    void saveByUser();
    void TXconfigPauseTimers();
    void TXconfigResumeTimers();
    // A port numbered while the program runs joins the listed ports (the automatic search walks
    // them) as a new "Доступный номер порта:" line after the last one; the next save writes it.
    // Before the load it waits for it; a number already listed changes nothing.
    void addPortNumber(int number);

    // The file's lines, trimmed; index 0 stays empty. KolichestvoStrokTX lines follow it.
    QStringList StrokiTX{QString()};
    int KolichestvoStrokTX = 0;

    // Splits a settings line into its key (up to and including the first ":") and value, both trimmed.
    static void splitLine(const QString &line, QString &key, QString &value);
    // The port number a value names (1..32767), 0 when it names none.
    static int portNumber(const QString &value);

    bool isLoaded() const { return m_loaded; }
    QString filePath() const { return m_filePath; }
    bool isUtf8() const { return m_utf8; }
    // False when the file exists but could not be read, or was read only in part: it is then never
    // replaced. Also false for an empty file until the user saves.
    bool canSave() const { return m_loaded && !m_readFailed && !m_truncated && !m_heldUntilUserSave; }
    bool isTruncated() const { return m_truncated; }

    // The lines a new TX.cfg starts with, and what the load applies when the file is missing.
    static QStringList defaultLines();
    // The lines as file contents: each followed by CR LF, in Windows-1251 or UTF-8.
    static QByteArray encodeLines(const QStringList &lines, bool utf8, bool utf8Bom = false);
    static QByteArray defaultFileContents() { return encodeLines(defaultLines(), false); }

signals:
    // "RPF_19.Check3:" was 1 on load: the start wizard is to be shown.
    void wizardRequested();

private:
    QString m_filePath;
    SerialLink &m_link;
    ProgramOptions &m_options;
    CommandQueue &m_queue;
    MessageSink &m_messages;
    QTimer *m_supervisionTimer = nullptr;
    bool m_savedSupervision = false;
    bool m_savedPoll = false;
    bool m_loaded = false;
    bool m_utf8 = false;     // the file was read as UTF-8 and is written back so
    bool m_utf8Bom = false;
    bool m_readFailed = false;
    bool m_truncated = false;          // more than the bounds allow was there
    bool m_heldUntilUserSave = false;  // the file was empty
    QList<int> m_addedPorts;           // numbered while the program runs; kept over a reload

    bool readLines(QStringList &lines);
    QString decode(const QByteArray &bytes);
    void applyLine(const QString &line, bool &wizard);
};
