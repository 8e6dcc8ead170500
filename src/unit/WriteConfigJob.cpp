#include "unit/WriteConfigJob.h"
#include "config/ConfigExchange.h"
#include "config/ConfigFileTransfer.h"
#include "config/ConfigImage.h"
#include "link/OperationTags.h"
#include "unit/ExitCode.h"
#include "unit/UnitReport.h"
#include "unit/UnitSession.h"
#include "unit/VerifyCompare.h"

WriteConfigJob::WriteConfigJob(UnitSession &unit, UnitMessages &messages, QString file, QList<QByteArray> blocks,
                               bool verify, QObject *parent)
    : UnitJob(unit, messages, parent), m_file(std::move(file)), m_blocks(std::move(blocks)), m_verify(verify)
{
}

void WriteConfigJob::start()
{
    if (m_beforeWrite && !m_beforeWrite(*this))
        return;
    write();
}

void WriteConfigJob::write()
{
    ConfigFileTransfer &transfer = m_unit.configTransfer();
    begin(QStringLiteral("Запись конфигурации"),
          [this] { return UnitReport::configWriteInterrupted(m_unit.configTransfer().SchetchikBaitov); });
    transfer.LoadFromFile();
    if (m_unit.exchangeTag() != Tag::ConfigFileLoad)
        // Checked again on loading: the file changed meanwhile. Nothing was sent.
        return fail(ExitCode::BadFile, firstMessageOr(QStringLiteral("Файл %1 не прочитан.").arg(m_file)));
    await([this] {
        if (m_unit.exchangeTag() != Tag::Written)
            return fail(ExitCode::TransferFailed,
                        UnitReport::configLoadFailure(link(), countShown(), m_unit.configTransfer()));
        if (!m_verify) {
            m_unit.stop();
            return finish(ExitCode::Success, QStringLiteral("Записано успешно! ") + m_file,
                          QStringLiteral("записано"));
        }
        emit said(QStringLiteral("Записано успешно! ") + m_file);
        verify();
    });
}

void WriteConfigJob::verify()
{
    for (int position = 1; position <= ConfigImage::kLastPosition; ++position)
        m_unit.image().setCell(position, QString());
    begin(QStringLiteral("Проверка"), [] { return UnitReport::kConfigVerifyInterrupted; });
    m_unit.configExchange().ConfiguraciaReadProcess();
    await([this] {
        if (m_unit.exchangeTag() != Tag::ReadOk)
            return fail(ExitCode::TransferFailed,
                        UnitReport::configVerifyFailure(link(), countShown(), m_unit.configExchange()));
        m_unit.stop();
        const VerifyCompare::Mismatch mismatch = VerifyCompare::compare(m_unit.image(), m_blocks);
        if (mismatch.count > 0)
            return finish(ExitCode::VerifyMismatch, VerifyCompare::text(mismatch, ConfigImage::kMemorySize));
        finish(ExitCode::Success, QStringLiteral("Проверено: конфигурация в устройстве совпадает с файлом."),
               QStringLiteral("записано и проверено"));
    });
}
