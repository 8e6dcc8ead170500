#pragma once
#include "monitor/MonitorDecoder.h"
#include "monitor/MonitorJournal.h"
#include "monitor/MonitorJournalFile.h"
#include <QByteArray>
#include <QLocale>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>

class SerialLink;
class CommandQueue;
class StatusModel;
class MessageSink;
class Clock;
class FileDialogs;

// The logic of the page "Мониторинг": the poll timer and its period, "Старт"/"Стоп", the request
// "#6002" started by the command queue, the 64-byte reply collected from the receive pump, its
// decoding into what the page shows, the arrangement of the input table and the journal.
// The page widget mirrors this state; tests drive it through the public routines.
class MonitorExchange : public QObject {
    Q_OBJECT
public:
    inline static const QByteArray kRequest = QByteArrayLiteral("#6002");
    inline static const QString kFrameError = QStringLiteral("Ошибка кадра.");
    // Shown on the page from an unanswered request until the next decoded reply, with the count.
    inline static const QString kNoAnswer = QStringLiteral("Устройство не ответило на запрос мониторинга");
    inline static const QString kInRow = QStringLiteral(" (подряд: %1)");
    // Added while the values shown are old: when the last reply was decoded.
    inline static const QString kStaleSince = QStringLiteral("показания от %1");
    // Shown while another exchange holds the link and polling waits for it.
    inline static const QString kPausedFirmware = QStringLiteral("Опрос приостановлен: идёт обмен прошивкой");
    inline static const QString kPausedLink = QStringLiteral("Опрос приостановлен: связь занята другим обменом");
    // Shown while the image is another unit's: inputs by number, without thresholds or model.
    inline static const QString kUnitNotRead =
        QStringLiteral("Конфигурация устройства \"%1\" не прочитана: входы по номерам, без порогов");
    static constexpr int kReplySize = MonitorDecoder::kFrameSize;
    // A reply of exactly 64 bytes is taken at the first silent poll after it.
    static constexpr int kCompleteQuietPolls = 1;
    // Any other count (none included) ends the exchange after more than this many silent polls.
    static constexpr int kGiveUpPolls = 100;
    // However the bytes come, the exchange ends this many polls (about 10 s) after the request.
    static constexpr int kDeadlinePolls = 200;
    // Bytes kept of a reply; enough to tell a whole one from a long one.
    static constexpr int kBufferLimit = kReplySize + 1;
    // HScroll1: period = position / 2 seconds.
    static constexpr int kMinPosition = 1;
    static constexpr int kMaxPosition = 10;
    static constexpr int kDesignPosition = 5;

    // What the exchange reaches on other pages; unset hooks do nothing or give nothing.
    struct Hooks {
        std::function<bool()> pageVisible;
        std::function<void()> refreshInputs;                 // the inputs page refills its boxes
        std::function<void()> refreshDeviceInfo;             // the device page refills model and inputs
        std::function<std::optional<int>()> inputCount;      // KolichestvoVhodov
        std::function<QString()> modelName;                  // the model as the device page shows it
        MonitorDecoder::Thresholds thresholds;               // the inputs page's threshold boxes
        // The unit answering now, for the journal ("" when none).
        std::function<QString()> unitName;
        // The unit answering now when the image is another unit's: its configuration is not read,
        // so no model, layout or threshold of the image applies to it; "" otherwise.
        std::function<QString()> unitNotRead;
        // Whether the configuration may be read for the model (not over edits not yet written).
        std::function<bool()> mayReadConfiguration;
        // Starts what the queue holds now, as a supervision tick would; unset, a lone monitoring
        // request is started when the last exchange needs no follow-up.
        std::function<void()> startQueued;
    };

    MonitorExchange(SerialLink &link, CommandQueue &queue, StatusModel &status, MessageSink &messages,
                    const Clock &clock, QObject *parent = nullptr);
    ~MonitorExchange() override;

    void setHooks(Hooks hooks) { m_hooks = std::move(hooks); }
    // Decimal separator of the shown numbers (the user's locale unless set).
    void setLocale(const QLocale &locale) { m_locale = locale; }

    // --- the exchange ---
    void MonitoringProcess();                                           // started by the queue
    void MonitoringRxd(QByteArray &PoluchenoIzPorta, int &OgidaniePriema);   // the receive handler
    void RazborKadra();

    // --- the page's routines ---
    void ProverkaKnopok();          // switches the poll timer; also run on every supervision tick
    void pollTick();                // Timer1_Timer: the poll timer only calls this
    void RazmetkaVhodov();
    void PokazatIzobrazhenie();
    void OchistkaTermodatchikov();
    void Command1_Click();          // "Старт"
    void Command2_Click();          // "Стоп"
    void setPosition(int position); // HScroll1_Change / HScroll1_Scroll
    void Form_Activate();
    void Form_Deactivate();
    void pageShown();               // the user shows the page (not a refill by other parts)
    void Form_Unload();
    // The status panel's online and offline routines, as far as the buttons and the timer go.
    void goOnline();
    void goOffline();

