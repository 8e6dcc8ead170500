#include "unit/PortFactory.h"
#include "link/QtSerialPort.h"

PortFactory::PortFactory(const QString &programFolder) : m_folder(programFolder), m_numbering(programFolder)
{
}

std::unique_ptr<SerialPort> PortFactory::make() const
{
    return std::make_unique<QtSerialPort>(m_folder, &m_numbering);
}
