#include "link/QtSerialPort.h"
#include <QFile>
#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

QtSerialPort::QtSerialPort(QString programFolder, const PortNumbering *numbering)
    : m_ownNumbering(std::move(programFolder)), m_numbering(numbering ? numbering : &m_ownNumbering)
{
    QObject::connect(&m_port, &QSerialPort::readyRead, &m_port, [this] {
        if (m_arrival)
            m_arrival();
    });
}

QtSerialPort::~QtSerialPort()
{
    if (m_port.isOpen())
        m_port.close();
}

int QtSerialPort::classicError(QSerialPort::SerialPortError error)
{
    switch (error) {
    case QSerialPort::NoError:
        return NoError;
    case QSerialPort::DeviceNotFoundError:
        return NoSuchPort;
    case QSerialPort::PermissionError:
        return PortNotAvailable;   // busy with another program, or no permission
    case QSerialPort::OpenError:
        return PortAlreadyOpen;
    case QSerialPort::ReadError:
    case QSerialPort::ResourceError:
        return ReadError;
    case QSerialPort::NotOpenError:
        return NeedsOpenPort;
    default:
        return QtErrorBase + int(error);
    }
}

void QtSerialPort::fail(int number, const QString &text, PortProblem::Kind kind)
{
    m_lastError = number;
    m_lastErrorText = text;
    m_lastFault = kind;
}

void QtSerialPort::succeed()
{
    m_lastError = NoError;
    m_lastErrorText.clear();
    m_lastFault = PortProblem::Kind::None;
}

QString QtSerialPort::deviceFor(int portNumber) const
{
    return m_numbering->deviceFor(portNumber);
}

bool QtSerialPort::open(int portNumber, int speed, int handshaking)
{
    if (m_port.isOpen()) {
        fail(PortAlreadyOpen, QStringLiteral("Порт уже открыт"));
        return false;
    }
    m_speed = speed;
    const QString device = deviceFor(portNumber);
    if (device.isEmpty()) {
        fail(NoSuchPort, QStringLiteral("Нет порта с номером ") + QString::number(portNumber),
             PortProblem::Kind::NoDevice);
        return false;
    }
    if (speed <= 0 || handshaking < 0 || handshaking > 3) {
        fail(SettingsRejected, QStringLiteral("Недопустимые параметры порта"));
        return false;
    }

    m_port.setPortName(device);
    m_port.clearError();
    if (!m_port.open(QIODevice::ReadWrite)) {
        // A refused open is either another program's lock or the user's missing rights: a device the
        // user could open is held by someone else.
        const int number = classicError(m_port.error());
        bool accessible = true;
#ifdef Q_OS_UNIX
        accessible = ::access(QFile::encodeName(device).constData(), R_OK | W_OK) == 0;
#endif
        const PortProblem::Kind kind = PortProblem::kindOf(number, accessible);
        fail(number, PortProblem::textFor(kind, m_port.errorString()), kind);
        return false;
    }
    // "RTSXonXoff" has no Qt equivalent: hardware flow control is the nearer half.
    const QSerialPort::FlowControl flow = handshaking == 0   ? QSerialPort::NoFlowControl
                                          : handshaking == 1 ? QSerialPort::SoftwareControl
                                                             : QSerialPort::HardwareControl;
    // The modem lines stay as the port opened them: pseudo-terminals refuse to have them queried or set.
    const bool applied = m_port.setBaudRate(speed) && m_port.setDataBits(QSerialPort::Data8)
        && m_port.setParity(QSerialPort::NoParity) && m_port.setStopBits(QSerialPort::OneStop)
        && m_port.setFlowControl(flow);
    if (!applied) {
        const QString reason = m_port.errorString();
        m_port.close();
        fail(SettingsRejected, reason);
        return false;
    }
    m_port.clearError();
    succeed();
    return true;
}

void QtSerialPort::close()
{
    succeed();
    if (m_port.isOpen())
        m_port.close();
    m_port.clearError();
}

bool QtSerialPort::write(QByteArrayView bytes)
{
    if (!m_port.isOpen()) {
        fail(NeedsOpenPort, QStringLiteral("Порт не открыт"));
        return false;
    }
    m_port.clearError();
    if (m_port.write(bytes.data(), bytes.size()) != bytes.size()) {
        fail(classicError(m_port.error()), m_port.errorString());
        return false;
    }
    // Hand the bytes to the driver now rather than on the next pass of the event loop.
    m_port.flush();
    const QSerialPort::SerialPortError error = m_port.error();
    if (error != QSerialPort::NoError && error != QSerialPort::TimeoutError) {
        fail(classicError(error), m_port.errorString());
        return false;
    }
    succeed();
    return true;
}

QByteArray QtSerialPort::readAll()
{
    if (!m_port.isOpen()) {
        fail(NeedsOpenPort, QStringLiteral("Порт не открыт"));
        return {};
    }
    // An error the event loop met since the last poll counts too: a dead tty reports it there first.
    QSerialPort::SerialPortError error = m_port.error();
    if (error != QSerialPort::ReadError && error != QSerialPort::ResourceError) {
        m_port.clearError();
        m_port.waitForReadyRead(0);   // take in what the driver holds, without waiting
        error = m_port.error();
    }
    if (error == QSerialPort::ReadError || error == QSerialPort::ResourceError) {
        // Qt's words alone can be a stray errno; say what happened first.
        const QString reason = QStringLiteral("Ошибка чтения порта (устройство отключено?): ") + m_port.errorString();
        m_port.clearError();
        fail(ReadError, reason);
        return {};
    }
    m_port.clearError();
    succeed();
    return m_port.readAll();
}

QString QtSerialPort::settingsText() const
{
    return QString::number(m_speed) + QStringLiteral(",N,8,1");
}
