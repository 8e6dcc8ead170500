#pragma once
#include <QObject>
#include <QString>
#include <QStringList>

// The serial choices of one unit, as the serial page offers them: the port numbers and speeds on
// offer, the chosen port text, speed and handshaking. Seeded from the program settings by the
// unit's owner; the link reads them when it opens the port, so a change never touches an open port.
class UnitSettings : public QObject {
    Q_OBJECT
public:
    // Combo2's design-time items, until the settings supply their own.
    inline static const QStringList kDesignSpeeds = {QStringLiteral("9600"), QStringLiteral("19200"),
                                                    QStringLiteral("115200")};
    inline static const QStringList kHandshakeItems = {QStringLiteral("None"), QStringLiteral("XonXoff"),
                                                      QStringLiteral("RTS"), QStringLiteral("RTSXonXoff")};

    explicit UnitSettings(QObject *parent = nullptr) : QObject(parent) {}

    QStringList portItems() const { return m_portItems; }
    QString portText() const { return m_portText; }          // Combo1's text (editable list)
    QStringList speedItems() const { return m_speedItems; }
    int speedIndex() const { return m_speedIndex; }          // -1: none selected
    QString speedText() const;                                // selected item or ""
    int handshakeIndex() const { return m_handshakeIndex; }   // 0..3
    void setPortItems(const QStringList &items);
    void setPortText(const QString &text);
    void setSpeedItems(const QStringList &items);
    void setSpeedIndex(int index);                            // out of range: refused, returns quietly
    void setHandshakeIndex(int index);
    bool isValidSpeedIndex(int index) const { return index >= 0 && index < m_speedItems.size(); }
    bool isValidHandshakeIndex(int index) const { return index >= 0 && index < kHandshakeItems.size(); }

    // Choices changed between these two calls are announced once, at the end (nestable).
    void beginUpdate() { ++m_updates; }
    void endUpdate();

signals:
    void changed();

private:
    void announce();

    QStringList m_portItems;
    QString m_portText;
    QStringList m_speedItems = kDesignSpeeds;
    int m_speedIndex = 0;
    int m_handshakeIndex = 0;
    int m_updates = 0;
    bool m_pending = false;
};
