#pragma once
#include "link/PortProblem.h"
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <functional>

// What the program needs of a serial port. Operations never throw; a failed one leaves its
// classic error number in lastError() (0 after a successful operation).
class SerialPort {
public:
    // Classic serial-control error numbers (see the platform notes).
    enum Error {
        NoError = 0,
        NoSuchPort = 8002,
        PortAlreadyOpen = 8005,
        PortNotAvailable = 8010,
        PortNotOpen = 8012,
        SettingsRejected = 8015,
        NeedsOpenPort = 8018,
        ReadError = 8020,
        QtErrorBase = 8100,   // plus Qt's code where no classic number fits (8000 + it would collide)
    };
    // Handshaking codes of the line: "None" 0, "XonXoff" 1, "RTS" 2, "RTSXonXoff" 3.
    virtual ~SerialPort() = default;

    virtual bool open(int portNumber, int speed, int handshaking) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    virtual bool write(QByteArrayView bytes) = 0;
    // Everything waiting, without blocking; empty when nothing arrived or on error.
    virtual QByteArray readAll() = 0;

    virtual int lastError() const = 0;
    // The operating system's own words for the last error (tooltip text).
    virtual QString lastErrorText() const = 0;
    // What kind of trouble the last failed operation was, for advice beyond the number.
    virtual PortProblem::Kind lastFault() const { return PortProblem::kindOf(lastError(), true); }
    // Current line settings, e.g. "9600,N,8,1".
    virtual QString settingsText() const = 0;
    // The device a port number resolves to (tooltip), empty when not known.
    virtual QString deviceFor(int portNumber) const = 0;

    // Called (on the GUI thread) when bytes have arrived, so a lock-step exchange can answer at once
    // instead of on the next poll. A port that cannot tell is simply polled.
    virtual void setArrivalCallback(std::function<void()> callback) { (void)callback; }
};
