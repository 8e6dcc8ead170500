// read-config and write-config: the configuration between a unit and a .cf file.
#include "cli/CliCommands.h"
#include "cli/CliUnit.h"
#include "cli/CommandSupport.h"
#include "cli/ExitCode.h"
#include "cli/FileChecks.h"
#include "cli/InterruptWatch.h"
#include "cli/ProgressReporter.h"
#include "cli/UnitReport.h"
#include "config/ConfigExchange.h"
#include "config/ConfigFileTransfer.h"
#include "config/ConfigFiles.h"
#include "config/ConfigImage.h"
#include "link/OperationTags.h"
#include "link/SerialLink.h"
#include "link/StatusModel.h"
#include "link/TransferReport.h"
#include <QDir>
#include <QFileInfo>

using namespace CommandSupport;

int CliCommands::readConfig()
{
    const QString &file = m_options.file;
    if (const QString problem = FileChecks::forReceiving(file, FileChecks::Kind::Config); !problem.isEmpty()) {
        fail(problem);
        return ExitCode::BadFile;
    }
    const int connected = connectUnit();
    if (connected != ExitCode::Success)
        return connected;
    SerialLink &link = m_session.link();
    m_session.status().clearProgress();
    m_progress.begin(QStringLiteral("Чтение конфигурации"));
    const int mark = logMark();
    m_session.configTransfer().CopyToFile();
    if (link.RPF_02VektorPriemaIsPorta != Tag::ConfigFileCopy) {
        // The file could not be created; the routine said why.
        m_session.close();
        return ExitCode::BadFile;
    }
    if (m_session.waitWhileTag(Tag::ConfigFileCopy) == CliUnit::End::Interrupted) {
        m_session.abort();
        fail(UnitReport::readInterrupted(false, file));
        return ExitCode::Interrupted;
    }
    if (link.RPF_02VektorPriemaIsPorta != Tag::Saved && m_session.configTransfer().fileFailed()) {
        // The file could not be written; the routine said why and what the file is left with.
        m_session.abort();
        return ExitCode::BadFile;
    }
    if (link.RPF_02VektorPriemaIsPorta != Tag::Saved) {
        const QString problem =
            UnitReport::configCopyFailure(link, countMessageSince(mark), m_session.configTransfer(), file);
        m_session.abort();
        fail(problem);
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
    if (const QString problem = FileChecks::forSending(file, FileChecks::Kind::Config); !problem.isEmpty()) {
        fail(problem);
        return ExitCode::BadFile;
    }
    const std::optional<ConfigFiles::Content> content = m_session.configFiles().readChecked(file);
    if (!content)
        return ExitCode::BadFile;
    const int connected = connectUnit(true);
    if (connected != ExitCode::Success)
        return connected;
    SerialLink &link = m_session.link();
    ConfigFileTransfer &transfer = m_session.configTransfer();

    m_session.status().clearProgress();
    m_progress.begin(QStringLiteral("Запись конфигурации"));
    const int mark = logMark();
    transfer.LoadFromFile();
    if (link.RPF_02VektorPriemaIsPorta != Tag::ConfigFileLoad) {
        // Checked again on loading: the file changed meanwhile. Nothing was sent.
        m_session.close();
        return ExitCode::BadFile;
    }
    if (m_session.waitWhileTag(Tag::ConfigFileLoad) == CliUnit::End::Interrupted) {
        const int sent = transfer.SchetchikBaitov;
        m_session.abort();
        fail(UnitReport::configWriteInterrupted(sent));
        return ExitCode::Interrupted;
    }
    if (link.RPF_02VektorPriemaIsPorta != Tag::Written) {
        const QString problem = UnitReport::configLoadFailure(link, countMessageSince(mark), transfer);
        m_session.abort();
        fail(problem);
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
    const int verifyMark = logMark();
    m_session.configExchange().ConfiguraciaReadProcess();
    if (m_session.waitWhileTag(Tag::ConfigRead) == CliUnit::End::Interrupted) {
        m_session.abort();
        fail(UnitReport::kConfigVerifyInterrupted);
        return ExitCode::Interrupted;
    }
    if (link.RPF_02VektorPriemaIsPorta != Tag::ReadOk) {
        const QString problem =
            UnitReport::configVerifyFailure(link, countMessageSince(verifyMark), m_session.configExchange());
        m_session.abort();
        fail(problem);
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
