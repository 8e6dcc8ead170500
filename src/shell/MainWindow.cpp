#include "shell/MainWindow.h"
#include "shell/LeftMenu.h"
#include "shell/Page.h"
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFocusFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScrollArea>
#include <QShortcut>
#include <QKeyEvent>
#include <QTextEdit>
#include <QTreeView>
#include <QTreeWidget>

namespace {
// Below this the window cannot be made: a tree and a page area still to be seen beside each other.
constexpr int kMinimumPane = 120;
const QSize kMinimumArea(360, 300);
constexpr int px(int twips) { return twips / 15; }
QString kindOf(const QWidget *w) { return w->property("kindCode").toString(); }

// A box that types what is pressed.
bool takesText(const QWidget *w)
{
    if (const auto *line = qobject_cast<const QLineEdit *>(w))
        return !line->isReadOnly();
    if (const auto *text = qobject_cast<const QTextEdit *>(w))
        return !text->isReadOnly();
    if (const auto *plain = qobject_cast<const QPlainTextEdit *>(w))
        return !plain->isReadOnly();
    if (const auto *combo = qobject_cast<const QComboBox *>(w))
        return combo->isEditable();
    return qobject_cast<const QAbstractSpinBox *>(w) != nullptr;
}
}

const QList<MainWindow::PageInfo> &MainWindow::pageTable()
{
    static const QList<PageInfo> table = {
        {QStringLiteral("RPF_01"), QStringLiteral("Общие сведения"), QStringLiteral("m01")},
        {QStringLiteral("RPF_02"), QStringLiteral("Соединение с компьютером"), QStringLiteral("m02")},
        {QStringLiteral("RPF_03"), QStringLiteral("Мониторинг"), QStringLiteral("m03")},
        {QStringLiteral("RPF_04"), QStringLiteral("Обновление прошивки"), QStringLiteral("m04")},
        {QStringLiteral("RPF_05"), QStringLiteral("Информация об устройстве"), QStringLiteral("m05")},
        {QStringLiteral("RPF_07"), QStringLiteral("Базовые настройки (из памяти контроллера)"), QStringLiteral("m07")},
        {QStringLiteral("RPF_08"), QStringLiteral("Базовые настройки (с SIM-карты)"), QStringLiteral("m08")},
        {QStringLiteral("RPF_10"), QStringLiteral("Список рассылки"), QStringLiteral("m10")},
        {QStringLiteral("RPF_11"), QStringLiteral("Входы"), QStringLiteral("m11")},
        {QStringLiteral("RPF_12"), QStringLiteral("Выходы"), QStringLiteral("m12")},
        {QStringLiteral("RPF_13"), QStringLiteral("Управление режимами"), QStringLiteral("m13")},
        {QStringLiteral("RPF_14"), QStringLiteral("Термодатчики"), QStringLiteral("m14")},
        {QStringLiteral("RPF_15"), QStringLiteral("Питание"), QStringLiteral("m15")},
        {QStringLiteral("RPF_16"), QStringLiteral("Прочие настройки"), QStringLiteral("m16")},
        {QStringLiteral("RPF_17"), QStringLiteral("Конфигурации"), QStringLiteral("m17")},
        {QStringLiteral("RPF_19"), QStringLiteral("Настройки программы"), QStringLiteral("m19")},
        {QStringLiteral("RPF_20"), QStringLiteral("Справка по программе"), QStringLiteral("m20")},
        {QStringLiteral("RPF_21"), QStringLiteral("Проверка новых версий"), QStringLiteral("m21")},
        {QStringLiteral("RPF_23"), QStringLiteral("Инструкции"), QStringLiteral("m23")},
        {QStringLiteral("RPF_24"), QStringLiteral("Сравнительные характеристики"), QStringLiteral("m24")},
        {QStringLiteral("RPF_25"), QStringLiteral("Типовые подключения"), QStringLiteral("m25")},
    };
    return table;
}

