// serial-probe: drives the machine's NativeSerialPort one step per line of standard input, so that
// a peer on the other end of the line (tests/wine/serial_port_test.py) can check what each call
// does. Every answer is one line, flushed at once:
//   open PORT BAUD   -> "open <error>"
//   read N           -> "read <count> <milliseconds> <hex bytes>"
//   write HEX        -> "write <count> <milliseconds>"
//   close            -> "close"
//   purge            -> "purge"
//   wake             -> "wake"           (Wake from this thread, before any read)
//   wakeafter MS     -> "wakeafter"      (Wake from another thread MS milliseconds later)
//   clearwake        -> "clearwake"
//   quit ends the program.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "serial/NativeSerialPort.h"

namespace {

long long MillisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start)
        .count();
}

std::string Hex(const std::uint8_t* bytes, int count) {
    std::string text;
    char digits[3];
    for (int i = 0; i < count; ++i) {
        std::snprintf(digits, sizeof(digits), "%02X", static_cast<unsigned>(bytes[i]));
        text += digits;
    }
    return text.empty() ? "-" : text;
}

std::vector<std::uint8_t> FromHex(const std::string& text) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(text.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

}  // namespace

int main() {
    uhf::NativeSerialPort port;
    std::vector<std::thread> wakers;
    std::string line;
    while (std::getline(std::cin, line)) {
        std::istringstream in(line);
        std::string command;
        in >> command;
        if (command == "open") {
            std::string name;
            int baud = 0;
            in >> name >> baud;
            std::cout << "open " << uhf::ToString(port.Open(name, baud)) << std::endl;
        } else if (command == "read") {
            int count = 0;
            in >> count;
            std::vector<std::uint8_t> buffer(static_cast<std::size_t>(count > 0 ? count : 1));
            const auto start = std::chrono::steady_clock::now();
            const int got = port.Read(buffer.data(), count);
            std::cout << "read " << got << " " << MillisecondsSince(start) << " "
                      << Hex(buffer.data(), got > 0 ? got : 0) << std::endl;
        } else if (command == "write") {
            std::string hex;
            in >> hex;
            const std::vector<std::uint8_t> bytes = FromHex(hex);
            const auto start = std::chrono::steady_clock::now();
            const int done = port.Write(bytes.data(), static_cast<int>(bytes.size()));
            std::cout << "write " << done << " " << MillisecondsSince(start) << std::endl;
        } else if (command == "close") {
            port.Close();
            std::cout << "close" << std::endl;
        } else if (command == "purge") {
            port.Purge();
            std::cout << "purge" << std::endl;
        } else if (command == "wake") {
            port.Wake();
            std::cout << "wake" << std::endl;
        } else if (command == "wakeafter") {
            int ms = 0;
            in >> ms;
            wakers.emplace_back([&port, ms] {
                std::this_thread::sleep_for(std::chrono::milliseconds(ms));
                port.Wake();
            });
            std::cout << "wakeafter" << std::endl;
        } else if (command == "clearwake") {
            port.ClearWake();
            std::cout << "clearwake" << std::endl;
        } else if (command == "quit") {
            break;
        } else {
            std::cout << "unknown " << command << std::endl;
        }
    }
    for (std::thread& waker : wakers) {
        waker.join();
    }
    return 0;
}
