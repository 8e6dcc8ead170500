#include "editors/FieldMaps.h"

namespace {
FieldSpec text(const QString &key, const QString &name, const QString &toolTip, int start, int shownCells,
               int minLength, int maxLength, int characterClass, std::optional<int> minValue = std::nullopt,
               std::optional<int> maxValue = std::nullopt)
{
    FieldSpec f;
    f.key = key;
    f.name = name;
    f.toolTip = toolTip;
    f.kind = FieldKind::Text;
    f.position = start;
    f.shownCells = shownCells;
    f.minLength = minLength;
    f.maxLength = maxLength;
    f.characterClass = characterClass;
    f.minValue = minValue;
    f.maxValue = maxValue;
    return f;
}

FieldSpec phone(const QString &name, int start)
{
    FieldSpec f;
    f.key = name;
    f.name = name;
    f.toolTip = name;
    f.kind = FieldKind::Phone;
    f.position = start;
    f.shownCells = 12;
    return f;
}

FieldSpec temperature(const QString &key, const QString &name, const QString &toolTip, int high, int low, QChar kind)
{
    FieldSpec f;
    f.key = key;
    f.name = name;
    f.toolTip = toolTip;
    f.kind = FieldKind::Temperature;
    f.position = high;
    f.positionLow = low;
    f.temperatureKind = kind;
    f.minValue = -99;
    f.maxValue = 99;
    return f;
}

FieldSpec flag(const QString &key, const QString &name, const QString &toolTip, int position)
{
    FieldSpec f;
    f.key = key;
    f.name = name;
    f.toolTip = toolTip;
    f.kind = FieldKind::Flag;
    f.position = position;
    return f;
}
}

QString FieldMaps::numberName(int index)
{
    return QStringLiteral("%1 %2")
        .arg(index, 2, 10, QLatin1Char('0'))
        .arg(index < 10 ? QStringLiteral("SMS") : QStringLiteral("DOZVON"));
}

const QList<FieldSpec> &FieldMaps::basicSettings()
{
    static const QList<FieldSpec> fields = [] {
        QList<FieldSpec> list;
        for (int n = 1; n <= 12; ++n)
            list << text(messageKey(n), QStringLiteral("Вход %1").arg(n),
                         QStringLiteral("Текст сообщения отсылаемого при срабатывании входа. Не более 60 символов."),
                         257 + 64 * (n - 1), 60, 1, 60, 0);
        // Each range is a little-endian upper bound then a little-endian lower bound.
        for (int k = 1; k <= 6; ++k) {
            const int upperLow = 1576 + 4 * (k - 1);
            const int lowerLow = 1578 + 4 * (k - 1);
            list << temperature(rangeKey(k, true), QStringLiteral("T%1 Верхняя (H)").arg(k),
                                QStringLiteral("Верхняя граница температуры. При выходе температуры за границу - "
                                               "отправляется SMS"),
                                upperLow + 1, upperLow, QLatin1Char('H'));
            list << temperature(rangeKey(k, false), QStringLiteral("T%1 Нижняя (L)").arg(k),
                                QStringLiteral("Нижняя граница температуры. При выходе температуры за границу - "
                                               "отправляется SMS"),
                                lowerLow + 1, lowerLow, QLatin1Char('L'));
        }
        // Relay thresholds are big-endian: day words of relays 1-3, then night words.
        for (int relay = 1; relay <= 3; ++relay) {
            for (const bool day : {true, false}) {
                const int high = (day ? 1544 : 1550) + 2 * (relay - 1);
                list << temperature(relayKey(relay, day),
                                    QStringLiteral("Реле %1 %2").arg(relay).arg(day ? QStringLiteral("день")
                                                                                    : QStringLiteral("ночь")),
                                    QStringLiteral("Порог срабатывания термостата. Реле %1. %2 температура.")
                                        .arg(relay)
                                        .arg(day ? QStringLiteral("Дневная") : QStringLiteral("Ночная")),
                                    high, high + 1, QLatin1Char('R'));
            }
        }
        return list;
    }();
    return fields;
}

const QList<FieldSpec> &FieldMaps::simSettings()
{
    static const QList<FieldSpec> fields = [] {
        QList<FieldSpec> list;
        for (int i = 0; i < 20; ++i)
            list << phone(numberName(i), numberPosition(i));
        list << phone(QStringLiteral("PARTNER1"), 1921) << phone(QStringLiteral("PARTNER2"), 1937);
        // On this page a numeric value below the minimum is always refused, the minimum being 0
        // where the field has none of its own.
        auto param = [&list](const QString &name, int start, int minLength, int maxLength, int characterClass,
                             std::optional<int> minValue = 0, std::optional<int> maxValue = std::nullopt) {
            list << text(name, name, name, start, 16, minLength, maxLength, characterClass, minValue, maxValue);
        };
        param(QStringLiteral("Systema Zorgel Text"), 1473, 1, 14, 0);
        param(QStringLiteral("Zaderjka"), 1681, 1, 2, 1, 1);
        param(QStringLiteral("Parol"), 1697, 1, 5, 1);
        param(QStringLiteral("T-datchik rele"), 1777, 1, 3, 1);
        param(QStringLiteral("T-datchik SMS"), 1793, 1, 6, 1);
        param(QStringLiteral("Balans"), 1953, 5, 5, 2);
        param(QStringLiteral("Mikrofon"), 1969, 1, 2, 1, 0, 15);
        param(QStringLiteral("ACTIVE ZONE"), 1985, 4, 12, 1);
        const QString keyTip = QStringLiteral("Активация параметра вызовет процедуру регистрации нового ключа ТМ при "
                                              "очередном запуске системы");
        for (int i = 0; i < 6; ++i)
            list << flag(QStringLiteral("%1kluch").arg(i + 1), QStringLiteral("%1 ключ").arg(i + 1), keyTip,
                         1825 + 16 * i);
        auto named = [&list](const QString &name, int position) { list << flag(name, name, name, position); };
        named(QStringLiteral("Systema Zorgel ON"), 1665);
        named(QStringLiteral("Otchet"), 1713);
        named(QStringLiteral("SMS postanovka"), 1729);
        named(QStringLiteral("SMS snjatie"), 1745);
        named(QStringLiteral("Syrena"), 1761);
        named(QStringLiteral("Rele N1"), 1809);
        named(QStringLiteral("Upravlenie"), 2001);
        return list;
    }();
    return fields;
}

const QList<FieldSpec> &FieldMaps::inputThresholds()
{
    static const QList<FieldSpec> fields = [] {
        QList<FieldSpec> list;
        for (const bool upper : {true, false}) {
            for (int n = 1; n <= 12; ++n) {
                FieldSpec f;
                f.key = thresholdKey(n, upper);
                f.name = QStringLiteral("Вход %1 %2").arg(n).arg(upper ? QStringLiteral("Верхний (H)")
                                                                       : QStringLiteral("Нижний (L)"));
                f.toolTip = upper ? QStringLiteral("Верхняя граница нормы для входа (%)")
                                  : QStringLiteral("Нижняя граница нормы для входа (%)");
                f.kind = FieldKind::Threshold;
                f.position = (upper ? 1376 : 1392) + n;
                f.minLength = 1;
                f.maxLength = 3;
                f.minValue = 0;
                f.maxValue = 100;
                f.characterClass = 1;
                f.partner = thresholdKey(n, !upper);
                f.upper = upper;
                list << f;
            }
        }
        return list;
    }();
    return fields;
}
