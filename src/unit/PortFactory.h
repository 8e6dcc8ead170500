#pragma once
#include "link/PortNumbering.h"
#include <QString>
#include <memory>

class SerialPort;
class TraceFile;

// Where real serial ports come from: one numbering of the adapters for the whole process, so a
// port number reaches the same device in the window, a single command and every unit of a batch.
class PortFactory {
public:
    explicit PortFactory(const QString &programFolder);

    QString programFolder() const { return m_folder; }
    PortNumbering &numbering() { return m_numbering; }
    // A real port that resolves its numbers through the shared numbering.
    // With a trace set, every byte each of them sends and receives.
    std::unique_ptr<SerialPort> make() const;
    // Every port made from now on writes into this trace (the command line's --trace).
    void setTrace(std::shared_ptr<TraceFile> trace) { m_trace = std::move(trace); }

private:
    QString m_folder;
    PortNumbering m_numbering;
    std::shared_ptr<TraceFile> m_trace;
};
