#pragma once
#include "unit/UnitJob.h"

// What an identified unit is: its configuration read into the image and the device information
// filled from it (find, and the unit side of show and diff).
class ReadInfoJob : public UnitJob {
    Q_OBJECT
public:
    using UnitJob::UnitJob;
    void start() override;
};
