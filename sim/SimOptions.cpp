#include "SimOptions.h"
#include "SimDefaults.h"
#include "SimText.h"
#include <QCommandLineParser>
#include <QDir>
#include <QFile>

namespace {
bool toInt(const QString &text, int minimum, int *value)
{
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || v < minimum)
        return false;
    *value = v;
    return true;
}
}

QString SimOptions::linkPath() const
{
    return QDir(folder).filePath(QStringLiteral("Service/ports/COM%1").arg(port));
}

SimOptions::Outcome SimOptions::parse(const QStringList &arguments, SimOptions &o, QString *text)
{
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral(
        "Simulated ZORGEL unit on a pseudo-terminal. Prints \"ready <link>\" once it serves."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help."));
    const QCommandLineOption folder(QStringLiteral("folder"),
        QStringLiteral("Program folder; the link is <dir>/Service/ports/COM<n> (required)."), QStringLiteral("dir"));
    const QCommandLineOption port(QStringLiteral("port"), QStringLiteral("Port number (default 1)."), QStringLiteral("n"), QStringLiteral("1"));
    const QCommandLineOption config(QStringLiteral("config"),
        QStringLiteral("Configuration memory file (default <dir>/Service/zorgel-config.bin)."), QStringLiteral("file"));
    const QCommandLineOption firmware(QStringLiteral("firmware"),
        QStringLiteral("Firmware file (default <dir>/Service/zorgel-firmware.bin)."), QStringLiteral("file"));
    const QCommandLineOption name(QStringLiteral("name"), QStringLiteral("Device name, up to 16 characters."), QStringLiteral("text"));
    const QCommandLineOption frames(QStringLiteral("frames"),
        QStringLiteral("Monitoring frames: alternate (default), measurement or sensors."), QStringLiteral("kind"), QStringLiteral("alternate"));
    const QCommandLineOption silent(QStringLiteral("silent"), QStringLiteral("Answer nothing."));
    const QCommandLineOption garbage(QStringLiteral("garbage"), QStringLiteral("Answer random bytes instead."));
    const QCommandLineOption lengthDelta(QStringLiteral("length-delta"),
        QStringLiteral("Make replies n bytes longer (n > 0) or shorter (n < 0)."), QStringLiteral("n"));
    const QCommandLineOption split(QStringLiteral("split"), QStringLiteral("Send each reply in k pieces."), QStringLiteral("k"));
    const QCommandLineOption gap(QStringLiteral("gap"), QStringLiteral("Milliseconds between pieces."), QStringLiteral("ms"));
    const QCommandLineOption only(QStringLiteral("only"),
        QStringLiteral("Limit --silent, --garbage, --length-delta, --split and --stream-after to this request, "
                       "e.g. #6000 (repeatable)."),
        QStringLiteral("request"));
    const QCommandLineOption ackLimit(QStringLiteral("ack-limit"),
        QStringLiteral("Stop acknowledging write blocks after k blocks."), QStringLiteral("k"));
    const QCommandLineOption closeAfter(QStringLiteral("close-after"),
        QStringLiteral("Close the line after sending n bytes."), QStringLiteral("n"));
    const QCommandLineOption baud(QStringLiteral("baud"),
        QStringLiteral("Pace the line, both ways, at rate/10 bytes per second; 0: as fast as possible "
                       "(default: the speed the program set on the line)."), QStringLiteral("rate"));
    const QCommandLineOption closeAfterBlocks(QStringLiteral("close-after-blocks"),
        QStringLiteral("Close the line once n write blocks have arrived."), QStringLiteral("n"));
    const QCommandLineOption withholdLastOk(QStringLiteral("withhold-last-ok"),
        QStringLiteral("Acknowledge every write block but the last one."));
    const QCommandLineOption splitOk(QStringLiteral("split-ok"),
        QStringLiteral("Send each write \"OK\" as \"O\", then \"K\" this many milliseconds later."), QStringLiteral("ms"));
    const QCommandLineOption splitCrlf(QStringLiteral("split-crlf"),
        QStringLiteral("Follow each write \"OK\" by CR LF this many milliseconds later, as a USB adapter may "
                       "hand the line end over in a read of its own."), QStringLiteral("ms"));
    const QCommandLineOption streamAfter(QStringLiteral("stream-after"),
        QStringLiteral("Send n more bytes of noise after each reply (with --only: after those replies); a large n "
                       "streams on for as long as anyone listens."), QStringLiteral("n"));
    const QCommandLineOption streamByte(QStringLiteral("stream-byte"),
        QStringLiteral("Make the noise of --stream-after this byte, 0 ... 255 (default: random bytes without "
                       "\"O\")."), QStringLiteral("n"));
    const QCommandLineOption ackDelay(QStringLiteral("ack-delay"),
        QStringLiteral("Hold each write \"OK\" this many milliseconds, as a unit slower than its line does "
                       "(the answer to the request is the first \"OK\" of a write)."), QStringLiteral("ms"));
    const QCommandLineOption ackDelayEvery(QStringLiteral("ack-delay-every"),
        QStringLiteral("Hold only every n-th write \"OK\" (with --ack-delay; default 1)."), QStringLiteral("n"));
    const QCommandLineOption statusText(QStringLiteral("status-text"),
        QStringLiteral("Send this line (CR LF added) just before write \"OK\" number --status-at, as a unit "
                       "reports what it is doing."), QStringLiteral("text"));
    const QCommandLineOption statusAt(QStringLiteral("status-at"),
        QStringLiteral("The write \"OK\" the --status-text comes before, from 1 (the answer to the request)."),
        QStringLiteral("k"));
    const QCommandLineOption seed(QStringLiteral("seed"), QStringLiteral("Seed for random bytes (default 1)."), QStringLiteral("n"));
    const QCommandLineOption flip(QStringLiteral("flip-on-write"),
        QStringLiteral("Store byte n (from 0) of every completed write inverted, so a read-back differs."), QStringLiteral("n"));
    p.addOptions({help, folder, port, config, firmware, name, frames, silent, garbage, lengthDelta, split, gap, only,
                  ackLimit, closeAfter, baud, seed, flip, closeAfterBlocks, withholdLastOk, splitOk, splitCrlf,
                  streamAfter, streamByte, ackDelay, ackDelayEvery, statusText, statusAt});
    // Monitoring replies; a short or missing one is --length-delta -n or --silent with --only #6002,
    // a unit that trickles them is --split 64 --gap <ms> with --only #6002.
    const QCommandLineOption frameKind(QStringLiteral("frame-kind"),
        QStringLiteral("Set the last byte (the frame kind) of every monitoring reply to n, 0 ... 255."), QStringLiteral("n"));
    const QCommandLineOption frameFile(QStringLiteral("frame-file"),
        QStringLiteral("Answer every #6002 with the bytes of this file, as they are."), QStringLiteral("file"));
    p.addOptions({frameKind, frameFile});

    auto fail = [&](const QString &message) {
        *text = message + QStringLiteral("\nTry --help.");
        return Outcome::Error;
    };
    if (!p.parse(arguments))
        return fail(p.errorText());
    if (p.isSet(help)) {
        *text = p.helpText();
        return Outcome::Help;
    }
    if (!p.positionalArguments().isEmpty())
        return fail(QStringLiteral("Unexpected argument: %1").arg(p.positionalArguments().first()));
    if (!p.isSet(folder) || p.value(folder).isEmpty())
        return fail(QStringLiteral("--folder is required."));

    o.folder = p.value(folder);
    if (!toInt(p.value(port), 1, &o.port))
        return fail(QStringLiteral("--port needs a number of 1 or more."));
    const QDir service(QDir(o.folder).filePath(QStringLiteral("Service")));
    o.imagePath = p.isSet(config) ? p.value(config) : service.filePath(QStringLiteral("zorgel-config.bin"));
    o.firmwarePath = p.isSet(firmware) ? p.value(firmware) : service.filePath(QStringLiteral("zorgel-firmware.bin"));

    if (p.isSet(name)) {
        bool ok = false;
        const QByteArray bytes = SimText::toCp1251(p.value(name), &ok);
        if (!ok)
            return fail(QStringLiteral("--name must be Windows-1251 text."));
        if (bytes.size() > 16)
            return fail(QStringLiteral("--name has more than 16 characters."));
        o.name = SimText::padded(bytes, 16);
    } else {
        o.name = SimDefaults::deviceName();
    }

    const QString kind = p.value(frames);
    if (kind == QLatin1String("alternate"))
        o.frames = SimCore::Frames::Alternate;
    else if (kind == QLatin1String("measurement"))
        o.frames = SimCore::Frames::Measurement;
    else if (kind == QLatin1String("sensors"))
        o.frames = SimCore::Frames::Sensors;
    else
        return fail(QStringLiteral("--frames is alternate, measurement or sensors."));

    SimFaults &f = o.faults;
    f.silent = p.isSet(silent);
    f.garbage = p.isSet(garbage);
    if (p.isSet(lengthDelta)) {
        bool ok = false;
        f.lengthDelta = p.value(lengthDelta).toInt(&ok);
        if (!ok)
            return fail(QStringLiteral("--length-delta needs a whole number."));
    }
    if (p.isSet(split) && !toInt(p.value(split), 1, &f.pieces))
        return fail(QStringLiteral("--split needs a number of 1 or more."));
    if (p.isSet(gap) && !toInt(p.value(gap), 0, &f.gapMs))
        return fail(QStringLiteral("--gap needs a number of milliseconds."));
    for (const QString &request : p.values(only)) {
        if (request.size() != 5 || !request.startsWith(QLatin1Char('#')))
            return fail(QStringLiteral("--only takes a five-character request such as #6000."));
        f.onlyFor.append(request.toLatin1());
    }
    if (p.isSet(ackLimit) && !toInt(p.value(ackLimit), 0, &f.ackLimit))
        return fail(QStringLiteral("--ack-limit needs a number of 0 or more."));
    if (p.isSet(closeAfter)) {
        int n = 0;
        if (!toInt(p.value(closeAfter), 0, &n))
            return fail(QStringLiteral("--close-after needs a number of 0 or more."));
        f.closeAfterBytes = n;
    }
    if (p.isSet(baud)) {
        o.paceAtLineSpeed = false;
        if (!toInt(p.value(baud), 0, &f.baud) || (f.baud > 0 && f.baud < 10))
            return fail(QStringLiteral("--baud needs 0 or a rate of 10 or more."));
    }
    if (p.isSet(closeAfterBlocks) && !toInt(p.value(closeAfterBlocks), 0, &f.closeAfterBlocks))
        return fail(QStringLiteral("--close-after-blocks needs a number of 0 or more."));
    f.withholdLastAck = p.isSet(withholdLastOk);
    if (p.isSet(splitOk) && !toInt(p.value(splitOk), 0, &f.splitAckGapMs))
        return fail(QStringLiteral("--split-ok needs a number of milliseconds."));
    if (p.isSet(splitCrlf) && !toInt(p.value(splitCrlf), 0, &f.splitCrlfMs))
        return fail(QStringLiteral("--split-crlf needs a number of milliseconds."));
    if (p.isSet(streamAfter)) {
        bool ok = false;
        f.streamAfter = p.value(streamAfter).toLongLong(&ok);
        if (!ok || f.streamAfter < 0)
            return fail(QStringLiteral("--stream-after needs a number of 0 or more."));
    }
    if (p.isSet(ackDelay) && !toInt(p.value(ackDelay), 0, &f.ackDelayMs))
        return fail(QStringLiteral("--ack-delay needs a number of milliseconds."));
    if (p.isSet(ackDelayEvery) && !toInt(p.value(ackDelayEvery), 1, &f.ackDelayEvery))
        return fail(QStringLiteral("--ack-delay-every needs a number of 1 or more."));
    if (p.isSet(statusText) != p.isSet(statusAt))
        return fail(QStringLiteral("--status-text and --status-at go together."));
    if (p.isSet(statusText)) {
        bool ok = false;
        f.statusText = SimText::toCp1251(p.value(statusText), &ok);
        if (!ok || f.statusText.isEmpty())
            return fail(QStringLiteral("--status-text must be Windows-1251 text."));
        if (!toInt(p.value(statusAt), 1, &f.statusAt))
            return fail(QStringLiteral("--status-at needs a number of 1 or more."));
    }
    if (p.isSet(streamByte) && (!toInt(p.value(streamByte), 0, &f.streamByte) || f.streamByte > 255))
        return fail(QStringLiteral("--stream-byte needs a byte value, 0 ... 255."));
    if (p.isSet(frameKind) && (!toInt(p.value(frameKind), 0, &f.frameKind) || f.frameKind > 255))
        return fail(QStringLiteral("--frame-kind needs a byte value, 0 ... 255."));
    if (p.isSet(frameFile)) {
        QFile file(p.value(frameFile));
        if (!file.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("--frame-file: cannot read %1: %2").arg(file.fileName(), file.errorString()));
        f.monitorFrame = file.readAll();
        if (f.monitorFrame.isEmpty())
            return fail(QStringLiteral("--frame-file: %1 is empty.").arg(file.fileName()));
    }
    if (p.isSet(flip) && !toInt(p.value(flip), 0, &f.flipOnWrite))
        return fail(QStringLiteral("--flip-on-write needs a byte offset of 0 or more."));
    if (p.isSet(seed)) {
        bool ok = false;
        f.seed = p.value(seed).toUInt(&ok);
        if (!ok)
            return fail(QStringLiteral("--seed needs a non-negative number."));
    }
    return Outcome::Run;
}
