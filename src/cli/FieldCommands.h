#pragma once
#include "cli/CliOptions.h"
#include "editors/ConfigFields.h"
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

class ConfigFiles;
class ConfigImage;

// show, diff and set: configurations as the named fields of the settings pages. A side of show or
// diff is a .cf file or the unit; set works on files only.
class FieldCommands {
public:
    using Writer = std::function<void(const QString &text)>;
    // Reads the unit's configuration into the image; an exit status, Success when it was read.
    using UnitReader = std::function<int(ConfigImage &image)>;

    // Stands for the unit among the operands of show and diff.
    inline static const QString kUnit = QStringLiteral("--unit");

    static bool handles(CliOptions::Command command);
    // Puts the command's operands into options: the positional arguments, with kUnit where the
    // unit was named. The error text, empty when the operands fit the command.
    static QString takeOperands(const QStringList &arguments, const QStringList &positional, bool unit,
                                CliOptions &options);

    // The lines of show: "name: text", a red field followed by a line "# name — красное поле: rule".
    static QString showText(const QList<ConfigFields::Value> &values);
    // show --names: the field names set takes, one a line, or a JSON array.
    static QString namesText(bool json);
    // One object: name -> text or null, in page order; red fields under "flagged", name -> rule.
    static QString showJson(const QList<ConfigFields::Value> &values);
    // The lines of diff: one per differing field, the count, and the differing cells no field line
    // accounts for. Sets *differs when anything differs.
    static QString diffText(const ConfigImage &a, const ConfigImage &b, bool *differs);
    // "318–320, 2369": positions as ranges.
    static QString ranges(const QList<int> &positions);

    FieldCommands(ConfigFiles &files, const CliOptions &options, UnitReader readUnit, Writer out, Writer err);
    int run();

private:
    int show();
    int diff();
    int set();
    // The image of one side: a file checked whole, or the unit.
    int load(const QString &side, ConfigImage &image);

    ConfigFiles &m_files;
    const CliOptions &m_options;
    UnitReader m_readUnit;
    Writer m_out;
    Writer m_err;
};
