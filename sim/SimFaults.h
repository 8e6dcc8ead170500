#pragma once
#include <QByteArray>
#include <QList>

// Ways the simulated unit can be told to misbehave, so the program's error paths can be exercised.
struct SimFaults {
    // Reply faults: they apply to every request, or only to those listed in onlyFor.
    bool silent = false;            // no reply at all
    bool garbage = false;           // random bytes in place of the reply (same length)
    int lengthDelta = 0;            // reply made this many bytes longer (> 0) or shorter (< 0)
    int pieces = 1;                 // reply split into this many pieces ...
    int gapMs = 0;                  // ... this far apart
    QList<QByteArray> onlyFor;      // e.g. {"#6000"}; empty: every request

    int ackLimit = -1;              // stop acknowledging write blocks after this many; -1: never
    bool withholdLastAck = false;   // acknowledge every write block but the last one
    int splitAckGapMs = -1;         // send each write "OK" as "O", then "K" this much later; -1: whole
    int splitCrlfMs = -1;           // follow each write "OK" by CR LF this much later; -1: "OK" alone
    // Write "OK"s are counted per write session, the answer to the request being the first.
    int ackDelayMs = 0;             // each write "OK" leaves this much later than it is due ...
    int ackDelayEvery = 1;          // ... or only every n-th one
    QByteArray statusText;          // a line (CR LF added) sent just before write "OK" number statusAt
    int statusAt = -1;              // -1: none
    int statusDelayMs = 0;          // ... this long after the unit received the block before it
    qint64 streamAfter = 0;         // bytes of noise sent on after each reply (a reply fault)
    int streamByte = -1;            // the noise is this byte repeated; -1: random bytes without 'O'
    int closeAfterBlocks = -1;      // close the line once this many write blocks arrived; -1: never
    qint64 closeAfterBytes = -1;    // close the line once this many bytes have gone out; -1: never
    int baud = 0;                   // pace output at baud / 10 bytes per second; 0: as fast as possible
    quint32 seed = 1;               // for garbage and fillers, so a run can be repeated
    int frameKind = -1;             // last byte of every monitoring reply set to this; -1: as made
    QByteArray monitorFrame;        // served for every "#6002" in place of the unit's own frames
    int flipOnWrite = -1;           // a completed write keeps this byte (0-based) inverted; -1: never

    bool appliesTo(const QByteArray &request) const { return onlyFor.isEmpty() || onlyFor.contains(request); }
};
