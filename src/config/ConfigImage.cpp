#include "config/ConfigImage.h"
#include "link/Converters.h"

void ConfigImage::setByte(int position, unsigned char value)
{
    setCell(position, Converters::NumberToHex2(value));
}

int ConfigImage::byteAt(int position) const
{
    const QString text = cell(position);
    if (text.isEmpty())
        return -1;
    bool ok = false;
    const int value = text.toInt(&ok, 16);
    return ok ? value : -1;
}

bool ConfigImage::isFilled(int first, int last) const
{
    return firstEmpty(first, last) == 0;
}

int ConfigImage::firstEmpty(int first, int last) const
{
    for (int i = first; i <= last; ++i)
        if (cell(i).isEmpty())
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
