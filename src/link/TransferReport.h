#pragma once
#include <QString>

class LockStepWrite;

// Which way a transfer with the unit failed, in words for the command line: silence, a reply
// shorter or longer than the protocol's, or a unit that stopped acknowledging blocks, with the
// counts behind it. The window keeps its own message texts.
namespace TransferReport {
// A read that ended with `received` of `expected` bytes.
QString readFailure(qint64 received, qint64 expected);
// A lock-step write that ended before the unit acknowledged every block.
QString writeFailure(const LockStepWrite &write);
// Nothing of the data went out: the unit's memory is as it was.
bool nothingSent(const LockStepWrite &write);
}
