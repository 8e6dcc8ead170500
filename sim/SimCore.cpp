#include "SimCore.h"
#include "SimDefaults.h"
#include "SimText.h"
#include <algorithm>
#include <cmath>

namespace {
const QByteArray kIdentify = QByteArrayLiteral("#4000");
const QByteArray kConfigRead = QByteArrayLiteral("#6000");
const QByteArray kConfigWrite = QByteArrayLiteral("#6001");
const QByteArray kMonitor = QByteArrayLiteral("#6002");
const QByteArray kFirmwareRead = QByteArrayLiteral("#5000");
const QByteArray kFirmwareWrite = QByteArrayLiteral("#5001");
const QByteArray kOk = QByteArrayLiteral("OK");
constexpr int kRequestSize = 5;
constexpr int kBlock = 64;
constexpr int kFrameSize = 64;
constexpr int kNoisePiece = 4096;
constexpr qsizetype kOutputLimit = 65536;

bool isRequest(const QByteArray &r)
{
    return r == kIdentify || r == kConfigRead || r == kConfigWrite || r == kMonitor || r == kFirmwareRead
        || r == kFirmwareWrite;
}
}

SimCore::SimCore(const QByteArray &image, const QByteArray &firmware, const SimFaults &faults)
    : m_image(image), m_firmware(firmware), m_name(SimDefaults::deviceName()), m_faults(faults),
      m_random(faults.seed)
{
    m_image.resize(SimDefaults::kImageSize, char(0xFF));
    m_firmware.resize(SimDefaults::kFirmwareSize, char(0xFF));
}

void SimCore::setDeviceName(const QByteArray &name)
{
    m_name = SimText::padded(name, 16);
}

void SimCore::receive(const QByteArray &bytes, double nowMs)
{
    if (m_lineClosed)
        return;
    advance(nowMs);
    // With pacing the bytes take their line time to arrive too; the unit answers once they have.
    if (baud() > 0) {
        m_inputFreeMs = std::max(m_inputFreeMs, nowMs) + double(bytes.size()) * byteTimeMs();
        nowMs = m_inputFreeMs;
    }
    QByteArray data = bytes;
    while (!data.isEmpty() && !m_lineClosed) {
        if (m_session != Session::None) {
            const int total = (m_session == Session::Config ? SimDefaults::kConfigSize : SimDefaults::kFirmwareSize);
            const int take = std::min<int>(data.size(), total - m_sessionData.size());
            const QByteArray part = data.left(take);
            data.remove(0, take);
            sessionData(part, nowMs);
            continue;
        }
        if (!m_input.isEmpty()) {
            m_input += data;
        } else {
            // Noise before a request is dropped without being kept first.
            const qsizetype hash = data.indexOf('#');
            if (hash < 0)
                break;
            // A copy of its own: the caller's bytes may be borrowed.
            m_input = QByteArray(data.constData() + hash, data.size() - hash);
        }
        data.clear();
        // Requests are five characters starting with '#'; anything else is line noise.
        for (;;) {
            const int hash = m_input.indexOf('#');
            if (hash < 0) {
                m_input.clear();
                break;
            }
            m_input.remove(0, hash);
            if (m_input.size() < kRequestSize)
                break;
            const QByteArray request = m_input.left(kRequestSize);
            if (!isRequest(request)) {
                m_input.remove(0, 1);
                continue;
            }
            m_input.remove(0, kRequestSize);
            handleRequest(request, nowMs);
            if (m_session != Session::None) {
                // What follows a write request is block data, not requests.
                data = m_input;
                m_input.clear();
                break;
            }
        }
    }
}

