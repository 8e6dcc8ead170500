#pragma once
#include "link/PortNumbering.h"
#include <QString>
#include <memory>

class SerialPort;

// Where real serial ports come from: one numbering of the adapters for the whole process, so a
// port number reaches the same device in the window, a single command and every unit of a batch.
class PortFactory {
public:
    explicit PortFactory(const QString &programFolder);

    QString programFolder() const { return m_folder; }
    PortNumbering &numbering() { return m_numbering; }
    // A real port that resolves its numbers through the shared numbering.
    std::unique_ptr<SerialPort> make() const;

private:
    QString m_folder;
    PortNumbering m_numbering;
};
