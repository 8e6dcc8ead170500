#include "shell/LeftMenu.h"
#include <QHeaderView>
#include <QKeyEvent>
#include <QResizeEvent>
#include <QTreeWidget>

namespace {
const QStringList kPageKeys = {
    QStringLiteral("m01"), QStringLiteral("m02"), QStringLiteral("m03"), QStringLiteral("m04"), QStringLiteral("m05"),
    QStringLiteral("m07"), QStringLiteral("m08"), QStringLiteral("m10"), QStringLiteral("m11"), QStringLiteral("m12"),
    QStringLiteral("m13"), QStringLiteral("m14"), QStringLiteral("m15"), QStringLiteral("m16"), QStringLiteral("m17"),
    QStringLiteral("m19"), QStringLiteral("m20"), QStringLiteral("m21"), QStringLiteral("m23"), QStringLiteral("m24"),
    QStringLiteral("m25")};
constexpr int kKeyRole = Qt::UserRole;
}

LeftMenu::LeftMenu(QWidget *parent) : QWidget(parent), m_tree(new QTreeWidget(this))
{
    setObjectName(QStringLiteral("LeftMenuForm"));
    setProperty("kindCode", QStringLiteral("L"));
    m_tree->setObjectName(QStringLiteral("TreeView1"));
    m_tree->setHeaderHidden(true);
    m_tree->setColumnCount(1);
    // Long captions are not cut off: the column takes their width, the tree scrolls sideways when
    // the platform font needs more room than the tree has, and every node shows its caption as tooltip.
    m_tree->header()->setStretchLastSection(false);
    m_tree->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    m_tree->setIndentation(12);

    addNode(QStringLiteral("m00"), QStringLiteral("Устройство"), QString());
    addNode(QStringLiteral("m02"), QStringLiteral("Соединение с компьютером"), QStringLiteral("m00"));
    addNode(QStringLiteral("m03"), QStringLiteral("Мониторинг"), QStringLiteral("m00"));
    addNode(QStringLiteral("m04"), QStringLiteral("Обновление прошивки"), QStringLiteral("m00"));
    m_tree->scrollToItem(addNode(QStringLiteral("m05"), QStringLiteral("Информация об устройстве"), QStringLiteral("m00")));
    addNode(QStringLiteral("m06"), QStringLiteral("Настройка устройства"), QString());
    addNode(QStringLiteral("m07"), QStringLiteral("Базовые настройки (из памяти контроллера)"), QStringLiteral("m06"));
    addNode(QStringLiteral("m08"), QStringLiteral("Базовые настройки (с SIM-карты)"), QStringLiteral("m06"));
    m_tree->scrollToItem(addNode(QStringLiteral("m09"), QStringLiteral("Расширенные настройки"), QStringLiteral("m06")));
    addNode(QStringLiteral("m11"), QStringLiteral("Входы"), QStringLiteral("m09"));
    addNode(QStringLiteral("m17"), QStringLiteral("Конфигурации"), QStringLiteral("m06"));
    addNode(QStringLiteral("m18"), QStringLiteral("Программа"), QString());
    m_tree->scrollToItem(addNode(QStringLiteral("m19"), QStringLiteral("Настройки программы"), QStringLiteral("m18")));
    // Making a node visible opens its ancestors only.
    for (const char *key : {"m00", "m06", "m18"})
        node(QLatin1String(key))->setExpanded(true);

    // The page follows the current node, however it was chosen: arrows, Home, End, a letter or the
    // mouse. Enter and Space show the current node's page again (or open and close a group).
    connect(m_tree, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem *item) {
        if (item)
            clickNode(item->data(0, kKeyRole).toString());
    });
    connect(m_tree, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem *item) {
        if (item != m_tree->currentItem() || item == m_currentAtPress)
            clickNode(item->data(0, kKeyRole).toString());
    });
    m_tree->installEventFilter(this);
    m_tree->viewport()->installEventFilter(this);
}

bool LeftMenu::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_tree->viewport() && event->type() == QEvent::MouseButtonPress)
        m_currentAtPress = m_tree->currentItem();
    if (watched == m_tree && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        QTreeWidgetItem *item = m_tree->currentItem();
        if (item && (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space)) {
            const QString nodeKey = item->data(0, kKeyRole).toString();
            if (kPageKeys.contains(nodeKey))
                clickNode(nodeKey);
            else if (item->childCount() > 0)
                item->setExpanded(!item->isExpanded());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void LeftMenu::setCurrentKey(const QString &key)
{
    // A page without a node leaves no node marked.
    QTreeWidgetItem *item = node(key);
    if (item == m_tree->currentItem())
        return;
    const QSignalBlocker blocker(m_tree);
    m_tree->setCurrentItem(item);
    if (!item)
        m_tree->clearSelection();
}

QTreeWidgetItem *LeftMenu::addNode(const QString &key, const QString &text, const QString &parentKey)
{
    auto *item = parentKey.isEmpty() ? new QTreeWidgetItem(m_tree) : new QTreeWidgetItem(node(parentKey));
    item->setText(0, text);
    item->setToolTip(0, text);
    item->setData(0, kKeyRole, key);
    return item;
}

QTreeWidgetItem *LeftMenu::node(const QString &key) const
{
    for (QTreeWidgetItemIterator it(m_tree); *it; ++it)
        if ((*it)->data(0, kKeyRole).toString() == key)
            return *it;
    return nullptr;
}

void LeftMenu::clickNode(const QString &key)
{
    if (kPageKeys.contains(key))
        emit pageRequested(key);
}

void LeftMenu::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // Fills the window, 10 twips down and 20 twips shorter.
    m_tree->setGeometry(0, 1, width(), qMax(0, height() - 1));
}
