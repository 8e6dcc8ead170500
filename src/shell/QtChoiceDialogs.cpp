#include "shell/QtChoiceDialogs.h"
#include <QInputDialog>

std::optional<int> QtChoiceDialogs::choose(const QString &title, const QString &label, const QStringList &items)
{
    if (items.isEmpty())
        return std::nullopt;
    QInputDialog dialog(m_parent);
    dialog.setWindowTitle(title);
    dialog.setLabelText(label);
    dialog.setComboBoxItems(items);
    dialog.setComboBoxEditable(false);
    dialog.setOption(QInputDialog::UseListViewForComboBoxItems);
    dialog.setOkButtonText(QStringLiteral("Записать"));
    dialog.setCancelButtonText(QStringLiteral("Отмена"));
    dialog.setAccessibleName(title);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const int index = int(items.indexOf(dialog.textValue()));
    return index < 0 ? std::nullopt : std::optional<int>(index);
}
