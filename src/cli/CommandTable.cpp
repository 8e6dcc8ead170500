#include "cli/CommandTable.h"
#include "cli/MonitorCommand.h"
#include "unit/ExitCode.h"
#include "unit/FirmwareJob.h"
#include "unit/ReadConfigJob.h"
#include "unit/ReadInfoJob.h"
#include "unit/WriteConfigJob.h"

namespace CommandTable {

namespace {
using C = CliOptions::Command;
using K = CommandSpec::FileKind;
const QString kAll = QStringLiteral("all");

QList<CommandSpec> build()
{
    using E = QList<int>;
    namespace X = ExitCode;
    QList<CommandSpec> table;
    CommandSpec find;
    find.name = QStringLiteral("find");
    find.command = C::Find;
    find.options = {QStringLiteral("json"), kAll};
    find.usage = QStringLiteral("find [--port N] [--json]  |  find --all [--json]");
    find.summary = QStringLiteral("найти устройство: имя, модель, входы, версии, IMEI");
    find.exitCodes = E{X::Success, X::Usage, X::NoUnit, X::TransferFailed, X::Interrupted};
    find.job = [](const CommandSpec::JobInput &in) { return std::make_unique<ReadInfoJob>(in.unit, in.messages); };
    table << find;

    CommandSpec readConfig;
    readConfig.name = QStringLiteral("read-config");
    readConfig.command = C::ReadConfig;
    readConfig.takesFile = true;
    readConfig.options = {kAll};
    readConfig.usage = QStringLiteral("read-config FILE.cf [--port N]  |  read-config --all DIR");
    readConfig.summary = QStringLiteral("конфигурация устройства -> файл");
    readConfig.exitCodes = E{X::Success, X::Usage, X::NoUnit, X::BadFile, X::TransferFailed, X::Interrupted};
    readConfig.fileKind = K::Config;
    readConfig.job = [](const CommandSpec::JobInput &in) {
        return std::make_unique<ReadConfigJob>(in.unit, in.messages, in.file);
    };
    table << readConfig;

    CommandSpec writeConfig;
    writeConfig.name = QStringLiteral("write-config");
    writeConfig.command = C::WriteConfig;
    writeConfig.takesFile = true;
    writeConfig.options = {QStringLiteral("verify"), kAll};
    writeConfig.usage = QStringLiteral("write-config FILE.cf [--port N] [--verify]  |  write-config FILE.cf --all [--verify]");
    writeConfig.summary = QStringLiteral("файл -> устройство; --verify читает и сравнивает");
    writeConfig.exitCodes =
        E{X::Success, X::Usage, X::NoUnit, X::BadFile, X::TransferFailed, X::VerifyMismatch, X::Interrupted};
    writeConfig.fileKind = K::Config;
    writeConfig.sendsFile = true;
    writeConfig.changesUnit = true;
    writeConfig.job = [](const CommandSpec::JobInput &in) {
        return std::make_unique<WriteConfigJob>(in.unit, in.messages, in.file, in.blocks, in.options.verify);
    };
    table << writeConfig;

    CommandSpec readFirmware = readConfig;
    readFirmware.name = QStringLiteral("read-firmware");
    readFirmware.command = C::ReadFirmware;
    readFirmware.usage = QStringLiteral("read-firmware FILE.fw [--port N]  |  read-firmware --all DIR");
    readFirmware.summary = QStringLiteral("прошивка устройства -> файл");
    readFirmware.fileKind = K::Firmware;
    readFirmware.job = [](const CommandSpec::JobInput &in) {
        return std::make_unique<FirmwareJob>(in.unit, in.messages, FirmwareJob::Direction::Read, in.file);
    };
    table << readFirmware;

    CommandSpec writeFirmware = writeConfig;
    writeFirmware.name = QStringLiteral("write-firmware");
    writeFirmware.command = C::WriteFirmware;
    writeFirmware.usage = QStringLiteral("write-firmware FILE.fw [--port N] [--verify]  |  write-firmware FILE.fw --all [--verify]");
    writeFirmware.summary = QStringLiteral("файл -> прошивка устройства; --verify читает и сравнивает");
    writeFirmware.fileKind = K::Firmware;
    writeFirmware.job = [](const CommandSpec::JobInput &in) {
        return std::make_unique<FirmwareJob>(in.unit, in.messages, FirmwareJob::Direction::Write, in.file, in.blocks,
                                             in.options.verify);
    };
    table << writeFirmware;

    CommandSpec monitor;
    monitor.name = QStringLiteral("monitor");
    monitor.command = C::Monitor;
    monitor.options = {QStringLiteral("period"), QStringLiteral("count"), QStringLiteral("csv"),
                       QStringLiteral("journal")};
    monitor.usage = QStringLiteral("monitor [--port N] [--period S] [--count K] [--csv] [--journal FILE.csv]");
    monitor.summary = QStringLiteral("состояние устройства, строка на кадр; Ctrl+C — конец (130)");
    monitor.details = QStringLiteral(
        "--csv: строки CSV для программ: поля через \",\", дробная часть через \".\", без BOM.\n"
        "--journal FILE.csv: в конце тот же файл, что \"Сохранить журнал\" окна: для электронной таблицы.");
    monitor.exitCodes = E{X::Success, X::Usage, X::NoUnit, X::BadFile, X::TransferFailed, X::Interrupted};
    monitor.job = [](const CommandSpec::JobInput &in) {
        return std::make_unique<MonitorCommand>(in.unit, in.messages, in.options, in.out);
    };
    table << monitor;

    CommandSpec show;
    show.name = QStringLiteral("show");
    show.command = C::Show;
    show.options = {QStringLiteral("json"), QStringLiteral("unit")};
    show.usage = QStringLiteral("show FILE.cf|--unit [--json]");
    show.summary = QStringLiteral("поля конфигурации, как их показывают страницы");
    show.exitCodes = E{X::Success, X::Usage, X::NoUnit, X::BadFile, X::TransferFailed, X::Interrupted};
    table << show;

    CommandSpec diff;
    diff.name = QStringLiteral("diff");
    diff.command = C::Diff;
    diff.options = {QStringLiteral("unit")};
    diff.usage = QStringLiteral("diff A.cf B.cf");
    diff.summary = QStringLiteral("отличающиеся поля; вместо файла можно --unit");
    diff.exitCodes = E{X::Success, X::Differ, X::Usage, X::NoUnit, X::BadFile, X::TransferFailed, X::Interrupted};
    table << diff;

    CommandSpec set;
    set.name = QStringLiteral("set");
    set.command = C::Set;
    set.options = {QStringLiteral("output")};
    set.usage = QStringLiteral("set FILE.cf ИМЯ=ЗНАЧЕНИЕ... [--output OUT.cf]");
    set.summary = QStringLiteral("значения полей -> файл");
    set.exitCodes = E{X::Success, X::Usage, X::BadFile};
    table << set;

    CommandSpec ports;
    ports.name = QStringLiteral("ports");
    ports.command = C::Ports;
    ports.options = {QStringLiteral("json")};
    ports.usage = QStringLiteral("ports [--json]");
    ports.summary = QStringLiteral("номера портов: ссылка, устройство, описание, есть ли оно");
    ports.exitCodes = E{X::Success, X::Usage};
    table << ports;
    return table;
}

const QString kAfterCommands = QStringLiteral(
    "  find --all, read-config --all DIR, write-config FILE.cf --all [--verify],\n"
    "  read-firmware --all DIR, write-firmware FILE.fw --all [--verify]\n"
    "                                             все порты из TX.cfg (или каждый --port) сразу; файлы в DIR\n"
    "                                             называются \"COM<N> <имя устройства>.cf\" / \".fw\"\n");

const QString kTail = QStringLiteral(
    "\n"
    "Поля называются, как на страницах: \"Вход 1\", \"T1 Верхняя (H)\", \"00 SMS\", \"Syrena\" ...\n"
    "Флаги: 1/0 или да/нет. Примеры:\n"
    "  tarviks-cli show site.cf --json\n"
    "  tarviks-cli diff site.cf --unit\n"
    "  tarviks-cli set site.cf \"Вход 1=Пожар\" Syrena=да \"T1 Верхняя (H)=30\" --output new.cf\n"
    "\n"
    "Порт и скорость берутся из Service/TX.cfg папки программы; --port и --speed их заменяют,\n"
    "не меняя файла. --port принимает и путь устройства, например --port /dev/ttyACM0.\n"
    "Справка по команде: tarviks-cli КОМАНДА --help.\n"
    "\n"
    "Коды завершения: 0 успешно, 1 diff: есть отличия, 2 ошибка в аргументах, 3 устройство не обнаружено,\n"
    "4 ошибка файла или значение не принято (set), 5 ошибка передачи, 6 проверка не пройдена,\n"
    "130 прервано (Ctrl+C).");
}

const QList<CommandSpec> &all()
{
    static const QList<CommandSpec> table = build();
    return table;
}

const CommandSpec *find(const QString &name)
{
    for (const CommandSpec &spec : all())
        if (spec.name == name)
            return &spec;
    return nullptr;
}

const CommandSpec &of(CliOptions::Command command)
{
    for (const CommandSpec &spec : all())
        if (spec.command == command)
            return spec;
    static const CommandSpec none;
    return none;
}

QString usage()
{
    constexpr int kColumn = 45;
    QString text = QStringLiteral("Команды:\n");
    for (const CommandSpec &spec : all()) {
        // A --all form is listed below with the others.
        const QString line = QStringLiteral("  ") + spec.usage.section(QStringLiteral("  |  "), 0, 0);
        if (line.size() < kColumn)
            text += line.leftJustified(kColumn) + spec.summary + QLatin1Char('\n');
        else
            text += line + QLatin1Char('\n') + QString(kColumn, QLatin1Char(' ')) + spec.summary + QLatin1Char('\n');
        if (spec.command == C::Monitor)
            text += kAfterCommands;
    }
    return text + kTail;
}

QString exitCodeText(int code)
{
    switch (code) {
    case ExitCode::Success: return QStringLiteral("0 успешно");
    case ExitCode::Differ: return QStringLiteral("1 есть отличия");
    case ExitCode::Usage: return QStringLiteral("2 ошибка в аргументах");
    case ExitCode::NoUnit: return QStringLiteral("3 устройство не обнаружено");
    case ExitCode::BadFile: return QStringLiteral("4 ошибка файла");
    case ExitCode::TransferFailed: return QStringLiteral("5 ошибка передачи");
    case ExitCode::VerifyMismatch: return QStringLiteral("6 проверка не пройдена");
    case ExitCode::Interrupted: return QStringLiteral("130 прервано (Ctrl+C)");
    default: return QString::number(code);
    }
}

QString help(const CommandSpec &spec, const QStringList &optionLines)
{
    QStringList lines{QStringLiteral("Использование: tarviks-cli ") + spec.usage, spec.summary};
    if (!spec.details.isEmpty())
        lines << spec.details;
    lines << QString() << QStringLiteral("Параметры:") << optionLines;
    QStringList codes;
    for (const int code : spec.exitCodes)
        codes << exitCodeText(code);
    lines << QString() << QStringLiteral("Коды завершения: ") + codes.join(QStringLiteral(", ")) + QLatin1Char('.');
    return lines.join(QLatin1Char('\n'));
}

}
