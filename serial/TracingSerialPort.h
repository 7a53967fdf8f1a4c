#pragma once

#include <atomic>
#include <memory>

#include "serial/SerialPort.h"
#include "serial/TraceLog.h"

namespace uhf {

// A serial port that tells `trace` everything that crosses it: every byte read and written, cut
// into frames, the opening and closing, and a read that found nothing in its time ("time-out").
// A read that a Wake cut short is no time-out, nor is one that began before the last write: its
// silence says nothing of the answer. It changes nothing of what is sent or read.
class TracingSerialPort : public SerialPort {
  public:
    // `trace` must outlive the port.
    TracingSerialPort(std::unique_ptr<SerialPort> port, TraceLog& trace);

    SerialError Open(const std::string& device, int baudRate) override;
    void Close() override;
    bool IsOpen() const override { return port->IsOpen(); }
    int Read(std::uint8_t* buffer, int count) override;
    int Write(const std::uint8_t* bytes, int count) override;
    void Purge() override;
    void Wake() override;
    void ClearWake() override;

  private:
    std::unique_ptr<SerialPort> port;
    TraceLog& trace;
    std::atomic<bool> woken{false};
    std::atomic<unsigned> writes{0};
};

}  // namespace uhf
