#pragma once
#include "shell/Page.h"
#include <QString>

class QGroupBox;
class QLabel;
class QPushButton;
class QTextEdit;
class FirmwareExchange;
class DeviceInfo;
class SerialLink;
class StatusModel;
class FileDialogs;
class Clock;

// The page "Обновление прошивки" (RPF_04): chooses a ".fw" file and hands it to the firmware exchange,
// unit to file or file to unit. Its buttons are offered only while an identified unit reports a
// firmware version and no transfer is under way.
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

    FirmwarePage(FirmwareExchange &exchange, const DeviceInfo &info, const SerialLink &link, StatusModel &status,
                 FileDialogs &dialogs, const Clock &clock, const QString &programFolder, QWidget *parent = nullptr);

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

private:
    QPushButton *addButton(QGroupBox *frame, const QString &name, const QString &caption, int topTwips, bool shown);
    void setButtonsEnabled(bool enabled);
    // Follows the exchange: a transfer queued, or its end.
    void transferStateChanged(bool busy);
    void showState(const QString &text, const QString &fileName, bool alarm);

    enum class Transfer { None, Backup, Flash };
    Transfer m_transfer = Transfer::None;
    QLabel *m_state = nullptr;

    FirmwareExchange &m_exchange;
    const DeviceInfo &m_info;
    const SerialLink &m_link;
    StatusModel &m_status;
    FileDialogs &m_dialogs;
    const Clock &m_clock;
    QString m_programFolder;
};
