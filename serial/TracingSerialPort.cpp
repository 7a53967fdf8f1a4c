#include "serial/TracingSerialPort.h"

namespace uhf {

TracingSerialPort::TracingSerialPort(std::unique_ptr<SerialPort> inner, TraceLog& log)
    : port(std::move(inner)), trace(log) {}

SerialError TracingSerialPort::Open(const std::string& device, int baudRate) {
    if (port->IsOpen()) {
        Close();
    }
    const SerialError error = port->Open(device, baudRate);
    if (error == SerialError::None) {
        trace.Opened(device, baudRate);
    } else {
        trace.Event("open " + device + " failed: " + ToString(error));
    }
    return error;
}

void TracingSerialPort::Close() {
    if (port->IsOpen()) {
        trace.Closed();
    }
    port->Close();
}

int TracingSerialPort::Read(std::uint8_t* buffer, int count) {
    const unsigned writesBefore = writes;
    const int got = port->Read(buffer, count);
    if (got > 0) {
        trace.Bytes(TraceLog::Direction::In, buffer, static_cast<std::size_t>(got));
    } else if (got < 0) {
        trace.Event("read failed: the port is lost");
    } else if (!woken.exchange(false) && writes == writesBefore) {
        trace.Quiet(true);
    }
    return got;
}

int TracingSerialPort::Write(const std::uint8_t* bytes, int count) {
    const int written = port->Write(bytes, count);
    ++writes;
    if (written > 0) {
        trace.Bytes(TraceLog::Direction::Out, bytes, static_cast<std::size_t>(written));
    }
    if (written < count) {
        trace.Event(written < 0 ? "write failed: the port is lost"
                                : "write time-out: " + std::to_string(written) + " of " +
                                      std::to_string(count) + " bytes written");
    }
    return written;
}

void TracingSerialPort::Purge() {
    port->Purge();
    // What was held of an unfinished frame will not be completed now.
    trace.Quiet(false);
}

void TracingSerialPort::Wake() {
    woken = true;
    port->Wake();
}

void TracingSerialPort::ClearWake() {
    woken = false;
    port->ClearWake();
}

}  // namespace uhf
