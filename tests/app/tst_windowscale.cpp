#include <QtTest>
#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include "SimCore.h"
#include "SimDefaults.h"
#include "SimLoopbackPort.h"
#include "TestSeams.h"
#include "app/TarviksApp.h"
#include "link/SerialLink.h"
#include "link/StatusModel.h"
#include "link/StatusSupervisor.h"
#include "shell/MainWindow.h"
#include "shell/Page.h"

// The window on a 1280 x 720 screen at 150 %: Qt lays out in logical pixels, the same at every
// scale, so a screen of 1280 / 1.5 x 720 / 1.5 logical pixels is that screen at 150 %.
class TestWindowScale : public QObject {
    Q_OBJECT

    struct Rig {
        QTemporaryDir folder;
        SimCore core{SimDefaults::image(), SimDefaults::firmware()};
        SimLoopbackPort port{core, 1};
        RecordingMessageSink messages;
        ScriptedFileDialogs dialogs;
        FixedClock clock;
        std::unique_ptr<TarviksApp> app;
        Rig()
        {
            QDir(folder.path()).mkpath(QStringLiteral("Service"));
            app = std::make_unique<TarviksApp>(AppSetup{folder.path(), &port, &messages, &dialogs, &clock, nullptr});
            app->startUp(false);
            app->settings().addPortNumber(1);
            app->supervisor().Avtopoisk = true;
            for (int i = 0; i < 200 && app->status().operation() != QStringLiteral("Прочитано успешно!"); ++i) {
                app->supervisor().tick();
                for (int poll = 0; poll < 4; ++poll) {
                    port.advance(50);
                    app->link().receiveTick();
                }
            }
        }
    };

    // Every shown control of the window, where it is drawn, in the window's coordinates.
    static QList<QPair<QWidget *, QRect>> shownControls(QWidget *window)
    {
        QList<QPair<QWidget *, QRect>> out;
        for (QWidget *w : window->findChildren<QWidget *>()) {
            if (!w->isVisibleTo(window) || w->isWindow())
                continue;
            const bool control = qobject_cast<QAbstractButton *>(w) || qobject_cast<QLabel *>(w)
                || qobject_cast<QLineEdit *>(w) || qobject_cast<QComboBox *>(w) || qobject_cast<QAbstractSlider *>(w);
            if (control)
                out.append({w, QRect(w->mapTo(window, QPoint(0, 0)), w->size())});
        }
        return out;
    }

private slots:
    void mainPagesFitAt150Percent_data()
    {
        QTest::addColumn<QString>("menu");
        QTest::newRow("Соединение с компьютером") << "m02";
        QTest::newRow("Мониторинг") << "m03";
        QTest::newRow("Обновление прошивки") << "m04";
        QTest::newRow("Информация об устройстве") << "m05";
        QTest::newRow("Базовые настройки (из памяти контроллера)") << "m07";
        QTest::newRow("Базовые настройки (с SIM-карты)") << "m08";
        QTest::newRow("Входы") << "m11";
        QTest::newRow("Конфигурации") << "m17";
        QTest::newRow("Настройки программы") << "m19";
    }
    void mainPagesFitAt150Percent()
    {
        QFETCH(QString, menu);
        Rig rig;
        MainWindow &window = rig.app->window();
        const QSize screen(1280 * 2 / 3, 720 * 2 / 3);
        window.fitInto(screen);
        window.show();
        window.showPage(menu);
        QCoreApplication::processEvents();
        QVERIFY2(window.width() <= screen.width() && window.height() <= screen.height(),
                 qPrintable(QStringLiteral("%1x%2").arg(window.width()).arg(window.height())));
        // The page fits: nothing to scroll to.
        QVERIFY(!window.pageArea()->horizontalScrollBar()->isVisibleTo(&window));
        QVERIFY(!window.pageArea()->verticalScrollBar()->isVisibleTo(&window));
        const QRect inside = window.rect();
        const QRect pages(window.pageArea()->mapTo(&window, QPoint(0, 0)), window.pageArea()->size());
        const QList<QPair<QWidget *, QRect>> controls = shownControls(&window);
        QVERIFY(controls.size() > 5);
        for (const auto &[control, rect] : controls) {
            const QString what = control->objectName() + QLatin1Char(' ') + control->accessibleName();
            QVERIFY2(inside.contains(rect), qPrintable(what));
            if (window.pageArea()->isAncestorOf(control))
                QVERIFY2(pages.contains(rect), qPrintable(what));
        }
    }
};

QTEST_MAIN(TestWindowScale)
#include "tst_windowscale.moc"
