#pragma once
#include "unit/UnitJob.h"

// An identified unit's configuration into a .cf file, through the window's own copy routine (the
// file dialogs answer with `file`): the earlier file stays unless the whole read succeeds.
class ReadConfigJob : public UnitJob {
    Q_OBJECT
public:
    inline static const QString kUnknownModel =
        QStringLiteral("Внимание: ячейки модели 2369–2370 (%1 %2) не называют ни одной известной модели: возможно, "
                       "ответ не от устройства ЗОРГЕЛ или порт настроен на другую скорость. Проверьте файл перед записью.");

    ReadConfigJob(UnitSession &unit, UnitMessages &messages, QString file, QObject *parent = nullptr);
    void start() override;

private:
    void warnUnknownModel();

    QString m_file;
};
