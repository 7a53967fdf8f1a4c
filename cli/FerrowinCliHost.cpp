#include "cli/FerrowinCliHost.h"

#include <QCoreApplication>
#include <QThread>
#include <cstdio>
#include <ctime>
#include <utility>

#include "cli/FerrowinProgress.h"
#include "downloader/UpgradeTransfer.h"

namespace uhf {

namespace {

std::string TimeStamp() {
    const std::time_t now = std::time(nullptr);
    char text[16] = {};
    const std::tm* local = std::localtime(&now);
    if (local == nullptr || std::strftime(text, sizeof text, "%H:%M:%S", local) == 0) {
        return "--:--:--";
    }
    return text;
}

}  // namespace

FerrowinCliHost::FerrowinCliHost(FerrowinOptions cliOptions, bool progress, QObject* parent)
    : QObject(parent), options(std::move(cliOptions)), showProgress(progress) {
    for (int id = 0; id < kTimerCount; ++id) {
        timers[id].setSingleShot(true);
        timers[id].setTimerType(Qt::PreciseTimer);
        connect(&timers[id], &QTimer::timeout, this, [this, id] {
            if (transfer != nullptr) {
                transfer->HandleTimer(id);
            }
        });
    }
}

void FerrowinCliHost::Attach(UpgradeTransfer* upgrade) {
    transfer = upgrade;
}

void FerrowinCliHost::AddLog(const std::string& message) {
    Print(TimeStamp() + " " + message);
}

void FerrowinCliHost::EnableInputs() {
    // Inputs come back at every end of an attempt: there is nothing more for this tool to do.
    if (transfer != nullptr && !transfer->IsRunning()) {
        QCoreApplication::quit();
    }
}

void FerrowinCliHost::DisableInputs() {}

TransferSelections FerrowinCliHost::ReadSelections() {
    return {options.port, FerrowinOptions::PortNumber(options.port), options.deviceBaud,
            options.downloadBaud};
}

void FerrowinCliHost::SetProgressRange(int, int) {
    lastPosition = -1;
}

void FerrowinCliHost::SetProgressPosition(int position) {
    if (lastPosition < 0) {
        streamStart = std::chrono::steady_clock::now();
    }
    lastPosition = position;
    DrawProgress();
}

int FerrowinCliHost::DownloadBaudIndex() {
    return FerrowinOptions::BaudIndex(options.downloadBaud);
}

std::string FerrowinCliHost::FirmwarePath() {
    return options.firmware;
}

void FerrowinCliHost::ShowMessage(const std::string& text) {
    Print(TimeStamp() + " 提示: " + text);
}

void FerrowinCliHost::ArmTimer(int id, int milliseconds) {
    if (id >= 0 && id < kTimerCount) {
        timers[id].start(milliseconds);
    }
}

void FerrowinCliHost::StopTimer(int id) {
    if (id >= 0 && id < kTimerCount) {
        timers[id].stop();
    }
}

void FerrowinCliHost::Pause(int milliseconds) {
    QThread::msleep(static_cast<unsigned long>(milliseconds));
}

void FerrowinCliHost::FinishProgress() {
    if (progressVisible) {
        std::fputs("\n", stderr);
        std::fflush(stderr);
        progressVisible = false;
    }
}

void FerrowinCliHost::Print(const std::string& line) {
    if (progressVisible) {
        std::fputs("\r\033[K", stderr);
    }
    std::fputs(line.c_str(), stderr);
    std::fputs("\n", stderr);
    if (progressVisible) {
        std::fputs(progressLine.c_str(), stderr);
    }
    std::fflush(stderr);
}

void FerrowinCliHost::DrawProgress() {
    if (!showProgress || transfer == nullptr) {
        return;
    }
    const std::int64_t total = transfer->imageLength;
    const std::int64_t sent = FerrowinProgress::SentAfter(lastPosition, total);
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                             std::chrono::steady_clock::now() - streamStart)
                             .count();
    progressLine = FerrowinProgress::Format(sent, total, elapsed);
    std::fputs("\r\033[K", stderr);
    std::fputs(progressLine.c_str(), stderr);
    std::fflush(stderr);
    progressVisible = true;
}

}  // namespace uhf
