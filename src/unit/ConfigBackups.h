#pragma once
#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

class Clock;

// The automatic copies of each unit's configuration, kept below the program folder as
// "Резервные копии/<unit name>/<date time> <прочитано|до записи>.cf" in the canonical .cf format:
// one on every complete read and one before every write. A copy equal to the unit's newest of its
// kind is not written again; copies older than a year go, but the newest 20 of each unit always stay.
// A unit's firmware read before a flash is kept beside them as "<date time> прошивка.fw".
class ConfigBackups {
public:
    enum class Kind { Read, BeforeWrite, Firmware };

    inline static const QString kFolderName = QStringLiteral("Резервные копии");
    inline static const QString kReadWord = QStringLiteral("прочитано");
    inline static const QString kBeforeWriteWord = QStringLiteral("до записи");
    inline static const QString kFirmwareWord = QStringLiteral("прошивка");
    static constexpr int kKeepDays = 365;
    static constexpr int kAlwaysKept = 20;

    struct Copy {
        QDateTime when;
        Kind kind = Kind::Read;
        qint64 size = 0;
        QString path;
    };
    struct Unit {
        QString folderName;   // the unit's name as its folder holds it
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
    Result keep(const QString &unitName, const QByteArray &image, Kind kind);

    QString folder() const { return m_root; }
    QString unitFolder(const QString &unitName) const;
    // Every unit with copies, the most recently kept first; or just the one named.
    QList<Unit> units(const QString &unitName = QString()) const;
    static QString kindWord(Kind kind);
    // Where a new copy of this kind goes now (the unit's folder not yet made): a name no file has.
    QString newCopyPath(const QString &unitName, Kind kind) const;

private:
    QList<Copy> copiesIn(const QString &folder) const;
    void prune(const QString &folder) const;
    // Every file of the store is written here, complete or not at all.
    bool writeFile(const QString &path, const QByteArray &bytes, QString *reason) const;

    QString m_root;
    const Clock &m_clock;
};
