#include "link/SerialLink.h"
#include "link/CommandQueue.h"
#include "link/Cp1251.h"
#include "link/OperationTags.h"
#include "link/SerialPort.h"
#include "link/StatusModel.h"
#include "link/UnitSettings.h"

namespace {
const QString kConnectionErrorPrefix = QStringLiteral("Ошибка соединения ");
const QString kHandshakeNote =
    QStringLiteral("RTSXonXoff: аппаратный контроль RTS/CTS, программный XON/XOFF вместе с ним не поддерживается");

// In-progress tags whose handlers other pages register, in the order the pump tests them.
const QStringList &registeredTags()
{
    static const QStringList tags{Tag::FirmwareWrite, Tag::FirmwareRead, Tag::ConfigFileLoad,
                                  Tag::ConfigFileCopy, Tag::ConfigWrite, Tag::ConfigRead, Tag::Monitoring};
    return tags;
}
}

SerialLink::SerialLink(SerialPort &port, CommandQueue &queue, StatusModel &status, UnitSettings &choices,
                       QObject *parent)
    : QObject(parent), m_port(port), m_queue(queue), m_status(status), m_choices(choices)
{
    init();
}

SerialLink::SerialLink(SerialPort &port, CommandQueue &queue, StatusModel &status, QObject *parent)
    : QObject(parent), m_port(port), m_queue(queue), m_status(status), m_ownChoices(std::make_unique<UnitSettings>()),
      m_choices(*m_ownChoices)
{
    init();
}

SerialLink::~SerialLink() = default;

void SerialLink::init()
{
    connect(&m_choices, &UnitSettings::changed, this, &SerialLink::stateChanged);
    m_pollTimer.setInterval(kPollMs);
    // A coarse timer may fire 5 % early: sixteen polls must not take less than 0.8 s.
    m_pollTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_pollTimer, &QTimer::timeout, this, &SerialLink::pollTimeout);
    m_settingsText = m_port.settingsText();
    m_port.setArrivalCallback([this] { receiveArrival(); });
}

QString SerialLink::deviceName() const
{
    return Cp1251::decode(UstroistvoNameClear);
}

bool SerialLink::isOpen() const
{
    return m_port.isOpen();
}

// --- opening and closing ---

void SerialLink::OpenUsbComPort(const QString &UsbComPortNumberForOpen)
{
    if (m_port.isOpen())
        CloseUsbComPort();

    if (UsbComPortNumberForOpen.isEmpty()) {
        const int chosen = numericValue(m_choices.portText());
        if (chosen > 0)
            UsbComPortNumber = chosen;
    } else {
        UsbComPortNumber = numericValue(UsbComPortNumberForOpen);
    }

    RPF_02ComError = 0;
    m_droppedEnd.reset();
    m_connectionError.clear();
    m_connectionErrorToolTip.clear();
    if (!m_port.isOpen()) {
        UsbComPortSpeed = numericValue(m_choices.speedText());
        UsbComPortHandshaking = m_choices.handshakeIndex() + 1;
        if (!m_port.open(UsbComPortNumber, UsbComPortSpeed, m_choices.handshakeIndex()))
            RPF_02ComError = m_port.lastError() > 0 ? m_port.lastError() : int(SerialPort::QtErrorBase);
        // The poll runs from the first open attempt on, also after a failed one: it refreshes the display.
        m_pollTimer.start();
    }

    UstroistvoName.clear();
    UstroistvoNameClear.clear();
    IdlePollCount = 0;
    OtobrazitSostojaniePorta();
}

void SerialLink::CloseUsbComPort()
{
    // Closing a port that is already closed keeps the reason it is closed (a failed open) on display.
    if (m_port.isOpen()) {
        RPF_02ComError = 0;
        m_port.close();
        RPF_02ComError = m_port.lastError();
    }
    OtobrazitSostojaniePorta();
    m_pollTimer.stop();
}

void SerialLink::Form_Unload()
{
    m_pollTimer.stop();
    if (m_port.isOpen())
        CloseUsbComPort();
}

