#pragma once
#include <QHash>
#include <QList>
#include <QFocusFrame>
#include <QMainWindow>
class QScrollArea;
#include <QPointer>
#include <functional>

class QAction;

class QMenu;
class Page;
class LeftMenu;

// The main window "Тарвикс": the menu, the navigation tree on the left, one page at a time on the
// right and the status strip below. Child windows carry a kind code ("L", "R", "S") in the
// "kindCode" property; page switching only changes visibility.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    // Layout in twips (15 twips = 1 px).
    static constexpr int LPF_Left = 15, LPF_Top = 15, LPF_Height = 6000, LPF_Width = 4000;
    static constexpr int RPF_Left = LPF_Width + 30, RPF_Top = 15, RPF_Height = 6000, RPF_Width = 9000;
    static constexpr int StatusTop = LPF_Height + 30, StatusHeight = 250, StatusWidth = RPF_Width + LPF_Width + 10;
    static constexpr int WindowHeight = LPF_Height + 30 + 970, WindowWidth = RPF_Width + LPF_Width + 30 + 140;

    // Page table: form name, caption, menu item (in start-up order).
    struct PageInfo {
        QString form;
        QString caption;
        QString menu;
    };
    static const QList<PageInfo> &pageTable();
    static QString captionFor(const QString &form);

    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Takes ownership; places the child by its kind code.
    void addChildWindow(QWidget *child);
    // The designed size: the child area at its designed proportions, the menu bar above it.
    QSize designSize() const;
    // The designed size, or less where the space given (a screen's free area) is smaller: the tree
    // narrows and a page that does not fit scrolls.
    void fitInto(const QSize &space);
    // The scrolled area the pages are shown in.
    QScrollArea *pageArea() const { return m_pageScroll; }
    // Sets fonts of every child window's controls by kind (done once after all are added).
    void normaliseFonts();

    // Hides every child window whose kind code occurs in kinds ("L", "R", "S").
    void GasimFormy(const QString &kinds);
    // m01_Click ... m25_Click: show tree, status panel and the page with the item's number.
    void showPage(const QString &menuName);

    QList<QWidget *> childWindows() const { return m_children; }
    QWidget *childWindow(const QString &objectName) const;
    Page *page(const QString &formName) const;
    Page *visiblePage() const;
    QAction *menuItem(const QString &name) const { return m_actions.value(name); }
    // The frame drawn around a focused control that shows no focus of its own.
    QFocusFrame *focusFrame() const { return m_focusFrame; }
    // Buttons, boxes, lists and editable texts show their focus themselves.
    static bool drawsOwnFocus(const QWidget *widget);
    // Enabled and visible up the chain: what a user can actually reach from the menu bar.
    bool isMenuItemReachable(const QString &name) const;

    // Asked before the window closes; false keeps it open.
    void setCloseGuard(std::function<bool()> guard) { m_closeGuard = std::move(guard); }

signals:
    // The user closes the program: shutdown runs before the window goes.
    void closing();
    // "Восстановить из копии…": a kept copy of the unit's configuration is to be written back.
    void restoreRequested();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Places a child window by its kind code.
    void place(QWidget *child);
    // The tree, the page area and the status strip over the child area as it is now.
    void arrange();
    void followFocus(QWidget *now);
    QAction *addItem(QMenu *menu, const QString &name, const QString &text, bool hidden = false);
    QMenu *addMenu(QMenu *parentMenu, const QString &name, const QString &text, bool hidden = false);
    void buildMenu();
    void addMnemonic(QMenu *menu, const QList<Qt::Key> &keys);

    QWidget *m_area;
    QScrollArea *m_pageScroll;
    QWidget *m_pageHost;      // the pages, at their designed size, inside the scrolled area
    QSize m_designArea;       // the child area at the designed size
    QPointer<QFocusFrame> m_focusFrame;
    QMetaObject::Connection m_focusConnection;
    QList<QWidget *> m_children;
    QHash<QString, QAction *> m_actions;
    QHash<QAction *, QAction *> m_parentOf;
    std::function<bool()> m_closeGuard;
};
