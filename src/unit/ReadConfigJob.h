#pragma once
#include "unit/UnitJob.h"

// An identified unit's configuration into a .cf file, through the window's own copy routine (the
// file dialogs answer with `file`): the earlier file stays unless the whole read succeeds.
class ReadConfigJob : public UnitJob {
    Q_OBJECT
public:
    ReadConfigJob(UnitSession &unit, UnitMessages &messages, QString file, QObject *parent = nullptr);
    void start() override;

private:
    QString m_file;
};
