#pragma once
#include "cli/CliOptions.h"
#include "cli/Output.h"
#include "config/ConfigImage.h"
#include "unit/BenchLog.h"
#include "unit/BenchRun.h"
#include "unit/UnitsTable.h"
#include <QObject>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

class PortFactory;
class ProgramSettings;

// tarviks-cli bench: watches its ports on one event loop and serves every unit that answers with a
// BenchJob, several ports at once; a line when a unit starts and one when it ends, the progress as
// with --all, a row of BENCH.csv per unit, and after --count units or Ctrl+C the summary.
class BenchCommand : public QObject {
    Q_OBJECT
public:
    // Between the tries on a port without a unit, or whose unit was served and may still be there.
    static constexpr int kRetryMs = 1000;
    inline static const QString kUnplug = QStringLiteral("отключите устройство");
    inline static const QString kDefaultLog = QStringLiteral("BENCH.csv");

    BenchCommand(ProgramSettings &settings, PortFactory &ports, const CliOptions &options, Output &output,
                 QObject *parent = nullptr);
    ~BenchCommand() override;

    int run();

    // "COM1 ЗОРГЕЛ-GSM8T IMEI 356938035643809: записано и проверено, 3,1 с — отключите устройство"
    static QString endLine(int port, const QString &name, const QString &imei, const QString &brief, double seconds,
                           bool unplug);

private:
    struct Slot;

    // The template, UNITS.csv and the log, checked before any port is touched; Success or why not.
    int prepare();
    void tryPort(Slot &slot);
    void identified(Slot &slot);
    void jobEnded(Slot &slot);
    void tick();
    // Stops what is under way (Ctrl+C, or --count reached): the units' jobs only on Ctrl+C.
    void stop(bool interrupt);
    void line(const QString &text, bool result);
    void retryLater(Slot &slot, bool holdPort);

    ProgramSettings &m_settings;
    PortFactory &m_ports;
    const CliOptions &m_options;
    Output &m_output;
    ConfigImage m_template;
    QByteArray m_templateModel;
    std::optional<UnitsTable> m_table;
    std::unique_ptr<BenchLog> m_log;
    BenchRun m_run;
    std::vector<std::unique_ptr<Slot>> m_slots;
    bool m_stopping = false;
    bool m_interrupted = false;
    bool m_logFailed = false;
};
