#include "settings/SettingsPage.h"
#include "settings/ProgramOptions.h"
#include <QCheckBox>
#include <QPushButton>

SettingsPage::SettingsPage(ProgramOptions &options, QWidget *parent)
    : Page(QStringLiteral("RPF_19"), QStringLiteral("Настройки программы"), parent), m_options(options)
{
    const int left = px(360);
    const int width = px(kWidthTwips) - 2 * left;
    const int rowHeight = px(375);
    int top = px(720);
    // Shown in this order, not in the order of their numbers.
    for (int n : {1, 5, 4, 2, 3}) {
        auto *box = new QCheckBox(ProgramOptions::caption(n), this);
        box->setObjectName(QStringLiteral("Check%1").arg(n));
        box->setGeometry(left, top, width, rowHeight);
        box->setEnabled(ProgramOptions::isUserEditable(n));
        connect(box, &QCheckBox::clicked, this, [this, n] {
            // A click ticks an unticked box and unticks a ticked or greyed one.
            m_options.checkClicked(n, m_options.checkState(n) == 0 ? 1 : 0);
            showOptions();
        });
        m_checks[n - 1] = box;
        top += rowHeight;
    }

    m_save = new QPushButton(QStringLiteral("Сохранить настройки"), this);
    m_save->setObjectName(QStringLiteral("Command2"));
    m_save->setGeometry(left, top + px(240), px(2895), px(495));
    connect(m_save, &QPushButton::clicked, this, &SettingsPage::Command2_Click);

    connect(&m_options, &ProgramOptions::changed, this, &SettingsPage::showOptions);
    showOptions();
}

void SettingsPage::Form_Activate()
{
    m_options.Form_Activate();
    showOptions();
}

void SettingsPage::Command2_Click()
{
    // Greyed first: a save that fails offers the button again.
    m_options.setSaveEnabled(false);
    emit saveRequested();
}

void SettingsPage::showOptions()
{
    for (int n = 1; n <= ProgramOptions::kCount; ++n) {
        QCheckBox *box = m_checks[n - 1];
        const int state = m_options.checkState(n);
        // Greyed only when the file says so; the user toggles between ticked and unticked.
        box->setTristate(state == 2);
        box->setCheckState(state == 2 ? Qt::PartiallyChecked : state == 1 ? Qt::Checked : Qt::Unchecked);
    }
    m_save->setEnabled(m_options.saveEnabled());
}
