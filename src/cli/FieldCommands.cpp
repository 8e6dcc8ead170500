#include "cli/FieldCommands.h"
#include "unit/ExitCode.h"
#include "config/ConfigFiles.h"
#include "config/ConfigImage.h"
#include "config/FileWriter.h"
#include <QJsonArray>
#include <QJsonDocument>

namespace {
// A JSON string literal, quotes included.
QString jsonString(const QString &text)
{
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.mid(1, array.size() - 2));
}

// A name without case, with the Cyrillic letters that look like Latin ones taken as those.
QString folded(const QString &name)
{
    static const QString cyrillic = QStringLiteral("авекмнорстух");
    static const QString latin = QStringLiteral("abekmhopctyx");
    QString out = name.toLower();
    for (QChar &c : out) {
        const qsizetype i = cyrillic.indexOf(c);
        if (i >= 0)
            c = latin.at(i);
    }
    return out;
}

// "; может быть, «Syrena»?" when a field's name differs from name only in case or look-alike letters.
QString likelyName(const QString &name)
{
    for (const FieldSpec &f : ConfigFields::all())
        if (folded(f.name) == folded(name))
            return QStringLiteral("; может быть, «%1»?").arg(f.name);
    return QStringLiteral(". Имена полей — как их печатает show.");
}

// A value kept on its one line: a control character a unit's memory may hold shows as its picture
// (a line break as "␊"), which no value can hold itself.
QString oneLine(const QString &text)
{
    QString out = text;
    for (QChar &c : out) {
        if (c.unicode() < 0x20)
            c = QChar(0x2400 + c.unicode());
        else if (c.unicode() == 0x7F)
            c = QChar(0x2421);
    }
    return out;
}

// A side of a diff line: the red mark counts, a flag's cells may change only that.
QString diffValue(const ConfigFields::Value &value)
{
    return value.flagged ? oneLine(value.text) + QStringLiteral(" (красное поле)") : oneLine(value.text);
}
}

bool FieldCommands::handles(CliOptions::Command command)
{
    using C = CliOptions::Command;
    return command == C::Show || command == C::Diff || command == C::Set;
}

QString FieldCommands::takeOperands(const QStringList &arguments, const QStringList &positional, bool unit,
                                    CliOptions &options)
{
    // Positional arguments in their order, the unit where --unit stood among them.
    QStringList operands;
    int next = 0;
    for (const QString &argument : arguments.mid(1)) {
        if (next < positional.size() && argument == positional.at(next))
            operands << positional.at(next++);
        else if (unit && argument == kUnit && !operands.contains(kUnit))
            operands << kUnit;
    }
    const QString name = operands.isEmpty() ? QString() : operands.takeFirst();
    options.operands = operands;
    switch (options.command) {
    case CliOptions::Command::Show:
        if (options.names)
            return operands.isEmpty() ? QString() : QStringLiteral("show --names: файл не нужен.");
        if (operands.size() != 1)
            return QStringLiteral("show: задайте один файл или --unit.");
        return QString();
    case CliOptions::Command::Diff:
        if (operands.size() != 2)
            return QStringLiteral("diff: задайте два файла, или файл и --unit.");
        return QString();
    case CliOptions::Command::Set:
        if (operands.isEmpty() || operands.first().isEmpty())
            return QStringLiteral("set: не задан файл.");
        if (operands.size() < 2)
            return QStringLiteral("set: не заданы значения ИМЯ=ЗНАЧЕНИЕ.");
        for (const QString &assignment : operands.mid(1))
            if (assignment.indexOf(QLatin1Char('=')) < 1)
                return QStringLiteral("set: «%1» — нужно ИМЯ=ЗНАЧЕНИЕ.").arg(assignment);
        return QString();
    default:
        return QStringLiteral("%1: лишний аргумент.").arg(name);
    }
}

