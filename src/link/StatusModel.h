#pragma once
#include <QObject>
#include <QString>
#include <optional>
#include <utility>

// The texts of the connection status strip. Exchanges write their progress here; the status
// panel widget only mirrors it.
class StatusModel : public QObject {
    Q_OBJECT
public:
    inline static const QString kActive = QStringLiteral("Активно");
    inline static const QString kPassive = QStringLiteral("Пассивно");
    inline static const QString kNone = QStringLiteral("Нет");

    explicit StatusModel(QObject *parent = nullptr) : QObject(parent) {}

    // Label2: connection state ("Нет", "Пассивно", "Активно" or an error text); tooltip explains errors.
    QString connection() const { return m_connection; }
    QString connectionToolTip() const { return m_connectionToolTip; }
    void setConnection(const QString &text, const QString &toolTip = QString());
    bool isActive() const { return m_connection == kActive; }

    // Label4: operation state text.
    QString operation() const { return m_operation; }
    void setOperation(const QString &text);

    // Label5: port number (tooltip: the device it resolves to).
    QString port() const { return m_port; }
    QString portToolTip() const { return m_portToolTip; }
    void setPort(const QString &text, const QString &toolTip = QString());

    // Label7 / Label6: byte counter and bar of "I" characters.
    QString counter() const
    {
        makeProgressTexts();
        return m_counter;
    }
    QString bar() const
    {
        makeProgressTexts();
        return m_bar;
    }
    void setCounter(const QString &text);
    void setBar(const QString &text);
    void clearProgress();
    // "<count> / <total> байт" and a blank plus round-half-even(count * 50 / total) letters "I".
    void showProgress(qint64 count, qint64 total);
    static QString progressBar(qint64 count, qint64 total);
    // The numbers last given to showProgress, until the counter or bar is set otherwise.
    std::optional<std::pair<qint64, qint64>> progress() const { return m_shownProgress; }

signals:
    void changed();

private:
    QString m_connection = kNone;
    QString m_connectionToolTip;
    QString m_operation = QStringLiteral("...");
    QString m_port = QStringLiteral("...");
    QString m_portToolTip;
    // Makes the counter and bar of the progress shown, if they are not made yet.
    void makeProgressTexts() const;

    // Transfers show their progress on every receive poll, mostly with no one reading it: the texts
    // are made when read, not on each poll.
    mutable QString m_counter;
    mutable QString m_bar;
    mutable QString m_spareCounter;   // the counter's last text, made over into the next one
    // The numbers the counter and bar stand for; reset when they are set otherwise.
    std::optional<std::pair<qint64, qint64>> m_shownProgress;
    mutable bool m_progressTextsMade = true;
};
