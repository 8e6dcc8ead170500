#include "unit/PortFactory.h"
#include "link/QtSerialPort.h"
#include "link/TracingSerialPort.h"

PortFactory::PortFactory(const QString &programFolder) : m_folder(programFolder), m_numbering(programFolder)
{
}

std::unique_ptr<SerialPort> PortFactory::make() const
{
    auto port = std::make_unique<QtSerialPort>(m_folder, &m_numbering);
    if (m_trace)
        return std::make_unique<TracingSerialPort>(std::move(port), m_trace);
    return port;
}
