#include "shell/BoxMessageSink.h"
#include <QMessageBox>

void BoxMessageSink::show(const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Тарвикс"), text, QMessageBox::Ok, m_parent);
    box.exec();
}
