#include "config/ConfigImage.h"
#include "link/Converters.h"
#include <algorithm>
#include <array>
#include <cstring>

namespace {

// Shared texts of the 256 values: reading a cell copies one, it allocates nothing.
const QString &hexText(int value)
{
    static const std::array<QString, 256> texts = [] {
        std::array<QString, 256> out;
        for (int v = 0; v < 256; ++v)
            out[v] = Converters::NumberToHex2(v);
        return out;
    }();
    return texts[value];
}

}

ConfigImage::ConfigImage()
{
    clearCells();
}

void ConfigImage::clearCells()
{
    // Every cell empty: kEmpty is -1, all bits set, so the whole array is set at once.
    static_assert(kEmpty == -1);
    std::memset(m_values.data(), 0xFF, sizeof m_values);
    m_other.clear();
}

QString ConfigImage::cell(int position) const
{
    if (position < 1 || position > kLastPosition)
        return QString();
    const int value = m_values[position];
    if (value == kEmpty)
        return QString();
    return value == kOther ? m_other.value(position) : hexText(value);
}

void ConfigImage::setCell(int position, const QString &text)
{
    if (position < 1 || position > kLastPosition)
        return;
    m_other.remove(position);
    if (text.isEmpty()) {
        m_values[position] = kEmpty;
        return;
    }
    const int high = text.size() == 2 ? Converters::hexDigitValue(text.at(0)) : -1;
    const int low = text.size() == 2 ? Converters::hexDigitValue(text.at(1)) : -1;
    if (high >= 0 && low >= 0) {
        m_values[position] = short(high * 16 + low);
        return;
    }
    m_values[position] = kOther;
    m_other.insert(position, text.toUpper());
}

QByteArray ConfigImage::bytes(int first, int count) const
{
    QByteArray bytes;
    bytes.reserve(count);
    for (int position = first; position < first + count; ++position) {
        const int value = byteAt(position);
        if (value < 0)
            return QByteArray();
        bytes += char(value);
    }
    return bytes;
}

void ConfigImage::setBytes(int position, const char *bytes, qsizetype count)
{
    const qsizetype first = std::max<qsizetype>(position, 1);
    const qsizetype last = std::min<qsizetype>(qsizetype(position) + count - 1, kLastPosition);
    if (first > last)
        return;
    if (!m_other.isEmpty()) {
        for (qsizetype p = first; p <= last; ++p)
            m_other.remove(int(p));
    }
    for (qsizetype p = first; p <= last; ++p)
        m_values[size_t(p)] = static_cast<unsigned char>(bytes[p - position]);
}

int ConfigImage::otherByte(int position) const
{
    bool ok = false;
    const int value = m_other.value(position).toInt(&ok, 16);
    return ok ? value : -1;
}

bool ConfigImage::isFilled(int first, int last) const
{
    return firstEmpty(first, last) == 0;
}

int ConfigImage::firstEmpty(int first, int last) const
{
    for (int i = first; i <= last; ++i)
        if (i < 1 || i > kLastPosition || m_values[i] == kEmpty)
            return i;
    return 0;
}

void ConfigImage::setRefusedEdit(const QString &where, bool refused)
{
    if (!refused)
        m_refused.removeAll(where);
    else if (!m_refused.contains(where))
        m_refused.append(where);
}
