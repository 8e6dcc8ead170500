#pragma once
// What the benchmarks share: a settings file that lets the program find the simulated unit on port 1,
// and a wait for an exchange's final tag.
#include "link/Cp1251.h"
#include "link/SerialLink.h"
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStringList>

inline bool waitForTag(SerialLink &link, const QStringList &finals, qint64 limitMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!finals.contains(link.RPF_02VektorPriemaIsPorta)) {
        if (timer.elapsed() > limitMs)
            return false;
        // Sleeps until something happens (the link's 50 ms poll at the latest). The overload with a
        // time limit never sleeps: it spun a core and took it from the simulated unit beside it.
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// Port 1 at the given speed, automatic search on; options are further "RPF_19.CheckN:v" lines.
inline void writeSettings(const QString &folder, int baud,
                          const QStringList &options = {QStringLiteral("RPF_19.Check2:0"),
                                                        QStringLiteral("RPF_19.Check5:1")})
{
    QDir(folder).mkpath(QStringLiteral("Service"));
    QFile file(folder + QStringLiteral("/Service/TX.cfg"));
    const QStringList lines = QStringList{QStringLiteral("Доступный номер порта:1"),
                                          QStringLiteral("Доступная скорость порта:%1").arg(baud),
                                          QStringLiteral("Акт индекс скорости:1")}
                              + options;
    if (file.open(QIODevice::WriteOnly))
        file.write(Cp1251::encode(lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")));
}
