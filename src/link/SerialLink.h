#pragma once
#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <optional>
#include <functional>
#include <memory>
#include "link/Converters.h"

class SerialPort;
class CommandQueue;
class StatusModel;
#include "link/UnitSettings.h"

// The logic of the serial page "Соединение с компьютером": the one port, its choices, the 50 ms
// receive pump that routes input by operation tag, and the device identification.
// Public members are the page's shared variables; other parts read and write them directly.
class SerialLink : public QObject {
    Q_OBJECT
public:
    // A receive handler: text read on this poll and the idle poll count, both by reference.
    using Handler = std::function<void(QByteArray &PoluchenoIzPorta, int &OgidaniePriema)>;

    // Status text of a failed send (and of a file error during a transfer), followed by the number.
    inline static const QString kSendErrorPrefix = QStringLiteral("Ошибка передачи ");
    inline static const QByteArray kIdentifyRequest = QByteArrayLiteral("#4000");
    inline static const QByteArray kIdentifyMarker = QByteArrayLiteral("#4000=");
    // The identification reply's length, and the silent polls it is awaited for.
    static constexpr int kNameReplySize = 24;
    static constexpr int kNameQuietPolls = 5;
    // Period of the receive poll Часы1.
    static constexpr int kPollMs = 50;
    SerialLink(SerialPort &port, CommandQueue &queue, StatusModel &status, UnitSettings &choices,
               QObject *parent = nullptr);
    // With choices of its own, at their design-time values (rigs that need no settings).
    SerialLink(SerialPort &port, CommandQueue &queue, StatusModel &status, QObject *parent = nullptr);
    ~SerialLink() override;

    // When a handler is called: on every 50 ms poll only, or also as soon as bytes arrive (lock-step
    // writes, whose next block waits for the unit's "OK"). Silence is counted in polls either way.
    enum class Dispatch { OnPoll, OnArrival };

    // Handlers for the in-progress tags other parts own (firmware, configuration, monitoring).
    void setHandler(const QString &tag, Handler handler, Dispatch dispatch = Dispatch::OnPoll)
    {
        m_handlers.insert(tag, std::move(handler));
        m_dispatchTag.reset();
        if (dispatch == Dispatch::OnArrival)
            m_arrivalTags.insert(tag);
        else
            m_arrivalTags.remove(tag);
    }

    // The choices this link opens with (the serial page edits them).
    UnitSettings &choices() { return m_choices; }
    const UnitSettings &choices() const { return m_choices; }

    // --- shared variables ---
    int UsbComPortNumber = 1;
    int UsbComPortSpeed = 9600;
    int UsbComPortHandshaking = 1;
    QByteArray RPF_02PortImport;
    QString RPF_02VektorPriemaIsPorta;     // the operation tag
    QByteArray UstroistvoName;
    QByteArray UstroistvoNameClear;        // 16 bytes of the device name, empty: no unit
    int RPF_02ComError = 0;                // 0: the last operation succeeded
    int IdlePollCount = 0;
    int NameByteCount = 0;

    // Receive polls run so far: the clock of the exchanges' limits counted in polls.
    int pollCount() const { return m_pollCount; }

    QString deviceName() const;            // UstroistvoNameClear decoded from Windows-1251

    // --- routines ---
    void OpenUsbComPort(const QString &UsbComPortNumberForOpen);
    void CloseUsbComPort();
    void OtobrazitSostojaniePorta();
    // One tick of the 50 ms receive poll (the timer only calls this).
    void receiveTick();
    // Bytes have arrived (the port says so): an exchange dispatched on arrival gets them now.
    void receiveArrival();
    void PoiskUstroistva(QString &UsbComPortNumberForOpen);
    void OpredelenieUstroistva(QByteArray &PoluchenoIzPortaComPortForm, int &OgidaniePriemaComPortForm);
    void ProverkaImeniUstroistva();

    // For the start routines of every exchange: throw stale input and silence away, then send.
    void drainInput();
    // Writes the bytes; on failure RPF_02ComError holds the error number and false is returned.
    bool send(QByteArrayView bytes);

    bool isOpen() const;
    SerialPort &port() { return m_port; }
    CommandQueue &queue() { return m_queue; }
    QTimer &pollTimer() { return m_pollTimer; }     // Часы1

    // Display texts of the page: "Com3 открыт." etc., with the OS error text / device as tooltip.
    QString portStateText() const { return m_portStateText; }
    QString portStateToolTip() const { return m_portStateToolTip; }
    QString settingsText() const { return m_settingsText; }
    // The speed of the open port's line settings ("115200,N,8,1"); 0 when none is known.
    int lineSpeed() const { return m_settingsText.section(QLatin1Char(','), 0, 0).toInt(); }

    // The last link failure ("Ошибка соединения 8020", "Ошибка передачи 8018") with the OS's words;
    // kept until the next open so the status panel can go on showing why the port closed.
    QString connectionError() const { return m_connectionError; }
    QString connectionErrorToolTip() const { return m_connectionErrorToolTip; }
    // The port closed on an error of the line (not closed on purpose), and why, in Russian with the
    // number: "Причина: ...".
    bool lineLost() const { return !m_connectionError.isEmpty(); }
    QString lossReason() const;

    // Counts successful identifications, so a follow-up can tell one from the next.
    int identificationCount() const { return m_identificationCount; }

    // Page unloaded: the poll stops and the port closes.
    void Form_Unload();

    // The number at the start of a text ("12" -> 12, " 7 x" -> 7, "COM3" -> 0), as the page's lists are read.
    static int numericValue(const QString &text) { return Converters::leadingNumber(text); }

signals:
    // The port state, its texts or the choices changed: the page widget refreshes itself.
    void stateChanged();
    // The port was found closed while this in-progress tag was set; its handler will not be called
    // again, so its owner must end the exchange, and may set a final tag that then stays.
    void exchangeDropped(const QString &tag);

private:
    SerialPort &m_port;
    CommandQueue &m_queue;
    StatusModel &m_status;
    std::unique_ptr<UnitSettings> m_ownChoices;
    UnitSettings &m_choices;
    QHash<QString, Handler> m_handlers;
    QSet<QString> m_arrivalTags;
    // The tag the last poll dispatched and its handler (none: the pump drops the input); every poll
    // of an exchange asks for the same one.
    std::optional<QString> m_dispatchTag;
    Handler m_dispatchHandler;
    const Handler &pollHandler(const QString &tag);
    bool m_dispatching = false;   // a tick or an arrival is running its handler
    int m_pollCount = 0;
    bool m_pollDeferred = false;  // the poll timer fired while an arrival's handler ran
    QTimer m_pollTimer;

    QString m_portStateText;
    QString m_portStateToolTip;
    // What the port texts were last made from: every receive poll shows the state, mostly unchanged.
    struct PortShown {
        int number = 0;
        bool open = false;
        int error = 0;
        int handshaking = 0;
        QString errorText;
        QString device;
    };
    std::optional<PortShown> m_portShown;
    QString m_settingsText;
    QString m_connectionError;
    QString m_connectionErrorToolTip;
    int m_identificationCount = 0;
    // The final tag the owner of an exchange cut off by the closed port gave it.
    std::optional<QString> m_droppedEnd;
    void pollTimeout();

    void init();
    void reportConnectionError(const QString &prefix, int error);
    // Reads what waits; a read error reports and closes the port.
    void readPort();
};
