#pragma once
#include <QObject>
#include <QString>

// What the firmware page may start: the unit operations the command line runs, on the window's
// unit. The page asks its questions and chooses the file; the operation sends, and runs only on
// the unit identified as `unit` (SerialLink::identificationCount when the user was asked).
class FirmwareOperations : public QObject {
    Q_OBJECT
public:
    enum class Kind { Copy, Flash };
    using QObject::QObject;

    // finished() follows, also when the operation refuses to start.
    virtual void start(Kind kind, const QString &file, int unit) = 0;
    virtual bool running() const = 0;

signals:
    void finished(bool ok);
};
