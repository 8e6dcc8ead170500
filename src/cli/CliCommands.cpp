#include "cli/CliCommands.h"
#include "cli/CliSession.h"
#include "cli/ExitCode.h"
#include "cli/InterruptWatch.h"
#include "cli/ProgressReporter.h"
#include "config/ConfigExchange.h"
#include "config/ConfigFileTransfer.h"
#include "config/ConfigFiles.h"
#include "config/ConfigImage.h"
#include "devinfo/DeviceInfo.h"
#include "link/OperationTags.h"
#include "link/SerialLink.h"
#include "link/SerialPort.h"
#include "link/StatusModel.h"
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {
// Fields of the device information page that find shows, in this order.
const QList<int> kFindFields = {1, 6, 5, 7, 4};

QString hexOrNoData(int byte)
{
    return byte < 0 ? DeviceInfo::kNoData : QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
}

QJsonValue jsonText(const QString &value)
{
    return value == DeviceInfo::kNoData ? QJsonValue() : QJsonValue(value);
}

void clearImage(ConfigImage &image)
{
    for (int position = 1; position <= ConfigImage::kLastPosition; ++position)
        image.setCell(position, QString());
}
}

CliCommands::CliCommands(CliSession &session, const CliOptions &options, ProgressReporter &progress, Writer out,
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

CliCommands::Mismatch CliCommands::compare(const ConfigImage &image, const QList<QByteArray> &blocks)
{
    Mismatch mismatch;
    int position = 0;
    for (const QByteArray &block : blocks) {
        for (const char byte : block) {
            ++position;
            const int unit = image.byteAt(position);
            if (unit == static_cast<unsigned char>(byte))
                continue;
            if (mismatch.count++ == 0) {
                mismatch.first = position;
                mismatch.unitByte = unit;
                mismatch.fileByte = static_cast<unsigned char>(byte);
            }
        }
    }
    return mismatch;
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
    default:
        return notAvailable();
    }
}

int CliCommands::notAvailable()
{
    fail(QStringLiteral("Команда %1 пока недоступна в этой версии.").arg(CliOptions::commandName(m_options.command)));
    return ExitCode::NotAvailable;
}

int CliCommands::connectUnit()
{
    QStringList tried;
    QStringList problems;
    for (const int port : m_session.candidatePorts(m_options.port)) {
        if (InterruptWatch::interrupted())
            break;
        tried << QString::number(port);
        if (m_session.identify(port)) {
            say(QStringLiteral("Устройство обнаружено! Com%1: %2").arg(port).arg(m_session.link().deviceName()));
            return ExitCode::Success;
        }
        if (!m_session.lastPortProblem().isEmpty())
            problems << m_session.lastPortProblem();
    }
    if (InterruptWatch::interrupted()) {
        fail(QStringLiteral("Прервано: поиск устройства остановлен, обмена с устройством не было."));
        return ExitCode::Interrupted;
    }
    fail(QStringLiteral("Устройство не обнаружено! Проверены порты: %1.").arg(tried.join(QStringLiteral(", "))));
    for (const QString &problem : std::as_const(problems))
        fail(problem);
    return ExitCode::NoUnit;
}

// What went wrong with an exchange that did not end in its success tag.
static QString transferProblem(SerialLink &link)
{
    if (link.RPF_02VektorPriemaIsPorta.isEmpty()) {
        QString text = QStringLiteral("Связь с устройством потеряна");
        if (!link.connectionError().isEmpty())
            text += QStringLiteral(": ") + link.connectionError();
        if (!link.connectionErrorToolTip().isEmpty())
            text += QStringLiteral(" (") + link.connectionErrorToolTip() + QLatin1Char(')');
        return text + QLatin1Char('.');
    }
    return link.RPF_02VektorPriemaIsPorta + QLatin1Char('!');
}

int CliCommands::find()
{
    QJsonArray units;
    QStringList problems;
    QStringList tried;
    bool readFailed = false;
    for (const int port : m_session.candidatePorts(m_options.port)) {
        if (InterruptWatch::interrupted())
            break;
        tried << QString::number(port);
        if (!m_session.identify(port)) {
            if (!m_session.lastPortProblem().isEmpty())
                problems << m_session.lastPortProblem();
            continue;
        }
        // The rest of what the unit is lives in its configuration memory.
        SerialLink &link = m_session.link();
        clearImage(m_session.image());
        m_session.deviceInfo().KolichestvoVhodov.reset();
        m_session.status().clearProgress();
        m_progress.begin(QStringLiteral("Чтение конфигурации"));
        m_session.configExchange().ConfiguraciaReadProcess();
        if (m_session.waitWhileTag(Tag::ConfigRead) == CliSession::End::Interrupted) {
            m_session.abort();
            break;
        }
        if (link.RPF_02VektorPriemaIsPorta != Tag::ReadOk) {
            readFailed = true;
            fail(QStringLiteral("Com%1: ").arg(port) + transferProblem(link));
        }
        DeviceInfo &info = m_session.deviceInfo();
        info.fill();

        QJsonObject unit;
        unit.insert(QStringLiteral("port"), port);
        unit.insert(QStringLiteral("device"), link.port().deviceFor(port));
        unit.insert(QStringLiteral("name"), link.deviceName());
        unit.insert(QStringLiteral("model"), jsonText(info.value(6)));
        unit.insert(QStringLiteral("inputs"),
                    info.KolichestvoVhodov ? QJsonValue(*info.KolichestvoVhodov) : QJsonValue());
        unit.insert(QStringLiteral("coreVersion"), jsonText(info.VersiaJadra));
        unit.insert(QStringLiteral("firmwareVersion"), jsonText(info.VersiaProshivki));
        unit.insert(QStringLiteral("imei"), jsonText(info.value(4)));
        units.append(unit);
        if (!m_options.json) {
            QString text = QStringLiteral("Com%1 (%2)\n").arg(port).arg(link.port().deviceFor(port));
            for (const int field : kFindFields)
                text += QStringLiteral("  ") + DeviceInfo::caption(field) + QLatin1Char(' ') + info.value(field)
                    + QLatin1Char('\n');
            m_out(text);
        }
        m_session.close();
    }
    if (InterruptWatch::interrupted()) {
        fail(QStringLiteral("Прервано: поиск остановлен."));
        return ExitCode::Interrupted;
    }
    if (m_options.json)
        m_out(QString::fromUtf8(QJsonDocument(units).toJson(QJsonDocument::Indented)));
    if (units.isEmpty()) {
        fail(QStringLiteral("Устройство не обнаружено! Проверены порты: %1.").arg(tried.join(QStringLiteral(", "))));
        for (const QString &problem : std::as_const(problems))
            fail(problem);
        return ExitCode::NoUnit;
    }
    return readFailed ? ExitCode::TransferFailed : ExitCode::Success;
}

