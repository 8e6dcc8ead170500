#pragma once
#include "shell/Page.h"
#include <QString>
#include <functional>

class QGroupBox;
class QPushButton;
class QTextEdit;
class ConfigExchange;
class ConfigFiles;
class ConfigFileTransfer;
class CommandQueue;
class StatusModel;
class MessageSink;

// The page "Конфигурации" (RPF_17): queues reading and writing the unit's configuration; the file
// buttons exist but stay hidden.
class ConfigPage : public Page {
    Q_OBJECT
public:
    inline static const QString kFormName = QStringLiteral("RPF_17");
    inline static const QString kCaption = QStringLiteral("Конфигурации");
    static QString helpText();
    inline static const QString kUnitChanged =
        QStringLiteral("Пока программа ждала ответа, связь с устройством прервалась или устройство найдено заново. "
                       "Ничего не прочитано и не записано: повторите, когда устройство будет обнаружено.");
    inline static const QString kReplaceEdits =
        QStringLiteral("В памяти программы есть изменения, не записанные в устройство. Прочитать конфигурацию "
                       "из устройства и потерять их?");
    inline static const QString kRefusedEdits =
        QStringLiteral("Значения, выделенные красным, не приняты и не будут записаны в устройство:\n%1\n"
                       "Записать в устройство остальные настройки?");

    ConfigPage(ConfigExchange &exchange, ConfigFiles &files, ConfigFileTransfer &transfer, CommandQueue &queue,
               StatusModel &status, MessageSink &messages, QWidget *parent = nullptr);

    // The status panel's online/offline routines: "Прочитать", "Записать", "Копировать в файл",
    // "Загрузить из файла".
    void setOnlineControlsEnabled(bool enabled);

    void Form_Activate() override;
    void Form_Deactivate() override;
    // Page unloaded: the receive pump stops.
    void Form_Unload();

    // What to ask before "Записать" (another model's configuration); empty: nothing to ask.
    void setWriteQuestion(std::function<QString()> question) { m_writeQuestion = std::move(question); }

    void Command1_Click();
    void Command2_Click();

    QPushButton *button(const QString &objectName) const;

private:
    // After a question: the unit it was asked for still answers; else it says so and nothing is sent.
    bool stillConnected(int identification);

    QPushButton *addButton(QGroupBox *frame, int frameTopTwips, const QString &name, const QString &caption,
                           int topTwips, bool shown);

    ConfigExchange &m_exchange;
    ConfigFiles &m_files;
    ConfigFileTransfer &m_transfer;
    CommandQueue &m_queue;
    StatusModel &m_status;
    MessageSink &m_messages;
    QTextEdit *m_help = nullptr;
    std::function<QString()> m_writeQuestion;
};
