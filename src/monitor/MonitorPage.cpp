#include "monitor/MonitorPage.h"
#include "monitor/ModelPictureWidget.h"
#include "monitor/MonitorExchange.h"
#include "monitor/TrendChart.h"
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QShowEvent>
#include <algorithm>

namespace {
// Placement in pixels, frame coordinates inside frames.
constexpr int kTop = 26;
constexpr int kInputsWidth = 246;
constexpr int kRowTop = 52;
constexpr int kRowPitch = 23;
constexpr int kRowHeight = 20;
constexpr int kCaptionLeft = 6, kCaptionWidth = 34;
constexpr int kVoltLeft = 42, kVoltWidth = 58;
constexpr int kPercentLeft = 104, kPercentWidth = 36;
constexpr int kRangeLeft = 144, kRangeWidth = 56;
constexpr int kStateLeft = 204, kStateWidth = 34;
constexpr int kRight = 258;          // left edge of the right-hand area
constexpr int kRightWidth = 336;
constexpr int kSupplyFrameWidth = 108;
constexpr int kSupplyFrameHeight = 46;
constexpr int kSensorTop = 76;
constexpr int kSensorWidth = 226;
constexpr int kSensorHeight = 66;
constexpr int kTrendTop = 146;
constexpr int kTrendHeight = 164;
constexpr int kJournalFileTop = kTrendTop + kTrendHeight + 2;
constexpr int kBottomTop = 338;

QString rowName(const QString &caption)
{
    return QStringLiteral("Вход ") + caption.trimmed();
}
}

MonitorPage::MonitorPage(MonitorExchange &exchange, FileDialogs &dialogs, const QString &programFolder,
                         QWidget *parent)
    : Page(kFormName, kCaption, parent), m_exchange(exchange), m_dialogs(dialogs), m_folder(programFolder)
{
    buildInputs();
    buildVoltages();
    buildSensors();
    buildControls();

    connect(&m_exchange, &MonitorExchange::controlsChanged, this, &MonitorPage::showControls);
    connect(&m_exchange, &MonitorExchange::layoutChanged, this, &MonitorPage::showLayout);
    connect(&m_exchange, &MonitorExchange::readingsChanged, this, &MonitorPage::showReadings);
    connect(&m_exchange, &MonitorExchange::sampleTaken, this, [this](const QDateTime &time) {
        m_trend->addSample(time, m_exchange.readings(), m_exchange.lastKind());
        updateBand();
    });
    connect(&m_exchange, &MonitorExchange::liveChanged, this, [this](bool live) {
        if (!live)
            m_trend->markGap();
        showLive();
    });
    connect(&m_exchange, &MonitorExchange::noticeChanged, this, &MonitorPage::showNotice);
    connect(&m_exchange, &MonitorExchange::journalFileChanged, this, &MonitorPage::showJournalFile);
    // The window's journal goes to the disk as the rows come.
    if (!programFolder.isEmpty())
        m_exchange.setJournalFolder(QDir(programFolder).filePath(MonitorExchange::kJournalFolder));
    connect(&m_exchange, &MonitorExchange::unitChanged, this, [this] {
        m_trend->clear();
        updateBand();
    });

    // Over the right of the header: why polling waits, or that the unit did not answer.
    m_notice = new QLabel(this);
    m_notice->setObjectName(QStringLiteral("Notice"));
    m_notice->setAccessibleName(QStringLiteral("Состояние опроса"));
    m_notice->setTextFormat(Qt::PlainText);
    m_notice->setGeometry(120, 0, width() - 126, 22);
    m_notice->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QPalette palette = m_notice->palette();
    palette.setColor(QPalette::WindowText, QColor(0xA0, 0x10, 0x10));
    m_notice->setPalette(palette);

    showControls();
    showLayout();
    showReadings();
    showLive();
    showNotice();
    showJournalFile();
}

void MonitorPage::showEvent(QShowEvent *event)
{
    if (!event->spontaneous())
        m_exchange.pageShown();
    Page::showEvent(event);
}

QString MonitorPage::periodText(double seconds, const QLocale &locale)
{
    QLocale plain = locale;
    plain.setNumberOptions(QLocale::OmitGroupSeparator);
    return plain.toString(seconds, 'g', 3) + QStringLiteral(" с");
}

