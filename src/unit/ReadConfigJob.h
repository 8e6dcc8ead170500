#pragma once
#include "unit/UnitJob.h"
#include <QByteArray>
#include <memory>

// An identified unit's configuration into a .cf file, through the window's own copy routine (the
// file dialogs answer with `file`): the earlier file stays unless the whole read succeeds and its
// model cells name a model (or `force` says to keep it all the same).
class ReadConfigJob : public UnitJob {
    Q_OBJECT
public:
    inline static const QString kUnknownModel =
        QStringLiteral("Внимание: ячейки модели 2369–2370 (%1 %2) не называют ни одной известной модели: возможно, "
                       "ответ не от устройства ЗОРГЕЛ или порт настроен на другую скорость. Проверьте файл перед записью.");
    inline static const QString kSaveAnyway = QStringLiteral("Сохранить всё же: --force.");

    ReadConfigJob(UnitSession &unit, UnitMessages &messages, QString file, bool force = false,
                  QObject *parent = nullptr);
    void start() override;

private:
    void warnUnknownModel();

    QString m_file;
    bool m_force;
    std::shared_ptr<QByteArray> m_tail = std::make_shared<QByteArray>();   // the model cells read
};
