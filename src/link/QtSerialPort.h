#pragma once
#include "link/PortNumbering.h"
#include "link/SerialPort.h"
#include <QSerialPort>
#include <QString>

// The program's serial port over QSerialPort: numbered ports resolved to devices, classic error
// numbers, the operating system's own error text kept for the tooltip.
class QtSerialPort : public SerialPort {
public:
    // programFolder: where Service/ports/COM<N> links to a tty may stand. numbering: the process's
    // port numbers when they are shared (numbers held in memory, device paths given by hand); null:
    // the port resolves numbers on its own.
    explicit QtSerialPort(QString programFolder, const PortNumbering *numbering = nullptr);
    ~QtSerialPort() override;

    bool open(int portNumber, int speed, int handshaking) override;
    void close() override;
    bool isOpen() const override { return m_port.isOpen(); }
    bool write(QByteArrayView bytes) override;
    QByteArray readAll() override;

    int lastError() const override { return m_lastError; }
    QString lastErrorText() const override { return m_lastErrorText; }
    PortProblem::Kind lastFault() const override { return m_lastFault; }
    QString settingsText() const override;
    QString deviceFor(int portNumber) const override;
    void setArrivalCallback(std::function<void()> callback) override { m_arrival = std::move(callback); }

    // Classic number for a QSerialPort error (8100 + Qt's code where no classic one fits).
    static int classicError(QSerialPort::SerialPortError error);

private:
    void fail(int number, const QString &text, PortProblem::Kind kind = PortProblem::Kind::Other);
    void succeed();

    PortNumbering m_ownNumbering;
    const PortNumbering *m_numbering;
    QSerialPort m_port;
    std::function<void()> m_arrival;
    int m_speed = 9600;
    int m_lastError = 0;
    QString m_lastErrorText;
    PortProblem::Kind m_lastFault = PortProblem::Kind::None;
};