QString MainWindow::captionFor(const QString &form)
{
    for (const PageInfo &info : pageTable())
        if (info.form == form)
            return info.caption;
    return QString();
}

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent), m_area(new QWidget(this)), m_pageScroll(new QScrollArea(m_area)), m_pageHost(new QWidget)
{
    setObjectName(QStringLiteral("TxForm"));
    setWindowTitle(QStringLiteral("Тарвикс"));
    m_area->setObjectName(QStringLiteral("ChildArea"));
    m_area->setBackgroundRole(QPalette::Base);
    m_area->setAutoFillBackground(true);
    setCentralWidget(m_area);
    m_area->installEventFilter(this);
    buildMenu();
    // The pages keep their designed size; the area showing them follows the window and scrolls
    // when the window is smaller (a small screen, a large scale).
    m_pageScroll->setObjectName(QStringLiteral("PageArea"));
    m_pageScroll->setFrameShape(QFrame::NoFrame);
    m_pageScroll->setBackgroundRole(QPalette::Base);
    m_pageScroll->setWidgetResizable(false);
    m_pageHost->setObjectName(QStringLiteral("PageHost"));
    m_pageHost->setBackgroundRole(QPalette::Base);
    m_pageHost->setFixedSize(px(RPF_Width), px(RPF_Height));
    m_pageScroll->setWidget(m_pageHost);
    // The whole frame is WindowWidth x WindowHeight twips; the child area is what is left inside it.
    m_designArea = QSize(px(StatusWidth + 2 * LPF_Left), px(StatusTop + StatusHeight) + 8);
    m_area->setMinimumSize(kMinimumArea);
    resize(designSize());

    // A control that shows no focus of its own (a read-only text, a chart) gets a frame around it
    // while it holds the focus.
    m_focusFrame = new QFocusFrame(m_area);
    m_focusFrame->setObjectName(QStringLiteral("FocusFrame"));
    m_focusFrame->hide();
    if (auto *application = qobject_cast<QApplication *>(QCoreApplication::instance())) {
        application->installEventFilter(this);
        m_focusConnection = connect(application, &QApplication::focusChanged, this,
                                    [this](QWidget *, QWidget *now) { followFocus(now); });
    }
}

MainWindow::~MainWindow()
{
    // Child windows going away move the focus; this window no longer follows it.
    disconnect(m_focusConnection);
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    // A key pressed with Alt that no shortcut took does not type into a box.
    if (event->type() == QEvent::KeyPress && watched->isWidgetType()) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const Qt::KeyboardModifiers mods = key->modifiers();
        const bool altOnly = (mods & Qt::AltModifier) && !(mods & Qt::ControlModifier);
        if (altOnly && !key->text().isEmpty() && takesText(static_cast<QWidget *>(watched)))
            return true;
    }
    if (watched == m_area && event->type() == QEvent::Resize)
        arrange();
    return QMainWindow::eventFilter(watched, event);
}

QSize MainWindow::designSize() const
{
    return m_designArea + QSize(0, menuBar()->sizeHint().height());
}

void MainWindow::fitInto(const QSize &space)
{
    resize(designSize().boundedTo(space).expandedTo(minimumSizeHint()));
}

void MainWindow::arrange()
{
    // At the designed size everything stands where the design puts it. A wider or taller window
    // widens the page area and lengthens the tree; a narrower one narrows the tree down to a
    // minimum (its captions are tooltips as well), then the page area, which scrolls.
    const int width = m_area->width();
    const QWidget *status = nullptr;
    for (const QWidget *child : std::as_const(m_children))
        if (kindOf(child) == QLatin1String("S"))
            status = child;
    const int statusHeight = qMax(px(StatusHeight), status ? status->minimumHeight() : 0);
    const int statusTop = qMax(px(LPF_Top) + 2 * kMinimumPane, m_area->height() - statusHeight - 8);
    const int gap = px(RPF_Left) - px(LPF_Left) - px(LPF_Width);
    const int treeWidth = qBound(kMinimumPane, width - px(RPF_Width) - gap - 2 * px(LPF_Left), px(LPF_Width));
    const int pageLeft = px(LPF_Left) + treeWidth + gap;
    m_pageScroll->setGeometry(pageLeft, px(RPF_Top), qMax(0, width - pageLeft - px(LPF_Left)),
                              statusTop - px(RPF_Top) - 1);
    for (QWidget *child : std::as_const(m_children)) {
        const QString kind = kindOf(child);
        if (kind == QLatin1String("L"))
            child->setGeometry(px(LPF_Left), px(LPF_Top), treeWidth, statusTop - px(LPF_Top) - 1);
        else if (kind == QLatin1String("S"))
            child->setGeometry(px(LPF_Left), statusTop, qMax(child->minimumWidth(), width - 2 * px(LPF_Left)),
                               statusHeight);
    }
}

