#include "unit/ModelCheck.h"
#include "config/ConfigImage.h"
#include "devinfo/DeviceInfo.h"

QString ModelCheck::tailCell(const QByteArray &tail, int index)
{
    return tail.size() == ConfigImage::kTailSize ? QString::fromLatin1(tail.mid(index, 1).toHex().toUpper())
                                                 : QString();
}

QString ModelCheck::Result::text() const
{
    switch (outcome) {
    case Outcome::Same: return QString();
    case Outcome::Other: return kOtherModel.arg(imageModel, unitModel);
    case Outcome::Unreadable: return kUnreadable;
    }
    return QString();
}

bool ModelCheck::known(const QString &inputs, const QString &variant)
{
    return (inputs == QLatin1String("04") || inputs == QLatin1String("08") || inputs == QLatin1String("12"))
           && (variant == QLatin1String("01") || variant == QLatin1String("02"));
}

bool ModelCheck::namesModel(const ConfigImage &image)
{
    return known(image.cell(ConfigImage::kMemorySize + 1), image.cell(ConfigImage::kImageSize));
}

QString ModelCheck::shownCells(const QString &inputs, const QString &variant)
{
    const auto shown = [](const QString &cell) { return cell.isEmpty() ? QStringLiteral("--") : cell; };
    return shown(inputs) + QLatin1Char(' ') + shown(variant);
}

ModelCheck::Result ModelCheck::compare(const ConfigImage &image, const QByteArray &unitTail)
{
    return compare(image.cell(ConfigImage::kMemorySize + 1), image.cell(ConfigImage::kImageSize), unitTail);
}

ModelCheck::Result ModelCheck::compare(const QString &imageInputs, const QString &imageVariant,
                                       const QByteArray &unitTail)
{
    Result result;
    result.imageModel = DeviceInfo::modelName(imageInputs, imageVariant);
    const QString unitInputs = tailCell(unitTail, 0);
    const QString unitVariant = tailCell(unitTail, 1);
    // A garbled or missing tail: the unit's model is not known, however its bytes would be named.
    if (!known(unitInputs, unitVariant)) {
        result.unitModel = DeviceInfo::kNoData;
        return result;
    }
    result.unitModel = DeviceInfo::modelName(unitInputs, unitVariant);
    result.outcome = imageInputs == unitInputs && imageVariant == unitVariant ? Outcome::Same : Outcome::Other;
    return result;
}
