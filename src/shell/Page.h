#pragma once
#include <QColor>
#include <QString>
#include <QWidget>

class QLabel;

// A page of the right-hand area ("R" kind): a header label R_Header across the top showing the
// caption. Pages are created at start-up and only shown or hidden afterwards.
class Page : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidthTwips = 9000;
    static constexpr int kHeightTwips = 6000;
    // 15 twips are one pixel at 96 dpi.
    static constexpr int px(int twips) { return twips / 15; }

    Page(const QString &formName, const QString &caption, QWidget *parent = nullptr);

    QString formName() const { return objectName(); }   // e.g. "RPF_17"
    QString caption() const { return m_caption; }
    QLabel *header() const { return m_header; }

    // A disabled (greyed) value display whose text stays dark enough to read.
    static void greyValueDisplay(QWidget *display);
    // The text colour of greyed value displays.
    static QColor greyedText() { return QColor(0x55, 0x55, 0x55); }

    // Fill routine: runs whenever the page is shown, and when other parts ask it to refresh.
    virtual void Form_Activate() {}
    virtual void Form_Deactivate() {}

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    QString m_caption;
    QLabel *m_header;
};