void MainWindow::place(QWidget *child)
{
    if (kindOf(child) == QLatin1String("R"))
        child->setGeometry(0, 0, px(RPF_Width), px(RPF_Height));
    else
        arrange();
}

QAction *MainWindow::addItem(QMenu *menu, const QString &name, const QString &text, bool hidden)
{
    QAction *action = menu->addAction(text);
    action->setObjectName(name);
    if (hidden) {
        action->setVisible(false);
        action->setEnabled(false);
    }
    m_actions.insert(name, action);
    m_parentOf.insert(action, menu->menuAction());
    for (const PageInfo &info : pageTable()) {
        if (info.menu == name) {
            connect(action, &QAction::triggered, this, [this, name] { showPage(name); });
            break;
        }
    }
    return action;
}

QMenu *MainWindow::addMenu(QMenu *parentMenu, const QString &name, const QString &text, bool hidden)
{
    QMenu *menu = parentMenu ? parentMenu->addMenu(text) : menuBar()->addMenu(text);
    menu->setObjectName(name);
    QAction *action = menu->menuAction();
    action->setObjectName(name);
    if (hidden) {
        action->setVisible(false);
        action->setEnabled(false);
    }
    m_actions.insert(name, action);
    if (parentMenu)
        m_parentOf.insert(action, parentMenu->menuAction());
    return menu;
}

void MainWindow::buildMenu()
{
    QMenu *m00 = addMenu(nullptr, QStringLiteral("m00"), QStringLiteral("Устройство"));
    addItem(m00, QStringLiteral("m01"), QStringLiteral("Общие сведения"), true);
    addItem(m00, QStringLiteral("m02"), QStringLiteral("Соединение с компьютером"));
    addItem(m00, QStringLiteral("m03"), QStringLiteral("Мониторинг"));
    addItem(m00, QStringLiteral("m04"), QStringLiteral("Обновление прошивки"));
    addItem(m00, QStringLiteral("m05"), QStringLiteral("Информация об устройстве"));
    addItem(m00, QStringLiteral("mReport"), QStringLiteral("Отчёт о настройке…"));
    connect(addItem(m00, QStringLiteral("mRestoreCopy"), QStringLiteral("Восстановить из копии…")),
            &QAction::triggered, this, &MainWindow::restoreRequested);

    QMenu *m06 = addMenu(nullptr, QStringLiteral("m06"), QStringLiteral("Настройка устройства"));
    addItem(m06, QStringLiteral("m07"), QStringLiteral("Базовые настройки (из памяти контроллера)"));
    addItem(m06, QStringLiteral("m08"), QStringLiteral("Базовые настройки (с SIM-карты)"));
    QMenu *m09 = addMenu(m06, QStringLiteral("m09"), QStringLiteral("Расширенные настройки"), true);
    addItem(m09, QStringLiteral("m10"), QStringLiteral("Список рассылки"));
    addItem(m09, QStringLiteral("m11"), QStringLiteral("Входы"));
    addItem(m09, QStringLiteral("m12"), QStringLiteral("Выходы"));
    addItem(m09, QStringLiteral("m13"), QStringLiteral("Управление режимами"));
    addItem(m09, QStringLiteral("m14"), QStringLiteral("Термодатчики"));
    addItem(m09, QStringLiteral("m15"), QStringLiteral("Питание"));
    addItem(m09, QStringLiteral("m16"), QStringLiteral("Прочие настройки"));
    addItem(m06, QStringLiteral("m17"), QStringLiteral("Конфигурации"));

    QMenu *m18 = addMenu(nullptr, QStringLiteral("m18"), QStringLiteral("Программа"));
    addMnemonic(m00, {Qt::Key_E, Qt::Key(0x0423)});   // "У", or the key it lies on in a Latin layout
    addMnemonic(m06, {Qt::Key_Y, Qt::Key(0x041D)});   // "Н"
    addMnemonic(m18, {Qt::Key_G, Qt::Key(0x041F)});   // "П"
    addItem(m18, QStringLiteral("m19"), QStringLiteral("Настройки программы"));
    addItem(m18, QStringLiteral("m20"), QStringLiteral("Справка по программе"), true);
    addItem(m18, QStringLiteral("m21"), QStringLiteral("Проверка новых версий"), true);

    QMenu *m22 = addMenu(nullptr, QStringLiteral("m22"), QStringLiteral("Информационные материалы"), true);
    addItem(m22, QStringLiteral("m23"), QStringLiteral("Инструкции"));
    addItem(m22, QStringLiteral("m24"), QStringLiteral("Сравнительные характеристики"));
    addItem(m22, QStringLiteral("m25"), QStringLiteral("Типовые подключения"));
}

