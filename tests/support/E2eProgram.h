#pragma once
// What the end-to-end tests share: the program as a user starts it, and its settings file.
#include "TestSeams.h"
#include "app/TarviksApp.h"
#include "link/Cp1251.h"
#include "shell/MainWindow.h"
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QtTest>

namespace E2e {

// The program as started by a user, with message boxes and dialogs captured.
struct Program {
    RecordingMessageSink messages;
    ScriptedFileDialogs dialogs;
    FixedClock clock;
    TarviksApp app;
    explicit Program(const QString &folder) : app(AppSetup{folder, nullptr, &messages, &dialogs, &clock})
    {
        app.window().show();
        app.startUp();
    }
};

// The contents of Service/TX.cfg: the listed ports (the first one active), the listed speeds
// (the first one active), no search at start, and the unit's configuration read on detection or not.
struct Settings {
    QStringList ports{QStringLiteral("1")};
    QStringList speeds{QStringLiteral("9600")};
    bool readOnDetection = true;
    // Whether the lines "RPF_19.Check3:0" and "RPF_19.Check4:0" are written at all.
    bool check3And4Lines = true;
};

inline void writeSettings(const QString &folder, const Settings &settings)
{
    QStringList lines;
    for (const QString &port : settings.ports)
        lines << QStringLiteral("Доступный номер порта:") + port;
    for (const QString &speed : settings.speeds)
        lines << QStringLiteral("Доступная скорость порта:") + speed;
    lines << QStringLiteral("Акт индекс номера порта:") + settings.ports.first() << QStringLiteral("Акт индекс скорости:1")
          << QStringLiteral("Акт индекс контр передачи:1") << QStringLiteral("RPF_19.Check1:0")
          << QStringLiteral("RPF_19.Check2:") + (settings.readOnDetection ? QStringLiteral("1") : QStringLiteral("0"));
    if (settings.check3And4Lines)
        lines << QStringLiteral("RPF_19.Check3:0") << QStringLiteral("RPF_19.Check4:0");
    lines << QStringLiteral("RPF_19.Check5:1");
    QDir(folder).mkpath(QStringLiteral("Service"));
    QFile file(folder + QStringLiteral("/Service/TX.cfg"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(Cp1251::encode(lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")));
}

// The whole file, or nothing when it cannot be read.
inline QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}   // namespace E2e
