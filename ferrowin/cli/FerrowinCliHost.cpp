#include "ferrowin/cli/FerrowinCliHost.h"

#include <cstdio>
#include <ctime>
#include <mutex>
#include <utility>

#include "ferrowin/cli/FerrowinProgress.h"

namespace uhf {

namespace {

std::string TimeStamp() {
    // localtime hands out one shared result: transfers on several threads take turns.
    static std::mutex localTimeMutex;
    const std::lock_guard<std::mutex> lock(localTimeMutex);
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
    lastProgress = std::chrono::steady_clock::now();
    if (!streaming) {
        streaming = true;
        streamStart = lastProgress;
    }
    if (!showProgress) {
        return;
    }
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(lastProgress - streamStart).count();
    progressLine = FerrowinProgress::Format(sentBytes, totalBytes, elapsed);
    if (board != nullptr) {
        board->Progress(boardRow, progressLine);
        return;
    }
    std::fputs("\r\033[K", stderr);
    std::fputs(progressLine.c_str(), stderr);
    std::fflush(stderr);
    progressVisible = true;
}

void FerrowinCliHost::Finished(TransferError transferResult) {
    // The stream ends with the attempt: an image of one frame takes time too.
    if (streaming) {
        lastProgress = std::chrono::steady_clock::now();
    }
    finished = true;
    result = transferResult;
    if (onFinished) {
        onFinished();
    }
}

void FerrowinCliHost::SetBoard(FerrowinBoard* shared, int row) {
    board = shared;
    boardRow = row;
}

double FerrowinCliHost::StreamSeconds() const {
    return streaming ? std::chrono::duration<double>(lastProgress - streamStart).count() : 0.0;
}

void FerrowinCliHost::FinishProgress() {
    if (progressVisible) {
        std::fputs("\n", stderr);
        std::fflush(stderr);
        progressVisible = false;
    }
}

void FerrowinCliHost::Print(const std::string& line) {
    if (board != nullptr) {
        board->Log(boardRow, line);
        return;
    }
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