QGroupBox *MonitorPage::addFrame(const QString &name, const QString &title, const QRect &geometry)
{
    auto *frame = new QGroupBox(title, this);
    frame->setObjectName(name);
    frame->setGeometry(geometry);
    m_controls.append(frame);
    return frame;
}

QLabel *MonitorPage::addLabel(QWidget *parent, const QString &name, const QString &text, const QRect &geometry,
                              Qt::Alignment alignment)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setGeometry(geometry);
    label->setAlignment(alignment);
    m_controls.append(label);
    return label;
}

QLabel *MonitorPage::addValue(QWidget *parent, const QString &array, int index, const QString &accessibleName,
                              const QRect &geometry)
{
    QLabel *label = addLabel(parent, array + QLatin1Char('_') + QString::number(index), QString(), geometry,
                             Qt::AlignRight | Qt::AlignVCenter);
    // Texts come from the unit: never markup.
    label->setTextFormat(Qt::PlainText);
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setAutoFillBackground(true);
    label->setBackgroundRole(QPalette::Base);
    label->setContentsMargins(2, 0, 2, 0);
    label->setAccessibleName(accessibleName);
    m_values.append(label);
    showText(label, MonitorReadings::kDesignText);
    return label;
}

void MonitorPage::showText(QLabel *label, const QString &text)
{
    if (label->text() == text)
        return;
    label->setText(text);
    label->setAccessibleDescription(text);
}

void MonitorPage::buildInputs()
{
    QGroupBox *frame = addFrame(QStringLiteral("Frame1"), QStringLiteral("Входы"),
                                QRect(6, kTop, kInputsWidth, height() - kTop - 6));
    const Qt::Alignment centre = Qt::AlignCenter;
    addLabel(frame, QStringLiteral("Label4"), QStringLiteral("Вольт"), QRect(kVoltLeft, 18, kVoltWidth, 16), centre);
    addLabel(frame, QStringLiteral("Label5"), QStringLiteral("%"), QRect(kPercentLeft, 18, kPercentWidth, 16), centre);
    addLabel(frame, QStringLiteral("Label6"), QStringLiteral("Норма"), QRect(kRangeLeft, 18, kRangeWidth, 16), centre);
    addLabel(frame, QStringLiteral("Label7"), QStringLiteral("%"), QRect(kRangeLeft, 33, kRangeWidth, 16), centre);
    addLabel(frame, QStringLiteral("Label9"), QStringLiteral("Сост."), QRect(kStateLeft, 18, kStateWidth, 16), centre)
        ->setToolTip(kStateHelp);
    for (int row = 1; row <= MonitorReadings::kRows; ++row) {
        const int top = kRowTop + kRowPitch * (row - 1);
        const QString caption = MonitorDecoder::designCaption(row);
        addLabel(frame, QStringLiteral("Label3_%1").arg(row), caption, QRect(kCaptionLeft, top, kCaptionWidth, kRowHeight),
                 Qt::AlignRight | Qt::AlignVCenter);
        const QString name = rowName(caption);
        addValue(frame, QStringLiteral("Label8"), row, name + QStringLiteral(" Вольт"),
                 QRect(kVoltLeft, top, kVoltWidth, kRowHeight));
        addValue(frame, QStringLiteral("Label11"), row, name + QStringLiteral(" %"),
                 QRect(kPercentLeft, top, kPercentWidth, kRowHeight));
        QLabel *range = addValue(frame, QStringLiteral("Label12"), row, name + QStringLiteral(" Норма"),
                                 QRect(kRangeLeft, top, kRangeWidth, kRowHeight));
        QLabel *state = addValue(frame, QStringLiteral("Label15"), row, name + QStringLiteral(" Сост."),
                                 QRect(kStateLeft, top, kStateWidth, kRowHeight));
        range->setAlignment(Qt::AlignCenter);
        state->setAlignment(Qt::AlignCenter);
        state->setToolTip(kStateHelp);
        // The control row has no range and no state.
        if (row == MonitorReadings::kRows) {
            range->setVisible(false);
            state->setVisible(false);
        }
    }
}

