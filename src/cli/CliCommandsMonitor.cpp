// monitor: the unit's live state, one line (or CSV row) per frame.
#include "cli/CliCommands.h"
#include "cli/CliUnit.h"
#include "cli/CommandSupport.h"
#include "cli/ExitCode.h"
#include "cli/InterruptWatch.h"
#include "cli/ProgressReporter.h"
#include "link/OperationTags.h"
#include "link/SerialLink.h"
#include "monitor/MonitorExchange.h"
#include "monitor/MonitorJournal.h"
#include <QDateTime>
#include <QElapsedTimer>

using namespace CommandSupport;

QString CliCommands::frameLine(const MonitorReadings &r, const MonitorDecoder::Layout &layout, bool measurement,
                               const QDateTime &time)
{
    QStringList parts{time.toString(QStringLiteral("HH:mm:ss"))};
    const auto trimmed = [](const QString &text) { return text.trimmed(); };
    if (measurement) {
        for (int row = 1; row <= MonitorReadings::kRows; ++row) {
            const bool input = row <= MonitorReadings::kInputs;
            if (input && !layout[row].visible)
                continue;
            const QString name = input ? trimmed(layout[row].caption) : QStringLiteral("УПР");
            QString item = name + QStringLiteral(": ") + trimmed(r.volt[row]) + QStringLiteral(" В ")
                + trimmed(r.percent[row]) + QLatin1Char('%');
            if (input && !r.state[row].isEmpty() && r.state[row] != MonitorReadings::kDesignText)
                item += QLatin1Char(' ') + r.state[row];
            parts << item;
        }
        parts << QStringLiteral("Акк: ") + trimmed(r.battery) + QStringLiteral(" В")
              << QStringLiteral("Пит: ") + trimmed(r.supply) + QStringLiteral(" В")
              << QStringLiteral("Проц: ") + trimmed(r.cpu) + QStringLiteral(" В");
    } else {
        for (int n = 1; n <= MonitorReadings::kSensors; ++n) {
            const QString value = r.sensors[n] == MonitorReadings::kDesignText ? QString() : trimmed(r.sensors[n]);
            parts << QStringLiteral("T%1=").arg(n) + (value.isEmpty() ? QStringLiteral("—") : value);
        }
    }
    return parts.join(QStringLiteral("  "));
}

int CliCommands::monitor()
{
    const int connected = connectUnit();
    if (connected != ExitCode::Success)
        return connected;
    SerialLink &link = m_session.link();
    MonitorExchange &exchange = m_session.monitor();
    // The model and the inputs' ranges come with the configuration, as on the monitoring page.
    if (!readUnitInfo(link.UsbComPortNumber)) {
        if (InterruptWatch::interrupted()) {
            m_session.abort();
            say(QStringLiteral("Мониторинг остановлен."));
            return ExitCode::Interrupted;
        }
        fail(QStringLiteral("Без конфигурации входы показаны по номерам, без состояний."));
    }
    exchange.RazmetkaVhodov();
    m_session.setProgressShown(false);

    const int periodMs = int(m_options.period * 1000);
    bool headerShown = false;
    MonitorJournal journal;
    int frames = 0;
    int failures = 0;
    QElapsedTimer clock;
    while (!m_options.count || frames < *m_options.count) {
        clock.start();
        exchange.MonitoringProcess();
        if (link.RPF_02VektorPriemaIsPorta == Tag::Monitoring
            && m_session.waitWhileTag(Tag::Monitoring) == CliUnit::End::Interrupted)
            break;
        const QString tag = link.RPF_02VektorPriemaIsPorta;
        if (tag == Tag::MonitoringOk) {
            failures = 0;
            const QDateTime now = QDateTime::currentDateTime();
            if (m_options.csv) {
                // The journal's own rows: one per measurement frame, a sensor frame's readings in
                // the sensor columns of the row after it, so no row repeats old values as new.
                const MonitorDecoder::Kind kind = MonitorDecoder::kindOf(exchange.BuferMonitoringa);
                journal.appendFrame(now, exchange.readings(), kind);
                if (kind == MonitorDecoder::Kind::Measurement) {
                    ++frames;   // --count counts rows
                    const QStringList lines =
                        QString::fromUtf8(journal.csv(exchange.layout())).split(QStringLiteral("\r\n"));
                    if (!headerShown)
                        m_out(lines.value(0) + QLatin1Char('\n'));
                    m_out(lines.value(1) + QLatin1Char('\n'));
                    headerShown = true;
                    journal.clear();
                }
            } else {
                ++frames;
                const bool measurement =
                    MonitorDecoder::kindOf(exchange.BuferMonitoringa) == MonitorDecoder::Kind::Measurement;
                m_out(frameLine(exchange.readings(), exchange.layout(), measurement, now) + QLatin1Char('\n'));
            }
        } else if (!link.isOpen()) {
            fail(QStringLiteral("Мониторинг прекращён. ") + transferProblem(link));
            return ExitCode::TransferFailed;
        } else {
            // One bad or missing reply; the next poll may be fine, as on the page.
            fail(QStringLiteral("Кадр не получен: ") + (tag.isEmpty() ? QStringLiteral("нет ответа") : tag)
                 + QLatin1Char('.'));
            if (++failures >= kMaxFailedPolls) {
                m_session.close();
                fail(QStringLiteral("Мониторинг прекращён: %1 запросов подряд без кадра.").arg(kMaxFailedPolls));
                return ExitCode::TransferFailed;
            }
        }
        if (m_options.count && frames >= *m_options.count)
            break;
        if (m_session.pause(periodMs - int(clock.elapsed())) == CliUnit::End::Interrupted)
            break;
    }
    if (InterruptWatch::interrupted()) {
        m_session.abort();
        say(QStringLiteral("Мониторинг остановлен."));
        // Ctrl+C, as shells count it, whether or not --count was given: a script tells it from an end.
        return ExitCode::Interrupted;
    }
    m_session.close();
    return ExitCode::Success;
}
