#include "serial/NativeCommControl.h"

#include <utility>

#include "serial/SerialPort.h"

namespace uhf {

NativeCommControl::NativeCommControl(SerialPort& serialPort, PendingNotice pendingNotice)
    : port(serialPort), notice(std::move(pendingNotice)) {
    arrived.reserve(kArrivalCapacity);
    delivering.reserve(kArrivalCapacity);
}

NativeCommControl::~NativeCommControl() {
    handler = nullptr;
    Shutdown();
}

void NativeCommControl::Shutdown() {
    Close();
    if (opener.joinable()) {
        opener.join();
        std::lock_guard<std::mutex> lock(mutex);
        if (openReturned && openResult == SerialError::None) {
            port.Close();
        }
        openReturned = false;
    }
    opening = false;
}

void NativeCommControl::Open(const std::string& portName, int baudRate, OpenedHandler whenOpened) {
    if (open || (opening && !abandoned) || queued) {
        refused.push_back(std::move(whenOpened));
        notice();
        return;
    }
    OpenRequest request{portName, baudRate, std::move(whenOpened)};
    if (opening) {
        // The port is still in the driver for the abandoned open; this one follows it.
        queued = std::move(request);
        return;
    }
    StartOpening(std::move(request));
}

void NativeCommControl::StartOpening(OpenRequest request) {
    opening = true;
    abandoned = false;
    opened = std::move(request.opened);
    opener = std::thread([this, name = std::move(request.portName), rate = request.baudRate] {
        const SerialError result = port.Open(name, rate);
        {
            std::lock_guard<std::mutex> lock(mutex);
            openReturned = true;
            openResult = result;
        }
        notice();
    });
}

void NativeCommControl::FinishOpening() {
    std::vector<OpenedHandler> refusals;
    refusals.swap(refused);
    for (OpenedHandler& refusal : refusals) {
        lastError = SerialError::AlreadyOpen;
        if (refusal) {
            refusal(SerialError::AlreadyOpen);
        }
    }
    SerialError result = SerialError::None;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (!opening || !openReturned) {
            return;
        }
        openReturned = false;
        result = openResult;
    }
    opener.join();
    opening = false;
    if (abandoned) {
        if (result == SerialError::None) {
            port.Close();
        }
        if (queued) {
            OpenRequest next = std::move(*queued);
            queued.reset();
            StartOpening(std::move(next));
        }
        return;
    }
    lastError = result;
    if (result == SerialError::None) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            arrived.clear();
            lost = false;
        }
        open = true;
        stopping = false;
        // A wake left from the last close must not end the first read of this one.
        port.ClearWake();
        receiver = std::thread(&NativeCommControl::ReceiveLoop, this);
    }
    OpenedHandler told = std::move(opened);
    opened = nullptr;
    if (told) {
        told(result);
    }
}

void NativeCommControl::Close() {
    WriteQueued();
    StopReceiving();
    if (open) {
        port.Close();
        open = false;
    }
    if (opening) {
        abandoned = true;
        opened = nullptr;
    }
    queued.reset();
    // What arrived at the old rate means nothing at the next one.
    std::lock_guard<std::mutex> lock(mutex);
    arrived.clear();
    lost = false;
}

bool NativeCommControl::Write(const std::uint8_t* bytes, int count) {
    if (!open) {
        lastError = SerialError::NotOpen;
        return false;
    }
    if (count <= 0) {
        return true;
    }
    outgoing.insert(outgoing.end(), bytes, bytes + count);
    if (outgoing.size() >= kArrivalCapacity) {
        WriteQueued();
    } else {
        notice();
    }
    return true;
}

void NativeCommControl::WriteQueued() {
    if (outgoing.empty()) {
        return;
    }
    if (open) {
        const int count = static_cast<int>(outgoing.size());
        const int written = port.Write(outgoing.data(), count);
        if (written != count) {
            lastError = written < 0 ? SerialError::DeviceLost : SerialError::WriteFailed;
        }
    }
    outgoing.clear();
}

void NativeCommControl::SetReceiveHandler(ReceiveHandler newHandler) {
    handler = std::move(newHandler);
}

void NativeCommControl::ProcessPending() {
    FinishOpening();
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
        lastError = SerialError::DeviceLost;
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

}  // namespace uhf
