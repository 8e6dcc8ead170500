#include <QtTest>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionFrame>
#include "TestSeams.h"
#include "config/ConfigImage.h"
#include "editors/BasicSettingsPage.h"
#include "editors/DistributionListPage.h"
#include "editors/FieldMaps.h"
#include "editors/InputsPage.h"
#include "editors/SimSettingsPage.h"

// The settings pages as widgets: every field bound by key and name, the texts of the pages, and
// the boxes mirroring what the editor decides.
class TestEditorPages : public QObject {
    Q_OBJECT

    struct Pages {
        ConfigImage image;
        RecordingMessageSink messages;
        BasicSettingsPage basic{image, messages};
        SimSettingsPage sim{image, messages};
        InputsPage inputs{image, messages};
        DistributionListPage list;

        Pages()
        {
            for (int p = 1; p <= ConfigImage::kImageSize; ++p)
                image.setCell(p, QStringLiteral("30"));
            for (int p = 1; p <= ConfigImage::kImageSize; p += 16)
                image.setCell(p + 1, QStringLiteral("00"));   // every SIM record reads "0"
        }
        EditorPage *page(const QString &form)
        {
            for (EditorPage *p : {static_cast<EditorPage *>(&basic), static_cast<EditorPage *>(&sim),
                                  static_cast<EditorPage *>(&inputs)})
                if (p->formName() == form)
                    return p;
            return nullptr;
        }
    };

    static QList<FieldSpec> fieldsOf(const QString &form)
    {
        if (form == BasicSettingsPage::kFormName)
            return FieldMaps::basicSettings();
        if (form == SimSettingsPage::kFormName)
            return FieldMaps::simSettings();
        return FieldMaps::inputThresholds();
    }

    // Visible texts of labels, frames and check boxes of a widget tree.
    static QStringList texts(const QWidget *page)
    {
        QStringList out;
        for (const QLabel *l : page->findChildren<QLabel *>())
            out << l->text();
        for (const QGroupBox *g : page->findChildren<QGroupBox *>())
            out << g->title();
        for (const QAbstractButton *b : page->findChildren<QAbstractButton *>())
            out << b->text();
        return out;
    }

private slots:
    void everyFieldIsBound_data()
    {
        QTest::addColumn<QString>("form");
        QTest::newRow("basic settings") << BasicSettingsPage::kFormName;
        QTest::newRow("SIM-card settings") << SimSettingsPage::kFormName;
        QTest::newRow("inputs") << InputsPage::kFormName;
    }
    void everyFieldIsBound()
    {
        QFETCH(QString, form);
        Pages pages;
        EditorPage *page = pages.page(form);
        int bound = 0;
        for (QWidget *w : page->findChildren<QWidget *>()) {
            const QString key = w->property("Tag").toString();
            if (key.isEmpty())
                continue;
            const FieldSpec *f = page->editor().field(key);
            QVERIFY2(f, qPrintable(key));
            QCOMPARE(w->accessibleName(), f->name);
            QCOMPARE(w->toolTip(), f->toolTip);
            ++bound;
        }
        QCOMPARE(bound, int(fieldsOf(form).size()));
    }

    void accessibleNames_data()
    {
        QTest::addColumn<QString>("form");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("key");
        QTest::newRow("message") << "RPF_07" << "Вход 12" << "Z12TEXT";
        QTest::newRow("upper bound") << "RPF_07" << "T3 Верхняя (H)" << "T3H";
        QTest::newRow("lower bound") << "RPF_07" << "T6 Нижняя (L)" << "T6L";
        QTest::newRow("relay day") << "RPF_07" << "Реле 2 день" << "R2D";
        QTest::newRow("relay night") << "RPF_07" << "Реле 3 ночь" << "R3N";
        QTest::newRow("SMS number") << "RPF_08" << "00 SMS" << "00 SMS";
        QTest::newRow("call number") << "RPF_08" << "19 DOZVON" << "19 DOZVON";
        QTest::newRow("partner") << "RPF_08" << "PARTNER2" << "PARTNER2";
        QTest::newRow("parameter") << "RPF_08" << "Zaderjka" << "Zaderjka";
        QTest::newRow("free text") << "RPF_08" << "Systema Zorgel Text" << "Systema Zorgel Text";
        QTest::newRow("flag") << "RPF_08" << "Syrena" << "Syrena";
        QTest::newRow("key flag") << "RPF_08" << "1 ключ" << "1kluch";
        QTest::newRow("uncaptioned flag") << "RPF_08" << "Systema Zorgel ON" << "Systema Zorgel ON";
        QTest::newRow("upper threshold") << "RPF_11" << "Вход 1 Верхний (H)" << "ZH1";
        QTest::newRow("lower threshold") << "RPF_11" << "Вход 12 Нижний (L)" << "ZL12";
    }
    void accessibleNames()
    {
        QFETCH(QString, form);
        QFETCH(QString, name);
        QFETCH(QString, key);
        Pages pages;
        QList<QWidget *> found;
        for (QWidget *w : pages.page(form)->findChildren<QWidget *>())
            if (w->accessibleName() == name)
                found << w;
        QCOMPARE(found.size(), 1);
        QCOMPARE(found.first()->property("Tag").toString(), key);
    }