void SimCore::handleRequest(const QByteArray &request, double nowMs)
{
    if (request == kIdentify) {
        reply(request, QByteArrayLiteral("#4000=") + m_name + QByteArrayLiteral("\r\n"), nowMs);
    } else if (request == kConfigRead) {
        reply(request, m_image, nowMs);
    } else if (request == kFirmwareRead) {
        reply(request, m_firmware, nowMs);
    } else if (request == kMonitor) {
        const bool measurement = m_frames == Frames::Measurement
            || (m_frames == Frames::Alternate && m_frameCount % 2 == 0);
        QByteArray frame = m_faults.monitorFrame;
        if (frame.isEmpty())
            frame = measurement ? measurementFrame() : sensorFrame();
        if (m_faults.frameKind >= 0 && !frame.isEmpty())
            frame[frame.size() - 1] = char(m_faults.frameKind);
        reply(request, frame, nowMs);
        ++m_frameCount;
    } else if (request == kConfigWrite || request == kFirmwareWrite) {
        m_session = request == kConfigWrite ? Session::Config : Session::Firmware;
        m_sessionRequest = request;
        m_sessionData.clear();
        m_blocksAcked = 0;
        m_acksOut = 0;
        m_acksMade = 0;
        m_violationBlock = -1;
        m_lastActivityMs = nowMs;
        acknowledge(nowMs);
    }
}

void SimCore::sessionData(const QByteArray &bytes, double nowMs)
{
    m_lastActivityMs = nowMs;
    // Lock-step: block k (from 0) may only come once k + 1 "OK"s, the request's and those of the k
    // blocks before it, have gone out on the line.
    const int firstBlock = int(m_sessionData.size()) / kBlock;
    const int lastBlock = int(m_sessionData.size() + bytes.size() - 1) / kBlock;
    for (int block = firstBlock; block <= lastBlock; ++block) {
        if (m_acksOut < block + 1 && block != m_violationBlock) {
            m_violationBlock = block;
            ++m_violations;
            if (protocolViolation)
                protocolViolation(QStringLiteral("%1 block %2: data arrived before its OK (%3 OK sent)")
                                      .arg(QString::fromLatin1(m_sessionRequest))
                                      .arg(block + 1)
                                      .arg(m_acksOut));
        }
    }
    const int before = m_sessionData.size() / kBlock;
    m_sessionData += bytes;
    const int after = m_sessionData.size() / kBlock;
    const int total = m_session == Session::Config ? SimDefaults::kConfigSize : SimDefaults::kFirmwareSize;
    if (m_sessionData.size() == total && m_faults.flipOnWrite >= 0 && m_faults.flipOnWrite < total)
        m_sessionData[m_faults.flipOnWrite] = char(~m_sessionData.at(m_faults.flipOnWrite));
    for (int block = before + 1; block <= after; ++block) {
        if (m_faults.closeAfterBlocks >= 0 && block >= m_faults.closeAfterBlocks) {
            closeLine();
            return;
        }
        const bool withheld = (m_faults.ackLimit >= 0 && block > m_faults.ackLimit)
            || (m_faults.withholdLastAck && block * kBlock == total);
        if (!withheld) {
            acknowledge(nowMs);
            ++m_blocksAcked;
        }
    }
    if (m_session == Session::Config && m_sessionData.size() == SimDefaults::kConfigSize) {
        m_image.replace(0, SimDefaults::kConfigSize, m_sessionData);   // model bytes stay
        m_session = Session::None;
        m_sessionData.clear();
        if (imageCommitted)
            imageCommitted(m_image);
    } else if (m_session == Session::Firmware && m_sessionData.size() == SimDefaults::kFirmwareSize) {
        m_firmware = m_sessionData;
        m_session = Session::None;
        m_sessionData.clear();
        if (firmwareCommitted)
            firmwareCommitted(m_firmware);
    }
}

void SimCore::acknowledge(double nowMs)
{
    ++m_acksMade;
    if (m_acksMade == m_faults.statusAt && !m_faults.statusText.isEmpty()) {
        // A line of its own, as a unit reports what it is doing; it leaves in order with the rest.
        const double at = nowMs + m_faults.statusDelayMs;
        const double due = m_pending.isEmpty() ? at : std::max(at, m_pending.last().dueMs);
        m_pending.append({due, m_faults.statusText + QByteArrayLiteral("\r\n")});
    }
    const bool held = m_faults.ackDelayMs > 0 && m_acksMade % std::max(1, m_faults.ackDelayEvery) == 0;
    reply(m_sessionRequest, kOk, held ? nowMs + m_faults.ackDelayMs : nowMs, true);
}

void SimCore::advance(double nowMs)
{
    if (m_session != Session::None && m_pending.isEmpty() && nowMs - m_lastActivityMs >= kSessionTimeoutMs) {
        m_session = Session::None;   // abandoned: nothing committed
        m_sessionData.clear();
    }
}

