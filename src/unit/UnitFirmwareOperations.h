#pragma once
#include "firmware/FirmwareOperations.h"
#include "unit/UnitMessages.h"
#include <memory>

class FirmwareJob;
class UnitSession;

// The firmware page's operations as the command line's firmware jobs, on the window's unit.
class UnitFirmwareOperations : public FirmwareOperations {
    Q_OBJECT
public:
    explicit UnitFirmwareOperations(UnitSession &unit, QObject *parent = nullptr);
    ~UnitFirmwareOperations() override;

    void start(Kind kind, const QString &file, int unit) override;
    bool running() const override;

private:
    UnitSession &m_unit;
    // The job's record of what the routines said stays empty: they tell the user in the window's boxes.
    UnitMessages m_record;
    std::unique_ptr<FirmwareJob> m_job;
};
