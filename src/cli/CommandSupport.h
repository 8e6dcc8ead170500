#pragma once
// What the command families of CliCommands share.
#include "config/ConfigImage.h"
#include "link/SerialLink.h"
#include <QString>

namespace CommandSupport {

// A unit goes on with a reply it has begun; the next command finds it busy until then.
inline const QString kStillSending =
    QStringLiteral(" Устройство может ещё некоторое время передавать остаток данных.");

inline void clearImage(ConfigImage &image)
{
    for (int position = 1; position <= ConfigImage::kLastPosition; ++position)
        image.setCell(position, QString());
}

// What went wrong with an exchange that did not end in its success tag.
inline QString transferProblem(SerialLink &link)
{
    if (link.RPF_02VektorPriemaIsPorta.isEmpty()) {
        QString text = QStringLiteral("Связь с устройством потеряна");
        if (!link.connectionError().isEmpty())
            text += QStringLiteral(": ") + link.connectionError();
        if (!link.connectionErrorToolTip().isEmpty())
            text += QStringLiteral(" (") + link.connectionErrorToolTip() + QLatin1Char(')');
        return text + QLatin1Char('.');
    }
    return link.RPF_02VektorPriemaIsPorta + QLatin1Char('!');
}

}   // namespace CommandSupport
