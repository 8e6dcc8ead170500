#include "cli/CliOptions.h"
#include "cli/CommandTable.h"
#include "cli/FieldCommands.h"
#include <QCommandLineParser>

#ifndef TARVIKS_VERSION
#define TARVIKS_VERSION "0"
#endif

QString CliOptions::version()
{
    return QStringLiteral(TARVIKS_VERSION);
}

QString CliOptions::commandName(Command command)
{
    return CommandTable::of(command).name;
}

CliOptions::Outcome CliOptions::parse(const QStringList &arguments, CliOptions &o, QString *text)
{
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral("Тарвикс: обслуживание блоков ЗОРГЕЛ из командной строки."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Эта справка."));
    const QCommandLineOption versionOption({QStringLiteral("v"), QStringLiteral("version")},
                                           QStringLiteral("Версия программы."));
    const QCommandLineOption port(QStringLiteral("port"), QStringLiteral("Номер порта (COM<N>) или путь устройства."),
                                  QStringLiteral("N"));
    const QCommandLineOption speed(QStringLiteral("speed"), QStringLiteral("Скорость порта, бод."),
                                   QStringLiteral("бод"));
    const QCommandLineOption quiet({QStringLiteral("q"), QStringLiteral("quiet")},
                                   QStringLiteral("Без хода передачи и сообщений об успехе."));
    const QCommandLineOption verify(QStringLiteral("verify"), QStringLiteral("После записи прочитать и сравнить."));
    const QCommandLineOption json(QStringLiteral("json"), QStringLiteral("find, show, ports, backups: вывод в JSON."));
    const QCommandLineOption period(QStringLiteral("period"),
                                    QStringLiteral("monitor: период опроса, с (0,5 … 5; по умолчанию 1)."),
                                    QStringLiteral("S"));
    const QCommandLineOption count(QStringLiteral("count"), QStringLiteral("monitor: число кадров; bench: число устройств."),
                                   QStringLiteral("K"));
    const QCommandLineOption csv(QStringLiteral("csv"), QStringLiteral("monitor: вывод в CSV."));
    const QCommandLineOption unit(QStringLiteral("unit"), QStringLiteral("show, diff: устройство вместо файла."));
    const QCommandLineOption output(QStringLiteral("output"), QStringLiteral("set: записать в другой файл."),
                                    QStringLiteral("OUT.cf"));
    const QCommandLineOption all(QStringLiteral("all"),
                                 QStringLiteral("Все устройства сразу: каждый порт из TX.cfg или каждый --port."));
    const QCommandLineOption journal(QStringLiteral("journal"),
                                     QStringLiteral("monitor: журнал для электронной таблицы, как в окне."),
                                     QStringLiteral("FILE.csv"));
    const QCommandLineOption names(QStringLiteral("names"), QStringLiteral("show: имена полей для set."));
    const QCommandLineOption noBackup(QStringLiteral("no-backup"),
                                      QStringLiteral("write-config: без копии конфигурации устройства перед записью."));
    const QCommandLineOption force(QStringLiteral("force"),
                                   QStringLiteral("write-config: записать, даже если модель другая, не прочитана или не названа; "
                                                  "read-config: сохранить, даже если ячейки модели не называют модель."));
    const QCommandLineOption backup(QStringLiteral("backup"),
                                    QStringLiteral("write-firmware: сначала прочитать прошивку устройства в "
                                                   "резервные копии."));
    const QCommandLineOption trace(QStringLiteral("trace"),
                                   QStringLiteral("Записать в файл каждый отправленный и принятый байт."),
                                   QStringLiteral("FILE"));
    const QCommandLineOption fields(QStringLiteral("fields"),
                                    QStringLiteral("bench: значения полей каждого устройства, строка на IMEI."),
                                    QStringLiteral("UNITS.csv"));
    const QCommandLineOption log(QStringLiteral("log"),
                                 QStringLiteral("bench: журнал, строка на устройство (по умолчанию BENCH.csv)."),
                                 QStringLiteral("BENCH.csv"));
    const QList<const QCommandLineOption *> optional{&verify,  &json,  &period,   &count, &csv,    &unit,  &output, &all,
                                                     &journal, &names, &noBackup, &force, &backup, &fields, &log};
    p.addOptions({help, versionOption, port, speed, quiet, verify, json, period, count, csv, unit, output, all, journal,
                  names, noBackup, force, backup, trace, fields, log});
    p.addPositionalArgument(QStringLiteral("команда"), QStringLiteral("find, read-config, write-config, "
                                                                      "read-firmware, write-firmware, monitor, "
                                                                      "show, diff, set, ports, backups, report или bench."));
    p.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("Файл .cf, .fw или .pdf."),
                           QStringLiteral("[FILE]"));

    const auto fail = [text](const QString &message) {
        *text = message + QStringLiteral("\nСправка: tarviks-cli --help");
        return Outcome::Error;
    };
    if (!p.parse(arguments))
        return fail(p.errorText());
    if (p.isSet(help)) {
        const CommandEntry *entry = CommandTable::find(p.positionalArguments().value(0));
        if (!entry) {
            *text = p.helpText() + QLatin1Char('\n') + CommandTable::usage();
            return Outcome::Help;
        }
        // The command's own options as the parser describes them, after the common ones.
        QStringList lines;
        const auto describe = [&lines](const QCommandLineOption &option) {
            QString names = QStringLiteral("--") + option.names().constLast();
            if (!option.valueName().isEmpty())
                names += QLatin1Char(' ') + option.valueName();
            lines << QStringLiteral("  ") + names.leftJustified(22) + option.description();
        };
        for (const QCommandLineOption *option : {&port, &speed, &quiet, &trace})
            describe(*option);
        for (const QCommandLineOption *option : optional)
            if (entry->options.contains(option->names().constFirst()))
                describe(*option);
        *text = CommandTable::help(*entry, lines);
        return Outcome::Help;
    }
    if (p.isSet(versionOption)) {
        *text = QStringLiteral("tarviks-cli ") + version();
        return Outcome::Version;
    }

    QStringList positional = p.positionalArguments();
    if (positional.isEmpty())
        return fail(QStringLiteral("Не задана команда."));
    const QString name = positional.takeFirst();
    const CommandEntry *info = CommandTable::find(name);
    if (!info)
        return fail(QStringLiteral("Неизвестная команда: %1").arg(name));
    o = CliOptions();
    o.command = info->command;
    if (info->takesFile) {
        if (positional.isEmpty() || positional.first().isEmpty())
            return fail(QStringLiteral("%1: не задан файл.").arg(name));
        o.file = positional.takeFirst();
    }
    if (o.command == Command::Backups && !positional.isEmpty())
        o.unitName = positional.takeFirst();
    if (o.command == Command::Report && !positional.isEmpty())
        o.operands << positional.takeFirst();
    // A .cf named first by mistake must not be replaced by a PDF.
    if (o.command == Command::Report && !o.file.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
        return fail(QStringLiteral("report: отчёт пишется в файл .pdf: report OUT.pdf [FILE.cf]."));
    if (!positional.isEmpty() && !FieldCommands::handles(o.command))
        return fail(QStringLiteral("Лишний аргумент: %1").arg(positional.first()));

    for (const QCommandLineOption *option : optional) {
        const QString optionName = option->names().constFirst();
        if (p.isSet(*option) && !info->options.contains(optionName))
            return fail(QStringLiteral("Параметр --%1 не применяется к команде %2.").arg(optionName, name));
    }
    if (FieldCommands::handles(o.command)) {
        o.names = p.isSet(names);
        const QString error = FieldCommands::takeOperands(arguments, p.positionalArguments(), p.isSet(unit), o);
        if (!error.isEmpty())
            return fail(error);
        o.output = p.value(output);
    }

    bool ok = false;
    o.all = p.isSet(all);
    const QStringList portValues = p.values(port);
    // A bench watches every port it is given.
    if (portValues.size() > 1 && !o.all && o.command != Command::Bench)
        return fail(QStringLiteral("--port задан несколько раз: несколько портов сразу только с --all."));
    for (const QString &value : portValues) {
        // "COM1", as the messages name it, is port 1.
        const QString number = value.startsWith(QLatin1String("COM"), Qt::CaseInsensitive) ? value.mid(3) : value;
        const int n = number.toInt(&ok);
        if (!ok && value.contains(QLatin1Char('/'))) {
            o.portDevice = value;   // numbered when the session starts
            o.portDevices << value;
        } else {
            if (!ok || n < 1 || n > kMaxPort)
                return fail(QStringLiteral("--port: нужен номер порта от 1 до %1. Или путь устройства, например "
                                           "/dev/ttyACM0.")
                                .arg(kMaxPort));
            o.port = n;
            if (!o.ports.contains(n))
                o.ports << n;
        }
    }
    if (o.command == Command::Report && !o.operands.isEmpty() && !portValues.isEmpty())
        return fail(QStringLiteral("report: отчёт составляется либо по файлу, либо по устройству (--port), не по обоим."));
    if (p.isSet(speed)) {
        const int n = p.value(speed).toInt(&ok);
        if (!ok || n <= 0)
            return fail(QStringLiteral("--speed: нужна скорость больше нуля."));
        o.speed = n;
    }
    if (p.isSet(period)) {
        // Both "0.5" and the Russian "0,5".
        QString value = p.value(period);
        value.replace(QLatin1Char(','), QLatin1Char('.'));
        const double s = value.toDouble(&ok);
        if (!ok || s < kMinPeriod || s > kMaxPeriod)
            return fail(QStringLiteral("--period: нужен период от 0,5 до 5 секунд."));
        o.period = s;
    }
    if (p.isSet(count)) {
        const int n = p.value(count).toInt(&ok);
        if (!ok || n < 1)
            return fail(QStringLiteral("--count: нужно число кадров от 1."));
        o.count = n;
    }
    o.verify = p.isSet(verify);
    o.json = p.isSet(json);
    o.csv = p.isSet(csv);
    o.quiet = p.isSet(quiet);
    o.journal = p.value(journal);
    o.noBackup = p.isSet(noBackup);
    o.force = p.isSet(force);
    o.backup = p.isSet(backup);
    o.trace = p.value(trace);
    o.fields = p.value(fields);
    o.log = p.value(log);
    if ((p.isSet(fields) && o.fields.isEmpty()) || (p.isSet(log) && o.log.isEmpty()))
        return fail(QStringLiteral("--%1: не задан файл.").arg(p.isSet(fields) && o.fields.isEmpty() ? QStringLiteral("fields") : QStringLiteral("log")));
    if (p.isSet(trace) && o.trace.isEmpty())
        return fail(QStringLiteral("--trace: не задан файл."));
    return Outcome::Run;
}
