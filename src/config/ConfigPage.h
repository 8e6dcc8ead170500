#pragma once
#include "shell/Page.h"
#include <QString>

class QGroupBox;
class QPushButton;
class QTextEdit;
class ConfigExchange;
class ConfigFiles;
class ConfigFileTransfer;
class ConfigOperations;
class StatusModel;
class MessageSink;

// The page "Конфигурации" (RPF_17): asks what reading and writing the unit's configuration need
// asked, then leaves them to the unit's operations; the file buttons exist but stay hidden.
class ConfigPage : public Page {
    Q_OBJECT
public:
    inline static const QString kFormName = QStringLiteral("RPF_17");
    inline static const QString kCaption = QStringLiteral("Конфигурации");
    static QString helpText();
    inline static const QString kReplaceEdits =
        QStringLiteral("В памяти программы есть изменения, не записанные в устройство. Прочитать конфигурацию "
                       "из устройства и потерять их?");
    inline static const QString kRefusedEdits =
        QStringLiteral("Значения, выделенные красным, не приняты и не будут записаны в устройство:\n%1\n"
                       "Записать в устройство остальные настройки?");

    ConfigPage(ConfigExchange &exchange, ConfigFiles &files, ConfigFileTransfer &transfer,
               ConfigOperations &operations, StatusModel &status, MessageSink &messages, QWidget *parent = nullptr);

    // The status panel's online/offline routines: "Прочитать", "Записать", "Копировать в файл",
    // "Загрузить из файла".
    void setOnlineControlsEnabled(bool enabled);

    void Form_Activate() override;
    void Form_Deactivate() override;
    // Page unloaded: the receive pump stops.
    void Form_Unload();

    void Command1_Click();
    void Command2_Click();

    QPushButton *button(const QString &objectName) const;

private:
    QPushButton *addButton(QGroupBox *frame, int frameTopTwips, const QString &name, const QString &caption,
                           int topTwips, bool shown);

    ConfigExchange &m_exchange;
    ConfigFiles &m_files;
    ConfigFileTransfer &m_transfer;
    ConfigOperations &m_operations;
    StatusModel &m_status;
    MessageSink &m_messages;
    QTextEdit *m_help = nullptr;
};
