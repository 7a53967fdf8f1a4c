#include "ferrowin/cli/FerrowinCliHost.h"

#include <ctime>
#include <mutex>
#include <utility>

#include "ferrowin/cli/FerrowinProgress.h"
#include "protocol/UpgradeFrames.h"

namespace uhf {

namespace {

// From this data frame on the time left comes from the turnaround measured.
constexpr int kPredictFromFrame = 16;

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

FerrowinCliHost::FerrowinCliHost(std::ostream& logStream, ProcessSetup::Terminal kind,
                                 std::function<void()> whenFinished, FerrowinBoard* shared,
                                 std::size_t row)
    : log(logStream),
      board(shared),
      boardRow(row),
      terminal(kind),
      onFinished(std::move(whenFinished)) {}

void FerrowinCliHost::AddLog(const std::string& line) {
    Print(TimeStamp() + " " + line);
}

void FerrowinCliHost::Say(const std::vector<TransferWords::Line>& lines) {
    for (const TransferWords::Line& line : lines) {
        Print(TimeStamp() + (line.messageBox ? " 提示: " : " ") + line.text);
    }
}

void FerrowinCliHost::Report(TransferEvent event) {
    Say(TransferWords::Of(event));
}

void FerrowinCliHost::ShowProgress(int sentBytes, int totalBytes) {
    // The rate counts from the first data frame, as the size frame and its answer carry no image.
    if (sentBytes == 0) {
        streaming = false;
        framesSent = 0;
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (streaming) {
        // The frame before this one, a full one as every frame but the last, has been
        // acknowledged: its round trip is done.
        turnaround.Add(std::chrono::duration_cast<std::chrono::microseconds>(now - lastProgress),
                       kMaxPacketSize + kUpgradeAnswerSize, downloadBaud);
    }
    lastProgress = now;
    ++framesSent;
    if (!streaming) {
        streaming = true;
        streamStart = lastProgress;
    }
    if (terminal == ProcessSetup::Terminal::None && board == nullptr) {
        return;
    }
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(lastProgress - streamStart).count();
    std::optional<std::int64_t> msLeft;
    if (framesSent >= kPredictFromFrame && downloadBaud > 0) {
        msLeft = std::chrono::duration_cast<std::chrono::milliseconds>(
                     StreamDuration(totalBytes - sentBytes, downloadBaud, turnaround.Mean()))
                     .count();
    }
    const std::string clear = ClearProgress();
    progressLine = FerrowinProgress::Format(sentBytes, totalBytes, elapsed, 24, msLeft);
    if (board != nullptr) {
        board->Progress(boardRow, progressLine);
        return;
    }
    log << clear << progressLine << std::flush;
    progressVisible = true;
}

void FerrowinCliHost::Finished(const TransferEnd& transferEnd) {
    // The stream ends with the attempt: an image of one frame takes time too.
    if (streaming) {
        lastProgress = std::chrono::steady_clock::now();
    }
    Say(TransferWords::Of(transferEnd));
    finished = true;
    end = transferEnd;
    if (onFinished) {
        onFinished();
    }
}

double FerrowinCliHost::StreamSeconds() const {
    return streaming ? std::chrono::duration<double>(lastProgress - streamStart).count() : 0.0;
}

void FerrowinCliHost::FinishProgress() {
    if (board != nullptr) {
        board->Finish();
    }
    if (progressVisible) {
        log << '\n' << std::flush;
        progressVisible = false;
    }
}

std::string FerrowinCliHost::ClearProgress() const {
    if (terminal == ProcessSetup::Terminal::EscapeSequences) {
        return "\r\033[K";
    }
    // Blanks over the line drawn: Windows consoles before Windows 10 show escape sequences as
    // text.
    if (!progressVisible) {
        return {};
    }
    std::string blank(progressLine.size() + 2, ' ');
    blank.front() = '\r';
    blank.back() = '\r';
    return blank;
}

void FerrowinCliHost::Print(const std::string& line) {
    if (progressVisible) {
        log << ClearProgress();
    }
    log << line << '\n';
    if (progressVisible) {
        log << progressLine;
    }
    log << std::flush;
}

}  // namespace uhf
