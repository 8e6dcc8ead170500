// find: every unit on the candidate ports, with what its configuration tells of it.
#include "cli/CliCommands.h"
#include "cli/CliUnit.h"
#include "cli/CommandSupport.h"
#include "cli/ExitCode.h"
#include "cli/InterruptWatch.h"
#include "cli/ProgressReporter.h"
#include "config/ConfigExchange.h"
#include "config/ConfigImage.h"
#include "devinfo/DeviceInfo.h"
#include "link/OperationTags.h"
#include "link/SerialLink.h"
#include "link/SerialPort.h"
#include "link/StatusModel.h"
#include <QJsonArray>
#include <QMap>
#include <QJsonDocument>
#include <QJsonObject>

using namespace CommandSupport;

namespace {
// Fields of the device information page that find shows, in this order.
const QList<int> kFindFields = {1, 6, 5, 7, 4};
constexpr int kNameField = 1;
constexpr int kVersionField = 7;

QString orNoData(const QString &value)
{
    return value.trimmed().isEmpty() ? DeviceInfo::kNoData : value;
}

QJsonValue jsonText(const QString &value)
{
    return value == DeviceInfo::kNoData ? QJsonValue() : QJsonValue(value);
}
}

QJsonObject CliCommands::unitJson(int port, SerialLink &link, const DeviceInfo &info, bool complete)
{
    QJsonObject unit;
    unit.insert(QStringLiteral("port"), port);
    unit.insert(QStringLiteral("device"), link.port().deviceFor(port));
    unit.insert(QStringLiteral("name"), link.deviceName().trimmed());   // without the padding blanks
    unit.insert(QStringLiteral("model"), jsonText(info.value(6)));
    unit.insert(QStringLiteral("inputs"), info.KolichestvoVhodov ? QJsonValue(*info.KolichestvoVhodov) : QJsonValue());
    unit.insert(QStringLiteral("coreVersion"), jsonText(info.VersiaJadra));
    unit.insert(QStringLiteral("firmwareVersion"), jsonText(info.VersiaProshivki));
    unit.insert(QStringLiteral("imei"), jsonText(info.value(4)));
    if (!complete)
        unit.insert(QStringLiteral("configurationRead"), false);
    return unit;
}

QString CliCommands::unitText(int port, SerialLink &link, const DeviceInfo &info, bool complete)
{
    QString text = QStringLiteral("Com%1 (%2)\n").arg(port).arg(link.port().deviceFor(port));
    const auto line = [&text](const QString &caption, const QString &value) {
        text += QStringLiteral("  ") + caption + QLatin1Char(' ') + value + QLatin1Char('\n');
    };
    for (const int field : kFindFields) {
        if (field == kVersionField) {
            // The page shows "core / firmware" under one caption; here each is named, as in JSON.
            line(QStringLiteral("Версия ядра:"), orNoData(info.VersiaJadra));
            line(QStringLiteral("Версия прошивки:"), orNoData(info.VersiaProshivki));
        } else {
            line(DeviceInfo::caption(field), field == kNameField ? info.value(field).trimmed() : info.value(field));
        }
    }
    if (!complete)
        text += QStringLiteral("  Остальное не прочитано: конфигурация устройства не прочитана.\n");
    return text;
}

int CliCommands::find()
{
    // A quick query: no progress of the configuration reads behind it.
    m_session.setProgressShown(false);
    QJsonArray units;
    QStringList problems;
    QMap<PortProblem::Kind, QString> advice;   // once per kind of trouble
    QStringList tried;
    bool readFailed = false;
    for (const int port : m_session.candidatePorts(m_options.port)) {
        if (InterruptWatch::interrupted())
            break;
        tried << QString::number(port);
        if (!m_session.identify(port)) {
            if (!m_session.lastPortProblem().isEmpty())
                problems << m_session.lastPortProblem();
            if (!advice.contains(m_session.lastPortFault()))
                advice.insert(m_session.lastPortFault(), m_session.lastPortAdvice());
            continue;
        }
        SerialLink &link = m_session.link();
        bool complete = true;
        if (!readUnitInfo(port)) {
            if (InterruptWatch::interrupted())
                break;
            readFailed = true;
            complete = false;
        }
        units.append(unitJson(port, link, m_session.deviceInfo(), complete));
        if (!m_options.json)
            m_out(unitText(port, link, m_session.deviceInfo(), complete));
        m_session.close();
    }
    if (InterruptWatch::interrupted()) {
        fail(QStringLiteral("Прервано: поиск остановлен."));
        return ExitCode::Interrupted;
    }
    if (m_options.json)
        m_out(QString::fromUtf8(QJsonDocument(units).toJson(QJsonDocument::Indented)));
    if (units.isEmpty())
        return reportNoUnit(tried, problems, advice);
    // The ports without a unit are named too, so a unit that is there but unheard is noticed.
    for (const QString &problem : std::as_const(problems))
        say(problem);
    return readFailed ? ExitCode::TransferFailed : ExitCode::Success;
}
