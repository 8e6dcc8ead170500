#include "config/ConfigImage.h"
#include "link/Converters.h"
#include <array>

namespace {

int hexValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    return -1;
}

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
    const int high = text.size() == 2 ? hexValue(text.at(0)) : -1;
    const int low = text.size() == 2 ? hexValue(text.at(1)) : -1;
    if (high >= 0 && low >= 0) {
        m_values[position] = short(high * 16 + low);
        return;
    }
    m_values[position] = kOther;
    m_other.insert(position, text.toUpper());
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
