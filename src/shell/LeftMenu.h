#pragma once
#include <QWidget>

class QTreeWidget;
class QTreeWidgetItem;

// The navigation tree on the left ("L" kind): the main way to reach the working pages.
class LeftMenu : public QWidget {
    Q_OBJECT
public:
    explicit LeftMenu(QWidget *parent = nullptr);

    QTreeWidget *tree() const { return m_tree; }
    QTreeWidgetItem *node(const QString &key) const;
    // Acts as a click on the node with that key.
    void clickNode(const QString &key);
    // Makes the node of the page shown the current one, without asking for the page again.
    void setCurrentKey(const QString &key);

signals:
    // A page node was clicked: key is the menu item name, e.g. "m17".
    void pageRequested(const QString &key);

protected:
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QTreeWidgetItem *addNode(const QString &key, const QString &text, const QString &parentKey);
    QTreeWidget *m_tree;
    // The current node when a mouse button went down: a click on it asks for its page again; a
    // click that made its node current has already asked, through the change of the current node.
    QTreeWidgetItem *m_currentAtPress = nullptr;
};
