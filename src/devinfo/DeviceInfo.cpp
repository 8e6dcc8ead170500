#include "devinfo/DeviceInfo.h"
#include "config/ConfigImage.h"
#include "link/Converters.h"
#include "link/Cp1251.h"
#include "link/SerialLink.h"
#include "link/ShownText.h"

namespace {
constexpr int kKeyIdentifierSize = 8;
constexpr int kMasterKeyFirst = 121;
constexpr int kSensorFirst = 1;
constexpr int kBlockCountCell = 193;
constexpr int kImeiFirst = 2353;
constexpr int kImeiLast = 2367;
constexpr int kInputsCell = 2369;
constexpr int kVariantCell = 2370;
constexpr int kKernelVersionFirst = 1411;
constexpr int kFirmwareVersionFirst = 1420;
constexpr int kMaxBlocks = 5;
}

QList<int> DeviceInfo::allIndexes()
{
    return generalIndexes() + keyIndexes() + sensorIndexes() + blockIndexes();
}

QString DeviceInfo::caption(int index)
{
    switch (index) {
    case 1: return QStringLiteral("Имя устройства:");
    case 2: return QStringLiteral("Серийный номер:");
    case 3: return QStringLiteral("Дата выпуска:");
    case 4: return QStringLiteral("IMEI:");
    case 5: return QStringLiteral("Количество входов:");
    case 6: return QStringLiteral("Модель:");
    case 7: return QStringLiteral("Версия прошивки:");
    case 11: return QStringLiteral("Мастер-ключ:");
    default: break;
    }
    if (index >= 12 && index <= 17)
        return QStringLiteral("Дополн. ключ №%1:").arg(index - 11);
    if (index >= 21 && index <= 25)
        return QStringLiteral("Блок №%1:").arg(index - 20);
    if (index >= 31 && index <= 35)
        return QStringLiteral("T%1:").arg(index - 29);
    return QString();
}

int DeviceInfo::leadingNumber(const QString &text)
{
    int value = 0;
    for (const QChar c : text) {
        if (!c.isDigit() || c.unicode() > '9')
            break;
        value = value * 10 + (c.unicode() - '0');
    }
    return value;
}

QString DeviceInfo::joinedCells(int first, int last) const
{
    QString s;
    for (int position = first; position <= last; ++position)
        s += m_image.cell(position);
    return s;
}

QString DeviceInfo::identifier(int first) const
{
    const QString s = joinedCells(first, first + kKeyIdentifierSize - 1);
    if (s.isEmpty())
        return kNoData;
    if (s == QString(2 * kKeyIdentifierSize, QLatin1Char('F')))
        return kNotRegistered;
    return s;
}

QString DeviceInfo::version(int first) const
{
    const QString s = m_image.cell(first) + m_image.cell(first + 1) + m_image.cell(first + 2).left(1);
    if (s.isEmpty())
        return kNoData;
    return s.left(3) + QLatin1Char('.') + s.right(2);
}

void DeviceInfo::clearVersions()
{
    VersiaJadra.clear();
    VersiaProshivki.clear();
}

void DeviceInfo::fill()
{
    m_values.clear();
    for (const int index : allIndexes())
        m_values.insert(index, kNoData);

    for (int i = 0; i < sensorIndexes().size(); ++i)
        m_values[sensorIndexes().at(i)] = identifier(kSensorFirst + i * kKeyIdentifierSize);
    for (int i = 0; i < keyIndexes().size(); ++i)
        m_values[keyIndexes().at(i)] = identifier(kMasterKeyFirst + i * kKeyIdentifierSize);

    const QString name = m_link.deviceName();
    // Shown, never obeyed: a name's control characters as escapes.
    m_values[1] = name.isEmpty() ? kNoData : ShownText::escaped(name);
    // The image holds another unit's configuration, or one read before the unit was last found (it
    // may be another of the same name): nothing of it goes under this unit's name.
    const bool otherUnit = !name.isEmpty() && m_image.isFromOtherUnit(name);
    if (!name.isEmpty() && m_image.isNotFrom(name, m_link.identificationCount())) {
        for (const int index : allIndexes())
            if (index != 1)
                m_values[index] = kNotRead;
        KolichestvoVhodov.reset();
        clearVersions();
        // The same name found again keeps the versions behind the firmware buttons: after a failed
        // flash the unit may answer nothing but its name until it is flashed again.
        if (!otherUnit) {
            VersiaJadra = version(kKernelVersionFirst);
            VersiaProshivki = version(kFirmwareVersionFirst);
        }
        return;
    }

    const QString inputsCell = m_image.cell(kInputsCell);
    const int inputs = leadingNumber(inputsCell);
    if (inputsCell == QLatin1String("04") || inputsCell == QLatin1String("08") || inputsCell == QLatin1String("12")) {
        m_values[5] = QString::number(inputs);
        KolichestvoVhodov = inputs;
    }

    m_values[6] = modelName(inputsCell, m_image.cell(kVariantCell));

    const QString blocksCell = m_image.cell(kBlockCountCell);
    if (!blocksCell.isEmpty() && blocksCell != QLatin1String("FF")) {
        const int count = leadingNumber(blocksCell);
        for (int i = 0; i < blockIndexes().size(); ++i) {
            const int index = blockIndexes().at(i);
            if (count > kMaxBlocks)
                m_values[index] = kError;
            else
                m_values[index] = i < count ? kRegistered : kNotRegistered;
        }
    }

    VersiaJadra = version(kKernelVersionFirst);
    VersiaProshivki = version(kFirmwareVersionFirst);
    m_values[7] = VersiaJadra + QStringLiteral(" / ") + VersiaProshivki;

    const QString imei = joinedCells(kImeiFirst, kImeiLast);
    if (imei.isEmpty())
        m_values[4] = kNoData;
    else if (imei == QString(2 * (kImeiLast - kImeiFirst + 1), QLatin1Char('3')))
        m_values[4] = kNotRegistered;
    else
        m_values[4] = Cp1251::decode(Converters::fromHexText(imei));
}

QString DeviceInfo::modelName(const QString &inputsCell, const QString &variantCell)
{
    const QString inputs = QString::number(leadingNumber(inputsCell));
    if (variantCell == QLatin1String("01"))
        return kModelPrefix + inputs;
    if (variantCell == QLatin1String("02"))
        return kModelPrefix + inputs + QLatin1Char('T');
    return kNoData;
}
