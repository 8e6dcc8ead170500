#include "firmware/FirmwarePage.h"
#include "devinfo/DeviceInfo.h"
#include "firmware/FirmwareExchange.h"
#include "firmware/FirmwareFile.h"
#include "firmware/FirmwareOperations.h"
#include "link/OperationTags.h"
#include "link/SerialLink.h"
#include "link/StatusModel.h"
#include "shell/Clock.h"
#include "shell/FileDialogs.h"
#include "shell/MessageSink.h"
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTextEdit>
#include <utility>

namespace {
// Placement in twips, page coordinates.
constexpr int kFrameLeft = 360;
constexpr int kFrameWidth = 2295;
constexpr int kFileFrameTop = 600;
constexpr int kFileFrameBottom = 2775;
constexpr int kListFrameTop = 2940;
constexpr int kListFrameBottom = 5775;
constexpr int kReasonHeight = kListFrameBottom - kListFrameTop;
constexpr int kButtonLeft = 540;
constexpr int kButtonWidth = 1935;
constexpr int kButtonHeight = 495;
constexpr int kHelpLeft = 3015;
constexpr int kHelpTop = 600;
constexpr int kHelpWidth = 5760;
constexpr int kHelpHeight = 3300;
constexpr int kStateTop = 4020;
constexpr int kStateHeight = 1755;
const char *const kButtons[] = {"Command3", "Command4", "Command5"};
}

QString FirmwarePage::helpText()
{
    return QStringLiteral(
        "<p>Дождитесь установки соединения между программой \"Тарвикс\" и блоком ЗОРГЕЛ при включенном автопоиске "
        "или установите соединение вручную.</p>"
        "<p>Рекомендуемый порядок действий:<br>"
        "1. Сохранить существующую прошивку из устройства в файл.<br>"
        "2. Загрузить подходящую прошивку из файла в устройство.</p>"
        "<p>Имея сохраненные файлы прошивок, Вы всегда сможете восстановить работу системы при неудачном "
        "обновлении.</p>");
}

FirmwarePage::FirmwarePage(FirmwareExchange &exchange, FirmwareOperations &operations, const DeviceInfo &info,
                           const SerialLink &link, StatusModel &status, MessageSink &messages, FileDialogs &dialogs,
                           const Clock &clock, const QString &programFolder, QWidget *parent)
    : Page(kFormName, kCaption, parent), m_exchange(exchange), m_operations(operations), m_messages(messages),
      m_info(info), m_link(link), m_status(status), m_dialogs(dialogs), m_clock(clock), m_programFolder(programFolder)
{
    // The buttons are made first: the keyboard reaches them before the help text.
    auto *fileFrame = new QGroupBox(QStringLiteral("Файл прошивки"), this);
    fileFrame->setObjectName(QStringLiteral("Frame6"));
    fileFrame->setGeometry(px(kFrameLeft), px(kFileFrameTop), px(kFrameWidth), px(kFileFrameBottom - kFileFrameTop));
    auto *listFrame = new QGroupBox(QStringLiteral("Список доступных"), this);
    listFrame->setObjectName(QStringLiteral("Frame1"));
    listFrame->setGeometry(px(kFrameLeft), px(kListFrameTop), px(kFrameWidth), px(kListFrameBottom - kListFrameTop));
    listFrame->setVisible(false);

    QPushButton *copy = addButton(fileFrame, QStringLiteral("Command3"), QStringLiteral("Копировать в файл"), 960, true);
    QPushButton *load = addButton(fileFrame, QStringLiteral("Command4"), QStringLiteral("Загрузить из файла"), 1560,
                                  true);
    // "Стандартный" has no handler: it exists, hidden, and only follows the version rule.
    addButton(fileFrame, QStringLiteral("Command5"), QStringLiteral("Стандартный"), 2160, false);

    // Where the hidden list would stand: why the buttons are grey.
    m_reason = new QLabel(this);
    m_reason->setObjectName(QStringLiteral("Label2"));
    m_reason->setAccessibleName(QStringLiteral("Почему кнопки недоступны"));
    m_reason->setWordWrap(true);
    m_reason->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_reason->setGeometry(px(kFrameLeft), px(kListFrameTop), px(kFrameWidth), px(kReasonHeight));

    auto *help = new QTextEdit(this);
    help->setObjectName(QStringLiteral("RichTextBox1"));
    help->setAccessibleName(QStringLiteral("Справка"));
    help->setReadOnly(true);
    help->setHtml(helpText());
    help->setGeometry(px(kHelpLeft), px(kHelpTop), px(kHelpWidth), px(kHelpHeight));

    // Under the help text: what the transfer under way does, or how the last one ended.
    m_state = new QLabel(this);
    m_state->setObjectName(QStringLiteral("Label1"));
    m_state->setAccessibleName(QStringLiteral("Ход обновления прошивки"));
    m_state->setWordWrap(true);
    m_state->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_state->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_state->setGeometry(px(kHelpLeft), px(kStateTop), px(kHelpWidth), px(kStateHeight));

    connect(copy, &QPushButton::clicked, this, &FirmwarePage::Command3_Click);
    connect(load, &QPushButton::clicked, this, &FirmwarePage::Command4_Click);
    connect(&m_exchange, &FirmwareExchange::busyChanged, this, &FirmwarePage::applyVersionRule);
    connect(&m_operations, &FirmwareOperations::finished, this, &FirmwarePage::transferEnded);

    // No unit is known until the status panel says otherwise.
    disableButtons();
}