void MonitorPage::buildVoltages()
{
    struct Item {
        const char *frame;
        QString title;
        int index;
        QString name;
    };
    const Item items[] = {{"Frame3", QStringLiteral("Аккумулятор"), 14, QStringLiteral("Аккумулятор Вольт")},
                          {"Frame4", QStringLiteral("Блок питания"), 15, QStringLiteral("Блок питания Вольт")},
                          {"Frame6", QStringLiteral("Процессор"), 17, QStringLiteral("Процессор Вольт")}};
    int left = kRight;
    for (const Item &item : items) {
        QGroupBox *frame = addFrame(QString::fromLatin1(item.frame), item.title,
                                    QRect(left, kTop, kSupplyFrameWidth, kSupplyFrameHeight));
        addValue(frame, QStringLiteral("Label8"), item.index, item.name, QRect(8, 19, 54, kRowHeight));
        addLabel(frame, QStringLiteral("Label10_%1").arg(item.index), QStringLiteral("Вольт"),
                 QRect(66, 19, 38, kRowHeight));
        left += kSupplyFrameWidth + 6;
    }
}

void MonitorPage::buildSensors()
{
    QGroupBox *frame = addFrame(QStringLiteral("Frame5"), QStringLiteral("Термодатчики"),
                                QRect(kRight, kSensorTop, kSensorWidth, kSensorHeight));
    for (int n = 1; n <= MonitorReadings::kSensors; ++n) {
        const int column = (n - 1) % 3;
        const int top = n <= 3 ? 18 : 42;
        const int left = 6 + column * 73;
        addLabel(frame, QStringLiteral("Label14_%1").arg(n + 5), QStringLiteral("T%1").arg(n),
                 QRect(left, top, 18, kRowHeight));
        addValue(frame, QStringLiteral("Label8"), 20 + n, QStringLiteral("T%1").arg(n),
                 QRect(left + 18, top, 38, kRowHeight));
        addLabel(frame, QStringLiteral("Label14_%1").arg(n - 1), QStringLiteral("C"), QRect(left + 58, top, 12, kRowHeight));
    }
    // One picture per model; only the unit's own is shown.
    for (int index = 0; index < MonitorDecoder::modelNames().size(); ++index) {
        auto *picture = new ModelPictureWidget(index, this);
        picture->setGeometry(kRight + kSensorWidth + 6, kSensorTop + 2, kRightWidth - kSensorWidth - 6,
                             kSensorHeight - 2);
        picture->setVisible(false);
        m_pictures.append(picture);
        m_controls.append(picture);
    }
}

