#include <QtTest>
#include <QScrollArea>
#include <QScrollBar>
#include <QAction>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFocusFrame>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTextEdit>
#include <QTreeWidget>
#include "shell/LeftMenu.h"
#include "shell/MainWindow.h"
#include "settings/QtTranslations.h"
#include "shell/Page.h"

// A page that counts how often it was activated and deactivated.
class CountingPage : public Page {
public:
    using Page::Page;
    void Form_Activate() override { ++activations; }
    void Form_Deactivate() override { ++deactivations; }
    int activations = 0;
    int deactivations = 0;
};

// Window structure, menu reachability and page switching, without the link behind it.
class TestMainWindow : public QObject {
    Q_OBJECT

    MainWindow *window = nullptr;
    LeftMenu *tree = nullptr;
    QWidget *status = nullptr;

    QStringList visiblePages() const
    {
        QStringList out;
        for (QWidget *child : window->childWindows())
            if (child->property("kindCode") == QLatin1String("R") && child->isVisible())
                out << child->objectName();
        return out;
    }

private slots:
    void initTestCase()
    {
        QCOMPARE(QtTranslations::install(*qApp), QStringList({QStringLiteral("qtbase_ru"),
                                                              QStringLiteral("qtserialport_ru")}));
    }

    // Texts that Qt supplies itself come out in Russian once its catalogues are installed.
    void qtOwnTextsInRussian_data()
    {
        QTest::addColumn<QString>("where");
        QTest::addColumn<QString>("text");
        QTest::newRow("message box: Cancel") << "box Cancel" << "Отмена";
        QTest::newRow("message box: Yes") << "box Yes" << "Да";
        QTest::newRow("message box: No") << "box No" << "Нет";
        QTest::newRow("file dialog: look in") << "dialog lookInLabel" << "Перейти к:";
        QTest::newRow("file dialog: file name") << "dialog fileNameLabel" << "Имя файла:";
        QTest::newRow("file dialog: file type") << "dialog fileTypeLabel" << "Типы файлов:";
    }
    void qtOwnTextsInRussian()
    {
        QFETCH(QString, where);
        QFETCH(QString, text);
        const QString kind = where.section(QLatin1Char(' '), 0, 0);
        const QString name = where.section(QLatin1Char(' '), 1);
        QString shown;
        if (kind == QLatin1String("box")) {
            QMessageBox box;
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            const QMessageBox::StandardButton which = name == QLatin1String("Yes") ? QMessageBox::Yes
                                                      : name == QLatin1String("No") ? QMessageBox::No
                                                                                     : QMessageBox::Cancel;
            shown = box.button(which)->text().remove(QLatin1Char('&'));
        } else {
            QFileDialog dialog;
            dialog.setOption(QFileDialog::DontUseNativeDialog);
            auto *label = dialog.findChild<QLabel *>(name);
            QVERIFY(label);
            shown = label->text().remove(QLatin1Char('&'));
        }
        QCOMPARE(shown, text);
    }

    void init()
    {
        window = new MainWindow;
        tree = new LeftMenu;
        status = new QWidget;
        status->setObjectName(QStringLiteral("StatusForm"));
        status->setProperty("kindCode", QStringLiteral("S"));
        window->addChildWindow(tree);
        window->addChildWindow(status);
        for (const MainWindow::PageInfo &info : MainWindow::pageTable())
            window->addChildWindow(new CountingPage(info.form, info.caption));
        connect(tree, &LeftMenu::pageRequested, window, &MainWindow::showPage);
        window->show();
        window->showPage(QStringLiteral("m02"));
    }
    void cleanup()
    {
        delete window;
        window = nullptr;
    }

    void everyPageExistsWithItsHeader()
    {
        QCOMPARE(MainWindow::pageTable().size(), 21);
        for (const MainWindow::PageInfo &info : MainWindow::pageTable()) {
            Page *page = window->page(info.form);
            QVERIFY2(page, qPrintable(info.form));
            QCOMPARE(page->header()->text(), info.caption);
        }
    }

    void startShowsSerialPageTreeAndStatus()
    {
        QCOMPARE(visiblePages(), QStringList{QStringLiteral("RPF_02")});
        QVERIFY(tree->isVisible());
        QVERIFY(status->isVisible());
    }

