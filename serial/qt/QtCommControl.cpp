#include "serial/qt/QtCommControl.h"

#include <QByteArray>

#include "serial/CommSettings.h"
#include "serial/qt/PortHandleChecks.h"

namespace uhf {

namespace {

QSerialPort::Parity ToQtParity(char parity) {
    switch (parity) {
        case 'E':
            return QSerialPort::EvenParity;
        case 'O':
            return QSerialPort::OddParity;
        case 'M':
            return QSerialPort::MarkParity;
        case 'S':
            return QSerialPort::SpaceParity;
        default:
            return QSerialPort::NoParity;
    }
}

QSerialPort::StopBits ToQtStopBits(int tenths) {
    switch (tenths) {
        case 15:
            return QSerialPort::OneAndHalfStop;
        case 20:
            return QSerialPort::TwoStop;
        default:
            return QSerialPort::OneStop;
    }
}

CommError FromQtError(QSerialPort::SerialPortError error) {
    switch (error) {
        case QSerialPort::NoError:
            return CommError::None;
        case QSerialPort::DeviceNotFoundError:
            return CommError::NotFound;
        case QSerialPort::PermissionError:
            return CommError::Busy;
        case QSerialPort::OpenError:
            return CommError::AlreadyOpen;
        case QSerialPort::UnsupportedOperationError:
            return CommError::BadSettings;
        case QSerialPort::WriteError:
            return CommError::WriteFailed;
        default:
            return CommError::Other;
    }
}

// How often an open port is checked for a device that went away without Qt noticing (a
// pseudo-terminal whose other end closed).
constexpr int kHangUpCheckMs = 200;

}  // namespace

QtCommControl::QtCommControl(LowLatencyMode& mode, QObject* parent)
    : QObject(parent), lowLatency(mode) {
    connect(&port, &QSerialPort::readyRead, this, &QtCommControl::DeliverArrivals);
    connect(&port, &QSerialPort::errorOccurred, this, &QtCommControl::HandleError);
    hangUpCheck.setInterval(kHangUpCheckMs);
    connect(&hangUpCheck, &QTimer::timeout, this, [this] {
        if (port.isOpen() && PortHandleChecks::HasHungUp(static_cast<long long>(port.handle()))) {
            LoseDevice(QStringLiteral("the device hung up"));
        }
    });
}

QtCommControl::~QtCommControl() {
    handler = nullptr;
    Close();
}

int QtCommControl::Open(const std::string& portName, const std::string& settings) {
    CommSettings parsed;
    if (!CommSettings::Parse(settings, parsed)) {
        lastErrorText = "cannot read the settings \"" + settings + "\"";
        lastError = CommError::BadSettings;
        return 0;
    }
    if (port.isOpen()) {
        Fail(CommError::AlreadyOpen);
        return 0;
    }
    port.setPortName(QString::fromStdString(portName));
    port.setBaudRate(parsed.baudRate);
    port.setParity(ToQtParity(parsed.parity));
    port.setDataBits(static_cast<QSerialPort::DataBits>(parsed.dataBits));
    port.setStopBits(ToQtStopBits(parsed.stopBitsTenths));
    port.setFlowControl(QSerialPort::NoFlowControl);
    if (!port.open(QIODevice::ReadWrite)) {
        CommError error = FromQtError(port.error());
        lastErrorText = port.errorString().toStdString();
        // Qt says PermissionError for a refused open and for a port another program holds
        // (busy, or its lock file taken); only the words tell them apart.
        const QString words = port.errorString();
        if (error == CommError::Busy &&
            !words.contains(QLatin1String("busy"), Qt::CaseInsensitive) &&
            !words.contains(QLatin1String("lock"), Qt::CaseInsensitive)) {
            error = CommError::PermissionDenied;
        }
        lastError = error == CommError::None ? CommError::Other : error;
        // Qt calls it an unsupported operation; say what it is.
        if ((lastError == CommError::BadSettings || lastError == CommError::Other) &&
            !PortHandleChecks::IsSerialLine(portName)) {
            lastError = CommError::NotSerialPort;
        }
        port.clearError();
        return 0;
    }
    if (!PortHandleChecks::Lock(static_cast<long long>(port.handle()))) {
        port.close();
        lastError = CommError::Busy;
        lastErrorText = "another program has locked the port";
        return 0;
    }
    // A driver that stays slow only costs time; its warning is said once, nothing fails.
    (void)lowLatency.Request(static_cast<int>(static_cast<long long>(port.handle())), portName);
    lastError = CommError::None;
    lastErrorText.clear();
    hangUpCheck.start();
    return 1;
}

void QtCommControl::Close() {
    hangUpCheck.stop();
    if (port.isOpen()) {
        port.flush();
        port.close();
    }
}

bool QtCommControl::IsOpen() const {
    return port.isOpen();
}

int QtCommControl::Write(const std::uint8_t* bytes, int count) {
    if (!port.isOpen()) {
        Fail(CommError::NotOpen);
        return 0;
    }
    if (count <= 0) {
        return 1;
    }
    const qint64 written = port.write(reinterpret_cast<const char*>(bytes), count);
    if (written != count) {
        Fail(CommError::WriteFailed);
        return 0;
    }
    return 1;
}

void QtCommControl::SetReceiveHandler(ReceiveHandler newHandler) {
    handler = std::move(newHandler);
}

void QtCommControl::DeliverArrivals() {
    const QByteArray bytes = port.readAll();
    if (handler && !bytes.isEmpty()) {
        handler(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                static_cast<int>(bytes.size()));
    }
}

void QtCommControl::HandleError(QSerialPort::SerialPortError error) {
    // A device that went away stays "open" in Qt; close it so writes report the loss at once.
    if (error == QSerialPort::ResourceError && port.isOpen()) {
        LoseDevice(port.errorString());
    }
}

void QtCommControl::LoseDevice(const QString& reason) {
    hangUpCheck.stop();
    lastError = CommError::DeviceLost;
    lastErrorText = reason.toStdString();
    port.close();
}

void QtCommControl::Fail(CommError error) {
    lastError = error;
    lastErrorText = ToString(error);
}

}  // namespace uhf
