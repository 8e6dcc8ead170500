#pragma once
#include "shell/Page.h"
#include <QString>

class QGroupBox;
class QLabel;
class QPushButton;
class QTextEdit;
class FirmwareExchange;
class FirmwareOperations;
class DeviceInfo;
class MessageSink;
class SerialLink;
class StatusModel;
class FileDialogs;
class Clock;

// The page "Обновление прошивки" (RPF_04): chooses a ".fw" file and starts the firmware operation,
// unit to file or file to unit, for the unit the button was pressed for. Its buttons are offered
// only while an identified unit reports a firmware version and no transfer is under way; a line
// under them says why they are not.
class FirmwarePage : public Page {
    Q_OBJECT
public:
    inline static const QString kFormName = QStringLiteral("RPF_04");
    inline static const QString kCaption = QStringLiteral("Обновление прошивки");
    static QString helpText();
    // What the page says about the transfer under way or just ended (the file name follows where
    // there is one).
    inline static const QString kFlashWarning =
        QStringLiteral("Идёт запись прошивки в устройство. Не отсоединяйте устройство от компьютера и не "
                       "отключайте его питание до окончания записи!");
    inline static const QString kReading = QStringLiteral("Идёт чтение прошивки из устройства в файл:");
    inline static const QString kSavedTo = QStringLiteral("Прошивка сохранена в файл:");
    inline static const QString kNotSavedTo = QStringLiteral("Прошивка не сохранена. Файл остался прежним:");
    inline static const QString kWrittenFrom = QStringLiteral("Прошивка записана в устройство из файла:");
    inline static const QString kNotWrittenFrom =
        QStringLiteral("Прошивка не записана, устройство не затронуто. Файл:");
    // Why the buttons are grey.
    inline static const QString kWaitForUnit =
        QStringLiteral("Кнопки станут доступны, когда устройство будет обнаружено и его конфигурация прочитана: "
                       "из неё программа узнаёт версию прошивки.");
    inline static const QString kWaitForRead =
        QStringLiteral("Кнопки станут доступны, когда будет прочитана конфигурация устройства: из неё программа "
                       "узнаёт версию прошивки (страница \"Конфигурации\", кнопка \"Прочитать\").");
    inline static const QString kNoVersion =
        QStringLiteral("Устройство не сообщает версию прошивки (%1): обмен прошивкой с ним недоступен.");
    // The file dialog was open while another unit, or the same name found again, came on line.
    inline static const QString kOtherUnitAfterDialog =
        QStringLiteral("Пока выбирался файл, устройство \"%1\" отключилось, и теперь подключено устройство \"%2\".\n"
                       "Записать прошивку из файла в устройство \"%2\"?");
    inline static const QString kFoundAgainAfterDialog =
        QStringLiteral("Пока выбирался файл, связь с устройством \"%1\" прерывалась: подключённое сейчас "
                       "устройство с тем же именем может быть другим.\n"
                       "Записать прошивку из файла в подключённое устройство?");

    FirmwarePage(FirmwareExchange &exchange, FirmwareOperations &operations, const DeviceInfo &info,
                 const SerialLink &link, StatusModel &status, MessageSink &messages, FileDialogs &dialogs,
                 const Clock &clock, const QString &programFolder, QWidget *parent = nullptr);

    // The version rule (page activation, and the status panel when a unit comes on line): the three
    // buttons, the hidden one included, are enabled while an identified unit reports a version and
    // no transfer runs.
    void applyVersionRule();
    // The status panel's offline routine: the three buttons disabled.
    void disableButtons();

    void Form_Activate() override;
    void Form_Deactivate() override;

    void Command3_Click();   // "Копировать в файл"
    void Command4_Click();   // "Загрузить из файла"

    QPushButton *button(const QString &objectName) const;
    // The transfer's state line under the help text (Label1).
    QLabel *stateLabel() const { return m_state; }
    // Why the buttons are grey; empty and hidden while they are not.
    QLabel *reasonLabel() const { return m_reason; }

private:
    QPushButton *addButton(QGroupBox *frame, const QString &name, const QString &caption, int topTwips, bool shown);
    void setButtonsEnabled(bool enabled, const QString &reason);
    enum class Transfer { None, Backup, Flash };
    void begin(Transfer transfer, const QString &file, int unit);
    // The operation's end.
    void transferEnded(bool ok);
    void showState(const QString &text, const QString &fileName, bool alarm);

    Transfer m_transfer = Transfer::None;
    QString m_file;
    QLabel *m_state = nullptr;
    QLabel *m_reason = nullptr;

    FirmwareExchange &m_exchange;
    FirmwareOperations &m_operations;
    MessageSink &m_messages;
    const DeviceInfo &m_info;
    const SerialLink &m_link;
    StatusModel &m_status;
    FileDialogs &m_dialogs;
    const Clock &m_clock;
    QString m_programFolder;
};