    void menuReachability_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<bool>("reachable");
        for (const char *item : {"m02", "m03", "m04", "m05", "mReport", "m07", "m08", "m17", "m19"})
            QTest::newRow(item) << QString::fromLatin1(item) << true;
        for (const char *item : {"m01", "m09", "m10", "m11", "m12", "m13", "m14", "m15", "m16", "m20", "m21", "m22",
                                 "m23", "m24", "m25"})
            QTest::newRow(item) << QString::fromLatin1(item) << false;
    }
    void menuReachability()
    {
        QFETCH(QString, item);
        QFETCH(bool, reachable);
        QVERIFY(window->menuItem(item));
        QCOMPARE(window->isMenuItemReachable(item), reachable);
    }

    void menuItemShowsItsPage()
    {
        window->menuItem(QStringLiteral("m17"))->trigger();
        QCOMPARE(visiblePages(), QStringList{QStringLiteral("RPF_17")});
        window->menuItem(QStringLiteral("m17"))->trigger();   // same page again: same picture
        QCOMPARE(visiblePages(), QStringList{QStringLiteral("RPF_17")});
        QVERIFY(tree->isVisible() && status->isVisible());
    }

    void treeNodes_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("page");
        QTest::newRow("group node changes nothing") << "m00" << "RPF_02";
        QTest::newRow("monitoring") << "m03" << "RPF_03";
        QTest::newRow("inputs behind hidden menu") << "m11" << "RPF_11";
        QTest::newRow("configurations") << "m17" << "RPF_17";
        QTest::newRow("program settings") << "m19" << "RPF_19";
    }
    void treeNodes()
    {
        QFETCH(QString, key);
        QFETCH(QString, page);
        QTreeWidgetItem *node = tree->node(key);
        QVERIFY(node);
        emit tree->tree()->itemClicked(node, 0);
        QCOMPARE(visiblePages(), QStringList{page});
    }

    void treeShape()
    {
        for (const char *open : {"m00", "m06", "m18"})
            QVERIFY2(tree->node(QLatin1String(open))->isExpanded(), open);
        QVERIFY(!tree->node(QStringLiteral("m09"))->isExpanded());
        QCOMPARE(tree->node(QStringLiteral("m11"))->parent(), tree->node(QStringLiteral("m09")));
        // The distribution list and the general page have no node.
        QVERIFY(!tree->node(QStringLiteral("m10")));
        QVERIFY(!tree->node(QStringLiteral("m01")));
    }

    // Activation follows the page becoming the active page, not the window system's show events.
    void activationFollowsPageSwitching_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("activations");
        QTest::addColumn<int>("deactivations");
        QTest::newRow("minimise and restore") << "minimise" << 0 << 0;
        QTest::newRow("same page again") << "m02" << 1 << 1;
        QTest::newRow("another page") << "m17" << 0 << 1;
    }
    void activationFollowsPageSwitching()
    {
        QFETCH(QString, action);
        QFETCH(int, activations);
        QFETCH(int, deactivations);
        auto *serial = static_cast<CountingPage *>(window->page(QStringLiteral("RPF_02")));
        serial->activations = serial->deactivations = 0;
        if (action == QLatin1String("minimise")) {
            window->setWindowState(Qt::WindowMinimized);
            QVERIFY(window->isMinimized());
            window->setWindowState(Qt::WindowNoState);
            QVERIFY(!window->isMinimized());
        } else {
            window->showPage(action);
        }
        QCOMPARE(serial->activations, activations);
        QCOMPARE(serial->deactivations, deactivations);
    }

    // The window opens at its designed size and can be resized: a larger one widens the page area
    // and lengthens the tree above the status strip; a narrower one narrows the tree, then scrolls.
    void windowSize_data()
    {
        QTest::addColumn<int>("extraWidth");
        QTest::addColumn<int>("extraHeight");
        QTest::addColumn<bool>("scrolls");
        QTest::newRow("as designed") << 0 << 0 << false;
        QTest::newRow("wider") << 300 << 0 << false;
        QTest::newRow("taller") << 0 << 200 << false;
        QTest::newRow("maximised") << 500 << 400 << false;
        QTest::newRow("small") << -300 << -150 << true;
    }
    void windowSize()
    {
        QFETCH(int, extraWidth);
        QFETCH(int, extraHeight);
        QFETCH(bool, scrolls);
        window->resize(window->designSize());
        QWidget *area = window->centralWidget();
        // 13010 x 250 twips at 6030 twips from the top, 15 twips a pixel; the page 9000 x 6000 at 4030.
        QVERIFY(area->width() >= 13010 / 15 + 2);
        QCOMPARE(status->y(), 6030 / 15);
        QCOMPARE(window->pageArea()->geometry(), QRect(4030 / 15, 1, 600, 400));
        QCOMPARE(window->page(QStringLiteral("RPF_02"))->geometry(), QRect(0, 0, 600, 400));
        QCOMPARE(tree->width(), 4000 / 15);

        window->resize(window->designSize() + QSize(extraWidth, extraHeight));
        QCoreApplication::processEvents();   // the scroll bars follow a posted layout request
        const int gap = area->height() - status->geometry().bottom() - 1;
        QVERIFY2(gap >= 0 && gap <= 8, qPrintable(QString::number(gap)));
        QCOMPARE(status->x(), 1);
        QCOMPARE(status->geometry().right(), area->width() - 2);
        QVERIFY(tree->geometry().bottom() < status->y());
        QVERIFY(status->y() - tree->geometry().bottom() <= 3);
        QCOMPARE(tree->width() < 4000 / 15, extraWidth < 0);
        const QRect pages = window->pageArea()->geometry();
        QCOMPARE(pages.left(), tree->geometry().right() + 2);
        QCOMPARE(pages.right(), area->width() - 2);
        QVERIFY(pages.bottom() < status->y());
        const bool scrollBar = window->pageArea()->horizontalScrollBar()->isVisibleTo(window)
                               || window->pageArea()->verticalScrollBar()->isVisibleTo(window);
        QCOMPARE(scrollBar, scrolls);
        window->resize(window->designSize());
    }

    // The tree by keyboard: its current node's page is shown, the focus stays in the tree, and
    // the current node follows pages chosen in the menu.
    void keyboardNavigation_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("node");
        QTest::newRow("down to monitoring") << "Down" << "RPF_03" << "m03";
        QTest::newRow("down twice") << "Down Down" << "RPF_04" << "m04";
        QTest::newRow("up to a group keeps the page") << "Up" << "RPF_02" << "m00";
        QTest::newRow("end") << "End" << "RPF_19" << "m19";
        QTest::newRow("right opens the closed group")
            << "Down Down Down Down Down Down Down Right Down" << "RPF_11" << "m11";
        QTest::newRow("space opens the closed group")
            << "Down Down Down Down Down Down Down Space Down" << "RPF_11" << "m11";
        QTest::newRow("menu moves the current node") << "m17 Up" << "RPF_17" << "m09";
        QTest::newRow("menu, then up past a group") << "m19 Up Up" << "RPF_17" << "m17";
        QTest::newRow("enter shows the page again") << "m17 hide Enter" << "RPF_17" << "m17";
        QTest::newRow("space shows the page again") << "hide Space" << "RPF_02" << "m02";
        QTest::newRow("page without a node") << "m12" << "RPF_12" << "";
    }
    // Alt with a menu's first letter opens it (in a Russian layout or on the same key in a Latin
    // one); the captions keep their texts.
    void menuMnemonics_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("menu");
        QTest::newRow("Alt+У") << 0x0423 << "Устройство";
        QTest::newRow("Alt+E") << int(Qt::Key_E) << "Устройство";
        QTest::newRow("Alt+Н") << 0x041D << "Настройка устройства";
        QTest::newRow("Alt+G") << int(Qt::Key_G) << "Программа";
    }
    void menuMnemonics()
    {
        QFETCH(int, key);
        QFETCH(QString, menu);
        QApplication::setActiveWindow(window);
        QVERIFY(QTest::qWaitForWindowActive(window));
        // Sent with its text: the test library makes none for a letter outside Latin-1.
        QTest::sendKeyEvent(QTest::Click, window, Qt::Key(key), QString(QChar(key).toLower()), Qt::AltModifier);
        QAction *active = window->menuBar()->activeAction();
        QVERIFY(active);
        QCOMPARE(active->text(), menu);
        if (active->menu())
            active->menu()->close();
        window->menuBar()->setActiveAction(nullptr);
    }

    // A key pressed with Alt that opens nothing never types into a box.
    void altKeyTypesNothing()
    {
        auto *box = new QLineEdit(window->page(QStringLiteral("RPF_02")));
        box->show();
        box->setFocus();
        QTest::keyClick(box, Qt::Key_Q, Qt::AltModifier);
        QTest::keyClick(box, Qt::Key_Q);
        QCOMPARE(box->text(), QStringLiteral("q"));
        delete box;
    }

    void keyboardNavigation()
    {
        QFETCH(QString, steps);
        QFETCH(QString, page);
        QFETCH(QString, node);
        const QHash<QString, Qt::Key> keys = {{QStringLiteral("Down"), Qt::Key_Down}, {QStringLiteral("Up"), Qt::Key_Up},
                                              {QStringLiteral("End"), Qt::Key_End}, {QStringLiteral("Right"), Qt::Key_Right},
                                              {QStringLiteral("Space"), Qt::Key_Space},
                                              {QStringLiteral("Enter"), Qt::Key_Return}};
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        tree->tree()->setFocus();
        QCOMPARE(tree->tree()->currentItem(), tree->node(QStringLiteral("m02")));
        for (const QString &step : steps.split(QLatin1Char(' '))) {
            if (keys.contains(step))
                QTest::keyClick(tree->tree(), keys.value(step));
            else if (step == QLatin1String("hide"))
                window->GasimFormy(QStringLiteral("R"));
            else
                window->menuItem(step)->trigger();
            QCOMPARE(QApplication::focusWidget(), tree->tree());
        }
        QCOMPARE(visiblePages(), QStringList{page});
        QCOMPARE(tree->tree()->currentItem(), node.isEmpty() ? nullptr : tree->node(node));
        QCOMPARE(tree->tree()->selectedItems().size(), node.isEmpty() ? 0 : 1);
    }

    // However the page changes, the focus does not stay in the page left, where typing would
    // still change its controls.
    void keystrokesNeverReachAHiddenPage_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("menu") << "menu";
        QTest::newRow("tree click") << "click";
        QTest::newRow("page switch routine") << "routine";
    }
    void keystrokesNeverReachAHiddenPage()
    {
        QFETCH(QString, how);
        auto *edit = new QLineEdit(QStringLiteral("1"), window->page(QStringLiteral("RPF_03")));
        auto *disabled = new QLineEdit(QStringLiteral("нет данных"), window->page(QStringLiteral("RPF_17")));
        disabled->setEnabled(false);
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        window->showPage(QStringLiteral("m03"));
        edit->setFocus();
        QVERIFY(edit->hasFocus());
        if (how == QLatin1String("menu")) {
            window->menuItem(QStringLiteral("m17"))->trigger();
        } else if (how == QLatin1String("click")) {
            QTreeWidgetItem *item = tree->node(QStringLiteral("m17"));
            QTest::mouseClick(tree->tree()->viewport(), Qt::LeftButton, {},
                              tree->tree()->visualItemRect(item).center());
        } else {
            window->showPage(QStringLiteral("m17"));
        }
        QCOMPARE(visiblePages(), QStringList{QStringLiteral("RPF_17")});
        QTest::mouseClick(disabled, Qt::LeftButton);
        QWidget *focus = QApplication::focusWidget();
        QVERIFY(!focus || focus->isVisible());
        QTest::keyClicks(focus ? focus : window, QStringLiteral("99"));
        QTest::keyClick(focus ? focus : window, Qt::Key_Down, Qt::AltModifier);
        QCOMPARE(edit->text(), QStringLiteral("1"));
        QCOMPARE(disabled->text(), QStringLiteral("нет данных"));
    }

    // A control that draws no focus of its own is framed while it holds the focus.
    void focusIsShown_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("framed");
        QTest::newRow("read-only text") << "text" << true;
        QTest::newRow("plain widget") << "widget" << true;
        QTest::newRow("button") << "button" << false;
        QTest::newRow("line edit") << "edit" << false;
        QTest::newRow("editable text") << "editable" << false;
        QTest::newRow("tree") << "tree" << false;
    }
    void focusIsShown()
    {
        QFETCH(QString, kind);
        QFETCH(bool, framed);
        Page *page = window->page(QStringLiteral("RPF_17"));
        QWidget *control = nullptr;
        if (kind == QLatin1String("text") || kind == QLatin1String("editable")) {
            auto *text = new QTextEdit(page);
            text->setReadOnly(kind == QLatin1String("text"));
            control = text;
        } else if (kind == QLatin1String("widget")) {
            control = new QWidget(page);
            control->setFocusPolicy(Qt::StrongFocus);
        } else if (kind == QLatin1String("button")) {
            control = new QPushButton(QStringLiteral("Прочитать"), page);
        } else if (kind == QLatin1String("edit")) {
            control = new QLineEdit(page);
        } else {
            control = tree->tree();
        }
        control->setGeometry(100, 100, 120, 40);
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        window->showPage(QStringLiteral("m17"));
        control->setFocus(Qt::TabFocusReason);
        QVERIFY(control->hasFocus());
        QFocusFrame *frame = window->focusFrame();
        QCOMPARE(frame->isVisible(), framed);
        QCOMPARE(frame->widget() == control, framed);
        window->showPage(QStringLiteral("m19"));   // the control's page hidden: no frame left
        QVERIFY(!frame->isVisible());
    }

    void hidingByKind()
    {
        window->GasimFormy(QStringLiteral("R"));
        QVERIFY(visiblePages().isEmpty());
        QVERIFY(tree->isVisible());
        window->GasimFormy(QStringLiteral("LS"));
        QVERIFY(!tree->isVisible() && !status->isVisible());
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
