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
    // What the job's routines said goes to the window's boxes; the job keeps its own record here.
    UnitMessages m_record;
    std::unique_ptr<FirmwareJob> m_job;
};
