// zorgel-sim: serves the simulated unit on a pseudo-terminal linked as <folder>/Service/ports/COM<n>.
#include "SimCore.h"
#include "SimOptions.h"
#include "SimStore.h"
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/signalfd.h>
#include <termios.h>
#include <unistd.h>

namespace {
constexpr qint64 kDrainLimitMs = 2000;
constexpr qint64 kSettleMs = 50;
constexpr qsizetype kOutgoingLimit = 65536;
constexpr int kFullLineWaitMs = 100;

void say(FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

int fail(const QString &text)
{
    say(stderr, QStringLiteral("zorgel-sim: ") + text);
    return 1;
}

// The speed the program set on its end of the line (the pty keeps it), 0 when unknown.
int lineBaud(int fd)
{
    termios settings{};
    if (tcgetattr(fd, &settings) != 0)
        return 0;
    switch (cfgetospeed(&settings)) {
    case B1200: return 1200;
    case B2400: return 2400;
    case B4800: return 4800;
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    case B57600: return 57600;
    case B115200: return 115200;
    case B230400: return 230400;
    case B460800: return 460800;
    case B921600: return 921600;
    default: return 0;
    }
}

QString lastOsError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// Replaces whatever sits at the link path (a stale link of an earlier run, typically).
bool makeLink(const QString &target, const QString &link)
{
    QDir().mkpath(QFileInfo(link).absolutePath());
    const QByteArray path = QFile::encodeName(link);
    if (::unlink(path.constData()) != 0 && errno != ENOENT)
        return false;
    return ::symlink(QFile::encodeName(target).constData(), path.constData()) == 0;
}
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    SimOptions options;
    QString text;
    switch (SimOptions::parse(QCoreApplication::arguments(), options, &text)) {
    case SimOptions::Outcome::Help:
        say(stdout, text);
        return 0;
    case SimOptions::Outcome::Error:
        say(stderr, text);
        return 2;
    case SimOptions::Outcome::Run:
        break;
    }

    SimStore store(options.imagePath, options.firmwarePath);
    if (!store.load(&text))
        return fail(text);
    SimCore core(store.image(), store.firmware(), options.faults);
    core.setDeviceName(options.name);
    core.setFrames(options.frames);
    core.imageCommitted = [&store](const QByteArray &image) {
        QString error;
        if (!store.saveImage(image, &error))
            fail(error);
    };
    core.protocolViolation = [](const QString &what) { say(stdout, QStringLiteral("protocol violation: ") + what); };
    core.firmwareCommitted = [&store](const QByteArray &firmware) {
        QString error;
        if (!store.saveFirmware(firmware, &error))
            fail(error);
    };

    // Signals arrive as readable data, so the poll loop handles them between exchanges.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    if (sigprocmask(SIG_BLOCK, &stopSignals, nullptr) != 0)
        return fail(QStringLiteral("sigprocmask: ") + lastOsError());
    const int signalFd = signalfd(-1, &stopSignals, SFD_CLOEXEC);
    if (signalFd < 0)
        return fail(QStringLiteral("signalfd: ") + lastOsError());

    int master = -1;
    int slave = -1;
    if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0)
        return fail(QStringLiteral("openpty: ") + lastOsError());
    // Our own slave descriptor stays open for the whole run: without it the master would see a
    // hang-up each time the program closes the port.
    termios raw{};
    if (tcgetattr(slave, &raw) == 0) {
        cfmakeraw(&raw);
        tcsetattr(slave, TCSANOW, &raw);
    }
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    fcntl(master, F_SETFD, FD_CLOEXEC);
    fcntl(slave, F_SETFD, FD_CLOEXEC);
    char slaveName[256] = {};
    if (ttyname_r(slave, slaveName, sizeof slaveName) != 0)
        return fail(QStringLiteral("ttyname: ") + lastOsError());

    const QString link = options.linkPath();
    if (!makeLink(QString::fromLocal8Bit(slaveName), link))
        return fail(QStringLiteral("cannot link %1: %2").arg(link, lastOsError()));
    const QByteArray linkName = QFile::encodeName(link);
    say(stdout, QStringLiteral("ready ") + link);

    QElapsedTimer clock;
    clock.start();
    // The line's pace is the core's: it is told the time to the microsecond and woken when it asks.
    const auto nowMs = [&clock] { return double(clock.nsecsElapsed()) / 1e6; };
    QByteArray outgoing;   // released by the core, not yet taken by the pty
    char buffer[4096];
    for (;;) {
        if (options.paceAtLineSpeed)
            core.setLineBaud(lineBaud(slave));
        // A unit streaming on must not pile its output up here while the line is full.
        if (outgoing.size() < kOutgoingLimit)
            outgoing += core.takeOutput(nowMs());
        while (!outgoing.isEmpty()) {
            const ssize_t n = ::write(master, outgoing.constData(), size_t(outgoing.size()));
            if (n <= 0)
                break;   // pty full (EAGAIN) or error: try again when writable
            outgoing.remove(0, n);
        }
        if (core.lineClosed() && outgoing.isEmpty()) {
            // Let the program take what was sent before the line goes: closing the master drops
            // whatever still waits on the slave's side. The pty hands bytes over asynchronously,
            // so an empty queue only counts once the last write has had a moment to arrive.
            QElapsedTimer drain;
            drain.start();
            for (int waiting = 0; drain.elapsed() < kDrainLimitMs; ::poll(nullptr, 0, 10)) {
                if (drain.elapsed() >= kSettleMs && ::ioctl(slave, FIONREAD, &waiting) == 0 && waiting == 0)
                    break;
            }
            ::close(master);
            ::close(slave);
            ::unlink(linkName.constData());
            say(stdout, QStringLiteral("closed"));
            return 0;
        }

        const double next = core.nextEventMs();
        // With output waiting, the line's room (or input) is what to wait for.
        double waitMs = next < 0 ? -1 : qBound(0.0, next - nowMs(), 60000.0);
        if (!outgoing.isEmpty())
            waitMs = kFullLineWaitMs;
        const qint64 waitNs = qint64(waitMs * 1e6);
        const timespec timeout{time_t(waitNs / 1000000000), long(waitNs % 1000000000)};
        pollfd fds[2] = {{master, short(POLLIN | (outgoing.isEmpty() ? 0 : POLLOUT)), 0}, {signalFd, POLLIN, 0}};
        if (::ppoll(fds, 2, waitMs < 0 ? nullptr : &timeout, nullptr) < 0) {
            if (errno == EINTR)
                continue;
            return fail(QStringLiteral("poll: ") + lastOsError());
        }
        if (fds[1].revents & POLLIN) {
            signalfd_siginfo info;
            (void)!::read(signalFd, &info, sizeof info);
            ::close(master);
            ::close(slave);
            ::unlink(linkName.constData());
            return 0;
        }
        if (fds[0].revents & POLLIN) {
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n > 0)
                core.receive(QByteArray(buffer, int(n)), nowMs());
        }
    }
}
