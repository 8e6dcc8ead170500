#include "cli/CliUnit.h"
#include "cli/InterruptWatch.h"
#include "cli/LineDrain.h"
#include "cli/ProgressReporter.h"
#include "link/CommandQueue.h"
#include "link/OperationTags.h"
#include "link/SerialLink.h"
#include "link/SerialPort.h"
#include "link/StatusModel.h"
#include "link/UnitSettings.h"
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

namespace {
// How often the loop looks for Ctrl+C and for a pump that stopped.
constexpr int kWatchMs = 50;
}

CliUnit::CliUnit(UnitSession &unit, ProgressReporter *progress, QObject *parent)
    : QObject(parent), m_unit(unit), m_progress(progress)
{
    m_unit.queue().setLinkFree(true);
    connect(&m_unit.status(), &StatusModel::changed, this, &CliUnit::showProgress);
}

CliUnit::~CliUnit()
{
    close();
}

QList<int> CliUnit::candidatePorts(std::optional<int> port) const
{
    if (port)
        return {*port};
    QList<int> ports{m_unit.link().UsbComPortNumber};
    for (const QString &item : m_unit.link().choices().portItems()) {
        const int n = SerialLink::numericValue(item);
        if (n > 0 && !ports.contains(n))
            ports.append(n);
    }
    return ports;
}

bool CliUnit::identify(int port)
{
    m_lastOutcome = {};
    status().setConnection(StatusModel::kNone);
    QString number = QString::number(port);
    drainUntilQuiet(number);
    link().PoiskUstroistva(number);
    if (link().RPF_02VektorPriemaIsPorta == Tag::NameReading)
        waitWhileTag(Tag::NameReading);
    if (link().RPF_02VektorPriemaIsPorta == Tag::NameRead && link().isOpen()) {
        // What the status panel's supervision shows once a unit has answered.
        status().setConnection(StatusModel::kActive);
        return true;
    }
    m_lastOutcome = UnitReport::portOutcome(port, link(), m_unit.programFolder());
    link().CloseUsbComPort();
    return false;
}

void CliUnit::drainUntilQuiet(const QString &number)
{
    link().OpenUsbComPort(number);
    link().pollTimer().stop();
    if (!link().isOpen())
        return;
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(LineDrain::kPollMs);
    LineDrain drain(link().UsbComPortSpeed);
    QElapsedTimer elapsed;
    elapsed.start();
    connect(&poll, &QTimer::timeout, &loop, [&] {
        if (drain.poll(link().port().readAll().size(), elapsed.elapsed()) || InterruptWatch::interrupted()
            || !link().port().isOpen())
            loop.quit();
    });
    poll.start();
    loop.exec();
}

CliUnit::End CliUnit::waitWhileTag(const QString &tag)
{
    QEventLoop loop;
    bool interrupted = false;
    // Between ticks only: the pump stops its own timer while a tick runs.
    const auto check = [&] {
        if (InterruptWatch::interrupted()) {
            interrupted = true;
            loop.quit();
        } else if (link().RPF_02VektorPriemaIsPorta != tag || !link().pollTimer().isActive()) {
            // A stopped pump would never end the exchange; the caller sees its tag unchanged.
            loop.quit();
        }
    };
    QTimer watch;
    watch.setInterval(kWatchMs);
    connect(&watch, &QTimer::timeout, &loop, check);
    // A finished exchange is noticed on the tick that finished it.
    connect(&link(), &SerialLink::stateChanged, &loop, [&] {
        if (link().RPF_02VektorPriemaIsPorta != tag)
            loop.quit();
    });
    watch.start();
    check();
    if (!interrupted && link().RPF_02VektorPriemaIsPorta == tag && link().pollTimer().isActive())
        loop.exec();
    if (m_progress)
        m_progress->end();
    return interrupted ? End::Interrupted : End::Finished;
}

CliUnit::End CliUnit::pause(int ms)
{
    QEventLoop loop;
    QTimer watch;
    watch.setInterval(kWatchMs);
    connect(&watch, &QTimer::timeout, &loop, [&loop] {
        if (InterruptWatch::interrupted())
            loop.quit();
    });
    QTimer::singleShot(qMax(0, ms), &loop, &QEventLoop::quit);
    watch.start();
    if (!InterruptWatch::interrupted())
        loop.exec();
    return InterruptWatch::interrupted() ? End::Interrupted : End::Finished;
}

void CliUnit::abort()
{
    link().RPF_02VektorPriemaIsPorta.clear();
    close();
}

void CliUnit::close()
{
    link().pollTimer().stop();
    if (link().isOpen())
        link().CloseUsbComPort();
}

void CliUnit::showProgress()
{
    if (!m_progress || !m_progressShown)
        return;
    if (const auto numbers = ProgressReporter::parseCounter(status().counter()))
        m_progress->update(numbers->first, numbers->second);
}
