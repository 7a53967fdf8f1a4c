#pragma once

#include <cstdint>
#include <string>

#include "serial/SerialError.h"

namespace uhf {

// A blocking serial line with the reader's time-outs:
//   Read of k bytes returns when k bytes have arrived, when more than 50 ms pass between two
//   bytes once the first has come, or after k + 100 ms in all.
//   Write of k bytes gives up after 10 * k + 100 ms.
// Open sets 8 data bits, no parity, 1 stop bit, raw bytes, no flow control, DTR and RTS on, and
// holds the port exclusively. The link, the simulator and test fakes plug in here.
class SerialPort {
  public:
    static constexpr int kInterByteGapMs = 50;
    static constexpr int kReadTotalConstantMs = 100;
    static constexpr int kReadPerByteMs = 1;
    static constexpr int kWriteTotalConstantMs = 100;
    static constexpr int kWritePerByteMs = 10;

    virtual ~SerialPort() = default;

    // Opens `device` at `baudRate`; a port that was open is closed first.
    virtual SerialError Open(const std::string& device, int baudRate) = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;

    // Bytes read (0 on time-out), or -1 when the port failed (closed, vanished).
    virtual int Read(std::uint8_t* buffer, int count) = 0;

    // Bytes written before the time-out; -1 when the port failed.
    virtual int Write(const std::uint8_t* bytes, int count) = 0;

    // Discards every byte the port has received and not yet read.
    virtual void Purge() = 0;

    // Callable from any thread: the read in progress returns at once with what it has (0 when
    // nothing came). A wake that finds no read in progress makes the next read return at once,
    // so that a stop request made between a check and the read is not lost.
    virtual void Wake() = 0;
    // Forgets a wake that no read has taken yet.
    virtual void ClearWake() = 0;

    // Total time a read of `count` bytes may last, and a write of `count` bytes.
    static int ReadTotalTimeoutMs(int count) {
        return kReadPerByteMs * count + kReadTotalConstantMs;
    }
    static int WriteTotalTimeoutMs(int count) {
        return kWritePerByteMs * count + kWriteTotalConstantMs;
    }
};

}  // namespace uhf
