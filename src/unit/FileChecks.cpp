#include "unit/FileChecks.h"
#include "config/ConfigFiles.h"
#include "config/FileProblem.h"
#include "firmware/FirmwareExchange.h"
#include "firmware/FirmwareFile.h"
#include <QFile>
#include <QFileInfo>

namespace {
QString kindText(FileChecks::Kind kind)
{
    return kind == FileChecks::Kind::Config ? QStringLiteral("файл конфигурации (.cf)")
                                            : QStringLiteral("файл прошивки (.fw)");
}

QString suffixOf(FileChecks::Kind kind)
{
    return kind == FileChecks::Kind::Config ? ConfigFiles::kSuffix : FirmwareFile::kSuffix;
}

FileChecks::Kind other(FileChecks::Kind kind)
{
    return kind == FileChecks::Kind::Config ? FileChecks::Kind::Firmware : FileChecks::Kind::Config;
}
}

namespace FileChecks {

QString otherKind(const QByteArray &bytes, Kind kind)
{
    const bool isOther = kind == Kind::Config ? FirmwareFile::parse(bytes).ok() : ConfigFiles::parse(bytes).ok;
    return isOther ? kindText(other(kind)) : QString();
}

QString forSending(const QString &path, Kind kind)
{
    const QString why = FileProblem::forReading(path);
    if (!why.isEmpty())
        return ConfigFiles::kOpenError + path + QStringLiteral(": ") + why + QLatin1Char('.');
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return ConfigFiles::kOpenError + path + QStringLiteral(": ") + file.errorString() + QLatin1Char('.');
    const QString found = otherKind(file.read(FirmwareFile::kMaxFileSize + 1), kind);
    if (!found.isEmpty())
        return QStringLiteral("%1 — это %2, а нужен %3.").arg(path, found, kindText(kind));
    return QString();
}

QString forReceiving(const QString &path, Kind kind)
{
    const QString why = FileProblem::forWriting(path);
    if (!why.isEmpty())
        return ConfigFiles::kCreateError + path + QStringLiteral(": ") + why + QLatin1Char('.');
    if (QFileInfo(path).suffix().compare(suffixOf(other(kind)), Qt::CaseInsensitive) == 0)
        return QStringLiteral("%1: .%2 — расширение другого вида файлов, а сохраняется %3.")
            .arg(path, suffixOf(other(kind)), kindText(kind));
    return QString();
}

std::optional<QList<QByteArray>> firmwareBlocks(const QString &path, QString *problem)
{
    const FirmwareFile::Content content = FirmwareFile::read(path);
    switch (content.failure) {
    case FirmwareFile::Content::Failure::Open:
        *problem = FirmwareExchange::kOpenError + path;
        return std::nullopt;
    case FirmwareFile::Content::Failure::Read:
        *problem = FirmwareExchange::kReadFileError + path;
        return std::nullopt;
    case FirmwareFile::Content::Failure::Format:
        *problem = FirmwareExchange::kFormatError.arg(path, QString::number(content.badLine), content.reason);
        return std::nullopt;
    case FirmwareFile::Content::Failure::None:
        break;
    }
    return content.blocks;
}

}
