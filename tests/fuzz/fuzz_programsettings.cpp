// TX.cfg: load -> save keeps the file's lines and what they mean, a refresh -> save keeps the
// settings the program runs with, and saving again writes the same bytes.
#include "FakeSerialPort.h"
#include "FuzzSupport.h"
#include "TestSeams.h"
#include "link/CommandQueue.h"
#include "link/SerialLink.h"
#include "link/StatusModel.h"
#include "settings/ProgramOptions.h"
#include "settings/ProgramSettings.h"
#include "link/StatusSupervisor.h"
#include "link/UnitSettings.h"
#include "unit/UnitSession.h"
#include <QFile>
#include <QFileInfo>
#include <QDir>

namespace {

// What a load leaves the program running with.
struct Applied {
    QStringList ports, speeds;
    int speedIndex = 0, handshakeIndex = 0, portNumber = 0, portSpeed = 0, handshaking = 0;
    QList<int> checks;
    bool avtopoisk = false, useLast = false;
    int wizards = 0;

    bool operator==(const Applied &o) const
    {
        return ports == o.ports && speeds == o.speeds && speedIndex == o.speedIndex
            && handshakeIndex == o.handshakeIndex && portNumber == o.portNumber && portSpeed == o.portSpeed
            && handshaking == o.handshaking && checks == o.checks && avtopoisk == o.avtopoisk
            && useLast == o.useLast && wizards == o.wizards;
    }
    QString text() const
    {
        QStringList c;
        for (int v : checks)
            c << QString::number(v);
        return QStringLiteral("ports [%1] speeds [%2] speed#%3 hs#%4 port %5 speed %6 hs %7 checks %8 auto %9 last %10 wiz %11")
            .arg(ports.join(QLatin1Char(',')), speeds.join(QLatin1Char(',')))
            .arg(speedIndex).arg(handshakeIndex).arg(portNumber).arg(portSpeed).arg(handshaking)
            .arg(c.join(QString())).arg(avtopoisk).arg(useLast).arg(wizards);
    }
};

struct Program {
    FakeSerialPort port;
    RecordingMessageSink messages;
    ScriptedFileDialogs dialogs;
    FixedClock clock;
    ProgramOptions options;
    ProgramSettings settings;
    UnitSession unit;
    SerialLink &link = unit.link();
    StatusSupervisor &supervisor = unit.supervisor();

    explicit Program(const QString &path)
        : settings(path, options, messages),
          unit(QFileInfo(path).absolutePath(), &port, UnitSession::Borrowed{settings, messages, dialogs, clock})
    {
        settings.TXconfigLoadParam();
    }
    Applied applied() const
    {
        Applied a;
        a.ports = link.choices().portItems();
        a.speeds = link.choices().speedItems();
        a.speedIndex = link.choices().speedIndex();
        a.handshakeIndex = link.choices().handshakeIndex();
        a.portNumber = link.UsbComPortNumber;
        a.portSpeed = link.UsbComPortSpeed;
        a.handshaking = link.UsbComPortHandshaking;
        for (int check = 1; check <= ProgramOptions::kCount; ++check)
            a.checks << options.checkState(check);
        a.avtopoisk = supervisor.Avtopoisk;
        a.useLast = supervisor.UseLastSucsessConnection;
        a.wizards = settings.wizardAtStart() ? 1 : 0;
        return a;
    }
};

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly | QIODevice::Unbuffered) ? file.readAll() : QByteArray("<missing>");
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) && file.write(bytes) == bytes.size(), path);
}

QString show(const QByteArray &bytes)
{
    return Fuzz::dump(bytes, 200);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Fuzz::init();
    static const QString path = QDir(Fuzz::scratchFolder()).filePath(QStringLiteral("TX.cfg"));
    const QByteArray original = Fuzz::bytesOf(data, size);
    writeFile(path, original);

    // Load and save unchanged: the file keeps its lines, trimmed, none added or removed (or it is
    // left alone altogether), and nothing goes wrong.
    QByteArray saved;
    Applied first;
    {
        Program program(path);
        first = program.applied();
        program.messages.texts.clear();
        program.settings.TXconfigSaveParam();
        saved = readFile(path);
        FUZZ_CHECK(program.messages.texts.isEmpty(), program.messages.texts.join(QLatin1Char('|')));
        FUZZ_CHECK(saved == original || saved.count("\r\n") == program.settings.KolichestvoStrokTX,
                   QStringLiteral("%1 lines read, written: %2").arg(program.settings.KolichestvoStrokTX).arg(show(saved)));
        FUZZ_CHECK(program.settings.StrokiTX.size() == program.settings.KolichestvoStrokTX + 1,
                   QString::number(program.settings.StrokiTX.size()));
    }

    // The saved file means what the original meant, and saving it again changes nothing.
    Applied refreshed;
    QByteArray afterRefresh;
    {
        Program program(path);
        FUZZ_CHECK(program.applied() == first,
                   QStringLiteral("original %1\n    saved    %2\n    input %3\n    saved %4")
                       .arg(first.text(), program.applied().text(), show(original), show(saved)));
        program.settings.TXconfigSaveParam();
        FUZZ_CHECK(readFile(path) == saved, QStringLiteral("%1\n    then %2").arg(show(saved), show(readFile(path))));

        // A refresh writes the running settings; loading them gives the same settings back.
        program.settings.TXconfigUpdateParam(program.unit.choice());
        refreshed = program.applied();
        program.settings.TXconfigSaveParam();
        afterRefresh = readFile(path);
    }
    {
        Program program(path);
        Applied again = program.applied();
        // The wizard and the two search flags are start-up effects, not settings the refresh writes.
        again.wizards = refreshed.wizards;
        FUZZ_CHECK(again.ports == refreshed.ports && again.speeds == refreshed.speeds
                       && again.speedIndex == refreshed.speedIndex && again.handshakeIndex == refreshed.handshakeIndex
                       && again.portNumber == refreshed.portNumber && again.portSpeed == refreshed.portSpeed
                       && again.handshaking == refreshed.handshaking && again.checks == refreshed.checks,
                   QStringLiteral("running %1\n    reloaded %2\n    input %3\n    refreshed %4")
                       .arg(refreshed.text(), again.text(), show(original), show(afterRefresh)));
        program.settings.TXconfigUpdateParam(program.unit.choice());
        program.settings.TXconfigSaveParam();
        FUZZ_CHECK(readFile(path) == afterRefresh,
                   QStringLiteral("%1\n    then %2").arg(show(afterRefresh), show(readFile(path))));
    }
    return 0;
}
