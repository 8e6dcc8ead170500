#pragma once
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>

class SerialLink;
class CommandQueue;
class StatusModel;

// The status panel's 200 ms supervision: shows the link state, follows up final operation tags,
// runs the automatic device search, pumps the command queue and locks the pages while busy.
class StatusSupervisor : public QObject {
    Q_OBJECT
public:
    // What the supervision reaches in other parts; unset hooks do nothing (getters give false).
    struct Hooks {
        std::function<bool()> configurationRead;            // ConfiguraciaProchitana
        std::function<void(bool)> setConfigurationRead;
        std::function<void()> refreshPages;                 // Form_Activate of 05, 07, 08, 10, 11, 03, 04
        std::function<void()> refreshSettingsPages;         // the same without 03 and 04 (after a failed read)
        std::function<void()> activateOnline;               // ActivirovatElementyForOnLine
        std::function<void()> deactivateOffline;            // PogasitElementyForOffLine
        std::function<void()> clearVersions;                // VersiaJadra = VersiaProshivki = ""
        std::function<void(bool linkFree)> lockPages;       // enable or disable the pages
        std::function<void()> checkMonitoringButtons;       // ProverkaKnopok
        std::function<bool()> unsavedEdits;                 // the image holds edits not yet written
        std::function<void()> identified;                   // a unit has just answered: remember its port
    };

    StatusSupervisor(SerialLink &link, CommandQueue &queue, StatusModel &status, QObject *parent = nullptr);

    void setHooks(Hooks hooks) { m_hooks = std::move(hooks); }

    // One supervision tick (the timer only calls this).
    void tick();
    // Panel load: progress labels emptied, PagesRefreshed false.
    void load();
    // "Найти устройство автоматически": a search from the first listed port, not from where the
    // last round stopped, so no listed port is skipped.
    void searchFromFirstPort()
    {
        searchIndex = 0;
        Avtopoisk = true;
        closedByUser = false;
    }
    // "Закрыть порт": no search, no monitoring request and no read waiting in the queue may open
    // the port again behind the user's back.
    void closeByUser();
    // The automatic search step of a tick (posts at most one "PoiskUstroistva").
    void runAutomaticSearch();
    // Label4 text and follow-up for the current operation tag.
    void followUpTag();

    QTimer &timer() { return m_timer; }    // Timer1

    // Operation state while a unit was found but its configuration was not read over edits that
    // were not written yet (fits the status strip).
    inline static const QString kEditsKept =
        QStringLiteral("Не прочитано: есть изменения");

    bool PagesRefreshed = false;
    int searchIndex = 0;
    QString searchPort;

    // An automatic search is requested; the search tries the last successful port first.
    bool Avtopoisk = false;
    bool UseLastSucsessConnection = false;
    // The program options the supervision follows: "Автоматический поиск устройства при потере
    // соединения" and "Чтение конфигурации при обнаружении устройства".
    bool searchOnLoss = false;
    bool readOnDetection = false;
    // "Закрыть порт": the port stays closed, with no automatic search, until the user opens a port
    // or asks for a search.
    bool closedByUser = false;

private:
    SerialLink &m_link;
    CommandQueue &m_queue;
    StatusModel &m_status;
    Hooks m_hooks;
    QTimer m_timer;
    int m_followedUpIdentification = -1;   // SerialLink::identificationCount() last followed up
    bool m_readKeptEdits = false;          // the read on detection was skipped for unsaved edits
    bool m_refreshedAfterFailedRead = false;

    void showPortState();
    void followUpIdentification();
};