    void pageTexts_data()
    {
        QTest::addColumn<QString>("form");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("basic settings")
            << "RPF_07"
            << QStringList{"Тексты сообщений по входам (зонам контроля)", "Вход 1", "Вход 12", "Контроль температуры",
                           "Границы диапазонов температур (С)", "Верхняя (H)", "Нижняя (L)", "T1", "T6",
                           "Пороги срабатывания реле (день/ночь) (С)", "Реле 1", "Реле 2", "Реле 3", "/"};
        QTest::newRow("SIM-card settings")
            << "RPF_08"
            << QStringList{"Список номеров для рассылки SMS", "Список номеров для голосового дозвона", "00 SMS",
                           "09 SMS", "10 DOZVON", "19 DOZVON", "PARTNER1", "PARTNER2", "Zaderjka", "Parol",
                           "T-datchik rele", "T-datchik SMS", "Balans", "Mikrofon", "ACTIVE ZONE", "1 ключ", "6 ключ",
                           "Otchet", "SMS postanovka", "SMS snjatie", "Syrena", "Rele N1", "Upravlenie"};
        QTest::newRow("inputs") << "RPF_11"
                                << QStringList{"Пороги срабатывания входов (зон контроля) (диапазон нормы, %)",
                                               "Верхний (H)", "Нижний (L)", "1", "12",
                                               "Преобразование напряжений на входах", "K", "Ед"};
        QTest::newRow("distribution list")
            << "RPF_10"
            << QStringList{"Список номеров для рассылки SMS", "Список номеров для голосового дозвона", "00 SMS",
                           "19 DOZVON", "Копировать", "--->"};
    }
    void pageTexts()
    {
        QFETCH(QString, form);
        QFETCH(QStringList, shown);
        Pages pages;
        const QWidget *page = form == QLatin1String("RPF_10") ? static_cast<QWidget *>(&pages.list) : pages.page(form);
        const QStringList all = texts(page);
        for (const QString &text : shown)
            QVERIFY2(all.contains(text), qPrintable(text));
    }

    // The widgets mirror the editor: text, enabled state, tick and error colour.
    void boxesMirrorTheEditor()
    {
        Pages pages;
        pages.image.setCell(1578, QStringLiteral("33"));   // T1L odd: 25.5
        pages.image.setCell(1579, QStringLiteral("00"));
        pages.image.setCell(257, QStringLiteral("00"));    // message 1 empty
        pages.basic.show();
        QLineEdit *odd = pages.basic.box(QStringLiteral("T1L"));
        QCOMPARE(odd->text(), QStringLiteral("25.5"));
        QVERIFY(odd->isEnabled());
        QVERIFY(EditorPage::hasErrorColour(odd));
        QLineEdit *empty = pages.basic.box(QStringLiteral("Z1TEXT"));
        QCOMPARE(empty->text(), QStringLiteral("нет данных"));
        QVERIFY(!empty->isEnabled());

        odd->selectAll();
        QTest::keyClicks(odd, QStringLiteral("-7"));
        QVERIFY(!EditorPage::hasErrorColour(odd));
        QCOMPARE(pages.image.cell(1578), QStringLiteral("F2"));
        QCOMPARE(pages.image.cell(1579), QStringLiteral("FF"));
        QTest::keyClick(odd, Qt::Key_Period);
        QVERIFY(EditorPage::hasErrorColour(odd));
        QCOMPARE(pages.image.cell(1578), QStringLiteral("33"));
        QCOMPARE(odd->text(), QStringLiteral("-7."));

        pages.image.setCell(1761, QStringLiteral("32"));
        pages.sim.show();
        QCheckBox *siren = pages.sim.checkBox(QStringLiteral("Syrena"));
        QVERIFY(siren->isEnabled() && !siren->isChecked());
        QVERIFY(EditorPage::hasErrorColour(siren));
        QTest::mouseClick(siren, Qt::LeftButton, {}, QPoint(8, siren->height() / 2));   // on the indicator
        QCOMPARE(pages.image.cell(1761), QStringLiteral("31"));
        QVERIFY(siren->isChecked());
        QVERIFY(!EditorPage::hasErrorColour(siren));
    }

