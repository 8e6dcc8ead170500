#pragma once
#include "link/SerialPort.h"
#include <QSerialPort>
#include <QString>

// The program's serial port over QSerialPort: numbered ports resolved to devices, classic error
// numbers, the operating system's own error text kept for the tooltip.
class QtSerialPort : public SerialPort {
public:
    // programFolder: where Service/ports/COM<N> links to a tty may stand.
    explicit QtSerialPort(QString programFolder);
    ~QtSerialPort() override;

    bool open(int portNumber, int speed, int handshaking) override;
    void close() override;
    bool isOpen() const override { return m_port.isOpen(); }
    bool write(const QByteArray &bytes) override;
    QByteArray readAll() override;

    int lastError() const override { return m_lastError; }
    QString lastErrorText() const override { return m_lastErrorText; }
    QString settingsText() const override;
    QString deviceFor(int portNumber) const override;
    void setArrivalCallback(std::function<void()> callback) override { m_arrival = std::move(callback); }

    // Classic number for a QSerialPort error (8100 + Qt's code where no classic one fits).
    static int classicError(QSerialPort::SerialPortError error);

private:
    void fail(int number, const QString &text);
    void succeed();

    QString m_programFolder;
    QSerialPort m_port;
    std::function<void()> m_arrival;
    int m_speed = 9600;
    int m_lastError = 0;
    QString m_lastErrorText;
};