void MonitorPage::buildControls()
{
    m_trend = new TrendChart(this);
    m_trend->setGeometry(kRight, kTrendTop, kRightWidth, kTrendHeight);
    m_journalFile = new QLabel(this);
    m_journalFile->setObjectName(QStringLiteral("JournalFile"));
    m_journalFile->setAccessibleName(QStringLiteral("Файл журнала"));
    m_journalFile->setTextFormat(Qt::PlainText);
    m_journalFile->setGeometry(kRight, kJournalFileTop, kRightWidth, 18);
    connect(m_trend, &TrendChart::selectedRowChanged, this, &MonitorPage::updateBand);

    QGroupBox *interval = addFrame(QStringLiteral("Frame2"), QStringLiteral("Интервал"),
                                   QRect(kRight, kBottomTop, 150, height() - kBottomTop - 6));
    addLabel(interval, QStringLiteral("minus"), QStringLiteral("-"), QRect(4, 22, 10, 18), Qt::AlignCenter);
    m_scroll = new QScrollBar(Qt::Horizontal, interval);
    m_scroll->setObjectName(QStringLiteral("HScroll1"));
    m_scroll->setAccessibleName(QStringLiteral("Интервал"));
    m_scroll->setRange(MonitorExchange::kMinPosition, MonitorExchange::kMaxPosition);
    m_scroll->setPageStep(1);
    m_scroll->setValue(m_exchange.position());
    m_scroll->setGeometry(15, 22, 78, 18);
    // A scroll bar takes no focus by default: this one is a control, reached by Tab and moved by
    // the arrow keys.
    m_scroll->setFocusPolicy(Qt::StrongFocus);
    // A scroll bar's keys are inverted by default; here Right and Up lengthen the period, as "+" says.
    m_scroll->setInvertedControls(false);
    m_controls.append(m_scroll);
    addLabel(interval, QStringLiteral("plus"), QStringLiteral("+"), QRect(94, 22, 10, 18), Qt::AlignCenter);
    // The period the scroll bar sets, in seconds.
    m_period = addLabel(interval, QStringLiteral("PeriodValue"), QString(), QRect(105, 22, 42, 18),
                        Qt::AlignRight | Qt::AlignVCenter);
    m_period->setAccessibleName(QStringLiteral("Период опроса"));
    connect(m_scroll, &QScrollBar::valueChanged, &m_exchange, &MonitorExchange::setPosition);

    const auto addButton = [this](const QString &name, const QString &caption, const QRect &geometry) {
        auto *button = new QPushButton(caption, this);
        button->setObjectName(name);
        button->setAccessibleName(caption);
        button->setGeometry(geometry);
        return button;
    };
    const int left = kRight + 156;
    const int width = kRightWidth - 156;
    m_start = addButton(QStringLiteral("Command1"), QStringLiteral("Старт"), QRect(left, kBottomTop + 2, width / 2 - 3, 26));
    m_stop = addButton(QStringLiteral("Command2"), QStringLiteral("Стоп"),
                       QRect(left + width / 2 + 3, kBottomTop + 2, width - width / 2 - 3, 26));
    m_controls << m_start << m_stop;
    // The trend and the journal stay usable off line: the readings before a lost link are what an
    // installer chasing a fault wants to keep.
    m_journal = addButton(QStringLiteral("Command3"), QStringLiteral("Сохранить журнал"),
                          QRect(left, kBottomTop + 32, width, 24));
    connect(m_start, &QPushButton::clicked, &m_exchange, &MonitorExchange::Command1_Click);
    connect(m_stop, &QPushButton::clicked, &m_exchange, &MonitorExchange::Command2_Click);
    connect(m_journal, &QPushButton::clicked, this, [this] { m_exchange.saveJournal(m_dialogs, m_folder); });
}

QLabel *MonitorPage::valueLabel(const QString &array, int index) const
{
    return findChild<QLabel *>(array + QLatin1Char('_') + QString::number(index));
}

void MonitorPage::showControls()
{
    m_start->setEnabled(m_exchange.startEnabled());
    m_stop->setEnabled(m_exchange.stopEnabled());
    if (m_scroll->value() != m_exchange.position()) {
        const QSignalBlocker blocker(m_scroll);
        m_scroll->setValue(m_exchange.position());
    }
    showText(m_period, periodText(m_exchange.PeriodOprosa(), m_exchange.locale()));
}

void MonitorPage::showLive()
{
    // Readings from before the link went or polling stopped keep their text, in the grey of the
    // other greyed value displays; enabled or not (the status panel keeps them disabled), live
    // readings are drawn in the normal text colour.
    const bool live = m_exchange.readingsLive();
    for (QLabel *label : std::as_const(m_values)) {
        QPalette palette = label->palette();
        const QColor text = live ? QPalette().color(QPalette::Active, QPalette::WindowText) : Page::greyedText();
        if (palette.color(QPalette::Disabled, QPalette::WindowText) == text
            && palette.color(QPalette::Active, QPalette::WindowText) == text)
            continue;
        for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
            for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text})
                palette.setColor(group, role, text);
        label->setPalette(palette);
    }
}

void MonitorPage::showNotice()
{
    // A notice longer than its room is elided and told whole in the tooltip.
    const QString text = m_exchange.notice();
    const QString shown = m_notice->fontMetrics().elidedText(text, Qt::ElideRight, m_notice->contentsRect().width());
    showText(m_notice, shown);
    m_notice->setAccessibleDescription(text);
    m_notice->setToolTip(shown == text ? QString() : text);
}