QPushButton *FirmwarePage::addButton(QGroupBox *frame, const QString &name, const QString &caption, int topTwips,
                                     bool shown)
{
    auto *button = new QPushButton(caption, frame);
    button->setObjectName(name);
    button->setAccessibleName(caption);
    button->setGeometry(px(kButtonLeft - kFrameLeft), px(topTwips - kFileFrameTop), px(kButtonWidth),
                        px(kButtonHeight));
    button->setVisible(shown);
    return button;
}

QPushButton *FirmwarePage::button(const QString &objectName) const
{
    return findChild<QPushButton *>(objectName);
}

void FirmwarePage::setButtonsEnabled(bool enabled, const QString &reason)
{
    for (const char *name : kButtons) {
        if (QPushButton *b = button(QString::fromLatin1(name)))
            b->setEnabled(enabled);
    }
    m_reason->setText(reason);
    m_reason->setAccessibleDescription(reason);
    m_reason->setVisible(!reason.isEmpty());
}

void FirmwarePage::applyVersionRule()
{
    const bool identified = m_link.isOpen() && !m_link.UstroistvoNameClear.isEmpty();
    const QString version = m_info.VersiaProshivki.trimmed();
    const bool allowed = FirmwareExchange::versionAllowsTransfer(version);
    QString reason;
    if (!identified)
        reason = kWaitForUnit;
    else if (version.isEmpty() || version == DeviceInfo::kNoData || version == DeviceInfo::kNotRead)
        reason = kWaitForRead;
    else if (!allowed)
        reason = kNoVersion.arg(version);
    // A transfer under way says what it does in the state line.
    setButtonsEnabled(identified && allowed && !m_exchange.isBusy(), reason);
}

void FirmwarePage::disableButtons()
{
    setButtonsEnabled(false, kWaitForUnit);
}

void FirmwarePage::Form_Activate()
{
    m_status.clearProgress();
    applyVersionRule();
}

void FirmwarePage::Form_Deactivate()
{
    m_status.clearProgress();
}

void FirmwarePage::Command3_Click()
{
    if (!m_exchange.checkReady())
        return;
    const int unit = m_link.identificationCount();
    const std::optional<QString> name =
        m_dialogs.saveFileName(FirmwareFile::dialogRequest(m_programFolder, true, m_clock.now()));
    if (!name || name->isEmpty())
        return;
    // Another unit answering by now is refused by the operation: a copy of it was not asked for.
    begin(Transfer::Backup, *name, unit);
}

void FirmwarePage::Command4_Click()
{
    if (!m_exchange.checkReady())
        return;
    const int unit = m_link.identificationCount();
    const QString unitName = m_link.deviceName();
    const std::optional<QString> name =
        m_dialogs.openFileName(FirmwareFile::dialogRequest(m_programFolder, false, m_clock.now()));
    if (!name || name->isEmpty())
        return;
    // The dialog may have stayed open while the unit was unplugged and another plugged in.
    if (!m_exchange.checkReady())
        return;
    const int now = m_link.identificationCount();
    if (now != unit) {
        // Names shown without the blanks that pad them to 16 characters.
        const QString question = m_link.deviceName() == unitName
            ? kFoundAgainAfterDialog.arg(unitName.trimmed())
            : kOtherUnitAfterDialog.arg(unitName.trimmed(), m_link.deviceName().trimmed());
        if (!m_messages.ask(question))
            return;
    }
    // A unit that changed during the question is refused by the operation.
    begin(Transfer::Flash, *name, now);
}

void FirmwarePage::begin(Transfer transfer, const QString &file, int unit)
{
    m_transfer = transfer;
    m_file = file;
    // Counts this transfer only: a write that never starts has sent nothing.
    m_exchange.SchetchikBaitov = 0;
    m_operations.start(transfer == Transfer::Backup ? FirmwareOperations::Kind::Copy : FirmwareOperations::Kind::Flash,
                       file, unit);
    // A refusal has ended it already and said so.
    if (m_transfer == transfer && m_operations.running())
        showState(transfer == Transfer::Backup ? kReading : kFlashWarning,
                  transfer == Transfer::Backup ? file : QString(), transfer == Transfer::Flash);
}

void FirmwarePage::transferEnded(bool ok)
{
    const Transfer transfer = std::exchange(m_transfer, Transfer::None);
    if (transfer == Transfer::Backup)
        showState(ok ? kSavedTo : kNotSavedTo, m_file, !ok);
    else if (transfer == Transfer::Flash && ok)
        showState(kWrittenFrom, m_file, false);
    else if (transfer == Transfer::Flash && m_exchange.SchetchikBaitov == 0)
        showState(kNotWrittenFrom, m_file, false);
    else if (transfer == Transfer::Flash)
        showState(FirmwareExchange::kMayBeUnusable, QString(), true);
}

void FirmwarePage::showState(const QString &text, const QString &fileName, bool alarm)
{
    // A long path is shortened in its middle; the whole of it is in the tooltip.
    const QString path = QDir::toNativeSeparators(fileName);
    QString shown = text;
    if (!path.isEmpty())
        shown += QLatin1Char('\n')
                 + m_state->fontMetrics().elidedText(path, Qt::ElideMiddle, m_state->contentsRect().width() - 4);
    m_state->setText(shown);
    m_state->setAccessibleDescription(shown);
    m_state->setToolTip(path);
    QFont font = m_state->font();
    font.setBold(alarm);
    m_state->setFont(font);
    // The page is disabled while the link is busy; the text keeps its colour all the same.
    const QColor colour = alarm ? QColor(0xFF, 0x00, 0x00) : palette().color(QPalette::Active, QPalette::WindowText);
    QPalette statePalette = m_state->palette();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        statePalette.setColor(group, QPalette::WindowText, colour);
    m_state->setPalette(statePalette);
}
