#include "cli/MonitorCommand.h"
#include "link/OperationTags.h"
#include "link/SerialLink.h"
#include "monitor/MonitorExchange.h"
#include "unit/ExitCode.h"
#include "unit/UnitMessages.h"
#include "unit/UnitReport.h"
#include "unit/UnitSession.h"
#include <QDateTime>
#include <QLocale>

namespace {
const QString kStopped = QStringLiteral("Мониторинг остановлен.");
}

MonitorCommand::MonitorCommand(UnitSession &unit, UnitMessages &messages, const CliOptions &options, Writer out,
                               QObject *parent)
    : UnitJob(unit, messages, parent), m_options(options), m_out(std::move(out))
{
    m_next.setSingleShot(true);
    connect(&m_next, &QTimer::timeout, this, &MonitorCommand::poll);
}

QString MonitorCommand::frameLine(const MonitorReadings &r, const MonitorDecoder::Layout &layout, bool measurement,
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

void MonitorCommand::start()
{
    // The journal is made before the first poll: a folder that cannot hold it is told now, not
    // after hours of rows. It is written as the rows come, in the window's spreadsheet format.
    if (!m_options.journal.isEmpty()) {
        m_journalFile = std::make_unique<MonitorJournalFile>(m_options.journal,
                                                             MonitorJournal::spreadsheetFormat(QLocale()));
        if (!m_journalFile->begin())
            return fail(ExitCode::BadFile, MonitorJournal::kSaveFailed + m_options.journal + QStringLiteral(": ")
                                               + m_journalFile->reason() + QStringLiteral(". Мониторинг не начат."));
    }
    // Named now: a lost line empties the unit's name before the journal is written.
    m_journal.setUnit(m_unit.link().deviceName().trimmed());
    // The model and the inputs' ranges come with the configuration, as on the monitoring page.
    readInfo(
        [this](bool ok) {
            if (!ok)
                m_messages.show(QStringLiteral("Без конфигурации входы показаны по номерам, без состояний."));
            m_unit.monitorExchange().RazmetkaVhodov();
            m_journal.setLayout(m_unit.monitorExchange().layout());
            begin(QStringLiteral("Мониторинг"), [this] {
                const QString problem = finishJournal();
                return problem.isEmpty() ? kStopped : kStopped + QLatin1Char('\n') + problem;
            }, false);
            poll();
        },
        kStopped);
}

void MonitorCommand::poll()
{
    m_pollBegan.start();
    m_unit.monitorExchange().MonitoringProcess();
    await([this] { polled(); });
}

void MonitorCommand::polled()
{
    const QString tag = m_unit.exchangeTag();
    if (tag == Tag::MonitoringOk) {
        m_failures = 0;
        shown(QDateTime::currentDateTime());
    } else if (!link().isOpen() && link().lineLost()) {
        return end(ExitCode::TransferFailed, QStringLiteral("Мониторинг прекращён. ") + UnitReport::transferProblem(link()));
    } else if (silent() && m_frames == 0 && m_failures == 0) {
        // Nothing at all from a unit that has just answered its name: what to check, at once.
        return end(ExitCode::TransferFailed, QStringLiteral("Мониторинг прекращён. ") + silentText());
    } else if (!link().isOpen()) {
        return end(ExitCode::TransferFailed, QStringLiteral("Мониторинг прекращён. ") + UnitReport::transferProblem(link()));
    } else {
        // One bad or missing reply; the next poll may be fine, as on the page.
        m_messages.show(silent() ? QStringLiteral("Кадр не получен: ") + silentText()
                                 : QStringLiteral("Кадр не получен: ")
                                       + (tag.isEmpty() ? QStringLiteral("нет ответа") : tag) + QLatin1Char('.'));
        if (++m_failures >= kMaxFailedPolls)
            return end(ExitCode::TransferFailed,
                       QStringLiteral("Мониторинг прекращён: %1 запросов подряд без кадра.").arg(kMaxFailedPolls)
                           + (silent() ? QLatin1Char(' ') + silentText() : QString()));
    }
    if (m_options.count && m_frames >= *m_options.count)
        return end(ExitCode::Success, QString());
    m_next.start(qMax(0, int(m_options.period * 1000) - int(m_pollBegan.elapsed())));
}

void MonitorCommand::shown(const QDateTime &now)
{
    const MonitorExchange &exchange = m_unit.monitorExchange();
    const MonitorDecoder::Kind kind = MonitorDecoder::kindOf(exchange.BuferMonitoringa);
    if (m_journalFile) {
        m_journal.appendFrame(now, exchange.readings(), kind);
        if (!m_journalFile->write(m_journal))
            return end(ExitCode::BadFile, QString());   // the file's problem is the whole story
        // The file holds them now; only the sensor readings waiting for a row stay.
        m_journal.dropWritten();
    }
    if (!m_options.csv) {
        ++m_frames;
        m_out(frameLine(exchange.readings(), exchange.layout(), kind == MonitorDecoder::Kind::Measurement, now)
              + QLatin1Char('\n'));
        return;
    }
    // The journal's own rows: one per measurement frame, a sensor frame's readings in the sensor
    // columns of the row after it, so no row repeats old values as new.
    m_rows.appendFrame(now, exchange.readings(), kind);
    if (kind != MonitorDecoder::Kind::Measurement)
        return;
    ++m_frames;   // --count counts rows
    const QStringList lines = QString::fromUtf8(m_rows.csv(exchange.layout())).split(QStringLiteral("\r\n"));
    if (!m_headerShown)
        m_out(lines.value(0) + QLatin1Char('\n'));
    m_out(lines.value(1) + QLatin1Char('\n'));
    m_headerShown = true;
    m_rows.clear();
}

bool MonitorCommand::silent() const
{
    return m_unit.monitorExchange().SchetchikMonitoringa == 0 && m_unit.monitorExchange().unansweredInRow() > 0;
}

QString MonitorCommand::silentText()
{
    return kSilent.arg(MonitorExchange::kGiveUpPolls * SerialLink::kPollMs / 1000);
}

QString MonitorCommand::journalProblem() const
{
    return MonitorJournal::kSaveFailed + m_options.journal + QStringLiteral(": ") + m_journalFile->reason()
        + QStringLiteral(". В файле строки до ошибки: %1.").arg(m_journalFile->rows());
}

QString MonitorCommand::finishJournal()
{
    if (!m_journalFile)
        return QString();
    return m_journalFile->finish(m_journal) ? QString() : journalProblem();
}

void MonitorCommand::end(int code, const QString &text)
{
    const QString problem = finishJournal();
    if (!problem.isEmpty() && text.isEmpty())
        return fail(ExitCode::BadFile, problem);
    if (!problem.isEmpty())
        return fail(code == ExitCode::Success ? ExitCode::BadFile : code,
                    text.isEmpty() ? problem : text + QLatin1Char('\n') + problem);
    if (code == ExitCode::Success) {
        m_unit.stop();
        return finish(code, text);
    }
    fail(code, text);
}
