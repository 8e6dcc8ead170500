#include "cli/CommandTable.h"
#include "cli/MonitorCommand.h"
#include "unit/ExitCode.h"
#include "unit/FirmwareJob.h"
#include "unit/ReadConfigJob.h"
#include "report/CommissioningReport.h"
#include "unit/ReadInfoJob.h"
#include "unit/ReportJob.h"
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

const QString kReportDetails = QStringLiteral(
    "PDF на листах A4 для заказчика: устройство, как его показывает \"Информация об устройстве\", все настройки,\n"
    "как их показывают страницы (значение, показанное красным, — с правилом, которое оно нарушает), показания\n"
    "мониторинга и их тренд за 4 с опроса, строки для подписей установщика и заказчика.\n"
    "С FILE.cf отчёт составляется по файлу, без устройства и без показаний.");

const QString kBenchDetails = QStringLiteral(
    "Стенд: каждое устройство, ответившее на одном из портов (--port N, можно несколько; иначе порты из\n"
    "TX.cfg и подключённые адаптеры), настраивается по шаблону — все порты сразу. Для каждого: опознание,\n"
    "чтение (копия \"до записи\" в резервных копиях, как у write-config), сверка модели с шаблоном (другая\n"
    "модель — не записано), IMEI, его строка из UNITS.csv поверх шаблона, ячейки IMEI устройства остаются\n"
    "его собственными, запись, чтение и сравнение. Устройство, уже записанное в этом запуске, повторно не\n"
    "пишется (\"уже настроено\"); порт обслуживается снова, когда устройство отключили и ответило новое.\n"
    "UNITS.csv: заголовок \"IMEI\" и имена полей, как их печатает show --names; UTF-8 (с BOM или без),\n"
    "разделитель \";\" или \",\"; пустая ячейка оставляет значение шаблона. Все значения проверяются до\n"
    "начала: ошибка — код 2 с номером строки и столбцом. С --fields устройство без строки не пишется.\n"
    "Журнал (--log, по умолчанию BENCH.csv) дополняется строкой на устройство сразу по его окончании.\n"
    "Конец: после --count K устройств или Ctrl+C, с итогом. Код 0 — все записаны и проверены, иначе худший.\n"
    "\n"
    "Пример:\n"
    "  $ tarviks-cli bench site.cf --fields UNITS.csv --port 1 --port 2 --count 3 --log BENCH.csv\n"
    "  Стенд: шаблон site.cf (ЗОРГЕЛ-GSM8T), строк в UNITS.csv: 2, порты COM1, COM2. Ctrl+C — конец.\n"
    "  COM1 ЗОРГЕЛ-GSM8T: начато\n"
    "  COM2 ЗОРГЕЛ-GSM8T: начато\n"
    "  COM1 ЗОРГЕЛ-GSM8T IMEI 356938035643809: записано и проверено, 3,1 с — отключите устройство\n"
    "  COM2 ЗОРГЕЛ-GSM8T IMEI 356938035643817: записано и проверено, 3,2 с — отключите устройство\n"
    "  COM1 ЗОРГЕЛ-GSM4T: начато\n"
    "  COM1 ЗОРГЕЛ-GSM4T IMEI 356938035643825: отказ: другая модель, 1,2 с — отключите устройство\n"
    "  COM1: Конфигурация предназначена для модели ЗОРГЕЛ-GSM8T, а устройство — ЗОРГЕЛ-GSM4T. Не записано.\n"
    "  Итог: записано и проверено 2, отказано 1, с ошибкой 0.\n"
    "  $ echo $?\n"
    "  4");

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
                        "--journal FILE.csv: тот же файл, что \"Сохранить журнал\" окна, для электронной таблицы; "
                        "строки дописываются по мере прихода кадров и не реже раза в секунду сбрасываются на диск."),
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
        {QStringLiteral("bench"), C::Bench, true, {QStringLiteral("fields"), QStringLiteral("count"), QStringLiteral("log")},
         QStringLiteral("bench TEMPLATE.cf [--fields UNITS.csv] [--port N]... [--count K] [--log BENCH.csv]"),
         QStringLiteral("стенд: каждое подключённое устройство по шаблону и своей строке"), kBenchDetails, write,
         K::Config, true, true, {}},
        {QStringLiteral("ports"), C::Ports, false, {json}, QStringLiteral("ports [--json]"),
         QStringLiteral("номера портов: ссылка, устройство, описание, есть ли оно"), QString(), {X::Success, X::Usage},
         K::None, false, false, {}},
        {QStringLiteral("report"), C::Report, true, {},
         QStringLiteral("report OUT.pdf [--port N]  |  report OUT.pdf FILE.cf"),
         QStringLiteral("отчёт о настройке устройства (PDF)"), kReportDetails,
         {X::Success, X::Usage, X::NoUnit, X::BadFile, X::TransferFailed, X::Interrupted}, K::None, false, false,
         [](const Job &in) {
             return std::make_unique<ReportJob>(in.unit, in.messages, in.file, &CommissioningReport::write);
         }},
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