void SimCore::closeLine()
{
    m_lineClosed = true;
    m_pending.clear();
    m_session = Session::None;
    m_sessionData.clear();
}

void SimCore::reply(const QByteArray &request, QByteArray bytes, double nowMs, bool ack)
{
    int pieces = 1;
    int gapMs = 0;
    if (m_faults.appliesTo(request)) {
        if (m_faults.silent)
            return;
        if (m_faults.garbage) {
            // Never something the program could take for a good answer.
            const int size = bytes.size();
            do
                bytes = randomBytes(size);
            while (bytes.contains(kOk) || bytes.contains("#4000="));
        }
        if (m_faults.lengthDelta > 0)
            bytes += randomBytes(m_faults.lengthDelta);
        else if (m_faults.lengthDelta < 0)
            bytes.chop(std::min<qsizetype>(-m_faults.lengthDelta, bytes.size()));
        pieces = std::max(1, m_faults.pieces);
        gapMs = std::max(0, m_faults.gapMs);
    }
    const qint64 noise = m_faults.appliesTo(request) ? std::max<qint64>(0, m_faults.streamAfter) : 0;
    // Replies leave in the order they were made, even behind a delayed piece.
    const double start = m_pending.isEmpty() ? nowMs : std::max(nowMs, m_pending.last().dueMs);
    if (ack && bytes == kOk && (m_faults.splitAckGapMs >= 0 || m_faults.splitCrlfMs >= 0)) {
        double due = start;
        if (m_faults.splitAckGapMs >= 0) {
            m_pending.append({due, bytes.left(1)});
            due += m_faults.splitAckGapMs;
            m_pending.append({due, bytes.mid(1), true});
        } else {
            m_pending.append({due, bytes, true});
        }
        // The line end in a read of its own, as a USB adapter hands it over on its own timer.
        if (m_faults.splitCrlfMs >= 0)
            m_pending.append({due + m_faults.splitCrlfMs, QByteArrayLiteral("\r\n")});
        if (noise > 0)
            m_pending.append({m_pending.last().dueMs, QByteArray(), false, noise});
        return;
    }
    const qsizetype size = bytes.size();
    for (int i = 0; i < pieces; ++i) {
        const QByteArray piece = bytes.mid(size * i / pieces, size * (i + 1) / pieces - size * i / pieces);
        if (!piece.isEmpty())
            m_pending.append({start + double(i) * gapMs, piece, ack && i == pieces - 1});
    }
    if (noise > 0)
        m_pending.append({start + double(pieces - 1) * gapMs, QByteArray(), false, noise});
}

QByteArray SimCore::noiseBytes(int count)
{
    if (m_faults.streamByte >= 0)
        return QByteArray(count, char(m_faults.streamByte));
    QByteArray bytes = randomBytes(count);
    // Never the start of an "OK" the program could take for a go-ahead.
    bytes.replace('O', 'o');
    return bytes;
}

bool SimCore::refill(Chunk &chunk)
{
    if (!chunk.bytes.isEmpty())
        return true;
    if (chunk.noise <= 0)
        return false;
    const int count = int(std::min<qint64>(chunk.noise, kNoisePiece));
    chunk.bytes = noiseBytes(count);
    chunk.noise -= count;
    return true;
}