QString FieldCommands::showText(const QList<ConfigFields::Value> &values)
{
    // The value is everything after the first ": " to the end of the line; a red field's note follows
    // on a line of its own.
    QString out;
    for (const ConfigFields::Value &v : values) {
        out += v.field->name + QStringLiteral(": ") + oneLine(v.text) + QLatin1Char('\n');
        if (v.flagged)
            out += QStringLiteral("# %1 — красное поле: %2\n").arg(v.field->name, v.reason);
    }
    return out;
}

QString FieldCommands::showJson(const QList<ConfigFields::Value> &values)
{
    // Written by hand to keep the page order, which a JSON object of Qt would sort away.
    QStringList members;
    QStringList flagged;
    for (const ConfigFields::Value &v : values) {
        members << QStringLiteral("    %1: %2").arg(jsonString(v.field->name),
                                                    v.hasData ? jsonString(v.text) : QStringLiteral("null"));
        if (v.flagged)
            flagged << QStringLiteral("        %1: %2").arg(jsonString(v.field->name), jsonString(v.reason));
    }
    const QString flaggedObject = flagged.isEmpty()
        ? QStringLiteral("{}")
        : QStringLiteral("{\n") + flagged.join(QStringLiteral(",\n")) + QStringLiteral("\n    }");
    members << QStringLiteral("    \"flagged\": ") + flaggedObject;
    return QStringLiteral("{\n") + members.join(QStringLiteral(",\n")) + QStringLiteral("\n}\n");
}

QString FieldCommands::ranges(const QList<int> &positions)
{
    QStringList parts;
    for (int i = 0; i < positions.size();) {
        int j = i;
        while (j + 1 < positions.size() && positions.at(j + 1) == positions.at(j) + 1)
            ++j;
        parts << (i == j ? QString::number(positions.at(i))
                         : QStringLiteral("%1–%2").arg(positions.at(i)).arg(positions.at(j)));
        i = j + 1;
    }
    return parts.join(QStringLiteral(", "));
}

QString FieldCommands::diffText(const ConfigImage &a, const ConfigImage &b, bool *differs)
{
    ConfigImage left = a;
    ConfigImage right = b;
    const QList<ConfigFields::Value> va = ConfigFields(left).values();
    const QList<ConfigFields::Value> vb = ConfigFields(right).values();
    QString out;
    QVector<bool> covered(ConfigImage::kLastPosition + 1, false);
    int count = 0;
    for (int i = 0; i < va.size(); ++i) {
        const ConfigFields::Value &x = va.at(i);
        const ConfigFields::Value &y = vb.at(i);
        if (x.hasData == y.hasData && x.text == y.text && x.flagged == y.flagged)
            continue;
        ++count;
        out += QStringLiteral("%1: %2 → %3\n").arg(x.field->name, diffValue(x), diffValue(y));
        const auto [first, last] = ConfigFields::cells(*va.at(i).field);
        for (int p = first; p <= last && p <= ConfigImage::kLastPosition; ++p)
            covered[p] = true;
    }
    out += QStringLiteral("Отличающихся полей: %1\n").arg(count);
    QList<int> cells;
    for (int p = 1; p <= ConfigImage::kLastPosition; ++p)
        if (!covered.at(p) && a.cell(p) != b.cell(p))
            cells << p;
    if (!cells.isEmpty())
        out += QStringLiteral("Отличаются ячейки: %1\n").arg(ranges(cells));
    if (differs)
        *differs = count > 0 || !cells.isEmpty();
    return out;
}

FieldCommands::FieldCommands(ConfigFiles &files, const CliOptions &options, UnitReader readUnit, Writer out,
                             Writer err)
    : m_files(files), m_options(options), m_readUnit(std::move(readUnit)), m_out(std::move(out)),
      m_err(std::move(err))
{
}

int FieldCommands::run()
{
    switch (m_options.command) {
    case CliOptions::Command::Show:
        return show();
    case CliOptions::Command::Diff:
        return diff();
    case CliOptions::Command::Set:
        return set();
    default:
        return ExitCode::Usage;
    }
}