    // Leaving a box ends its edit: a later invalid text goes back to what the box stored last.
    void focusEndsAnEdit()
    {
        Pages pages;
        pages.basic.show();
        QLineEdit *box = pages.basic.box(QStringLiteral("R1D"));
        box->selectAll();
        QTest::keyClicks(box, QStringLiteral("12"));
        QFocusEvent out(QEvent::FocusOut);
        QCoreApplication::sendEvent(box, &out);
        QTest::keyClicks(box, QStringLiteral("x"));
        QVERIFY(EditorPage::hasErrorColour(box));
        QCOMPARE(pages.image.cell(1544) + pages.image.cell(1545), QStringLiteral("0018"));
    }

    // Only focus moving to another control ends an edit; a context menu, the menu bar or another
    // window takes it back, and what is pasted on return belongs to the same edit.
    void focusReasons_data()
    {
        QTest::addColumn<int>("reason");
        QTest::addColumn<QString>("cells");   // R1D after "12", focus away and back, then "x"
        QTest::newRow("tab") << int(Qt::TabFocusReason) << "0018";
        QTest::newRow("mouse") << int(Qt::MouseFocusReason) << "0018";
        QTest::newRow("context menu") << int(Qt::PopupFocusReason) << "3030";
        QTest::newRow("another window") << int(Qt::ActiveWindowFocusReason) << "3030";
        QTest::newRow("menu bar") << int(Qt::MenuBarFocusReason) << "3030";
    }
    void focusReasons()
    {
        QFETCH(int, reason);
        QFETCH(QString, cells);
        Pages pages;
        pages.basic.show();
        QLineEdit *box = pages.basic.box(QStringLiteral("R1D"));
        box->selectAll();
        QTest::keyClicks(box, QStringLiteral("12"));
        QCOMPARE(pages.image.cell(1544) + pages.image.cell(1545), QStringLiteral("0018"));
        QFocusEvent out(QEvent::FocusOut, Qt::FocusReason(reason));
        QCoreApplication::sendEvent(box, &out);
        QFocusEvent in(QEvent::FocusIn, Qt::FocusReason(reason));
        QCoreApplication::sendEvent(box, &in);
        box->insert(QStringLiteral("x"));
        QVERIFY(EditorPage::hasErrorColour(box));
        QCOMPARE(pages.image.cell(1544) + pages.image.cell(1545), cells);
    }