QByteArray SimCore::takeOutput(double nowMs)
{
    if (m_lineClosed)
        return {};
    advance(nowMs);
    QByteArray out;
    // Endless noise leaves a piece at a time.
    while (!m_pending.isEmpty() && out.size() < kOutputLimit) {
        Chunk &chunk = m_pending.first();
        if (chunk.dueMs > nowMs)
            break;
        if (!refill(chunk)) {
            m_pending.removeFirst();
            continue;
        }
        if (baud() <= 0) {
            out += chunk.bytes;
            chunk.bytes.clear();
            if (chunk.noise > 0)
                continue;
            m_acksOut += chunk.endsAck ? 1 : 0;
            m_pending.removeFirst();
            continue;
        }
        const double start = std::max(m_lineFreeMs, chunk.dueMs);
        // Byte times elapsed since the line was free: more than an int holds when output is taken
        // late at a high baud rate, so the count is bounded by the chunk before it becomes an integer.
        const double elapsed = std::floor((nowMs - start) / byteTimeMs() + 1e-9);
        const qsizetype fit = elapsed >= double(chunk.bytes.size()) ? chunk.bytes.size()
                                                                    : qsizetype(std::max(elapsed, 0.0));
        if (fit <= 0)
            break;
        out += chunk.bytes.left(fit);
        chunk.bytes.remove(0, fit);
        m_lineFreeMs = start + fit * byteTimeMs();
        if (!chunk.bytes.isEmpty())
            break;
        if (chunk.noise > 0)
            continue;
        m_acksOut += chunk.endsAck ? 1 : 0;
        m_pending.removeFirst();
    }
    if (m_faults.closeAfterBytes >= 0 && m_bytesSent + out.size() >= m_faults.closeAfterBytes) {
        out.truncate(m_faults.closeAfterBytes - m_bytesSent);
        m_lineClosed = true;
        m_pending.clear();
        m_session = Session::None;
        m_sessionData.clear();
    }
    m_bytesSent += out.size();
    if (!out.isEmpty() && m_session != Session::None)
        m_lastActivityMs = nowMs;
    return out;
}

double SimCore::nextEventMs() const
{
    if (m_lineClosed)
        return -1;
    if (!m_pending.isEmpty()) {
        const Chunk &chunk = m_pending.first();
        if (baud() <= 0)
            return chunk.dueMs;
        return std::max(m_lineFreeMs, chunk.dueMs) + byteTimeMs();
    }
    if (m_session != Session::None)
        return m_lastActivityMs + kSessionTimeoutMs;
    return -1;
}

QByteArray SimCore::randomBytes(int count)
{
    QByteArray bytes(count, '\0');
    for (char &b : bytes)
        b = char(m_random.bounded(256));
    return bytes;
}

QByteArray SimCore::measurementFrame()
{
    // ADC counts against a 1.2095 V reference read as 375 (3.30 V supply): battery 12.6 V,
    // power supply 13.8 V. Input levels in percent of the battery, well clear of the factory range
    // 20 … 80 %: rows 1, 4, 7 and 10, which every model shows, are normal, high, low and normal;
    // the rows of the larger models add more of each.
    static const int percent[13] = {50, 45, 15, 92, 55, 85, 8, 60, 35, 50, 5, 95, 67};
    const int wobble = int(m_frameCount % 5) - 2;
    QList<int> words(32, 0);
    for (int i = 0; i < 13; ++i)
        words[i] = percent[i] * 8944 / 1000 + wobble;   // 8.944 counts per percent at this battery
    words[13] = 877 + wobble;     // battery
    words[14] = 389 + wobble;     // power supply
    words[15] = 310 + wobble;     // T1 channel
    words[16] = 375;              // 1.2 V reference
    QByteArray frame;
    for (int w : words) {
        frame.append(char((w >> 8) & 0xFF));
        frame.append(char(w & 0xFF));
    }
    frame[kFrameSize - 1] = 0x00;   // kind: measurement (word 32 is not used)
    return frame;
}

QByteArray SimCore::sensorFrame()
{
    // T1 is on the board; T2..T6 report only when registered (their 8 id bytes are not all FF).
    static const double base[6] = {23.5, -4.5, 19.0, 21.0, 18.5, 25.0};
    const double wobble = (int(m_frameCount % 5) - 2) * 0.5;
    QList<QByteArray> items;
    for (int n = 1; n <= 6; ++n) {
        if (n > 1) {
            static const QByteArray unregistered(8, char(0xFF));
            if (QByteArrayView(m_image).sliced(SimDefaults::kSensorIds + 8 * (n - 2), 8) == unregistered)
                continue;
        }
        items += "T" + QByteArray::number(n) + "=" + QByteArray::number(base[n - 1] + wobble, 'f', 1) + "C;";
    }
    // The unit lists its sensors in no fixed order: every sensor frame starts one item further on.
    QByteArray text;
    const int first = items.isEmpty() ? 0 : int((m_frameCount / 2) % quint32(items.size()));
    for (int i = 0; i < items.size(); ++i)
        text += items.at((first + i) % items.size());
    text = SimText::padded(text.left(kFrameSize - 1), kFrameSize - 1);
    text.append(char(0x01));   // kind: sensor text
    return text;
}
