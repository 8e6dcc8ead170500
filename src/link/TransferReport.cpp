#include "link/TransferReport.h"
#include "link/LockStepWrite.h"
#include "link/RussianCount.h"

namespace TransferReport {

QString readFailure(qint64 received, qint64 expected)
{
    if (received == 0)
        return QStringLiteral("Устройство не ответило: получено 0 из %1.").arg(RussianCount::bytes(expected));
    if (received < expected)
        return QStringLiteral("Ответ устройства оборвался: получено %1 из %2.")
            .arg(received)
            .arg(RussianCount::bytes(expected));
    if (received > expected)
        return QStringLiteral("Ответ устройства длиннее ожидаемого: получено %1 вместо %2.")
            .arg(RussianCount::bytes(received))
            .arg(expected);
    return QString();
}

QString writeFailure(const LockStepWrite &write)
{
    if (write.sent() == 0)
        return QStringLiteral("Устройство не ответило на запрос записи: блоки не передавались.");
    if (write.acknowledged() < write.sent())
        return QStringLiteral("Устройство перестало подтверждать блоки: подтверждено %1 из %2 переданных (всего %3).")
            .arg(write.acknowledged())
            .arg(write.sent())
            .arg(RussianCount::blocks(write.blockCount()));
    return QStringLiteral("Передано %1 из %2, все подтверждены.")
        .arg(write.sent())
        .arg(RussianCount::blocks(write.blockCount()));
}

bool nothingSent(const LockStepWrite &write)
{
    return write.sent() == 0;
}

}
