#pragma once
#include <QObject>
#include <QString>
#include <QStringList>
#include <optional>

class ProgramOptions;
class MessageSink;

// TX.cfg as a model: read once at start-up into the offered ports and speeds, the chosen port,
// speed and handshaking, and the five options (held in ProgramOptions); its known lines refreshed
// from a unit's choices and the options, and written back line for line. The program removes no
// lines; it adds one only for an adapter numbered while it runs. Who reads the values (a unit's
// serial choices, the pages) follows changed().
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
    inline static const QString kTooLargeNotSaved =
        QStringLiteral("файл настроек программы слишком велик, настройки в него не сохранены. Файл не изменён: "
                       "уменьшите, удалите или переименуйте его, и программа создаст новый.");
    inline static const QString kUnreadable =
        QStringLiteral("%1: %2. Используются настройки по умолчанию; программа не будет перезаписывать этот файл.");
    inline static const QString kNoSettingLines = QStringLiteral("в файле нет ни одной строки настроек программы");
    // A settings file is a few dozen lines; what lies beyond these bounds is not read.
    static constexpr qint64 kMaxFileBytes = 1 << 20;
    static constexpr int kMaxLines = 1000;
    // Combo2's design-time items: what a file without speeds offers.
    inline static const QStringList kDefaultSpeeds = {QStringLiteral("9600"), QStringLiteral("19200"),
                                                     QStringLiteral("115200")};
    // "RPF_19.Check1:" .. "RPF_19.Check5:"
    static QString checkKey(int check);

    // The serial choices of a unit that a refresh writes into the known lines.
    struct Choice {
        int port = 1;             // UsbComPortNumber
        int speedIndex = -1;      // position in the speed list, -1: none selected
        int handshakeIndex = 0;   // 0..3
    };

    ProgramSettings(QString filePath, ProgramOptions &options, MessageSink &messages, QObject *parent = nullptr);

    void TXconfigLoadParam();
    void TXconfigUpdateParam(const Choice &choice);
    // False when nothing was written; a failure has been shown.
    bool TXconfigSaveParam();
    // A save button: refresh, then save, also into a file the program would otherwise leave alone
    // (an empty file, which started the program with the defaults). False when nothing was written.
    bool saveByUser(const Choice &choice);
    // A port numbered while the program runs joins the listed ports (the automatic search walks
    // them) as a new "Доступный номер порта:" line after the last one; the next save writes it.
    // Before the load it waits for it; a number already listed changes nothing.
    void addPortNumber(int number);

    // --- the values, as the last load found them ---
    QStringList portItems() const { return m_portItems; }     // port numbers offered, in file order
    QStringList speedItems() const { return m_speedItems; }   // never empty after a load
    int speedIndex() const { return m_speedIndex; }           // valid in speedItems after a load
    std::optional<int> activePort() const { return m_activePort; }          // none: no usable line
    std::optional<int> handshakeIndex() const { return m_handshakeIndex; }  // 0..3; none: no usable line
    // The last state the file gave an option (1..5), none when no line applied.
    std::optional<int> loadedOption(int check) const;
    // "RPF_19.Check3:" was 1: the start wizard is to be shown.
    bool wizardAtStart() const { return m_wizard; }

    // The file's lines, trimmed; index 0 stays empty. KolichestvoStrokTX lines follow it.
    QStringList StrokiTX{QString()};
    int KolichestvoStrokTX = 0;

    // Splits a settings line into its key (up to and including the first ":") and value, both trimmed.
    static void splitLine(const QString &line, QString &key, QString &value);
    // The port number a value names (1..32767), 0 when it names none.
    static int portNumber(const QString &value);
    // Whether a key (as splitLine gives it) is one of the settings the program reads.
    static bool isKnownKey(const QString &key);

    ProgramOptions &options() { return m_options; }
    const ProgramOptions &options() const { return m_options; }
    bool isLoaded() const { return m_loaded; }
    QString filePath() const { return m_filePath; }
    bool isUtf8() const { return m_utf8; }
    // False when the file exists but could not be read, or was read only in part: it is then never
    // replaced. Also false for an empty file until the user saves.
    bool canSave() const
    {
        return m_loaded && !m_readFailed && !m_notSettings && !m_truncated && !m_heldUntilUserSave;
    }
    bool isTruncated() const { return m_truncated; }

    // The lines a new TX.cfg starts with, and what the load applies when the file is missing.
    static QStringList defaultLines();
    // The lines as file contents: each followed by CR LF, in Windows-1251 or UTF-8.
    static QByteArray encodeLines(const QStringList &lines, bool utf8, bool utf8Bom = false);
    static QByteArray defaultFileContents() { return encodeLines(defaultLines(), false); }

signals:
    // A load has set every value anew (followed by changed()).
    void loaded();
    // The values changed: once per load or refresh.
    void changed();

private:
    QString m_filePath;
    ProgramOptions &m_options;
    MessageSink &m_messages;
    QStringList m_portItems;
    QStringList m_speedItems = kDefaultSpeeds;
    int m_speedIndex = 0;
    std::optional<int> m_activePort;
    std::optional<int> m_handshakeIndex;
    std::optional<int> m_loadedOptions[5];
    bool m_wizard = false;
    bool m_loaded = false;
    bool m_utf8 = false;     // the file was read as UTF-8 and is written back so
    bool m_utf8Bom = false;
    bool m_readFailed = false;
    int m_readErrno = 0;               // why the file could not be read
    bool m_notSettings = false;        // read, but not one line of it is a setting: not the program's file
    bool m_truncated = false;          // more than the bounds allow was there
    bool m_heldUntilUserSave = false;  // the file was empty
    QList<int> m_addedPorts;           // numbered while the program runs; kept over a reload

    bool readLines(QStringList &lines);
    QString decode(const QByteArray &bytes);
    void applyLine(const QString &line);
    // Adds the port line and item unless the port is listed; true when added.
    bool insertPortLine(int number);
};
