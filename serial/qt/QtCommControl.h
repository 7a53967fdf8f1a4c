#pragma once

#include <QObject>
#include <QSerialPort>
#include <QTimer>
#include <string>

#include "serial/CommControl.h"
#include "serial/LowLatencyMode.h"

namespace uhf {

// The serial control over Qt SerialPort: opens the port by its name or path with the parsed
// settings string and no flow control, locks it as our other tools do, and hands every arrival
// to the receive handler on the thread that owns this object. A device that goes away while open
// is closed and recorded as lost. Each open asks a USB adapter's driver for low latency, as the
// command-line tools' ports do; `lowLatency` says where its warning goes.
class QtCommControl : public QObject, public CommControl {
    Q_OBJECT

  public:
    explicit QtCommControl(LowLatencyMode& lowLatency = LowLatencyMode::System(),
                           QObject* parent = nullptr);
    ~QtCommControl() override;

    int Open(const std::string& portName, const std::string& settings) override;
    void Close() override;
    bool IsOpen() const override;
    int Write(const std::uint8_t* bytes, int count) override;
    void SetReceiveHandler(ReceiveHandler newHandler) override;
    CommError LastError() const override { return lastError; }
    std::string LastErrorText() const override { return lastErrorText; }

  private:
    void DeliverArrivals();
    void HandleError(QSerialPort::SerialPortError error);
    void Fail(CommError error);
    void LoseDevice(const QString& reason);

    LowLatencyMode& lowLatency;
    QSerialPort port;
    QTimer hangUpCheck;
    ReceiveHandler handler;
    CommError lastError = CommError::None;
    std::string lastErrorText;
};

}  // namespace uhf
