#pragma once
#include "config/ConfigImage.h"
#include "editors/ConfigFields.h"
#include "unit/UnitJob.h"
#include <QByteArray>
#include <QString>
#include <functional>

class UnitsTable;

// One unit on the bench, once identified: its configuration read (kept as the copy before the
// write), its model checked against the template's, its IMEI read, its row of UNITS.csv applied to
// the template with its own IMEI cells kept, the result written and read back to compare. A unit of
// another model, or without a row when rows are given, is refused before anything is sent.
class BenchJob : public UnitJob {
    Q_OBJECT
public:
    enum class Outcome { Written, Refused, Failed, AlreadyDone };

    inline static const QString kAlreadyDone = QStringLiteral("уже настроено");
    inline static const QString kNoRow = QStringLiteral("нет строки для IMEI %1");
    inline static const QString kNoImei = QStringLiteral("IMEI не прочитан");
    inline static const QString kWritten = QStringLiteral("записано и проверено");

    struct Setup {
        ConfigImage templateImage;           // the template: its memory and, when it names one, its model
        QByteArray templateModel;            // the template's two model bytes; empty when it has none
        const UnitsTable *table = nullptr;   // the rows of --fields; null: the template for every unit
        // Whether a unit of this IMEI was already served in this run.
        std::function<bool(const QString &imei)> served;
    };

    // The unit's IMEI cells, as a unit keeps them.
    static constexpr int kImeiFirst = 2353;
    static constexpr int kImeiLast = 2367;

    BenchJob(UnitSession &unit, UnitMessages &messages, Setup setup, QObject *parent = nullptr);
    void start() override;

    Outcome outcome() const { return m_outcome; }
    // As the unit's information page shows them ("не зарегистрирован" for an IMEI never set); empty
    // before the read.
    QString imei() const { return m_imei; }
    QString model() const { return m_model; }
    // Where the unit's configuration before the write is kept; empty when nowhere.
    QString copy() const { return m_copy; }
    // The outcome in a few words: "записано и проверено", "отказ: другая модель", "ошибка передачи".
    QString brief() const { return m_brief; }

    // What a unit gets: the template, the row's values stored as the pages store them, and the
    // unit's own IMEI cells. Refused values (none after UnitsTable checked them) say why.
    static ConfigImage composed(const ConfigImage &templateImage, const QList<ConfigFields::Assignment> &row,
                                const ConfigImage &unitImage, QList<ConfigFields::Refusal> *refused = nullptr);

private:
    void checked();
    void write();
    void verify();
    void end(Outcome outcome, int code, const QString &text, const QString &brief);

    Setup m_setup;
    ConfigImage m_target;
    Outcome m_outcome = Outcome::Failed;
    QString m_imei;
    QString m_model;
    QString m_copy;
    QString m_brief;
};