    // --- state the page shows ---
    bool startEnabled() const { return m_startEnabled; }   // Command1
    bool stopEnabled() const { return m_stopEnabled; }     // Command2
    int position() const { return m_position; }
    double PeriodOprosa() const { return m_position / 2.0; }
    QTimer &pollTimer() { return m_pollTimer; }            // Timer1: on while polling, one period
    QTimer &dueTimer() { return m_dueTimer; }              // a request due sooner than a period
    const MonitorReadings &readings() const { return m_readings; }
    const MonitorDecoder::Layout &layout() const { return m_layout; }
    int pictureIndex() const { return m_picture; }
    MonitorDecoder::Words SlovaKadra{};
    const MonitorJournal &journal() const { return m_journal; }
    // Another unit answers: the journal starts anew for it (the face offers the old one first).
    void startJournal(const QString &unit);
    // The inputs page's threshold text of input 1..12 ("" without the hook).
    QString thresholdText(int input, bool upper) const
    {
        return m_hooks.thresholds ? m_hooks.thresholds(input, upper) : QString();
    }

    // The reply so far: the first kBufferLimit bytes, and how many bytes came in all.
    QByteArray BuferMonitoringa;
    qint64 SchetchikMonitoringa = 0;
    int pollsSinceRequest = 0;

    // Writes the journal through a save dialog (CSV in the form of the locale set above); when
    // memory no longer holds its oldest rows, says where they are.
    bool saveJournal(FileDialogs &dialogs, const QString &folder);
    // The window's journal goes to a file of its own in this folder as the rows come, one file per
    // unit ("Мониторинг <unit> <time>.csv"), so neither the memory limit nor closing the window
    // loses a row. Unset (the command line), nothing is written.
    void setJournalFolder(const QString &folder) { m_journalFolder = folder; }
    // The file the rows go to now; "" before the first row.
    QString journalFile() const { return m_journalFile ? m_journalFile->path() : QString(); }
    // Why the rows do not reach their file; "" while they do.
    QString journalProblem() const { return m_journalProblem; }
    inline static const QString kJournalFolder = QStringLiteral("Журналы");
    inline static const QString kOlderRows =
        QStringLiteral("Сохранены последние %1 строк журнала; все строки, с более ранними (%2), — в файле %3");
    inline static const QString kOlderRowsLost =
        QStringLiteral("Сохранены последние %1 строк журнала; более ранние (%2) не сохранены: %3");

    const QLocale &locale() const { return m_locale; }
    // Kind of the reply decoded last.
    MonitorDecoder::Kind lastKind() const { return m_lastKind; }
    // The readings come from polling that still runs; false once the port closes, polling stops or
    // waits for another exchange, until the next decoded reply.
    bool readingsLive() const { return m_live; }
    // Requests in a row that the unit left unanswered; 0 again at the next decoded reply.
    int unansweredInRow() const { return m_unanswered; }
    // The page's notice line: polling paused, the unanswered requests, or another unit's
    // configuration; and, while the values are old, since when; "" for none.
    QString notice() const;
    // When the next request is due (ms from now) while polling runs: one period after the previous
    // request went out, at once when none went out within a period.
    int dueInMs() const;

signals:
    void controlsChanged();     // buttons, timer or period
    void layoutChanged();       // row captions and visibility, picture
    void readingsChanged();     // a reply was decoded
    void sampleTaken(const QDateTime &time);
    void liveChanged(bool live);
    void requestSent();         // "#6002" went out
    void noticeChanged();
    // The readings now come from another unit (a new journal started): nothing shown of the last
    // unit's may stay with them.
    void unitChanged();
    // The journal's file or its problem changed.
    void journalFileChanged();

private:
    void setButtons(bool start, bool stop);
    void setTimerOn(bool on);
    void switchTimer();
    void startIfFree();
    void end(const QString &tag);
    void setLive(bool live);
    void setNotice();
    bool linkHeldByOther() const;
    QString notReadUnit() const;
    bool pageVisible() const { return m_hooks.pageVisible && m_hooks.pageVisible(); }
    int periodMs() const;
    void writeJournalFile(const QDateTime &now);
    void finishJournalFile();

    SerialLink &m_link;
    CommandQueue &m_queue;
    StatusModel &m_status;
    MessageSink &m_messages;
    const Clock &m_clock;
    Hooks m_hooks;
    QLocale m_locale;
    QTimer m_pollTimer;
    QTimer m_dueTimer;
    bool m_startEnabled = true;
    bool m_stopEnabled = true;
    int m_position = kDesignPosition;
    MonitorReadings m_readings;
    MonitorDecoder::Layout m_layout = MonitorDecoder::designLayout();
    int m_picture = -1;
    bool m_configReadPosted = false;   // one read per start, page showing or new unit
    MonitorJournal m_journal;
    QString m_journalFolder;
    std::unique_ptr<MonitorJournalFile> m_journalFile;
    QString m_journalProblem;
    QDateTime m_lastRequest;           // when the last request went out
    bool m_due = false;                // a poll found the link busy: a request goes out once it frees
    bool m_live = false;
    int m_unanswered = 0;
    QString m_notice;
    QDateTime m_lastSample;            // when the reply shown was decoded
    MonitorDecoder::Kind m_lastKind = MonitorDecoder::Kind::Invalid;
};