void MonitorPage::showJournalFile()
{
    const QString file = m_exchange.journalFile();
    const QString problem = m_exchange.journalProblem();
    const QString text = !problem.isEmpty() ? problem
        : file.isEmpty()                    ? kJournalFileNone
                                            : kJournalFileText.arg(QDir::toNativeSeparators(file));
    // The folder is long: the file's own name stays in sight, the whole text in the tooltip.
    const QString shown =
        m_journalFile->fontMetrics().elidedText(text, Qt::ElideMiddle, m_journalFile->contentsRect().width());
    showText(m_journalFile, shown);
    m_journalFile->setAccessibleDescription(text);
    m_journalFile->setToolTip(shown == text ? QString() : text);
    QPalette palette = m_journalFile->palette();
    palette.setColor(QPalette::WindowText, problem.isEmpty() ? QPalette().color(QPalette::WindowText) : QColor(Qt::red));
    m_journalFile->setPalette(palette);
}

void MonitorPage::showLayout()
{
    const MonitorDecoder::Layout &layout = m_exchange.layout();
    for (int row = 1; row <= MonitorReadings::kInputs; ++row) {
        const bool visible = layout[row].visible;
        valueLabel(QStringLiteral("Label3"), row)->setText(layout[row].caption);
        // Hidden rows give up their names, so every name on the page belongs to one shown value.
        const QString name = visible ? rowName(layout[row].caption) : QString();
        const QStringList arrays{QStringLiteral("Label8"), QStringLiteral("Label11"), QStringLiteral("Label12"),
                                 QStringLiteral("Label15")};
        const QStringList columns{QStringLiteral(" Вольт"), QStringLiteral(" %"), QStringLiteral(" Норма"),
                                  QStringLiteral(" Сост.")};
        for (int c = 0; c < arrays.size(); ++c) {
            QLabel *label = valueLabel(arrays.at(c), row);
            label->setVisible(visible);
            label->setAccessibleName(visible ? name + columns.at(c) : QString());
        }
    }
    for (ModelPictureWidget *picture : std::as_const(m_pictures))
        picture->setVisible(picture->index() == m_exchange.pictureIndex());
    m_trend->setRows(layout);
}

void MonitorPage::showReadings()
{
    const MonitorReadings &r = m_exchange.readings();
    for (int row = 1; row <= MonitorReadings::kRows; ++row) {
        showText(valueLabel(QStringLiteral("Label8"), row), r.volt[row]);
        showText(valueLabel(QStringLiteral("Label11"), row), r.percent[row]);
    }
    for (int input = 1; input <= MonitorReadings::kInputs; ++input) {
        showText(valueLabel(QStringLiteral("Label12"), input), r.range[input]);
        showText(valueLabel(QStringLiteral("Label15"), input), r.state[input]);
    }
    showText(valueLabel(QStringLiteral("Label8"), 14), r.battery);
    showText(valueLabel(QStringLiteral("Label8"), 15), r.supply);
    showText(valueLabel(QStringLiteral("Label8"), 17), r.cpu);
    for (int n = 1; n <= MonitorReadings::kSensors; ++n)
        showText(valueLabel(QStringLiteral("Label8"), 20 + n), r.sensors[n]);
}

void MonitorPage::updateBand()
{
    const int row = m_trend->selectedRow();
    if (row < 1 || row > MonitorReadings::kInputs) {
        m_trend->setBand(std::nullopt, std::nullopt);
        return;
    }
    m_trend->setBand(MonitorDecoder::leadingNumber(m_exchange.thresholdText(row, false)),
                     MonitorDecoder::leadingNumber(m_exchange.thresholdText(row, true)));
}

void MonitorPage::setOnline(bool online)
{
    static const QStringList valueArrays{QStringLiteral("Label8_"), QStringLiteral("Label11_"),
                                         QStringLiteral("Label12_"), QStringLiteral("Label15_")};
    for (QWidget *control : std::as_const(m_controls)) {
        if (online) {
            const QString name = control->objectName();
            const bool isValue = std::any_of(valueArrays.cbegin(), valueArrays.cend(),
                                             [&name](const QString &prefix) { return name.startsWith(prefix); });
            if (control == m_start || isValue)
                continue;
        }
        control->setEnabled(online);
    }
    if (online)
        m_exchange.goOnline();
    else
        m_exchange.goOffline();
    showControls();
}

void MonitorPage::Form_Activate()
{
    m_exchange.Form_Activate();
}

void MonitorPage::Form_Deactivate()
{
    m_exchange.Form_Deactivate();
}

void MonitorPage::Form_Unload()
{
    m_exchange.Form_Unload();
}
