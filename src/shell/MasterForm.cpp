#include "shell/MasterForm.h"
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

MasterForm::MasterForm(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("MasterForm"));
    setWindowTitle(QStringLiteral("Мастер"));
    setAttribute(Qt::WA_DeleteOnClose);

    auto *frame = new QGroupBox(this);
    frame->setObjectName(QStringLiteral("Frame1"));
    auto *picture = new QLabel(frame);
    picture->setObjectName(QStringLiteral("Picture1"));
    picture->setAlignment(Qt::AlignCenter);
    picture->setText(QStringLiteral("ЗОРГЕЛ"));
    QFont big = picture->font();
    big.setPointSize(20);
    big.setBold(true);
    picture->setFont(big);
    auto *frameLayout = new QVBoxLayout(frame);
    frameLayout->addWidget(picture);

    auto *back = new QPushButton(QStringLiteral("< Назад"), this);
    back->setObjectName(QStringLiteral("Command1"));
    auto *next = new QPushButton(QStringLiteral("Вперед >"), this);
    next->setObjectName(QStringLiteral("Command2"));
    auto *cancel = new QPushButton(QStringLiteral("Отмена"), this);
    cancel->setObjectName(QStringLiteral("Command3"));
    connect(cancel, &QPushButton::clicked, this, &QWidget::close);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(back);
    buttons->addWidget(next);
    buttons->addWidget(cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(frame, 1);
    layout->addLayout(buttons);
    resize(600, 200);
}

void MasterForm::attachBelow(const QWidget *mainWindow)
{
    const QRect outer = mainWindow->frameGeometry();
    // resize() sets the inner width; the frame comes on top of it. Until the wizard has been shown
    // its own frame is unknown, and the main window's, drawn by the same window manager, stands in.
    const bool ownFrameKnown = isVisible() && frameGeometry().width() > width();
    const int frame = ownFrameKnown ? frameGeometry().width() - width() : outer.width() - mainWindow->width();
    move(outer.left(), outer.bottom() + 1);
    resize(qMax(1, outer.width() - frame), height());
}
