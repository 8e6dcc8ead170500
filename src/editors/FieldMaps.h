#pragma once
#include "editors/FieldSpec.h"
#include <QList>

// The field maps of the settings pages: which box edits which cells, with its limits and tooltip.
class FieldMaps {
public:
    // Message texts "Z1TEXT".."Z12TEXT", range bounds "T1H".."T6H" / "T1L".."T6L", relay thresholds
    // "R1D".."R3N".
    static const QList<FieldSpec> &basicSettings();
    // Numbers "00 SMS".."19 DOZVON", "PARTNER1", "PARTNER2", the parameters and the flags.
    static const QList<FieldSpec> &simSettings();
    // Input thresholds "ZH1".."ZH12" and "ZL1".."ZL12".
    static const QList<FieldSpec> &inputThresholds();

    static QString messageKey(int input) { return QStringLiteral("Z%1TEXT").arg(input); }
    static QString rangeKey(int sensor, bool upper)
    {
        return QStringLiteral("T%1%2").arg(sensor).arg(upper ? QLatin1Char('H') : QLatin1Char('L'));
    }
    static QString relayKey(int relay, bool day)
    {
        return QStringLiteral("R%1%2").arg(relay).arg(day ? QLatin1Char('D') : QLatin1Char('N'));
    }
    static QString thresholdKey(int input, bool upper)
    {
        return QStringLiteral("Z%1%2").arg(upper ? QLatin1Char('H') : QLatin1Char('L')).arg(input);
    }
    // Label of number box i (0..19): "00 SMS" .. "09 SMS", "10 DOZVON" .. "19 DOZVON".
    static QString numberName(int index);
    static int numberPosition(int index) { return 1025 + 16 * index; }
};
