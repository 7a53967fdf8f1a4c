#pragma once

#include <QDialog>
#include <QIcon>
#include <QString>
#include <string>
#include <vector>

#include "downloader/TransferObserver.h"
#include "downloader/UpgradeTransfer.h"
#include "downloader/app/QtTransferTimers.h"
#include "widgets/DialogBuilder.h"

class QAction;
class QComboBox;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTreeView;

namespace uhf {

class CommControl;
class FileChooser;
class LogModel;
class Notifier;
class PortConfig;

// The download tool's window, "UHF Reader Download Tools". It restores the user's last choices
// from the settings file, stores every change at once, and hosts the upgrade transfer: the
// transfer reports through the TransferObserver operations below, and the window's three one-shot
// timers and the serial control's receive notifications move it on. Everything runs on the
// user-interface thread.
class DownloadDialog : public QDialog, public TransferObserver {
    Q_OBJECT

  public:
    // The window keeps references to all four; they must outlive it. `notifier` shows the
    // "提示" message boxes, `files` asks for the firmware file.
    DownloadDialog(PortConfig& config, CommControl& comm, Notifier& notifier, FileChooser& files,
                   QWidget* parent = nullptr);
    ~DownloadDialog() override;

    // TransferObserver
    void AddLog(const std::string& message) override;
    void ShowMessage(const std::string& text) override;
    // Sets the bar's range from 1 to the number of data frames when the size frame leaves, then
    // its position to the index of each data frame as it leaves.
    void ShowProgress(int sentBytes, int totalBytes) override;
    // Enables the inputs again.
    void Finished(TransferError result) override;

    void AddLog(const QString& message);
    // Make the port list, both baud-rate lists and the "File" and "Download" buttons usable or
    // unusable; the exit button always stays usable.
    void EnableInputs();
    void DisableInputs();
    // The choices of the three lists now; a list without a selection reads as 0.
    TransferSelections ReadSelections();
    // The progress bar: range from `lower` to `upper`, and the position in it.
    void SetProgressRange(int lower, int upper);
    void SetProgressPosition(int position);
    // Index of the current download baud-rate choice (0 = 9600 ... 4 = 115200), -1 when none.
    int DownloadBaudIndex() const;
    // Takes the path box's text into `firmwarePath`.
    std::string FirmwarePath();

    // The buttons and the about entry.
    void ChooseFile();
    void Download();
    void Exist();
    void ShowAbout();

    // The port number a port entry names: its first three characters dropped and the rest read
    // as a decimal number ("COM12" gives 12, a Linux path gives 0).
    static int PortNumberOf(const QString& entry);
    // A decimal number as the C library's atoi reads it: leading blanks and a sign accepted,
    // reading stops at the first non-digit, no digits give 0.
    static int DecimalOf(const QString& text);

    QWidget* Control(int id) const { return builder_.Control(id); }
    QAction* AboutAction() const { return aboutAction_; }
    // The command id of the about entry in the system menu.
    static constexpr int kAboutCommand = 16;
    UpgradeTransfer& Transfer() { return transfer_; }
    const LogModel& Log() const { return *log_; }

    // The choices as the last ReadSelections found them.
    int portNumber = 0;
    int deviceBaud = 0;
    int downloadBaud = 0;
    std::string firmwarePath;
    std::vector<std::string> portNames;

  protected:
    void done(int result) override;
    bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void Initialise();
    void RestoreBaudRates();
    void FillPortList();
    void StoreIndex(const char* key, int index);

    PortConfig& config_;
    CommControl& comm_;
    Notifier& notifier_;
    FileChooser& files_;
    DialogBuilder builder_;
    QIcon icon_;
    LogModel* log_ = nullptr;
    QTreeView* logView_ = nullptr;
    QLineEdit* pathBox_ = nullptr;
    QComboBox* portList_ = nullptr;
    QComboBox* deviceBaudList_ = nullptr;
    QComboBox* downloadBaudList_ = nullptr;
    QPushButton* fileButton_ = nullptr;
    QPushButton* downloadButton_ = nullptr;
    QPushButton* existButton_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QAction* aboutAction_ = nullptr;
    QtTransferTimers timers_;
    UpgradeTransfer transfer_;
};

}  // namespace uhf
