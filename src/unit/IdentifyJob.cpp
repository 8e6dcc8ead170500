#include "unit/IdentifyJob.h"
#include "link/RussianCount.h"
#include "link/OperationTags.h"
#include "link/SerialLink.h"
#include "link/SerialPort.h"
#include "link/StatusModel.h"
#include "unit/ExitCode.h"
#include "unit/UnitSession.h"

IdentifyJob::IdentifyJob(UnitSession &unit, UnitMessages &messages, int port, QObject *parent)
    : UnitJob(unit, messages, parent), m_port(port)
{
    m_timer.setInterval(LineDrain::kPollMs);
    connect(&m_timer, &QTimer::timeout, this, &IdentifyJob::poll);
}

QString IdentifyJob::stillSendingNote(qint64 bytes)
{
    return kStillSending + RussianCount::bytes(bytes) + QStringLiteral("…");
}

bool IdentifyJob::isStillSendingNote(const QString &stage)
{
    return stage.startsWith(kStillSending);
}

void IdentifyJob::start()
{
    begin(QStringLiteral("Поиск"), [] { return UnitReport::kSearchInterrupted; }, false);
    m_unit.status().setConnection(StatusModel::kNone);
    link().OpenUsbComPort(QString::number(m_port));
    link().pollTimer().stop();
    if (!link().isOpen())
        return ask();
    drain(LineDrain::kQuietPolls);
}

void IdentifyJob::drain(int quietPolls)
{
    m_drain.emplace(link().UsbComPortSpeed, quietPolls);
    if (!m_manual)
        m_timer.start();
}

void IdentifyJob::poll()
{
    if (!m_drain || done())
        return;
    const qint64 before = m_drain->received();
    const bool over = m_drain->poll(link().port().readAll().size());
    if (m_drain->received() > before)
        note(stillSendingNote(m_drain->received()));
    if (!over && link().port().isOpen())
        return;
    m_timer.stop();
    m_drain.reset();
    ask();
}

void IdentifyJob::ask()
{
    if (stage() != QStringLiteral("Поиск"))
        note(QStringLiteral("Поиск"));
    QString number = QString::number(m_port);
    link().PoiskUstroistva(number);
    await([this] { answered(); });
}

void IdentifyJob::answered()
{
    if (m_unit.exchangeTag() == Tag::NameRead && link().isOpen()) {
        m_name = link().deviceName().trimmed();
        // What the status panel's supervision shows once a unit has answered.
        m_unit.status().setConnection(StatusModel::kActive);
        finish(ExitCode::Success, QStringLiteral("Устройство обнаружено! COM%1: %2").arg(m_port).arg(m_name));
        return;
    }
    if (!m_retried && link().isOpen() && link().NameByteCount <= SerialLink::kNameReplySize) {
        // Silence, or a few bytes that are no name: perhaps a unit still inside a write it was given
        // took the request for a block, and an "OK" it held for the last one came in place of the
        // name; once it gives the write up it answers.
        m_retried = true;
        drain(LineDrain::kGiveUpMs / LineDrain::kPollMs);
        return;
    }
    m_outcome = UnitReport::portOutcome(m_port, link(), m_unit.programFolder());
    link().CloseUsbComPort();
    finish(ExitCode::NoUnit, m_outcome.problem);
}
