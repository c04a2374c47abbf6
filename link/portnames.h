#pragma once
#include <QString>

// The forty COM names the port list offers and the devices they stand for.
namespace link {

// "COM1" .. "COM40" for index 0..39.
QString comname(int index);

// The device opened for COM(index+1); empty for an index outside 0..39.
// Windows: "\\.\COMn".  Elsewhere: the device behind the link COMn in portfolder() where that
// link exists, else the fixed table COM1-8 /dev/ttyS0-7, COM9-24 /dev/ttyUSB0-15,
// COM25-40 /dev/ttyACM0-15.
QString portname(int index);

// Where links COM1 .. COM40 may point the tool at other devices (not used on Windows):
// $XDG_DATA_HOME/virelan2/ports, or ~/.local/share/virelan2/ports without XDG_DATA_HOME.
QString portfolder();

} // namespace link
