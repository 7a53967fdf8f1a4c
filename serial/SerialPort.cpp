#include "serial/SerialPort.h"

namespace uhf {

SerialPort::~SerialPort() = default;

}  // namespace uhf
