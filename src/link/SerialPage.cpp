#include "link/SerialPage.h"
#include "link/CommandQueue.h"
#include "link/OperationTags.h"
#include "link/SerialLink.h"
#include "link/UnitSettings.h"
#include <QComboBox>
#include <QGroupBox>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextEdit>

namespace {
// Geometry in twips, as the page is laid out.
QRect tw(int left, int top, int width, int height)
{
    return QRect(Page::px(left), Page::px(top), Page::px(width), Page::px(height));
}

template <typename W>
W *make(QWidget *parent, const QString &name, const QRect &geometry)
{
    auto *w = new W(parent);
    w->setObjectName(name);
    w->setGeometry(geometry);
    return w;
}

QLabel *label(QWidget *parent, const QString &name, const QString &text, const QRect &geometry)
{
    auto *l = make<QLabel>(parent, name, geometry);
    l->setText(text);
    return l;
}

QPushButton *button(QWidget *parent, const QString &name, const QString &text, const QRect &geometry)
{
    auto *b = make<QPushButton>(parent, name, geometry);
    b->setText(text);
    return b;
}

void helpFrame(QWidget *parent, int n, const QString &caption, const QString &text, int top)
{
    auto *frame = make<QGroupBox>(parent, QStringLiteral("Frame%1").arg(n), tw(4680, top, 4080, 1740));
    frame->setTitle(caption);
    auto *box = make<QTextEdit>(frame, QStringLiteral("RichTextBox%1").arg(n), tw(90, 300, 3900, 1350));
    box->setReadOnly(true);
    box->setPlainText(text);
}

// True when the items changed.
bool setItems(QComboBox *combo, const QStringList &items)
{
    QStringList current;
    for (int i = 0; i < combo->count(); ++i)
        current << combo->itemText(i);
    if (current == items)
        return false;
    combo->clear();
    combo->addItems(items);
    return true;
}
}

SerialPage::SerialPage(SerialLink &link, QWidget *parent)
    : Page(QStringLiteral("RPF_02"), QStringLiteral("Соединение с компьютером"), parent), m_link(link)
{
    m_command1 = button(this, QStringLiteral("Command1"), QStringLiteral("Найти устройство автоматически"),
                        tw(240, 480, 4200, 390));
    m_command3 = button(this, QStringLiteral("Command3"), QStringLiteral("Найти устройство"), tw(240, 960, 4200, 390));

    m_frame = make<QGroupBox>(this, QStringLiteral("Рамка1"), tw(240, 1500, 4200, 1860));
    m_frame->setTitle(QStringLiteral("Задать параметры вручную"));
    label(m_frame, QStringLiteral("Label1"), QStringLiteral("Номер порта"), tw(150, 420, 2000, 330));
    m_combo1 = make<QComboBox>(m_frame, QStringLiteral("Combo1"), tw(2250, 390, 1800, 360));
    m_combo1->setEditable(true);
    // A typed port number selects that port; it is not added to the list, and nothing else is taken.
    m_combo1->setInsertPolicy(QComboBox::NoInsert);
    m_combo1->setValidator(new QIntValidator(1, 32767, m_combo1));
    label(m_frame, QStringLiteral("Label2"), QStringLiteral("Скорость"), tw(150, 900, 2000, 330));
    m_combo2 = make<QComboBox>(m_frame, QStringLiteral("Combo2"), tw(2250, 870, 1800, 360));
    // The speed comes from the settings file only.
    m_combo2->setEnabled(false);
    label(m_frame, QStringLiteral("Label3"), QStringLiteral("Контроль передачи"), tw(150, 1380, 2000, 330));
    m_combo3 = make<QComboBox>(m_frame, QStringLiteral("Combo3"), tw(2250, 1350, 1800, 360));
    m_combo3->addItems(UnitSettings::kHandshakeItems);
    m_combo3->setItemData(3, QStringLiteral("Аппаратный контроль RTS/CTS; программный XON/XOFF вместе с ним не поддерживается"),
                          Qt::ToolTipRole);

    m_open = button(this, QStringLiteral("Комманда2"), QStringLiteral("Открыть порт"), tw(240, 3480, 2040, 390));
    m_close = button(this, QStringLiteral("Комманда3"), QStringLiteral("Закрыть порт"), tw(2400, 3480, 2040, 390));
    m_save = button(this, QStringLiteral("Command2"), QStringLiteral("Сохранить настройки"), tw(240, 3960, 4200, 390));

    label(this, QStringLiteral("Метка1"), QStringLiteral("Параметры: "), tw(240, 4530, 1800, 330));
    m_settingsValue = label(this, QStringLiteral("Label4"), QString(), tw(2100, 4530, 2340, 330));
    greyValueDisplay(m_settingsValue);
    label(this, QStringLiteral("Метка2"), QStringLiteral("Состояние порта: "), tw(240, 4920, 1800, 330));
    m_stateValue = label(this, QStringLiteral("Label5"), QString(), tw(2100, 4920, 2340, 330));
    greyValueDisplay(m_stateValue);

    helpFrame(this, 1, QStringLiteral("Шаг 1"),
              QStringLiteral("Установите драйвер USB-COM адаптера. Это делается один раз: запустите программу "
                             "установки из папки драйвера Prolific PL2303."),
              480);
    helpFrame(this, 2, QStringLiteral("Шаг 2"),
              QStringLiteral("Соедините USB-разъем устройства с компьютером и дождитесь, пока компьютер "
                             "распознает USB-устройство."),
              2280);
    helpFrame(this, 3, QStringLiteral("Шаг 3"),
              QStringLiteral("Подключите устройство к штатному блоку питания. При включенном автоматическом поиске "
                             "дождитесь установления связи или задайте параметры соединения вручную."),
              4080);

    connect(m_command1, &QPushButton::clicked, this, &SerialPage::Command1_Click);
    connect(m_command3, &QPushButton::clicked, this, &SerialPage::Command3_Click);
    connect(m_save, &QPushButton::clicked, this, &SerialPage::Command2_Click);
    connect(m_open, &QPushButton::clicked, this, &SerialPage::Komanda2_Click);
    connect(m_close, &QPushButton::clicked, this, &SerialPage::Komanda3_Click);

    connect(m_combo1, &QComboBox::activated, this, [this](int index) {
        m_link.choices().setPortText(m_combo1->itemText(index));
        choiceMade();
    });
    connect(m_combo1, &QComboBox::editTextChanged, this, [this](const QString &text) {
        // Half-typed numbers beyond the last port are not taken.
        if (!m_refreshing && (text.isEmpty() || m_combo1->lineEdit()->hasAcceptableInput()))
            m_link.choices().setPortText(text);
    });
    connect(m_combo3, &QComboBox::activated, this, [this](int index) {
        m_link.choices().setHandshakeIndex(index);
        choiceMade();
    });
    connect(&m_link, &SerialLink::stateChanged, this, &SerialPage::refresh);
    refresh();
}

