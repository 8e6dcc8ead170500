#include "config/ConfigPage.h"
#include "config/ConfigExchange.h"
#include "config/ConfigFileTransfer.h"
#include "config/ConfigFiles.h"
#include "config/ConfigImage.h"
#include "config/ConfigOperations.h"
#include "link/SerialLink.h"
#include "link/StatusModel.h"
#include "shell/MessageSink.h"
#include <QGroupBox>
#include <QPushButton>
#include <QTextEdit>

namespace {
// Placement in twips, page coordinates.
constexpr int kFrameLeft = 240;
constexpr int kFrameWidth = 2535;
constexpr int kButtonLeft = 540;
constexpr int kButtonWidth = 1935;
constexpr int kButtonHeight = 495;
constexpr int kDeviceFrameTop = 600;
constexpr int kDeviceFrameBottom = 3375;
constexpr int kFileFrameTop = 3600;
constexpr int kFileFrameBottom = 5775;
constexpr int kHelpLeft = 3015;
constexpr int kHelpTop = 600;
constexpr int kHelpWidth = 5760;
constexpr int kHelpHeight = 5175;
}

QString ConfigPage::helpText()
{
    return QStringLiteral(
        "<p>Дождитесь установки соединения между программой \"Тарвикс\" и блоком ЗОРГЕЛ при включенном автопоиске "
        "или установите соединение вручную.</p>"
        "<p>Рекомендуемый порядок действий:<br>"
        "1. Сохранить существующую конфигурацию из устройства в файл.<br>"
        "2. Изменить нужные настройки.<br>"
        "3. Сохранить измененную конфигурацию в файл.<br>"
        "4. Записать измененную конфигурацию в устройство.</p>"
        "<p>Имея сохраненные файлы конфигураций, Вы всегда сможете вернуться к более ранним настройкам открывая "
        "сохраненные файлы или загружая их в устройство непосредственно из файла.</p>");
}

ConfigPage::ConfigPage(ConfigExchange &exchange, ConfigFiles &files, ConfigFileTransfer &transfer,
                       ConfigOperations &operations, StatusModel &status, MessageSink &messages, QWidget *parent)
    : Page(kFormName, kCaption, parent), m_exchange(exchange), m_files(files), m_transfer(transfer),
      m_operations(operations),
      m_status(status), m_messages(messages)
{
    m_help = new QTextEdit(this);
    m_help->setObjectName(QStringLiteral("RichTextBox1"));
    m_help->setReadOnly(true);
    m_help->setHtml(helpText());
    m_help->setGeometry(px(kHelpLeft), px(kHelpTop), px(kHelpWidth), px(kHelpHeight));

    auto *deviceFrame = new QGroupBox(QStringLiteral("Конфигурация устройства"), this);
    deviceFrame->setObjectName(QStringLiteral("Frame5"));
    deviceFrame->setGeometry(px(kFrameLeft), px(kDeviceFrameTop), px(kFrameWidth),
                             px(kDeviceFrameBottom - kDeviceFrameTop));
    auto *fileFrame = new QGroupBox(QStringLiteral("Файл конфигурации"), this);
    fileFrame->setObjectName(QStringLiteral("Frame6"));
    fileFrame->setGeometry(px(kFrameLeft), px(kFileFrameTop), px(kFrameWidth), px(kFileFrameBottom - kFileFrameTop));
    fileFrame->setVisible(false);

    QPushButton *read = addButton(deviceFrame, kDeviceFrameTop, QStringLiteral("Command1"),
                                  QStringLiteral("Прочитать"), 960, true);
    QPushButton *write = addButton(deviceFrame, kDeviceFrameTop, QStringLiteral("Command2"),
                                   QStringLiteral("Записать"), 1560, true);
    QPushButton *copy = addButton(deviceFrame, kDeviceFrameTop, QStringLiteral("Command3"),
                                  QStringLiteral("Копировать в файл"), 2160, false);
    QPushButton *load = addButton(deviceFrame, kDeviceFrameTop, QStringLiteral("Command4"),
                                  QStringLiteral("Загрузить из файла"), 2760, false);
    QPushButton *open = addButton(fileFrame, kFileFrameTop, QStringLiteral("Command8"), QStringLiteral("Открыть"),
                                  3960, false);
    QPushButton *save = addButton(fileFrame, kFileFrameTop, QStringLiteral("Command10"),
                                  QStringLiteral("Сохранить"), 4560, false);
    addButton(fileFrame, kFileFrameTop, QStringLiteral("Command11"), QStringLiteral("Стандартный"), 5160, false);

    connect(read, &QPushButton::clicked, this, &ConfigPage::Command1_Click);
    connect(write, &QPushButton::clicked, this, &ConfigPage::Command2_Click);
    connect(copy, &QPushButton::clicked, this, [this] { m_transfer.CopyToFile(); });
    connect(load, &QPushButton::clicked, this, [this] { m_transfer.LoadFromFile(); });
    connect(open, &QPushButton::clicked, this, [this] { m_files.Open(); });
    connect(save, &QPushButton::clicked, this, [this] { m_files.Save(); });

    // No unit is known until the status panel says otherwise.
    setOnlineControlsEnabled(false);
}

QPushButton *ConfigPage::addButton(QGroupBox *frame, int frameTopTwips, const QString &name, const QString &caption,
                                   int topTwips, bool shown)
{
    auto *button = new QPushButton(caption, frame);
    button->setObjectName(name);
    button->setGeometry(px(kButtonLeft - kFrameLeft), px(topTwips - frameTopTwips), px(kButtonWidth),
                        px(kButtonHeight));
    button->setVisible(shown);
    return button;
}

QPushButton *ConfigPage::button(const QString &objectName) const
{
    return findChild<QPushButton *>(objectName);
}

void ConfigPage::setOnlineControlsEnabled(bool enabled)
{
    for (const char *name : {"Command1", "Command2", "Command3", "Command4"}) {
        if (QPushButton *b = button(QString::fromLatin1(name)))
            b->setEnabled(enabled);
    }
}

void ConfigPage::Form_Activate()
{
    m_status.clearProgress();
}

void ConfigPage::Form_Deactivate()
{
    m_status.clearProgress();
}

void ConfigPage::Form_Unload()
{
    m_exchange.link().pollTimer().stop();
}

void ConfigPage::Command1_Click()
{
    if (!m_status.isActive()) {
        m_messages.show(ConfigFileTransfer::kNoConnection);
        return;
    }
    // The operation runs only on the unit answering when the user was asked.
    const int identification = m_exchange.link().identificationCount();
    if (m_exchange.image().isChanged() && !m_messages.ask(kReplaceEdits))
        return;
    m_operations.read(identification);
}

void ConfigPage::Command2_Click()
{
    if (!m_status.isActive()) {
        m_messages.show(ConfigFileTransfer::kNoConnection);
        return;
    }
    const ConfigImage &image = m_exchange.image();
    const int identification = m_exchange.link().identificationCount();
    if (image.isPartial()) {
        m_messages.show(ConfigImage::kPartialRead);
        return;
    }
    // Red boxes the user typed into never reach the unit: say so before writing the rest.
    const QStringList refused = image.refusedEdits();
    if (!refused.isEmpty() && !m_messages.ask(kRefusedEdits.arg(refused.join(QLatin1Char('\n')))))
        return;
    m_operations.write(identification);
}
