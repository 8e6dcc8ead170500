#pragma once
#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

class Clock;

// The automatic copies of each unit's configuration, kept below the program folder as
// "Резервные копии/<unit name> <IMEI>/<date time> COM<N> <прочитано|до записи>.cf" in the canonical
// .cf format: one on every complete read and one before every write. The IMEI tells apart units of
// one factory name; a unit whose cells hold none has a folder of its name alone, as every unit had
// before (those folders and their copies without a port are still listed). A copy equal to the
// unit's newest of its kind is not written again; copies older than a year go, but the newest 20 of
// each unit always stay. A unit's firmware read before a flash is kept beside them as
// "<date time> COM<N> прошивка.fw".
class ConfigBackups {
public:
    enum class Kind { Read, BeforeWrite, Firmware };

    inline static const QString kFolderName = QStringLiteral("Резервные копии");
    inline static const QString kReadWord = QStringLiteral("прочитано");
    inline static const QString kBeforeWriteWord = QStringLiteral("до записи");
    inline static const QString kFirmwareWord = QStringLiteral("прошивка");
    static constexpr int kKeepDays = 365;
    static constexpr int kAlwaysKept = 20;

    // Whose copy: the unit's name, the IMEI of its first read since it was found (empty: none),
    // and the port it was on (0: none told).
    struct Owner {
        QString name;
        QString imei;
        int port = 0;
    };
    struct Copy {
        QDateTime when;
        Kind kind = Kind::Read;
        qint64 size = 0;
        QString path;
        int port = 0;   // 0: a copy kept before ports were named
    };
    struct Unit {
        QString folderName;   // as on disk
        QString name;         // the unit's name the folder stands for
        QString imei;         // empty: a folder of the name alone
        QList<Copy> copies;   // newest first
    };
    struct Result {
        bool ok = false;
        bool written = false;   // false with ok: the newest copy already held this configuration
        QString path;           // the copy holding the configuration (new or the newest one)
        QString error;          // a failure: the file error, naming the file and the reason
    };

    ConfigBackups(const QString &programFolder, const Clock &clock);

    // image: the 2370 bytes of a complete read (configuration memory and the two model bytes).
    Result keep(const Owner &unit, const QByteArray &image, Kind kind);

    QString folder() const { return m_root; }
    QString unitFolder(const Owner &unit) const;
    // "ЗОРГЕЛ-GSM8T 356938035643809": the folder of a unit; its name and IMEI back from one.
    static QString folderName(const Owner &unit);
    static Owner ownerOf(const QString &folderName);
    // Every unit with copies, the most recently kept first; or those the text names: a unit's name
    // (each of its IMEIs), its name and IMEI, or its IMEI.
    QList<Unit> units(const QString &unit = QString()) const;
    static QString kindWord(Kind kind);
    // Where a new copy of this kind goes now (the unit's folder not yet made): a name no file has.
    QString newCopyPath(const Owner &unit, Kind kind) const;

private:
    QList<Copy> copiesIn(const QString &folder) const;
    void prune(const QString &folder) const;
    // Every file of the store is written here, complete or not at all.
    bool writeFile(const QString &path, const QByteArray &bytes, QString *reason) const;

    QString m_root;
    const Clock &m_clock;
};
