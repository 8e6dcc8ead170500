#include "cli/CliOptions.h"
#include "cli/FieldCommands.h"
#include <QCommandLineParser>
#include <QHash>
#include <QSet>

#ifndef TARVIKS_VERSION
#define TARVIKS_VERSION "0"
#endif

namespace {

struct CommandInfo {
    CliOptions::Command command;
    bool takesFile;
    QSet<QString> options;   // beyond --port, --speed, --quiet, --help, --version
};

const QHash<QString, CommandInfo> &commands()
{
    using C = CliOptions::Command;
    static const QHash<QString, CommandInfo> table{
        {QStringLiteral("find"), {C::Find, false, {QStringLiteral("json"), QStringLiteral("all")}}},
        {QStringLiteral("read-config"), {C::ReadConfig, true, {QStringLiteral("all")}}},
        {QStringLiteral("write-config"), {C::WriteConfig, true, {QStringLiteral("verify"), QStringLiteral("all")}}},
        {QStringLiteral("read-firmware"), {C::ReadFirmware, true, {QStringLiteral("all")}}},
        {QStringLiteral("write-firmware"), {C::WriteFirmware, true, {QStringLiteral("verify"), QStringLiteral("all")}}},
        {QStringLiteral("monitor"),
         {C::Monitor, false, {QStringLiteral("period"), QStringLiteral("count"), QStringLiteral("csv")}}},
        {QStringLiteral("show"),
         {C::Show, false, {QStringLiteral("json"), QStringLiteral("unit"), QStringLiteral("names")}}},
        {QStringLiteral("diff"), {C::Diff, false, {QStringLiteral("unit")}}},
        {QStringLiteral("set"), {C::Set, false, {QStringLiteral("output")}}},
        {QStringLiteral("ports"), {C::Ports, false, {QStringLiteral("json")}}},
    };
    return table;
}

const QString kUsage = QStringLiteral(
    "Команды:\n"
    "  find [--port N] [--json]                   найти устройство: имя, модель, входы, версии, IMEI\n"
    "  read-config FILE.cf [--port N]             конфигурация устройства -> файл\n"
    "  write-config FILE.cf [--port N] [--verify] файл -> устройство; --verify читает и сравнивает\n"
    "  read-firmware FILE.fw [--port N]           прошивка устройства -> файл\n"
    "  write-firmware FILE.fw [--port N] [--verify]\n"
    "                                             файл -> прошивка устройства; --verify читает и сравнивает\n"
    "  monitor [--port N] [--period S] [--count K] [--csv]\n"
    "                                             состояние устройства, строка на кадр; Ctrl+C — конец (130)\n"
    "  find --all, read-config --all DIR, write-config FILE.cf --all [--verify],\n"
    "  read-firmware --all DIR, write-firmware FILE.fw --all [--verify]\n"
    "                                             все порты из TX.cfg (или каждый --port) сразу; файлы в DIR\n"
    "                                             называются \"COM<N> <имя устройства>.cf\" / \".fw\"\n"
    "  show FILE.cf|--unit [--json]               поля конфигурации, как их показывают страницы\n"
    "  show --names [--json]                      имена полей, которые принимает set\n"
    "  diff A.cf B.cf                             отличающиеся поля; вместо файла можно --unit\n"
    "  set FILE.cf ИМЯ=ЗНАЧЕНИЕ... [--output OUT.cf]\n"
    "                                             значения полей -> файл\n"
    "  ports [--json]                             номера портов: ссылка, устройство, описание, есть ли оно\n"
    "\n"
    "Поля называются, как на страницах: \"Вход 1\", \"T1 Верхняя (H)\", \"00 SMS\", \"Syrena\" ...\n"
    "Флаги: 1/0 или да/нет. Примеры:\n"
    "  tarviks-cli show site.cf --json\n"
    "  tarviks-cli diff site.cf --unit\n"
    "  tarviks-cli set site.cf \"Вход 1=Пожар\" Syrena=да \"T1 Верхняя (H)=30\" --output new.cf\n"
    "\n"
    "Порт и скорость берутся из Service/TX.cfg папки программы; --port и --speed их заменяют,\n"
    "не меняя файла. --port принимает и путь устройства, например --port /dev/ttyACM0.\n"
    "\n"
    "Коды завершения: 0 успешно, 1 diff: есть отличия, 2 ошибка в аргументах, 3 устройство не обнаружено,\n"
    "4 ошибка файла или значение не принято (set), 5 ошибка передачи, 6 проверка не пройдена,\n"
    "130 прервано (Ctrl+C).");
}

QString CliOptions::version()
{
    return QStringLiteral(TARVIKS_VERSION);
}

QString CliOptions::commandName(Command command)
{
    for (auto it = commands().cbegin(); it != commands().cend(); ++it)
        if (it->command == command)
            return it.key();
    return QString();
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
    const QCommandLineOption json(QStringLiteral("json"), QStringLiteral("find, show, ports: вывод в JSON."));
    const QCommandLineOption period(QStringLiteral("period"),
                                    QStringLiteral("monitor: период опроса, с (0,5 … 5; по умолчанию 1)."),
                                    QStringLiteral("S"));
    const QCommandLineOption count(QStringLiteral("count"), QStringLiteral("monitor: число кадров."),
                                   QStringLiteral("K"));
    const QCommandLineOption csv(QStringLiteral("csv"), QStringLiteral("monitor: вывод в CSV."));
    const QCommandLineOption unit(QStringLiteral("unit"), QStringLiteral("show, diff: устройство вместо файла."));
    const QCommandLineOption output(QStringLiteral("output"), QStringLiteral("set: записать в другой файл."),
                                    QStringLiteral("OUT.cf"));
    const QCommandLineOption all(QStringLiteral("all"),
                                 QStringLiteral("Все устройства сразу: каждый порт из TX.cfg или каждый --port."));
    const QCommandLineOption names(QStringLiteral("names"), QStringLiteral("show: имена полей для set."));
    p.addOptions({help, versionOption, port, speed, quiet, verify, json, period, count, csv, unit, output, all, names});
    p.addPositionalArgument(QStringLiteral("команда"), QStringLiteral("find, read-config, write-config, "
                                                                      "read-firmware, write-firmware, monitor, "
                                                                      "show, diff, set или ports."));
    p.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("Файл .cf или .fw."), QStringLiteral("[FILE]"));

    const auto fail = [text](const QString &message) {
        *text = message + QStringLiteral("\nСправка: tarviks-cli --help");
        return Outcome::Error;
    };
    if (!p.parse(arguments))
        return fail(p.errorText());
    if (p.isSet(help)) {
        *text = p.helpText() + QLatin1Char('\n') + kUsage;
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
    const auto info = commands().constFind(name);
    if (info == commands().constEnd())
        return fail(QStringLiteral("Неизвестная команда: %1").arg(name));
    o = CliOptions();
    o.command = info->command;
    if (info->takesFile) {
        if (positional.isEmpty() || positional.first().isEmpty())
            return fail(QStringLiteral("%1: не задан файл.").arg(name));
        o.file = positional.takeFirst();
    }
    if (!positional.isEmpty() && !FieldCommands::handles(o.command))
        return fail(QStringLiteral("Лишний аргумент: %1").arg(positional.first()));

    for (const QCommandLineOption *option : {&verify, &json, &period, &count, &csv, &unit, &output, &all, &names}) {
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
    if (portValues.size() > 1 && !o.all)
        return fail(QStringLiteral("--port задан несколько раз: несколько портов сразу только с --all."));
    for (const QString &value : portValues) {
        const int n = value.toInt(&ok);
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
    return Outcome::Run;
}