void SerialLink::OtobrazitSostojaniePorta()
{
    const bool open = m_port.isOpen();
    if (open)
        RPF_02ComError = 0;
    const QString device = m_port.deviceFor(UsbComPortNumber);
    // The system's words for an error show only on a closed port that has one.
    const bool errorShown = !open && RPF_02ComError != 0;
    const bool changed = !m_portShown || m_portShown->number != UsbComPortNumber || m_portShown->open != open
        || m_portShown->error != RPF_02ComError || m_portShown->handshaking != UsbComPortHandshaking
        || m_portShown->device != device || (errorShown && m_portShown->errorText != m_port.lastErrorText());
    if (changed) {
        const PortShown shown{UsbComPortNumber, open, RPF_02ComError, UsbComPortHandshaking,
                              errorShown ? m_port.lastErrorText() : QString(), device};
        const QString com = QStringLiteral("Com") + QString::number(UsbComPortNumber);
        QStringList tip;
        if (open) {
            m_portStateText = com + QStringLiteral(" открыт.");
            if (UsbComPortHandshaking == 4)   // opened with "RTSXonXoff"
                tip << kHandshakeNote;
        } else if (RPF_02ComError == 0) {
            m_portStateText = com + QStringLiteral(" закрыт.");
        } else {
            m_portStateText = com + QStringLiteral(" Error ") + QString::number(RPF_02ComError);
            if (!shown.errorText.isEmpty())
                tip << shown.errorText;
        }
        if (!device.isEmpty())
            tip << device;
        m_portStateToolTip = tip.join(QLatin1Char('\n'));
        m_portShown = shown;
    }
    if (!open) {
        // A closed port means no unit and no exchange. The owner of an exchange it cut off ends it
        // with a final tag, which stays for the status panel to show until the port opens again.
        UstroistvoNameClear.clear();
        const QString dropped = RPF_02VektorPriemaIsPorta;
        if (!m_droppedEnd || *m_droppedEnd != dropped)
            RPF_02VektorPriemaIsPorta.clear();
        if (dropped.endsWith(QStringLiteral("в процессе"))) {
            emit exchangeDropped(dropped);
            if (!RPF_02VektorPriemaIsPorta.isEmpty())
                m_droppedEnd = RPF_02VektorPriemaIsPorta;
        }
    }
    m_settingsText = m_port.settingsText();
    if (changed)
        m_status.setPort(QString::number(UsbComPortNumber), device);
    emit stateChanged();
}

QString SerialLink::lossReason() const
{
    // The system's own words (often "Inappropriate ioctl for device" for an adapter pulled out)
    // tell a service engineer nothing; the number stays for the record.
    if (!lineLost())
        return QStringLiteral("Причина: порт закрыт.");
    return QStringLiteral("Причина: порт перестал отвечать (%1) — адаптер отключён, устройство выключено или "
                          "перезапущено.")
        .arg(m_connectionError);
}

void SerialLink::reportConnectionError(const QString &prefix, int error)
{
    m_connectionError = prefix + QString::number(error);
    m_connectionErrorToolTip = m_port.lastErrorText();
    m_status.setConnection(m_connectionError, m_connectionErrorToolTip);
}

// --- the receive pump ---

void SerialLink::receiveTick()
{
    // No tick may start while this one runs, even when a handler waits in a message box.
    const bool wasRunning = m_pollTimer.isActive();
    m_pollTimer.stop();
    const bool nested = m_dispatching;
    m_dispatching = true;
    ++m_pollCount;

    if (m_port.isOpen())
        readPort();

    if (RPF_02PortImport.isEmpty())
        ++IdlePollCount;
    else
        IdlePollCount = 0;

    const QString tag = RPF_02VektorPriemaIsPorta;
    bool handled = false;
    if (tag == Tag::NameNotRead) {
        // The input stays and the idle polls go on counting.
        handled = true;
    } else if (tag == Tag::NameReading) {
        OpredelenieUstroistva(RPF_02PortImport, IdlePollCount);
        handled = true;
    } else if (const Handler &registered = pollHandler(tag)) {
        const Handler handler = registered;   // a handler may replace the table
        handler(RPF_02PortImport, IdlePollCount);
        handled = true;
    }
    if (!handled) {
        // Nothing waits for these bytes.
        RPF_02PortImport.clear();
        IdlePollCount = 0;
    }

    OtobrazitSostojaniePorta();

    m_dispatching = nested;
    if (wasRunning && !m_pollTimer.isActive())
        m_pollTimer.start();
}

const SerialLink::Handler &SerialLink::pollHandler(const QString &tag)
{
    if (m_dispatchTag != tag) {
        const auto it = m_handlers.constFind(tag);
        m_dispatchHandler = registeredTags().contains(tag) && it != m_handlers.constEnd() ? it.value() : Handler();
        m_dispatchTag = tag;
    }
    return m_dispatchHandler;
}

void SerialLink::readPort()
{
    RPF_02ComError = 0;
    RPF_02PortImport = m_port.readAll();
    const int error = m_port.lastError();
    if (error > 0) {
        reportConnectionError(kConnectionErrorPrefix, error);
        CloseUsbComPort();
    }
}

