#include "editors/ConfigFields.h"
#include "config/ConfigImage.h"
#include "editors/FieldCodec.h"
#include "editors/FieldEditor.h"
#include "editors/FieldMaps.h"
#include "link/Cp1251.h"
#include <QHash>
#include <QSet>
#include <QStringList>

namespace {
// A flag is shown like a text of its whole 16-cell record.
constexpr int kRecordCells = 16;

QList<const QList<FieldSpec> *> pages()
{
    return {&FieldMaps::basicSettings(), &FieldMaps::simSettings(), &FieldMaps::inputThresholds()};
}

// The first character of text that Windows-1251 has no byte for; empty when there is none.
// The first character no box of a page can take in: line breaks, tabs and the other control codes.
std::optional<QChar> controlCharacter(const QString &text)
{
    for (const QChar c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return c;
    return std::nullopt;
}

QString unencodable(const QString &text)
{
    for (const char32_t c : text.toUcs4()) {
        const QString one = QString::fromUcs4(&c, 1);
        if (!Cp1251::canEncode(one))
            return one;
    }
    return QString();
}
}

const QList<FieldSpec> &ConfigFields::all()
{
    static const QList<FieldSpec> fields = [] {
        QList<FieldSpec> list;
        for (const QList<FieldSpec> *page : pages())
            list += *page;
        return list;
    }();
    return fields;
}

const FieldSpec *ConfigFields::byName(const QString &name)
{
    static const QHash<QString, int> index = [] {
        QHash<QString, int> h;
        for (int i = 0; i < all().size(); ++i)
            h.insert(all().at(i).name, i);
        return h;
    }();
    const int i = index.value(name, -1);
    return i < 0 ? nullptr : &all().at(i);
}

QString ConfigFields::rule(const FieldSpec &field)
{
    switch (field.kind) {
    case FieldKind::Text: {
        QStringList parts;
        parts << (field.minLength == field.maxLength
                      ? QStringLiteral("ровно %1 символов").arg(field.minLength)
                      : QStringLiteral("от %1 до %2 символов").arg(field.minLength).arg(field.maxLength));
        if (field.characterClass == 1)
            parts << QStringLiteral("только цифры");
        else if (field.characterClass == 2)
            parts << QStringLiteral("только цифры, «#» и «*»");
        if (field.minValue && field.maxValue)
            parts << QStringLiteral("число от %1 до %2").arg(*field.minValue).arg(*field.maxValue);
        else if (field.minValue)
            parts << QStringLiteral("число не меньше %1").arg(*field.minValue);
        else if (field.maxValue)
            parts << QStringLiteral("число не больше %1").arg(*field.maxValue);
        return parts.join(QStringLiteral(", "));
    }
    case FieldKind::Phone:
        return QStringLiteral("«+», затем 10 или 11 цифр или «*» (всего 11 или 12 символов)");
    case FieldKind::Temperature:
        return QStringLiteral("целое число градусов от -99 до 99");
    case FieldKind::Flag:
        return QStringLiteral("1 или 0 (да или нет)");
    case FieldKind::Threshold:
        return QStringLiteral("целое число от 0 до %1, нижний порог входа не больше верхнего")
            .arg(FieldCodec::kThresholdMax);
    }
    return QString();
}

QString ConfigFields::reason(const FieldSpec &field, const QString &shown)
{
    // A text that keeps its rule is red only because its cells run past the field without "00".
    const bool text = field.kind == FieldKind::Text || field.kind == FieldKind::Phone;
    if (text && FieldCodec::valid(field, shown))
        return rule(field) + QStringLiteral("; текст не завершён байтом 00 в пределах поля");
    return rule(field);
}

QPair<int, int> ConfigFields::cells(const FieldSpec &field)
{
    QPair<int, int> span = FieldCodec::cellSpan(field);
    if (field.kind == FieldKind::Text || field.kind == FieldKind::Phone)
        span.second = qMax(span.second, field.position + field.shownCells - 1);
    else if (field.kind == FieldKind::Flag)
        span.second = qMax(span.second, field.position + kRecordCells - 1);
    return span;
}

std::optional<bool> ConfigFields::flagValue(const QString &value)
{
    const QString v = value.toLower();
    if (v == QLatin1String("1") || v == QStringLiteral("да"))
        return true;
    if (v == QLatin1String("0") || v == QStringLiteral("нет"))
        return false;
    return std::nullopt;
}

QList<ConfigFields::Value> ConfigFields::values() const
{
    QList<Value> out;
    int i = 0;
    for (const QList<FieldSpec> *page : pages()) {
        // The page's own load decides text and red marks, the threshold pairs included.
        FieldEditor editor(m_image, *page);
        editor.load();
        for (const FieldSpec &f : *page) {
            const FieldEditor::Box box = editor.box(f.key);
            Value v;
            v.field = &all().at(i++);
            v.hasData = box.hasData;
            v.text = box.text;
            // A flag holding neither value is told as it is, not as a tick it does not have.
            if (f.kind == FieldKind::Flag && box.hasData && !box.invalid)
                v.text = box.checked ? QStringLiteral("1") : QStringLiteral("0");
            v.flagged = box.invalid;
            if (v.flagged)
                v.reason = reason(f, v.text);
            out << v;
        }
    }
    return out;
}

QList<ConfigFields::Refusal> ConfigFields::set(const QList<Assignment> &assignments)
{
    const ConfigImage before = m_image;
    QList<Refusal> refusals;
    QSet<const FieldSpec *> touched;
    for (const Assignment &a : assignments) {
        const FieldSpec *f = byName(a.first);
        if (!f) {
            refusals << Refusal{a.first, a.second, QStringLiteral("нет такого поля")};
            continue;
        }
        QString text = a.second;
        if (const std::optional<QChar> control = controlCharacter(text)) {
            refusals << Refusal{a.first, a.second,
                                QStringLiteral("управляющий символ с кодом %1 на страницах не вводится")
                                    .arg(control->unicode())};
            continue;
        }
        if (f->kind == FieldKind::Flag) {
            const std::optional<bool> on = flagValue(a.second);
            if (!on) {
                refusals << Refusal{a.first, a.second, rule(*f)};
                continue;
            }
            text = *on ? QStringLiteral("1") : QStringLiteral("0");
        } else if (f->kind == FieldKind::Text || f->kind == FieldKind::Phone) {
            const QString bad = unencodable(text);
            if (!bad.isEmpty()) {
                refusals << Refusal{a.first, a.second,
                                    QStringLiteral("символа «%1» нет в кодировке Windows-1251").arg(bad)};
                continue;
            }
        }
        if (!FieldCodec::store(m_image, *f, text)) {
            refusals << Refusal{a.first, a.second, rule(*f)};
            continue;
        }
        touched.insert(f);
    }
    // Once every value is in, a stored field must not be red: an input's pair must keep its order.
    for (const Value &v : values()) {
        if (v.flagged && touched.contains(v.field)) {
            QString value;
            for (const Assignment &a : assignments)
                if (a.first == v.field->name)
                    value = a.second;
            refusals << Refusal{v.field->name, value, v.reason};
        }
    }
    if (!refusals.isEmpty())
        m_image = before;
    else if (!touched.isEmpty())
        m_image.setChanged(true);
    return refusals;
}