    // Every box shows its longest texts whole: the no-data marker, and half degrees on the relays.
    void boxesFitTheirTexts_data()
    {
        QTest::addColumn<QString>("form");
        QTest::addColumn<QString>("keys");   // key prefix; empty: every box of the page
        QTest::addColumn<QString>("text");
        QTest::newRow("basic settings, no data") << "RPF_07" << "" << "нет данных";
        QTest::newRow("SIM-card settings, no data") << "RPF_08" << "" << "нет данных";
        QTest::newRow("inputs, no data") << "RPF_11" << "" << "нет данных";
        QTest::newRow("relays, -4.5") << "RPF_07" << "R" << "-4.5";
        QTest::newRow("relays, -99.5") << "RPF_07" << "R" << "-99.5";
        QTest::newRow("ranges, -99.5") << "RPF_07" << "T" << "-99.5";
    }
    void boxesFitTheirTexts()
    {
        QFETCH(QString, form);
        QFETCH(QString, keys);
        QFETCH(QString, text);
        Pages pages;
        EditorPage *page = pages.page(form);
        page->show();
        int checked = 0;
        for (const FieldSpec &f : fieldsOf(form)) {
            QLineEdit *box = page->box(f.key);
            if (!box || !f.key.startsWith(keys))
                continue;
            QStyleOptionFrame option;
            option.initFrom(box);
            option.rect = box->rect();
            option.lineWidth = box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, box);
            const QRect inside = box->style()
                                     ->subElementRect(QStyle::SE_LineEditContents, &option, box)
                                     .marginsRemoved(box->textMargins());
            // QLineEdit keeps 2 pixels free on either side of its text.
            QVERIFY2(box->fontMetrics().horizontalAdvance(text) <= inside.width() - 4, qPrintable(f.key));
            ++checked;
        }
        QVERIFY(checked > 0);
    }

    // A pair fixed from the partner box clears both red marks on the page.
    void thresholdPairOnThePage()
    {
        Pages pages;
        pages.inputs.show();
        QLineEdit *upper = pages.inputs.box(QStringLiteral("ZH3"));
        QLineEdit *lower = pages.inputs.box(QStringLiteral("ZL3"));
        QCOMPARE(pages.inputs.thresholdText(3, true), QStringLiteral("48"));
        lower->selectAll();
        QTest::keyClicks(lower, QStringLiteral("60"));
        QVERIFY(EditorPage::hasErrorColour(upper) && EditorPage::hasErrorColour(lower));
        upper->selectAll();
        QTest::keyClicks(upper, QStringLiteral("70"));
        QVERIFY(!EditorPage::hasErrorColour(upper) && !EditorPage::hasErrorColour(lower));
        QCOMPARE(pages.inputs.thresholdText(3, true), QStringLiteral("70"));
        QCOMPARE(pages.inputs.thresholdText(3, false), QStringLiteral("60"));
        QCOMPARE(pages.image.cell(1379) + pages.image.cell(1395), QStringLiteral("463C"));
    }

    void thresholdText_data()
    {
        QTest::addColumn<int>("input");
        QTest::addColumn<bool>("upper");
        QTest::addColumn<QString>("cell");
        QTest::addColumn<QString>("text");
        QTest::newRow("upper 1") << 1 << true << "50" << "80";
        QTest::newRow("lower 12") << 12 << false << "14" << "20";
        QTest::newRow("no data") << 5 << true << "" << "нет данных";
        QTest::newRow("input 0") << 0 << true << "50" << "";
        QTest::newRow("input 13") << 13 << false << "50" << "";
    }
    void thresholdText()
    {
        QFETCH(int, input);
        QFETCH(bool, upper);
        QFETCH(QString, cell);
        QFETCH(QString, text);
        Pages pages;
        if (input >= 1 && input <= 12)
            pages.image.setCell((upper ? 1376 : 1392) + input, cell);
        pages.inputs.Form_Activate();
        QCOMPARE(pages.inputs.thresholdText(input, upper), text);
    }

    void conversionFrameStaysHiddenAndUnbound()
    {
        Pages pages;
        pages.inputs.show();
        auto *frame = pages.inputs.findChild<QGroupBox *>(QStringLiteral("Frame2"));
        QVERIFY(frame && !frame->isVisible());
        const QList<QLineEdit *> boxes = frame->findChildren<QLineEdit *>();
        QCOMPARE(boxes.size(), 24);
        for (const QLineEdit *b : boxes) {
            QCOMPARE(b->text(), QStringLiteral("нет данных"));
            QVERIFY(!b->isEnabled());
            QVERIFY(!b->accessibleName().isEmpty());
        }
    }

    void distributionListStaysEmpty()
    {
        Pages pages;
        pages.list.show();
        pages.list.Form_Activate();
        for (int i = 0; i < 20; ++i) {
            QCOMPARE(pages.list.box(i)->text(), QStringLiteral("нет данных"));
            QVERIFY(!pages.list.box(i)->isEnabled());
            QCOMPARE(pages.list.box(i)->accessibleName(), FieldMaps::numberName(i));
        }
        const QStringList before = [&] {
            QStringList cells;
            for (int p = 1; p <= ConfigImage::kImageSize; ++p)
                cells << pages.image.cell(p);
            return cells;
        }();
        for (int i = 0; i < 10; ++i) {
            QCOMPARE(pages.list.copyButton(i)->text(), QStringLiteral("--->"));
            QVERIFY(!pages.list.copyButton(i)->accessibleName().isEmpty());
            QTest::mouseClick(pages.list.copyButton(i), Qt::LeftButton);
        }
        QCOMPARE(pages.list.box(0)->text(), QStringLiteral("нет данных"));
        for (int p = 1; p <= ConfigImage::kImageSize; ++p)
            QCOMPARE(pages.image.cell(p), before.at(p - 1));
    }

    void unknownTagIsReported()
    {
        Pages pages;
        pages.basic.show();
        QLineEdit *box = pages.basic.box(QStringLiteral("T2H"));
        box->setProperty("Tag", QStringLiteral("T9H"));
        QTest::keyClicks(box, QStringLiteral("1"));
        QCOMPARE(pages.messages.texts, QStringList{QStringLiteral("Не найден T9H")});
    }
};

QTEST_MAIN(TestEditorPages)
#include "tst_editorpages.moc"
