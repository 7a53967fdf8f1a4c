#pragma once

#include <QObject>
#include <QTimer>
#include <chrono>
#include <string>

#include "cli/FerrowinOptions.h"
#include "downloader/TransferHost.h"

namespace uhf {

class UpgradeTransfer;

// Hosts the upgrade transfer without a window: the log and the message boxes go to stderr as
// lines, the three one-shot timers are QTimers on the Qt event loop, and the end of the attempt
// (inputs enabled again) ends the event loop.
class FerrowinCliHost : public QObject, public TransferHost {
    Q_OBJECT

  public:
    FerrowinCliHost(FerrowinOptions options, bool showProgress, QObject* parent = nullptr);

    // The transfer whose timers fire here and whose image length the progress line shows.
    void Attach(UpgradeTransfer* upgrade);

    void AddLog(const std::string& message) override;
    void EnableInputs() override;
    void DisableInputs() override;
    TransferSelections ReadSelections() override;
    void SetProgressRange(int lower, int upper) override;
    void SetProgressPosition(int position) override;
    int DownloadBaudIndex() override;
    std::string FirmwarePath() override;
    void ShowMessage(const std::string& text) override;
    void ArmTimer(int id, int milliseconds) override;
    void StopTimer(int id) override;
    void Pause(int milliseconds) override;

    // Ends the progress line so the shell prompt starts on a line of its own.
    void FinishProgress();

  private:
    void Print(const std::string& line);
    void DrawProgress();

    static constexpr int kTimerCount = 3;

    FerrowinOptions options;
    bool showProgress = false;
    UpgradeTransfer* transfer = nullptr;
    QTimer timers[kTimerCount];
    bool progressVisible = false;
    int lastPosition = -1;
    std::chrono::steady_clock::time_point streamStart;
    std::string progressLine;
};

}  // namespace uhf
