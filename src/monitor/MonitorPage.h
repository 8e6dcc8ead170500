#pragma once
#include "shell/Page.h"
#include <QList>
#include <QLocale>
#include <QString>

class QGroupBox;
class QLabel;
class QPushButton;
class QScrollBar;
class FileDialogs;
class MonitorExchange;
class ModelPictureWidget;
class TrendChart;

// The page "Мониторинг" (RPF_03): the input table (voltage, level, normal range, state of each row),
// the battery, power-supply and processor voltages, the six sensor readings, the model's picture,
// the poll period, "Старт"/"Стоп", the trend and the journal button. It mirrors MonitorExchange.
class MonitorPage : public Page {
    Q_OBJECT
public:
    inline static const QString kFormName = QStringLiteral("RPF_03");
    inline static const QString kCaption = QStringLiteral("Мониторинг");
    // What the state letters mean (tooltip of the state column).
    inline static const QString kStateHelp =
        QStringLiteral("H — уровень не ниже верхнего порога нормы\n"
                       "L — уровень не выше нижнего порога нормы\n"
                       "n — уровень в норме, между порогами\n"
                       "пусто — уровень или пороги неизвестны");

    MonitorPage(MonitorExchange &exchange, FileDialogs &dialogs, const QString &programFolder,
                QWidget *parent = nullptr);

    void Form_Activate() override;
    void Form_Deactivate() override;
    void Form_Unload();

    // The status panel's routines: offline disables every control but the header, the trend and the
    // journal button, and stops the timer; online enables them all but "Старт" and the value labels.
    void setOnline(bool online);

    // Label8(i) voltages (1..13 rows, 14 battery, 15 supply, 17 processor, 21..26 sensors),
    // Label11(i) levels, Label12(i) ranges, Label15(i) states, Label3(i) row captions.
    QLabel *valueLabel(const QString &array, int index) const;
    QPushButton *startButton() const { return m_start; }
    QPushButton *stopButton() const { return m_stop; }
    QScrollBar *scrollBar() const { return m_scroll; }
    QPushButton *journalButton() const { return m_journal; }
    TrendChart *trend() const { return m_trend; }
    QLabel *periodLabel() const { return m_period; }
    QLabel *noticeLabel() const { return m_notice; }
    // Where the journal goes as the rows come, or why it does not.
    QLabel *journalFileLabel() const { return m_journalFile; }
    inline static const QString kJournalFileText = QStringLiteral("Журнал: %1");
    inline static const QString kJournalFileNone = QStringLiteral("Журнал: файл появится с первым показанием");
    // The period as "Интервал" shows it: "0,5 с" with a decimal comma.
    static QString periodText(double seconds, const QLocale &locale);
    ModelPictureWidget *picture(int index) const { return m_pictures.value(index); }

protected:
    void showEvent(QShowEvent *event) override;

private:
    QLabel *addLabel(QWidget *parent, const QString &name, const QString &text, const QRect &geometry,
                     Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter);
    QLabel *addValue(QWidget *parent, const QString &array, int index, const QString &accessibleName,
                     const QRect &geometry);
    QGroupBox *addFrame(const QString &name, const QString &title, const QRect &geometry);
    static void showText(QLabel *label, const QString &text);
    void buildInputs();
    void buildVoltages();
    void buildSensors();
    void buildControls();
    void showControls();
    void showLayout();
    void showReadings();
    void updateBand();
    void showLive();
    void showNotice();
    void showJournalFile();

    MonitorExchange &m_exchange;
    FileDialogs &m_dialogs;
    QString m_folder;
    QList<QWidget *> m_controls;    // what the online and offline routines switch
    QPushButton *m_start = nullptr;
    QPushButton *m_stop = nullptr;
    QPushButton *m_journal = nullptr;
    QScrollBar *m_scroll = nullptr;
    QLabel *m_period = nullptr;
    QLabel *m_notice = nullptr;
    QLabel *m_journalFile = nullptr;
    QList<QLabel *> m_values;       // the value labels, drawn grey while their readings are not live
    TrendChart *m_trend = nullptr;
    QList<ModelPictureWidget *> m_pictures;
};
