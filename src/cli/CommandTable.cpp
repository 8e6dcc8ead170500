#include "cli/CommandTable.h"
#include "cli/MonitorCommand.h"
#include "unit/ExitCode.h"
#include "unit/FirmwareJob.h"
#include "unit/ReadConfigJob.h"
#include "unit/ReadInfoJob.h"
#include "unit/UnitBackups.h"
#include "unit/UnitSession.h"
#include "unit/WriteConfigJob.h"

namespace CommandTable {

namespace {
using C = CliOptions::Command;
using K = CommandEntry::FileKind;
const QString kAll = QStringLiteral("all");

const QString kWriteConfigDetails = QStringLiteral(
    "Перед записью конфигурация устройства читается (около 1 с на 115200 бод, 2,4 с на 9600) и сохраняется\n"
    "в \"Резервные копии/<имя устройства> <IMEI>/<дата время> COM<N> до записи.cf\" в папке программы;\n"
    "если копию не удалось сохранить, запись не начинается (4). Модель в файле сравнивается с моделью\n"
    "устройства: другая модель или ячейки модели файла не называют ни одной модели — отказ (4), модель\n"
    "устройства не прочитана — отказ (5); --force записывает всё же. IMEI файла, отличный от IMEI\n"
    "устройства (копия другого устройства), записывается с предупреждением.\n"
    "Восстановить прежнюю конфигурацию: tarviks-cli write-config \"<копия>.cf\" (список: tarviks-cli backups).");
const QString kReadConfigDetails = QStringLiteral(
    "Ответ, ячейки модели которого (2369–2370) не называют ни одной модели, — ошибка чтения (5): файл\n"
    "не заменяется и копия не сохраняется; --force сохраняет файл всё же. Копия, которую не удалось\n"
    "сохранить, — код 7 (файл сохранён).");
const QString kWriteFirmwareDetails = QStringLiteral(
    "--backup: перед записью прошивка устройства читается в \"Резервные копии/<имя устройства> <IMEI>/\n"
    "<дата время> COM<N> прошивка.fw\" (около 6 с на 115200 бод, 66 с на 9600); если её не удалось\n"
    "прочитать, запись не начинается.");
const QString kBackupsDetails = QStringLiteral(
    "Копии лежат в \"Резервные копии\" в папке программы, по папке на устройство (имя и IMEI первого\n"
    "чтения); новые сначала, с портом каждой копии. UNIT: имя (все его IMEI), имя и IMEI или IMEI;\n"
    "неизвестное устройство — код 3.\n"
    "Для восстановления запишите копию: tarviks-cli write-config \"<копия>.cf\".\n"
    "Копия делается при каждом полном чтении конфигурации и перед каждой записью; такая же, как последняя,\n"
    "не повторяется; копии старше года удаляются, но 20 последних каждого устройства остаются.");

QList<CommandEntry> build()
{
    namespace X = ExitCode;
    using Job = CommandEntry::JobInput;
    const QList<int> read{X::Success, X::Usage, X::NoUnit, X::BadFile, X::TransferFailed, X::Interrupted};
    const QList<int> readWithCopy{X::Success,        X::Usage,          X::NoUnit,     X::BadFile,
                                  X::TransferFailed, X::SideFileFailed, X::Interrupted};
    const QList<int> write{X::Success,        X::Usage,          X::NoUnit,         X::BadFile,
                           X::TransferFailed, X::VerifyMismatch, X::SideFileFailed, X::Interrupted};
    const QString verify = QStringLiteral("verify");
    const QString json = QStringLiteral("json");
    const QString unit = QStringLiteral("unit");
    const QString force = QStringLiteral("force");
    return {
        {QStringLiteral("find"), C::Find, false, {json, kAll},
         QStringLiteral("find [--port N] [--json]  |  find --all [--json]"),
         QStringLiteral("найти устройство: имя, модель, входы, версии, IMEI"), QString(),
         {X::Success, X::Usage, X::NoUnit, X::TransferFailed, X::Interrupted}, K::None, false, false,
         [](const Job &in) { return std::make_unique<ReadInfoJob>(in.unit, in.messages); }},
        {QStringLiteral("read-config"), C::ReadConfig, true, {kAll, force},
         QStringLiteral("read-config FILE.cf [--port N] [--force]  |  read-config --all DIR [--force]"),
         QStringLiteral("конфигурация устройства -> файл"), kReadConfigDetails, readWithCopy, K::Config, false, false,
         [](const Job &in) {
             return std::make_unique<ReadConfigJob>(in.unit, in.messages, in.file, in.options.force);
         }},
        {QStringLiteral("write-config"), C::WriteConfig, true, {verify, kAll, QStringLiteral("no-backup"), force},
         QStringLiteral("write-config FILE.cf [--port N] [--verify] [--no-backup] [--force]  |  "
                        "write-config FILE.cf --all [--verify] [--no-backup] [--force]"),
         QStringLiteral("файл -> устройство; --verify читает и сравнивает"), kWriteConfigDetails, write, K::Config,
         true, true,
         [](const Job &in) {
             auto job = std::make_unique<WriteConfigJob>(in.unit, in.messages, in.file, in.blocks, in.options.verify);
             in.unit.backups().setKeeping(!in.options.noBackup);
             // The read is needed for the copy and for the model check; only both waived skip it.
             job->setReadFirst({!in.options.noBackup || !in.options.force, in.fileModel, in.options.force});
             return job;
         }},
        {QStringLiteral("read-firmware"), C::ReadFirmware, true, {kAll},
         QStringLiteral("read-firmware FILE.fw [--port N]  |  read-firmware --all DIR"),
         QStringLiteral("прошивка устройства -> файл"), QString(), readWithCopy, K::Firmware, false, false,
         [](const Job &in) {
             return std::make_unique<FirmwareJob>(in.unit, in.messages, FirmwareJob::Direction::Read, in.file);
         }},
        {QStringLiteral("write-firmware"), C::WriteFirmware, true, {verify, kAll, QStringLiteral("backup")},
         QStringLiteral("write-firmware FILE.fw [--port N] [--verify] [--backup]  |  "
                        "write-firmware FILE.fw --all [--verify] [--backup]"),
         QStringLiteral("файл -> прошивка устройства; --verify читает и сравнивает"), kWriteFirmwareDetails, write,
         K::Firmware, true, true,
         [](const Job &in) {
             auto job = std::make_unique<FirmwareJob>(in.unit, in.messages, FirmwareJob::Direction::Write, in.file,
                                                      in.blocks, in.options.verify);
             job->setBackupFirst(in.options.backup);
             return job;
         }},
        {QStringLiteral("monitor"), C::Monitor, false,
         {QStringLiteral("period"), QStringLiteral("count"), QStringLiteral("csv"), QStringLiteral("journal")},
         QStringLiteral("monitor [--port N] [--period S] [--count K] [--csv] [--journal FILE.csv]"),
         QStringLiteral("состояние устройства, строка на кадр; Ctrl+C — конец (130)"),
         QStringLiteral("--csv: строки CSV для программ: поля через \",\", дробная часть через \".\", без BOM.\n"
                        "--journal FILE.csv: в конце тот же файл, что \"Сохранить журнал\" окна, для электронной "
                        "таблицы."),
         {X::Success, X::Usage, X::NoUnit, X::BadFile, X::TransferFailed, X::Interrupted}, K::None, false, false,
         [](const Job &in) { return std::make_unique<MonitorCommand>(in.unit, in.messages, in.options, in.out); }},
        {QStringLiteral("show"), C::Show, false, {json, unit, QStringLiteral("names")},
         QStringLiteral("show FILE.cf|--unit|--names [--json]"),
         QStringLiteral("поля конфигурации, как их показывают страницы"), QString(),
         {X::Success, X::Usage, X::NoUnit, X::BadFile, X::TransferFailed, X::Interrupted}, K::None, false, false, {}},
        {QStringLiteral("diff"), C::Diff, false, {unit}, QStringLiteral("diff A.cf B.cf"),
         QStringLiteral("отличающиеся поля; вместо файла можно --unit"), QString(),
         {X::Success, X::Differ, X::Usage, X::NoUnit, X::BadFile, X::TransferFailed, X::Interrupted}, K::None, false,
         false, {}},
        {QStringLiteral("set"), C::Set, false, {QStringLiteral("output")},
         QStringLiteral("set FILE.cf ИМЯ=ЗНАЧЕНИЕ... [--output OUT.cf]"), QStringLiteral("значения полей -> файл"),
         QString(), {X::Success, X::Usage, X::BadFile}, K::None, false, false, {}},
        {QStringLiteral("ports"), C::Ports, false, {json}, QStringLiteral("ports [--json]"),
         QStringLiteral("номера портов: ссылка, устройство, описание, есть ли оно"), QString(), {X::Success, X::Usage},
         K::None, false, false, {}},
        {QStringLiteral("backups"), C::Backups, false, {json}, QStringLiteral("backups [UNIT] [--json]"),
         QStringLiteral("резервные копии: устройства и их копии"), kBackupsDetails,
         {X::Success, X::Usage, X::NoUnit}, K::None, false, false, {}},
    };
}

const QString kAfterCommands = QStringLiteral(
    "  find --all, read-config --all DIR, write-config FILE.cf --all [--verify],\n"
    "  read-firmware --all DIR, write-firmware FILE.fw --all [--verify] [--backup]\n"
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
    "--trace FILE: каждый отправленный и принятый байт в файл (для отчёта об ошибке), с любой командой.\n"
    "Справка по команде: tarviks-cli КОМАНДА --help.\n"
    "\n"
    "Коды завершения: 0 успешно, 1 diff: есть отличия, 2 ошибка в аргументах, 3 устройство не обнаружено,\n"
    "4 ошибка файла или значение не принято (set), 5 ошибка передачи, 6 проверка не пройдена,\n"
    "7 выполнено, но копия прочитанной конфигурации или трасса (--trace) не записана, 130 прервано (Ctrl+C).");
}

const QList<CommandEntry> &all()
{
    static const QList<CommandEntry> table = build();
    return table;
}

const CommandEntry *find(const QString &name)
{
    for (const CommandEntry &entry : all())
        if (entry.name == name)
            return &entry;
    return nullptr;
}

const CommandEntry &of(CliOptions::Command command)
{
    for (const CommandEntry &entry : all())
        if (entry.command == command)
            return entry;
    static const CommandEntry none;
    return none;
}

QString usage()
{
    constexpr int kColumn = 45;
    QString text = QStringLiteral("Команды:\n");
    for (const CommandEntry &entry : all()) {
        // A --all form is listed below with the others.
        const QString line = QStringLiteral("  ") + entry.usage.section(QStringLiteral("  |  "), 0, 0);
        if (line.size() < kColumn)
            text += line.leftJustified(kColumn) + entry.summary + QLatin1Char('\n');
        else
            text += line + QLatin1Char('\n') + QString(kColumn, QLatin1Char(' ')) + entry.summary + QLatin1Char('\n');
        if (entry.command == C::Monitor)
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
    case ExitCode::SideFileFailed: return QStringLiteral("7 выполнено, но копия или трасса не записана");
    case ExitCode::Interrupted: return QStringLiteral("130 прервано (Ctrl+C)");
    default: return QString::number(code);
    }
}

QString help(const CommandEntry &entry, const QStringList &optionLines)
{
    QStringList lines{QStringLiteral("Использование: tarviks-cli ") + entry.usage, entry.summary};
    if (!entry.details.isEmpty())
        lines << entry.details;
    lines << QString() << QStringLiteral("Параметры:") << optionLines;
    QStringList codes;
    for (const int code : entry.exitCodes)
        codes << exitCodeText(code);
    lines << QString() << QStringLiteral("Коды завершения: ") + codes.join(QStringLiteral(", ")) + QLatin1Char('.');
    return lines.join(QLatin1Char('\n'));
}

}
