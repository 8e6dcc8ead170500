// Times the settings load with the serial page attached, for settings files from ordinary to
// absurd: many port lines, and a file of tens of megabytes. Not a test: prints figures.
#include "FakeSerialPort.h"
#include "TestSeams.h"
#include "link/CommandQueue.h"
#include "link/Cp1251.h"
#include "link/SerialLink.h"
#include "link/SerialPage.h"
#include "link/StatusModel.h"
#include "settings/ProgramOptions.h"
#include "settings/ProgramSettings.h"
#include "unit/UnitSession.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

namespace {
QByteArray portLines(int count)
{
    QByteArray bytes;
    for (int port = 1; port <= count; ++port)
        bytes += Cp1251::encode(ProgramSettings::kPortKey + QString::number(port % 32767 + 1)) + "\r\n";
    return bytes;
}

void run(const char *label, const QByteArray &contents)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("TX.cfg"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size())
        return;
    file.close();

    FakeSerialPort port;
    RecordingMessageSink messages;
    ScriptedFileDialogs dialogs;
    FixedClock clock;
    ProgramOptions options;
    ProgramSettings settings(path, options, messages);
    UnitSession unit(dir.path(), &port, UnitSession::Borrowed{settings, messages, dialogs, clock});
    SerialPage page(unit.link());

    QElapsedTimer timer;
    timer.start();
    settings.TXconfigLoadParam();
    const qint64 ms = timer.elapsed();
    std::printf("%-28s %10lld bytes  %5d lines read  %6lld ms%s\n", label, static_cast<long long>(contents.size()),
                settings.KolichestvoStrokTX, static_cast<long long>(ms),
                settings.isTruncated() ? "  (bounded)" : "");
}
}

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication application(argc, argv);
    run("20 port lines", portLines(20));
    run("1,000 port lines", portLines(1000));
    run("10,000 port lines", portLines(10000));
    run("50 MB of port lines", portLines(50 * 1024 * 1024 / 30));
    run("50 MB on one line", QByteArray(50 * 1024 * 1024, 'x'));
    return 0;
}
