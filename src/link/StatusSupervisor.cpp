// Placeholder so everything links; replaced by the real implementation.
#include "link/StatusSupervisor.h"

StatusSupervisor::StatusSupervisor(SerialLink &link, CommandQueue &queue, StatusModel &status,
                                   ProgramOptions &options, ProgramSettings &settings, QObject *parent)
    : QObject(parent), m_link(link), m_queue(queue), m_status(status), m_options(options), m_settings(settings)
{
    m_timer.setInterval(200);
}
void StatusSupervisor::tick() {}
void StatusSupervisor::load() {}
void StatusSupervisor::runAutomaticSearch() {}
void StatusSupervisor::followUpTag() {}