int FieldCommands::load(const QString &side, ConfigImage &image)
{
    if (side == kUnit)
        return m_readUnit(image);
    // The open, read or format message goes out through the message sink.
    const std::optional<ConfigFiles::Content> content = m_files.readChecked(side);
    if (!content)
        return ExitCode::BadFile;
    content->fill(image);
    return ExitCode::Success;
}

QString FieldCommands::namesText(bool json)
{
    QStringList names;
    for (const FieldSpec &field : ConfigFields::all())
        names << (json ? QStringLiteral("    ") + jsonString(field.name) : field.name);
    if (json)
        return QStringLiteral("[\n") + names.join(QStringLiteral(",\n")) + QStringLiteral("\n]\n");
    return names.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

int FieldCommands::show()
{
    if (m_options.names) {
        m_out(namesText(m_options.json));
        return ExitCode::Success;
    }
    ConfigImage image;
    const int loaded = load(m_options.operands.at(0), image);
    if (loaded != ExitCode::Success)
        return loaded;
    const QList<ConfigFields::Value> values = ConfigFields(image).values();
    m_out(m_options.json ? showJson(values) : showText(values));
    return ExitCode::Success;
}

int FieldCommands::diff()
{
    ConfigImage sides[2];
    for (int i = 0; i < 2; ++i) {
        const int loaded = load(m_options.operands.at(i), sides[i]);
        if (loaded != ExitCode::Success)
            return loaded;
    }
    bool differs = false;
    m_out(diffText(sides[0], sides[1], &differs));
    return differs ? ExitCode::Differ : ExitCode::Success;
}

int FieldCommands::set()
{
    QList<ConfigFields::Assignment> assignments;
    for (const QString &operand : m_options.operands.mid(1)) {
        // "Вход 1 = Пожар" is "Вход 1=Пожар": blanks around the "=" are not part of name or value.
        const int equals = operand.indexOf(QLatin1Char('='));
        const auto blank = [](QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); };
        QString name = operand.left(equals);
        while (!name.isEmpty() && blank(name.back()))
            name.chop(1);
        qsizetype start = equals + 1;
        while (start < operand.size() && blank(operand.at(start)))
            ++start;
        assignments << ConfigFields::Assignment{name, operand.mid(start)};
        if (!ConfigFields::byName(assignments.last().first)) {
            const QString &name = assignments.last().first;
            m_err(QStringLiteral("set: нет поля «%1»%2\n").arg(name, likelyName(name)));
            return ExitCode::Usage;
        }
    }
    const QString &file = m_options.operands.at(0);
    ConfigImage image;
    const int loaded = load(file, image);
    if (loaded != ExitCode::Success)
        return loaded;
    const QString target = m_options.output.isEmpty() ? file : m_options.output;

    const QList<ConfigFields::Refusal> refusals = ConfigFields(image).set(assignments);
    if (!refusals.isEmpty()) {
        for (const ConfigFields::Refusal &r : refusals)
            m_err(QStringLiteral("%1: значение «%2» не принято — %3.\n").arg(r.name, oneLine(r.value), r.reason));
        m_err(QStringLiteral("Файл %1 не записан.\n").arg(target));
        return ExitCode::BadFile;
    }
    // Written whole or not at all: a failed write leaves the old file as it was.
    FileWriter out(target);
    if (!out.writeWhole(ConfigFiles::formatImage(image))) {
        m_err((out.openFailed() ? ConfigFiles::kCreateError : ConfigFiles::kWriteError) + target + QLatin1Char('\n')
              + out.explanation() + QLatin1Char('\n'));
        return ExitCode::BadFile;
    }
    if (!m_options.quiet)
        m_err(QStringLiteral("Записано: %1\n").arg(target));
    return ExitCode::Success;
}
