#include "serial/PosixSpeed.h"

namespace uhf {

namespace {

struct SpeedPair {
    speed_t speed;
    int baud;
};

constexpr SpeedPair kSpeeds[] = {
    {B1200, 1200},   {B2400, 2400},   {B4800, 4800},     {B9600, 9600},     {B19200, 19200},
    {B38400, 38400}, {B57600, 57600}, {B115200, 115200}, {B230400, 230400},
};

}  // namespace

std::optional<speed_t> SpeedForBaud(int baud) {
    for (const SpeedPair& p : kSpeeds) {
        if (p.baud == baud) {
            return p.speed;
        }
    }
    return std::nullopt;
}

int BaudForSpeed(speed_t speed) {
    for (const SpeedPair& p : kSpeeds) {
        if (p.speed == speed) {
            return p.baud;
        }
    }
    return 0;
}

}  // namespace uhf
