#include "cli/CliCommands.h"
#include "cli/CommandSupport.h"
#include "cli/CliUnit.h"
#include "cli/ExitCode.h"
#include "cli/FieldCommands.h"
#include "cli/InterruptWatch.h"
#include "cli/ProgressReporter.h"
#include "cli/StderrMessageSink.h"
#include "cli/UnitReport.h"
#include "config/ConfigExchange.h"
#include "config/ConfigFiles.h"
#include "config/ConfigImage.h"
#include "devinfo/DeviceInfo.h"
#include "firmware/FirmwareExchange.h"
#include "link/CommandQueue.h"
#include "link/OperationTags.h"
#include "link/SerialLink.h"
#include "link/SerialPort.h"
#include "link/StatusModel.h"
#include "link/TransferReport.h"
#include <QMap>
#include "monitor/MonitorExchange.h"

using namespace CommandSupport;

namespace {
QString hexOrNoData(int byte)
{
    return byte < 0 ? DeviceInfo::kNoData : QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
}
}

CliCommands::CliCommands(CliUnit &session, const CliOptions &options, ProgressReporter &progress, Writer out,
                         Writer err)
    : m_session(session), m_options(options), m_progress(progress), m_out(std::move(out)), m_err(std::move(err))
{
}

void CliCommands::say(const QString &text)
{
    if (!m_options.quiet)
        m_err(text + QLatin1Char('\n'));
}

void CliCommands::fail(const QString &text)
{
    m_err(text + QLatin1Char('\n'));
}

CliCommands::Mismatch CliCommands::compare(const ByteAt &unit, const QList<QByteArray> &blocks)
{
    Mismatch mismatch;
    int position = 0;
    for (const QByteArray &block : blocks) {
        for (const char byte : block) {
            ++position;
            const int got = unit(position);
            if (got == static_cast<unsigned char>(byte))
                continue;
            if (mismatch.count++ == 0) {
                mismatch.first = position;
                mismatch.unitByte = got;
                mismatch.fileByte = static_cast<unsigned char>(byte);
            }
        }
    }
    return mismatch;
}

CliCommands::Mismatch CliCommands::compare(const ConfigImage &image, const QList<QByteArray> &blocks)
{
    return compare([&image](int position) { return image.byteAt(position); }, blocks);
}

QString CliCommands::mismatchText(const Mismatch &mismatch, int total)
{
    return QStringLiteral("Проверка не пройдена: отличаются %1 из %2 байт, первый — байт %3 "
                          "(в устройстве %4, в файле %5).")
        .arg(mismatch.count)
        .arg(total)
        .arg(mismatch.first)
        .arg(hexOrNoData(mismatch.unitByte), hexOrNoData(mismatch.fileByte));
}

int CliCommands::run()
{
    switch (m_options.command) {
    case CliOptions::Command::Find:
        return find();
    case CliOptions::Command::ReadConfig:
        return readConfig();
    case CliOptions::Command::WriteConfig:
        return writeConfig();
    case CliOptions::Command::ReadFirmware:
        return readFirmware();
    case CliOptions::Command::WriteFirmware:
        return writeFirmware();
    case CliOptions::Command::Monitor:
        return monitor();
    case CliOptions::Command::Show:
    case CliOptions::Command::Diff:
    case CliOptions::Command::Set:
        return FieldCommands(
                   m_session.configFiles(), m_options, [this](ConfigImage &image) { return readUnitImage(image); },
                   m_out, m_err)
            .run();
    case CliOptions::Command::Ports:   // needs no unit: run before a session exists
    case CliOptions::Command::None:
        break;
    }
    return ExitCode::Usage;
}

