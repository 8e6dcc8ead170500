#pragma once
#include "config/ConfigOperations.h"
#include "unit/UnitMessages.h"
#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class ChoiceDialogs;
class UnitJob;
class UnitSession;
class WriteConfigJob;

// The window's configuration work on its unit, run by the command line's jobs: "Прочитать" is the
// read `find` makes; "Записать" and a restore are write-config's job with its read first (kept as
// the copy before the write), the model check, and the unit read back. The reads of a write go
// into a side buffer, never into the image the pages show. One job at a time; the supervision
// pauses meanwhile, so no search or monitoring request comes between its steps.
class WindowOperations : public QObject, public ConfigOperations {
    Q_OBJECT
public:
    inline static const QString kUnitChanged =
        QStringLiteral("Пока программа ждала ответа, связь с устройством прервалась или устройство найдено заново. "
                       "Ничего не прочитано и не записано: повторите, когда устройство будет обнаружено.");
    inline static const QString kBusy =
        QStringLiteral("Устройство занято другим обменом: повторите, когда он закончится.");
    inline static const QString kReadNamesNoModel = QStringLiteral(
        "Ячейки модели 2369–2370 прочитанной конфигурации (%1 %2) не называют ни одной известной модели: возможно, "
        "ответило не устройство ЗОРГЕЛ или порт настроен на другую скорость. Не записывайте эту конфигурацию в "
        "устройство, не проверив её.");
    inline static const QString kWriteNamesNoModel = QStringLiteral(
        "Ячейки модели 2369–2370 конфигурации в памяти программы (%1 %2) не называют ни одной известной модели: "
        "возможно, она прочитана не из устройства ЗОРГЕЛ или на другой скорости порта.\n"
        "Записать её в устройство?");
    inline static const QString kOtherUnit = QStringLiteral(
        "Конфигурация в памяти программы прочитана из устройства \"%1\" (IMEI %2), а подключено устройство \"%3\" "
        "(IMEI %4) той же модели.\nЗаписать конфигурацию устройства \"%1\" в устройство \"%3\"?");
    inline static const QString kNotReadFirst = QStringLiteral(
        "Конфигурацию устройства не удалось прочитать перед записью: в устройство ничего не записано.");
    inline static const QString kWindowRefusal = QStringLiteral(
        "Из окна программы такая конфигурация не записывается; записать её всё же можно только командой "
        "tarviks-cli write-config с --force.");
    inline static const QString kWrittenChecked = QStringLiteral(
        "Записано успешно!\nПамять устройства прочитана после записи: она совпадает с записанной конфигурацией.");
    inline static const QString kMismatch = QStringLiteral(
        "Ошибка при записи! Память устройства, прочитанная после записи, отличается от записанной конфигурации "
        "в %1 ячейках из 2368.");
    inline static const QString kRestoreHint =
        QStringLiteral("Записать её обратно: меню \"Устройство\", \"Восстановить из копии…\".");
    inline static const QString kRestoreTitle = QStringLiteral("Восстановить из копии");
    inline static const QString kRestoreLabel = QStringLiteral(
        "Копии конфигурации устройства \"%1\", новые сначала.\nВыбранная будет записана в устройство; его "
        "нынешняя конфигурация\nсохранится как копия \"до записи\".");
    inline static const QString kNoCopies = QStringLiteral("Копий конфигурации устройства \"%1\" нет в папке\n%2");
    inline static const QString kRestoredShown = QStringLiteral(
        "Записано успешно! Копия \"%1\" записана в устройство, память устройства проверена. Страницы "
        "показывают её.");
    inline static const QString kRestored = QStringLiteral(
        "Записано успешно! Копия \"%1\" записана в устройство, память устройства проверена.\n"
        "Чтобы увидеть её на страницах, нажмите \"Прочитать\".");

    WindowOperations(UnitSession &unit, ChoiceDialogs &choices, QObject *parent = nullptr);
    ~WindowOperations() override;

    void read(int identification) override;
    void write(int identification) override;
    // "Восстановить из копии…": one of the connected unit's kept copies, chosen from a list, is
    // written through the same write.
    void restore();

    bool running() const { return m_job != nullptr; }

signals:
    // A job holds the unit: the pages are locked meanwhile.
    void busyChanged(bool busy);
    // A write read the unit back: what the comparison found, for the commissioning report.
    void readBackChecked(const QString &text);

private:
    // The one check that the unit answering is the one the user was asked about.
    bool onTheUnitAskedFor();
    void run(std::unique_ptr<UnitJob> job, std::function<void(UnitJob &)> done);
    void startWrite(const QList<QByteArray> &blocks, const QByteArray &model, const QString &source, bool fromImage,
                    bool force);
    bool beforeWrite(WriteConfigJob &job, bool fromImage);
    void writeEnded(UnitJob &job, const QList<QByteArray> &blocks, bool fromImage);
    // The blocks read back from the unit become the image, as a read of it would.
    void tookAsRead(const QList<QByteArray> &blocks);

    UnitSession &m_unit;
    ChoiceDialogs &m_choices;
    UnitMessages m_jobMessages;
    std::unique_ptr<UnitJob> m_job;
    int m_identification = 0;
    bool m_resumeSupervision = false;
    bool m_writeStarted = false;
    QString m_shownCopy;   // the copy being restored, as its list showed it
    QByteArray m_writeModel;   // the model cells of what is being written
};
