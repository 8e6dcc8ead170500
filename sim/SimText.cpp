#include "SimText.h"
#include <QStringEncoder>

QByteArray SimText::toCp1251(const QString &text, bool *ok)
{
    QStringEncoder encoder("windows-1251", QStringConverter::Flag::Stateless);
    if (!encoder.isValid()) {
        if (ok)
            *ok = false;
        return {};
    }
    QByteArray bytes = encoder.encode(text);
    if (ok)
        *ok = !encoder.hasError();
    return bytes;
}

QByteArray SimText::padded(const QByteArray &bytes, int width)
{
    QByteArray out = bytes.left(width);
    if (out.size() < width)
        out.append(width - out.size(), ' ');
    return out;
}