int CliCommands::connectOnlyUnit(int first)
{
    // A command that changes a unit never guesses between two: every other port is asked too.
    QStringList found{QStringLiteral("Com%1: %2").arg(first).arg(m_session.link().deviceName().trimmed())};
    const QList<int> ports = m_session.candidatePorts(std::nullopt);
    if (ports.indexOf(first) + 1 >= ports.size()) {
        // No other port to ask: the unit stays connected.
        say(QStringLiteral("Устройство обнаружено! ") + found.constFirst());
        return ExitCode::Success;
    }
    m_session.close();
    for (qsizetype i = ports.indexOf(first) + 1; i < ports.size(); ++i) {
        if (InterruptWatch::interrupted())
            break;
        if (m_session.identify(ports.at(i))) {
            found << QStringLiteral("Com%1: %2").arg(ports.at(i)).arg(m_session.link().deviceName().trimmed());
            m_session.close();
        }
    }
    if (InterruptWatch::interrupted()) {
        fail(UnitReport::kSearchInterrupted);
        return ExitCode::Interrupted;
    }
    if (found.size() > 1) {
        fail(QStringLiteral("Отвечает больше одного устройства; укажите нужное с --port N. Ничего не записано.\n  ")
             + found.join(QStringLiteral("\n  ")));
        return ExitCode::Usage;
    }
    if (!m_session.identify(first)) {
        fail(QStringLiteral("Устройство не обнаружено! ") + m_session.lastPortProblem());
        return ExitCode::NoUnit;
    }
    say(QStringLiteral("Устройство обнаружено! ") + found.constFirst());
    return ExitCode::Success;
}

int CliCommands::connectUnit(bool exclusive)
{
    QStringList tried;
    QStringList problems;
    QMap<PortProblem::Kind, QString> advice;   // once per kind of trouble
    for (const int port : m_session.candidatePorts(m_options.port)) {
        if (InterruptWatch::interrupted())
            break;
        tried << QString::number(port);
        if (m_session.identify(port)) {
            if (exclusive && !m_options.port)
                return connectOnlyUnit(port);
            say(QStringLiteral("Устройство обнаружено! Com%1: %2").arg(port).arg(m_session.link().deviceName().trimmed()));
            return ExitCode::Success;
        }
        if (!m_session.lastPortProblem().isEmpty())
            problems << m_session.lastPortProblem();
        if (!advice.contains(m_session.lastPortFault()))
            advice.insert(m_session.lastPortFault(), m_session.lastPortAdvice());
    }
    if (InterruptWatch::interrupted()) {
        fail(UnitReport::kSearchInterrupted);
        return ExitCode::Interrupted;
    }
    return reportNoUnit(tried, problems, advice);
}

int CliCommands::reportNoUnit(const QStringList &tried, const QStringList &problems,
                              const QMap<PortProblem::Kind, QString> &advice)
{
    fail(noUnitText(tried, problems, advice));
    return ExitCode::NoUnit;
}

QString CliCommands::noUnitText(const QStringList &tried, const QStringList &problems,
                                const QMap<PortProblem::Kind, QString> &advice)
{
    QStringList lines{
        QStringLiteral("Устройство не обнаружено! Проверены порты: %1.").arg(tried.join(QStringLiteral(", ")))};
    lines << problems;
    for (const QString &text : advice)
        if (!text.isEmpty())
            lines << text;
    return lines.join(QLatin1Char('\n'));
}

int CliCommands::logMark() const
{
    return m_log ? int(m_log->shown().size()) : 0;
}

bool CliCommands::countMessageSince(int mark) const
{
    return m_log && UnitReport::countMessageIn(m_log->shown(), mark);
}

bool CliCommands::readUnitInfo(int port)
{
    // The rest of what the unit is lives in its configuration memory.
    SerialLink &link = m_session.link();
    clearImage(m_session.image());
    m_session.deviceInfo().KolichestvoVhodov.reset();
    m_session.status().clearProgress();
    m_progress.begin(QStringLiteral("Чтение конфигурации"));
    const int mark = logMark();
    m_session.configExchange().ConfiguraciaReadProcess();
    if (m_session.waitWhileTag(Tag::ConfigRead) == CliUnit::End::Interrupted) {
        m_session.abort();
        m_session.deviceInfo().fill();
        return false;
    }
    const bool ok = link.RPF_02VektorPriemaIsPorta == Tag::ReadOk;
    if (!ok)
        fail(QStringLiteral("Com%1: ").arg(port)
             + UnitReport::infoReadFailure(link, countMessageSince(mark), m_session.configExchange()));
    m_session.deviceInfo().fill();
    return ok;
}

int CliCommands::readUnitImage(ConfigImage &image)
{
    const int connected = connectUnit();
    if (connected != ExitCode::Success)
        return connected;
    const bool read = readUnitInfo(m_session.link().UsbComPortNumber);
    if (InterruptWatch::interrupted()) {
        fail(QStringLiteral("Прервано: чтение конфигурации остановлено."));
        return ExitCode::Interrupted;
    }
    m_session.close();
    image = m_session.image();
    return read ? ExitCode::Success : ExitCode::TransferFailed;
}

