#pragma once
#include <QString>

// Why a port could not be opened, in words a service engineer can act on: the number with the
// device behind it, the classic error number, the reason in Russian with the system's own words,
// and what to do about it.
namespace PortProblem {

enum class Kind {
    None,
    NoDevice,       // nothing at the device path: adapter unplugged, or named otherwise
    Busy,           // another program holds the port
    NoPermission,   // the user may not open the device
    Other,
};

// The kind behind a classic error number. A refused open (8010) is Busy when the user could open
// the device (so something else holds it), NoPermission otherwise.
Kind kindOf(int classicError, bool deviceAccessible);
// "нет устройства", "порт занят другой программой", "нет прав на доступ к порту"; empty for Other.
QString reason(Kind kind);
// The port's error text: the reason, then the system's own words ("порт занят другой программой:
// Permission error while locking the device"); the system's words alone for Other.
QString textFor(Kind kind, const QString &systemText);
// "Com1 = /dev/ttyUSB0: Error 8010, " and the port's error text.
QString describe(int number, const QString &device, int classicError, const QString &errorText);
// What to do: close the other program; join the dialout group; point Service/ports/COM<N> at an
// adapter of another name. Empty when there is nothing to advise.
QString advice(int number, Kind kind, const QString &portsFolder);

}
