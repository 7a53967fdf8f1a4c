#include "cli/FerrowinCliHost.h"

#include <cstdio>
#include <ctime>
#include <utility>

#include "cli/FerrowinProgress.h"

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

FerrowinCliHost::FerrowinCliHost(bool progress, std::function<void()> whenFinished)
    : showProgress(progress), onFinished(std::move(whenFinished)) {}

void FerrowinCliHost::AddLog(const std::string& line) {
    Print(TimeStamp() + " " + line);
}

void FerrowinCliHost::ShowMessage(const std::string& text) {
    Print(TimeStamp() + " 提示: " + text);
}

void FerrowinCliHost::ShowProgress(int sentBytes, int totalBytes) {
    // The rate counts from the first data frame, as the size frame and its answer carry no image.
    if (sentBytes == 0) {
        streaming = false;
        return;
    }
    if (!streaming) {
        streaming = true;
        streamStart = std::chrono::steady_clock::now();
    }
    if (!showProgress) {
        return;
    }
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                             std::chrono::steady_clock::now() - streamStart)
                             .count();
    progressLine = FerrowinProgress::Format(sentBytes, totalBytes, elapsed);
    std::fputs("\r\033[K", stderr);
    std::fputs(progressLine.c_str(), stderr);
    std::fflush(stderr);
    progressVisible = true;
}

void FerrowinCliHost::Finished(TransferError transferResult) {
    finished = true;
    result = transferResult;
    if (onFinished) {
        onFinished();
    }
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

}  // namespace uhf