void MainWindow::addMnemonic(QMenu *menu, const QList<Qt::Key> &keys)
{
    // Alt with the menu's first letter opens it; the caption keeps its text, with no "&" in it.
    for (const Qt::Key key : keys) {
        auto *shortcut = new QShortcut(QKeySequence(Qt::ALT | key), this);
        shortcut->setObjectName(menu->objectName() + QStringLiteral("_mnemonic"));
        connect(shortcut, &QShortcut::activated, this, [this, menu] {
            if (menu->menuAction()->isVisible() && menu->menuAction()->isEnabled()) {
                menuBar()->setActiveAction(menu->menuAction());
            }
        });
    }
}

bool MainWindow::isMenuItemReachable(const QString &name) const
{
    for (QAction *action = m_actions.value(name); action; action = m_parentOf.value(action)) {
        if (!action->isVisible() || !action->isEnabled())
            return false;
    }
    return m_actions.contains(name);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (m_closeGuard && !m_closeGuard()) {
        event->ignore();
        return;
    }
    emit closing();
    QMainWindow::closeEvent(event);
}

void MainWindow::addChildWindow(QWidget *child)
{
    child->setParent(kindOf(child) == QLatin1String("R") ? m_pageHost : m_area);
    if (kindOf(child) == QLatin1String("S")) {
        // A platform font wider than the design's widens the strip, and the designed size with it.
        const int height = qMax(px(StatusHeight), child->minimumHeight());
        m_designArea = m_designArea.expandedTo(QSize(child->sizeHint().width() + 2 * px(LPF_Left),
                                                     px(StatusTop) + height + 8));
        m_area->setMinimumSize(kMinimumArea.expandedTo(QSize(child->minimumWidth() + 2 * px(LPF_Left), 0)));
        resize(designSize());
    }
    place(child);
    child->hide();
    m_children.append(child);
}

void MainWindow::normaliseFonts()
{
    auto sized = [](QWidget *w, int points) {
        QFont f = w->font();
        f.setPointSize(points);
        w->setFont(f);
    };
    for (QWidget *child : std::as_const(m_children)) {
        const QList<QWidget *> controls = child->findChildren<QWidget *>();
        for (QWidget *w : controls) {
            const QString name = w->objectName();
            if (auto *label = qobject_cast<QLabel *>(w)) {
                if (name == QLatin1String("R_Header")) {
                    sized(label, 10);
                    label->setGeometry(0, 0, child->width(), label->height());
                } else if (name == QLatin1String("minus") || name == QLatin1String("plus")) {
                    sized(label, 12);
                } else {
                    sized(label, 8);
                }
            } else if (qobject_cast<QGroupBox *>(w) || qobject_cast<QAbstractButton *>(w)
                       || qobject_cast<QComboBox *>(w) || qobject_cast<QTreeView *>(w)) {
                sized(w, 8);
            }
        }
    }
}

