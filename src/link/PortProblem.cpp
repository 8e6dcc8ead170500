#include "link/PortProblem.h"
#include "link/PortNumbering.h"
#include "link/SerialPort.h"
#include <QDir>

namespace PortProblem {

Kind kindOf(int classicError, bool deviceAccessible)
{
    switch (classicError) {
    case SerialPort::NoError:
        return Kind::None;
    case SerialPort::NoSuchPort:
        return Kind::NoDevice;
    case SerialPort::PortNotAvailable:
        return deviceAccessible ? Kind::Busy : Kind::NoPermission;
    default:
        return Kind::Other;
    }
}

QString reason(Kind kind)
{
    switch (kind) {
    case Kind::NoDevice:
        return PortNumbering::missingText();
    case Kind::Busy:
        return QStringLiteral("порт занят другой программой");
    case Kind::NoPermission:
        return QStringLiteral("нет прав на доступ к порту");
    case Kind::None:
    case Kind::Other:
        break;
    }
    return QString();
}

QString describe(int number, const QString &device, int classicError, const QString &errorText)
{
    QString text = QStringLiteral("COM%1").arg(number);
    if (!device.isEmpty())
        text += QStringLiteral(" = ") + device;
    text += QStringLiteral(": Error %1").arg(classicError);
    if (!errorText.isEmpty())
        text += QStringLiteral(", ") + errorText;
    return text + QLatin1Char('.');
}

QString textFor(Kind kind, const QString &systemText)
{
    const QString words = reason(kind);
    if (words.isEmpty())
        return systemText;
    return systemText.isEmpty() ? words : words + QStringLiteral(": ") + systemText;
}

QString advice(int number, Kind kind, const QString &portsFolder)
{
    switch (kind) {
    case Kind::NoDevice:
        return QStringLiteral("Подключите адаптер. Если он называется иначе (например, /dev/ttyACM0), "
                              "укажите его: --port /dev/ttyACM0, или сделайте ссылку: ln -sf /dev/ttyACM0 \"%1\".")
            .arg(QDir(portsFolder).filePath(QStringLiteral("COM%1").arg(number)));
    case Kind::Busy:
        return QStringLiteral("Закройте программу, которая держит порт (например, окно Тарвикс или терминал), "
                              "и повторите.");
    case Kind::NoPermission:
        return QStringLiteral("Добавьте пользователя в группу dialout (sudo usermod -aG dialout $USER) "
                              "и войдите в систему заново.");
    case Kind::None:
    case Kind::Other:
        break;
    }
    return QString();
}

}
