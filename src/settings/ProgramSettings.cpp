// Placeholder so everything links; replaced by the real implementation.
#include "settings/ProgramSettings.h"

ProgramSettings::ProgramSettings(QString filePath, SerialLink &link, ProgramOptions &options, CommandQueue &queue,
                                 MessageSink &messages, QObject *parent)
    : QObject(parent), m_filePath(std::move(filePath)), m_link(link), m_options(options), m_queue(queue),
      m_messages(messages)
{
}
void ProgramSettings::TXconfigLoadParam() {}
void ProgramSettings::TXconfigUpdateParam() {}
void ProgramSettings::TXconfigSaveParam() {}
void ProgramSettings::TXconfigPauseTimers() {}
void ProgramSettings::TXconfigResumeTimers() {}
void ProgramSettings::splitLine(const QString &, QString &, QString &) {}