void SerialPage::choiceMade()
{
    // There are unsaved changes.
    m_save->setEnabled(true);
}

void SerialPage::refresh()
{
    m_refreshing = true;
    // The tooltips look at the ports folder: only when the items or the devices changed.
    if (setItems(m_combo1, m_link.choices().portItems()))
        updatePortToolTips();
    if (m_combo1->currentText() != m_link.choices().portText())
        m_combo1->setEditText(m_link.choices().portText());
    setItems(m_combo2, m_link.choices().speedItems());
    m_combo2->setCurrentIndex(m_link.choices().speedIndex());
    m_combo3->setCurrentIndex(m_link.choices().handshakeIndex());
    m_refreshing = false;

    const bool open = m_link.isOpen();
    m_open->setEnabled(!open);
    m_close->setEnabled(open);
    m_settingsValue->setText(m_link.settingsText());
    m_stateValue->setText(m_link.portStateText());
    m_stateValue->setToolTip(m_link.portStateToolTip());
}

void SerialPage::setPortToolTips(std::function<QString(int)> toolTip)
{
    m_portToolTip = std::move(toolTip);
    updatePortToolTips();
}

void SerialPage::updatePortToolTips()
{
    if (!m_portToolTip)
        return;
    for (int i = 0; i < m_combo1->count(); ++i)
        m_combo1->setItemData(i, m_portToolTip(SerialLink::numericValue(m_combo1->itemText(i))), Qt::ToolTipRole);
}

void SerialPage::Form_Activate()
{
    m_save->setEnabled(false);
    m_link.OtobrazitSostojaniePorta();
    m_link.RPF_02ComError = 0;
}

void SerialPage::Command1_Click()
{
    emit autoSearchRequested();
}

void SerialPage::setSaveEnabled(bool enabled)
{
    m_save->setEnabled(enabled);
}

void SerialPage::Command2_Click()
{
    // Greyed first: a save that fails offers the button again.
    m_save->setEnabled(false);
    emit saveRequested();
    m_link.OtobrazitSostojaniePorta();
}

void SerialPage::Command3_Click()
{
    emit closedByUser(false);
    m_link.queue().post(Cmd::PoiskUstroistva);
}

void SerialPage::Komanda2_Click()
{
    emit closedByUser(false);
    const int chosen = SerialLink::numericValue(m_link.choices().portText());
    if (chosen > 0)
        m_link.UsbComPortNumber = chosen;
    m_link.OpenUsbComPort(QString::number(m_link.UsbComPortNumber));
}

void SerialPage::Komanda3_Click()
{
    emit closedByUser(true);
    m_link.CloseUsbComPort();
}
