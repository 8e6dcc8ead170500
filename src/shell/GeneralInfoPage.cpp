#include "shell/GeneralInfoPage.h"
#include <QGroupBox>
#include <QLabel>

GeneralInfoPage::GeneralInfoPage(QWidget *parent)
    : Page(QStringLiteral("RPF_01"), QStringLiteral("Общие сведения"), parent)
{
    auto *frame = new QGroupBox(this);
    frame->setObjectName(QStringLiteral("Frame1"));
    frame->setGeometry(px(300), px(600), px(8400), px(5100));
    auto *text = new QLabel(QStringLiteral("Если Вы не имеете опыта настройки системы - воспользуйтесь мастером. "
                                           "Он поможет Вам пройти все этапы настройки."),
                            frame);
    text->setObjectName(QStringLiteral("Label1"));
    text->setWordWrap(true);
    text->setGeometry(px(240), px(300), px(7900), px(900));
    auto *picture = new QLabel(QStringLiteral("ЗОРГЕЛ"), frame);
    picture->setObjectName(QStringLiteral("Image1"));
    picture->setAlignment(Qt::AlignCenter);
    picture->setFrameShape(QFrame::Box);
    picture->setGeometry(px(2400), px(1500), px(3600), px(3000));
}
