#include "cli/ReportCommand.h"
#include "cli/CliOptions.h"
#include "cli/Output.h"
#include "config/ConfigFiles.h"
#include "config/ConfigImage.h"
#include "config/FileProblem.h"
#include "report/CommissioningReport.h"
#include "unit/CommissioningData.h"
#include "unit/ExitCode.h"
#include "unit/UnitSession.h"
#include <QGuiApplication>

namespace {
QtMessageHandler g_previous = nullptr;

// A machine without a login session has no runtime folder; the GUI start-up says so on every run,
// although a report needs none: that one line would only clutter a script's standard error.
void withoutRuntimeNotice(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (!text.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set")) && g_previous)
        g_previous(type, context, text);
}
}

std::unique_ptr<QCoreApplication> ReportCommand::application(int &argc, char **argv)
{
    bool report = false;
    for (int i = 1; i < argc; ++i)
        report = report || qstrcmp(argv[i], "report") == 0 || qstrcmp(argv[i], "--reports") == 0;
    if (!report)
        return std::make_unique<QCoreApplication>(argc, argv);
    // No display is needed to lay out and paint a PDF.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    g_previous = qInstallMessageHandler(withoutRuntimeNotice);
    auto application = std::make_unique<QGuiApplication>(argc, argv);
    qInstallMessageHandler(g_previous);
    return application;
}

QString ReportCommand::refusal(const CliOptions &options)
{
    if (const QString why = FileProblem::forWriting(options.file); !why.isEmpty())
        return QStringLiteral("Отчёт не сохранён: %1: %2").arg(options.file, why);
    return QString();
}

int ReportCommand::fromFile(UnitSession &files, const CliOptions &options, Output &output)
{
    const QString source = options.operands.value(0);
    // The open, read or format message goes out through the message sink.
    const std::optional<ConfigFiles::Content> content = files.configFiles().readChecked(source);
    if (!content)
        return ExitCode::BadFile;
    ConfigImage &image = files.image();
    content->fill(image);
    image.setLoadedFromFile(QDateTime::currentDateTime());

    CommissioningData data = CommissioningData::fromUnit(files, QDateTime::currentDateTime());
    data.source = source;
    data.settingsOrigin = QStringLiteral("загружены из файла ") + source;
    data.live = false;
    data.noReadings = QStringLiteral("Отчёт составлен по файлу, без устройства: показаний нет.");
    if (const QString problem = CommissioningReport::write(options.file, data); !problem.isEmpty()) {
        output.fail(problem);
        return ExitCode::BadFile;
    }
    output.say(QStringLiteral("Отчёт сохранён: ") + options.file);
    return ExitCode::Success;
}