void SerialLink::receiveArrival()
{
    // A handler busy (even in a message box) is never re-entered; the next poll takes the bytes.
    if (m_dispatching || !m_port.isOpen())
        return;
    const QString tag = RPF_02VektorPriemaIsPorta;
    if (!m_arrivalTags.contains(tag))
        return;
    const auto it = m_handlers.constFind(tag);
    if (it == m_handlers.constEnd() || !it.value())
        return;
    const Handler handler = it.value();

    // The poll timer runs on: restarting it here would hold every poll back on a line whose bytes
    // keep coming, and with them the limits counted in polls. A poll due meanwhile waits (below).
    const bool wasRunning = m_pollTimer.isActive();
    m_dispatching = true;
    readPort();
    if (m_port.isOpen() && !RPF_02PortImport.isEmpty()) {
        // Only bytes count here; silence is counted by the polls alone.
        IdlePollCount = 0;
        handler(RPF_02PortImport, IdlePollCount);
    }
    m_dispatching = false;
    if (wasRunning && !m_pollTimer.isActive())
        m_pollTimer.start();
    if (m_pollDeferred) {
        m_pollDeferred = false;
        receiveTick();
    }
}

void SerialLink::pollTimeout()
{
    // Never a poll inside an arrival's handler (it may wait in a message box): it comes after it.
    if (m_dispatching) {
        m_pollDeferred = true;
        return;
    }
    receiveTick();
}

// --- sending ---

void SerialLink::drainInput()
{
    RPF_02PortImport = m_port.readAll();
    RPF_02PortImport.clear();
    // The silence counted for the exchange that just ended is not this one's: an exchange started
    // in the same pass as the last one ended would otherwise time out before its first poll.
    IdlePollCount = 0;
}

bool SerialLink::send(QByteArrayView bytes)
{
    const bool ok = m_port.write(bytes);
    RPF_02ComError = ok ? 0 : (m_port.lastError() > 0 ? m_port.lastError() : int(SerialPort::QtErrorBase));
    return ok;
}

// --- identification ---

void SerialLink::PoiskUstroistva(QString &UsbComPortNumberForOpen)
{
    m_queue.setLinkFree(false);
    OpenUsbComPort(UsbComPortNumberForOpen);

    if (!m_port.isOpen()) {
        RPF_02VektorPriemaIsPorta = Tag::NameNotRead;
    } else {
        RPF_02ComError = 0;
        drainInput();
        if (!send(kIdentifyRequest)) {
            reportConnectionError(kSendErrorPrefix, RPF_02ComError);
            RPF_02VektorPriemaIsPorta = Tag::NameNotRead;
        } else {
            RPF_02VektorPriemaIsPorta = Tag::NameReading;
            NameByteCount = 0;
            UstroistvoName.clear();
            UstroistvoNameClear.clear();
        }
    }
    // The reply comes through the pump; meanwhile the link counts as free.
    m_queue.setLinkFree(true);
    emit stateChanged();
}

void SerialLink::OpredelenieUstroistva(QByteArray &PoluchenoIzPortaComPortForm, int &OgidaniePriemaComPortForm)
{
    const auto complete = [this] {
        return NameByteCount == kNameReplySize && UstroistvoName.contains(kIdentifyMarker);
    };
    if (PoluchenoIzPortaComPortForm.isEmpty()) {
        if (OgidaniePriemaComPortForm > kNameQuietPolls) {
            if (complete()) {
                RPF_02VektorPriemaIsPorta = Tag::NameRead;
                ProverkaImeniUstroistva();
            } else {
                RPF_02VektorPriemaIsPorta = Tag::NameNotRead;
            }
        }
        return;
    }
    NameByteCount += int(PoluchenoIzPortaComPortForm.size());
    // Past 24 bytes the reply can never be accepted: the attempt ends now, not on a silence that a
    // line streaming on would never leave.
    if (NameByteCount > kNameReplySize) {
        RPF_02VektorPriemaIsPorta = Tag::NameNotRead;
        return;
    }
    UstroistvoName += PoluchenoIzPortaComPortForm;
    if (complete()) {
        RPF_02VektorPriemaIsPorta = Tag::NameRead;
        ProverkaImeniUstroistva();
    }
}

void SerialLink::ProverkaImeniUstroistva()
{
    UstroistvoNameClear = UstroistvoName.left(22).right(16);
    ++m_identificationCount;
    // The port a unit answers on is the one the serial page names, whichever port was chosen before.
    if (numericValue(m_choices.portText()) != UsbComPortNumber)
        m_choices.setPortText(QString::number(UsbComPortNumber));
}