int CliCommands::readConfig()
{
    const QString &file = m_options.file;
    if (!QFileInfo(file).absoluteDir().exists()) {
        fail(ConfigFiles::kCreateError + file);
        return ExitCode::BadFile;
    }
    const int connected = connectUnit();
    if (connected != ExitCode::Success)
        return connected;
    SerialLink &link = m_session.link();
    const bool existed = QFileInfo::exists(file);
    const QString untouched = existed ? QStringLiteral("Файл %1 не изменён.").arg(file)
                                      : QStringLiteral("Файл %1 не создан.").arg(file);

    m_session.status().clearProgress();
    m_progress.begin(QStringLiteral("Чтение конфигурации"));
    m_session.configTransfer().CopyToFile();
    if (link.RPF_02VektorPriemaIsPorta != Tag::ConfigFileCopy) {
        // The file could not be created; the routine said why.
        m_session.close();
        return ExitCode::BadFile;
    }
    if (m_session.waitWhileTag(Tag::ConfigFileCopy) == CliSession::End::Interrupted) {
        m_session.abort();
        fail(QStringLiteral("Прервано: чтение остановлено. ") + untouched);
        return ExitCode::Interrupted;
    }
    if (link.RPF_02VektorPriemaIsPorta != Tag::Saved) {
        const QString problem = transferProblem(link);
        m_session.abort();
        fail(problem + QLatin1Char(' ') + untouched);
        return ExitCode::TransferFailed;
    }
    m_session.close();
    say(QStringLiteral("Сохранено успешно! ") + file);
    return ExitCode::Success;
}

int CliCommands::writeConfig()
{
    const QString &file = m_options.file;
    // The whole file is checked before the port is touched: a bad file sends nothing.
    const std::optional<ConfigFiles::Content> content = m_session.configFiles().readChecked(file);
    if (!content)
        return ExitCode::BadFile;
    const int connected = connectUnit();
    if (connected != ExitCode::Success)
        return connected;
    SerialLink &link = m_session.link();
    ConfigFileTransfer &transfer = m_session.configTransfer();

    m_session.status().clearProgress();
    m_progress.begin(QStringLiteral("Запись конфигурации"));
    transfer.LoadFromFile();
    if (link.RPF_02VektorPriemaIsPorta != Tag::ConfigFileLoad) {
        // Checked again on loading: the file changed meanwhile. Nothing was sent.
        m_session.close();
        return ExitCode::BadFile;
    }
    const QString partial = QStringLiteral(
        "Передано %1 из %2 байт: конфигурация в устройстве может быть записана не полностью, повторите запись.");
    if (m_session.waitWhileTag(Tag::ConfigFileLoad) == CliSession::End::Interrupted) {
        const int sent = transfer.SchetchikBaitov;
        m_session.abort();
        fail(QStringLiteral("Прервано: запись остановлена. ")
             + (sent == 0 ? QStringLiteral("Данные конфигурации в устройство не передавались.")
                          : partial.arg(sent).arg(ConfigImage::kMemorySize)));
        return ExitCode::Interrupted;
    }
    if (link.RPF_02VektorPriemaIsPorta != Tag::Written) {
        const QString problem = transferProblem(link);
        const int sent = transfer.SchetchikBaitov;
        m_session.abort();
        fail(problem + QLatin1Char(' ') + partial.arg(sent).arg(ConfigImage::kMemorySize));
        return ExitCode::TransferFailed;
    }
    say(QStringLiteral("Записано успешно! ") + file);
    if (!m_options.verify) {
        m_session.close();
        return ExitCode::Success;
    }

    clearImage(m_session.image());
    m_session.status().clearProgress();
    m_progress.begin(QStringLiteral("Проверка"));
    m_session.configExchange().ConfiguraciaReadProcess();
    if (m_session.waitWhileTag(Tag::ConfigRead) == CliSession::End::Interrupted) {
        m_session.abort();
        fail(QStringLiteral("Прервано: конфигурация записана, проверка не выполнена."));
        return ExitCode::Interrupted;
    }
    if (link.RPF_02VektorPriemaIsPorta != Tag::ReadOk) {
        const QString problem = transferProblem(link);
        m_session.abort();
        fail(problem + QStringLiteral(" Конфигурация записана, проверка не выполнена."));
        return ExitCode::TransferFailed;
    }
    m_session.close();
    const Mismatch mismatch = compare(m_session.image(), content->blocks);
    if (mismatch.count > 0) {
        fail(mismatchText(mismatch, ConfigImage::kMemorySize));
        return ExitCode::VerifyMismatch;
    }
    say(QStringLiteral("Проверено: конфигурация в устройстве совпадает с файлом."));
    return ExitCode::Success;
}