void MainWindow::GasimFormy(const QString &kinds)
{
    for (const QChar letter : {QLatin1Char('L'), QLatin1Char('R'), QLatin1Char('S')}) {
        if (!kinds.contains(letter))
            continue;
        for (QWidget *child : std::as_const(m_children)) {
            if (kindOf(child) != letter)
                continue;
            // Focus does not stay behind in a hidden window, where keystrokes would still reach
            // it, nor hop through the windows being hidden: it is let go first.
            QWidget *focus = QApplication::focusWidget();
            if (focus && child->isAncestorOf(focus))
                focus->clearFocus();
            child->setVisible(false);
        }
    }
}

void MainWindow::showPage(const QString &menuName)
{
    QString form;
    for (const PageInfo &info : pageTable())
        if (info.menu == menuName)
            form = info.form;
    Page *target = page(form);
    if (!target)
        return;
    // Focus that was in a child window comes back to it if it is still there (the tree, when the
    // page was chosen in it by keyboard); otherwise it goes to the tree.
    const QPointer<QWidget> focus = QApplication::focusWidget();
    const bool focusInside = focus && m_area->isAncestorOf(focus);
    GasimFormy(QStringLiteral("LRS"));
    for (QWidget *child : std::as_const(m_children))
        if (kindOf(child) == QLatin1String("L"))
            child->setVisible(true);
    for (QWidget *child : std::as_const(m_children))
        if (kindOf(child) == QLatin1String("S"))
            child->setVisible(true);
    target->setVisible(true);
    LeftMenu *tree = nullptr;
    for (QWidget *child : std::as_const(m_children))
        if (auto *menu = qobject_cast<LeftMenu *>(child))
            tree = menu;
    if (tree)
        tree->setCurrentKey(menuName);
    if (focusInside && !QApplication::focusWidget()) {
        if (focus && focus->isVisible() && focus->isEnabled())
            focus->setFocus(Qt::OtherFocusReason);
        else if (tree && tree->isVisible())
            tree->tree()->setFocus(Qt::OtherFocusReason);
    }
}

bool MainWindow::drawsOwnFocus(const QWidget *widget)
{
    if (qobject_cast<const QAbstractButton *>(widget) || qobject_cast<const QComboBox *>(widget)
        || qobject_cast<const QLineEdit *>(widget) || qobject_cast<const QAbstractSpinBox *>(widget)
        || qobject_cast<const QAbstractItemView *>(widget))
        return true;
    // An editable text box shows its cursor; a read-only one shows nothing.
    if (auto *text = qobject_cast<const QTextEdit *>(widget))
        return !text->isReadOnly();
    if (auto *text = qobject_cast<const QPlainTextEdit *>(widget))
        return !text->isReadOnly();
    return false;
}

void MainWindow::followFocus(QWidget *now)
{
    if (!m_focusFrame)
        return;
    const bool framed = now && m_area->isAncestorOf(now) && !drawsOwnFocus(now);
    m_focusFrame->setWidget(framed ? now : nullptr);
}

QWidget *MainWindow::childWindow(const QString &objectName) const
{
    for (QWidget *child : m_children)
        if (child->objectName() == objectName)
            return child;
    return nullptr;
}

Page *MainWindow::page(const QString &formName) const
{
    return qobject_cast<Page *>(childWindow(formName));
}

Page *MainWindow::visiblePage() const
{
    for (QWidget *child : m_children)
        if (kindOf(child) == QLatin1String("R") && child->isVisibleTo(m_area))
            return qobject_cast<Page *>(child);
    return nullptr;
}
