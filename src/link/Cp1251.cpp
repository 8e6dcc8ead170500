#include "link/Cp1251.h"
#include <QTextCodec>

namespace {
QTextCodec *codec()
{
    static QTextCodec *const c = QTextCodec::codecForName("windows-1251");
    return c;
}
}

QString Cp1251::decode(const QByteArray &bytes)
{
    return codec()->toUnicode(bytes);
}

QByteArray Cp1251::encode(const QString &text)
{
    return codec()->fromUnicode(text);
}

bool Cp1251::canEncode(const QString &text)
{
    return codec()->canEncode(text);
}
