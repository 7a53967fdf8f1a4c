#include "serial/NativeCommControl.h"

#include <utility>

#include "serial/CommSettings.h"
#include "serial/SerialPort.h"

namespace uhf {

namespace {

constexpr int kTenthsOfOneStopBit = 10;

CommError FromSerialError(SerialError error) {
    switch (error) {
        case SerialError::None:
            return CommError::None;
        case SerialError::InvalidName:
        case SerialError::NoSuchDevice:
        case SerialError::LinkLoop:
        case SerialError::NameTooLong:
            return CommError::NotFound;
        case SerialError::PermissionDenied:
            return CommError::PermissionDenied;
        case SerialError::Busy:
            return CommError::Busy;
        case SerialError::NotATerminal:
        case SerialError::IsADirectory:
            return CommError::NotSerialPort;
        case SerialError::SettingsRefused:
            return CommError::BadSettings;
        case SerialError::IoError:
            break;
    }
    return CommError::Other;
}

}  // namespace

NativeCommControl::NativeCommControl(SerialPort& serialPort, PendingNotice pendingNotice)
    : port(serialPort), notice(std::move(pendingNotice)) {
    arrived.reserve(kArrivalCapacity);
    delivering.reserve(kArrivalCapacity);
}

NativeCommControl::~NativeCommControl() {
    handler = nullptr;
    Close();
}

int NativeCommControl::Open(const std::string& portName, const std::string& settings) {
    CommSettings parsed;
    if (!CommSettings::Parse(settings, parsed) || parsed.parity != 'N' || parsed.dataBits != 8 ||
        parsed.stopBitsTenths != kTenthsOfOneStopBit) {
        lastError = CommError::BadSettings;
        lastErrorText = "cannot use the settings \"" + settings + "\"";
        return 0;
    }
    if (open) {
        Fail(CommError::AlreadyOpen);
        return 0;
    }
    const SerialError error = port.Open(portName, parsed.baudRate);
    if (error != SerialError::None) {
        lastError = FromSerialError(error);
        lastErrorText = ToString(error);
        return 0;
    }
    {
        std::lock_guard<std::mutex> lock(mutex);
        arrived.clear();
        lost = false;
    }
    open = true;
    lastError = CommError::None;
    lastErrorText.clear();
    stopping = false;
    // A wake left from the last close must not end the first read of this one.
    port.ClearWake();
    receiver = std::thread(&NativeCommControl::ReceiveLoop, this);
    return 1;
}

void NativeCommControl::Close() {
    WriteQueued();
    StopReceiving();
    if (open) {
        port.Close();
        open = false;
    }
    // What arrived at the old settings means nothing at the next ones.
    std::lock_guard<std::mutex> lock(mutex);
    arrived.clear();
    lost = false;
}

int NativeCommControl::Write(const std::uint8_t* bytes, int count) {
    if (!open) {
        Fail(CommError::NotOpen);
        return 0;
    }
    if (count <= 0) {
        return 1;
    }
    outgoing.insert(outgoing.end(), bytes, bytes + count);
    if (outgoing.size() >= kArrivalCapacity) {
        WriteQueued();
    } else {
        notice();
    }
    return 1;
}

void NativeCommControl::WriteQueued() {
    if (outgoing.empty()) {
        return;
    }
    if (open) {
        const int count = static_cast<int>(outgoing.size());
        const int written = port.Write(outgoing.data(), count);
        if (written != count) {
            Fail(written < 0 ? CommError::DeviceLost : CommError::WriteFailed);
        }
    }
    outgoing.clear();
}

void NativeCommControl::SetReceiveHandler(ReceiveHandler newHandler) {
    handler = std::move(newHandler);
}

void NativeCommControl::ProcessPending() {
    WriteQueued();
    {
        std::lock_guard<std::mutex> lock(mutex);
        delivering.swap(arrived);
        arrived.clear();
    }
    if (open && handler && !delivering.empty()) {
        handler(delivering.data(), static_cast<int>(delivering.size()));
    }
    delivering.clear();
    // Asked after the handler: it may have closed the port, or opened another.
    bool portLost = false;
    {
        std::lock_guard<std::mutex> lock(mutex);
        portLost = lost;
    }
    if (open && portLost) {
        Close();
        Fail(CommError::DeviceLost);
    }
}

void NativeCommControl::ReceiveLoop() {
    // One byte a read: the read returns as soon as anything is there. A read of more would wait
    // for the line's 50 ms gap after each reply before handing it on, and slow every exchange of
    // the transfer. A stop wakes the read in progress (or the next one, when it comes between the
    // check and the read).
    std::uint8_t byte = 0;
    while (!stopping.load()) {
        const int got = port.Read(&byte, 1);
        if (got < 0) {
            {
                std::lock_guard<std::mutex> lock(mutex);
                lost = true;
            }
            notice();
            return;
        }
        if (got == 0) {
            continue;
        }
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (arrived.size() < kArrivalCapacity) {
                arrived.push_back(byte);
            }
        }
        notice();
    }
}

void NativeCommControl::StopReceiving() {
    stopping = true;
    if (receiver.joinable()) {
        port.Wake();
        receiver.join();
    }
}

void NativeCommControl::Fail(CommError error) {
    lastError = error;
    lastErrorText = ToString(error);
}

}  // namespace uhf
