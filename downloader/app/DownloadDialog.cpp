#include "downloader/app/DownloadDialog.h"

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTime>
#include <QTreeView>
#include <algorithm>

#include "common/PortConfig.h"
#include "downloader/app/AboutDialog.h"
#include "downloader/app/DownloadTemplate.h"
#include "downloader/app/FerrowinIcon.h"
#include "downloader/app/FileChooser.h"
#include "downloader/app/LogModel.h"
#include "downloader/app/SystemMenuEntry.h"
#include "serial/CommControl.h"
#include "widgets/EnterKey.h"
#include "widgets/Notifier.h"

namespace uhf {

namespace {

constexpr int kTimeColumnWidth = 60;
constexpr int kMessageColumnWidth = 280;

}  // namespace

DownloadDialog::DownloadDialog(PortConfig& config, CommControl& comm, Notifier& notifier,
                               FileChooser& files, QWidget* parent)
    : QDialog(parent),
      config_(config),
      comm_(comm),
      notifier_(notifier),
      files_(files),
      builder_(DownloadTemplate::Get()),
      timers_(this),
      transfer_(comm, timers_, *this) {
    Initialise();
}

DownloadDialog::~DownloadDialog() {
    timers_.StopAll();
}

void DownloadDialog::Initialise() {
    // 1. The controls, with the baud-rate lists filled.
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    builder_.Build(*this);
    pathBox_ = builder_.ControlAs<QLineEdit>(DownloadTemplate::kPathBox);
    logView_ = builder_.ControlAs<QTreeView>(DownloadTemplate::kLogList);
    portList_ = builder_.ControlAs<QComboBox>(DownloadTemplate::kPortList);
    deviceBaudList_ = builder_.ControlAs<QComboBox>(DownloadTemplate::kDeviceBaudList);
    downloadBaudList_ = builder_.ControlAs<QComboBox>(DownloadTemplate::kDownloadBaudList);
    fileButton_ = builder_.ControlAs<QPushButton>(DownloadTemplate::kFileButton);
    downloadButton_ = builder_.ControlAs<QPushButton>(DownloadTemplate::kDownloadButton);
    existButton_ = builder_.ControlAs<QPushButton>(DownloadTemplate::kExistButton);
    progress_ = builder_.ControlAs<QProgressBar>(DownloadTemplate::kProgressBar);
    log_ = new LogModel(this);
    logView_->setModel(log_);
    // Narrower than its text: like a static text of the dialog toolkit it breaks between words
    // and shows the first line; the whole text is a hover away.
    if (auto* label = builder_.ControlAs<QLabel>(DownloadTemplate::kDownloadBaudLabel)) {
        label->setWordWrap(true);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setToolTip(label->text());
    }
    // The frame's caption sits on its top line, as the dialog toolkit draws it.
    for (QGroupBox* frame : findChildren<QGroupBox*>()) {
        frame->setStyleSheet(QStringLiteral(
            "QGroupBox { border: 1px solid palette(mid); margin-top: 0.5em; }"
            "QGroupBox::title { subcontrol-origin: margin; left: 6px; padding: 0 2px; }"));
    }

    connect(fileButton_, &QPushButton::clicked, this, &DownloadDialog::ChooseFile);
    connect(downloadButton_, &QPushButton::clicked, this, &DownloadDialog::Download);
    connect(existButton_, &QPushButton::clicked, this, &DownloadDialog::Exist);
    connect(portList_, &QComboBox::activated, this,
            [this](int index) { StoreIndex("Port", index); });
    connect(deviceBaudList_, &QComboBox::activated, this,
            [this](int index) { StoreIndex("DeviceBaud", index); });
    connect(downloadBaudList_, &QComboBox::activated, this,
            [this](int index) { StoreIndex("DownBaud", index); });

    // 2. The about entry: in the system menu where the platform lets us add to it (Windows),
    // and on every platform in the window's context menu (a right click on its background).
    const QString aboutText = QStringLiteral("关于 Ferrowin(&A)...");
    SystemMenuEntry::Append(*this, aboutText, kAboutCommand);
    aboutAction_ = new QAction(aboutText, this);
    connect(aboutAction_, &QAction::triggered, this, &DownloadDialog::ShowAbout);
    addAction(aboutAction_);
    setContextMenuPolicy(Qt::ActionsContextMenu);

    // 3. The icon.
    icon_ = FerrowinIcon::Create();
    setWindowIcon(icon_);

    // 4 to 6. The stored choices. A settings file that cannot be written is said once, here.
    config_.SetNoticeHandler([this](const std::string& line) { AddLog(line); });
    RestoreBaudRates();
    FillPortList();
    std::string storedPath;
    if (config_.ReadFilePath(storedPath)) {
        firmwarePath = storedPath;
        pathBox_->setText(QString::fromStdString(firmwarePath));
    }

    // 7. The log's columns.
    logView_->header()->resizeSection(LogModel::kTime, kTimeColumnWidth);
    logView_->header()->resizeSection(LogModel::kMessage, kMessageColumnWidth);

    // 8, 9.
    progress_->setRange(1, 100);
    ReadSelections();
}

void DownloadDialog::RestoreBaudRates() {
    int deviceIndex = -1;
    int downIndex = -1;
    if (!config_.ReadBaudIndexes(deviceIndex, downIndex)) {
        return;
    }
    // An index outside a list leaves it without a selection.
    const auto select = [](QComboBox* list, int index) {
        list->setCurrentIndex(index >= 0 && index < list->count() ? index : -1);
    };
    select(deviceBaudList_, deviceIndex);
    select(downloadBaudList_, downIndex);
}

void DownloadDialog::FillPortList() {
    if (!config_.ListPorts(portNames)) {
        portNames.clear();
        ShowMessage("本电脑没有可用的串口!");
        return;
    }
    for (const std::string& name : portNames) {
        portList_->addItem(QString::fromStdString(name));
    }
    // Device paths are longer than the list is wide: the opened list and the tip show them whole.
    portList_->view()->setMinimumWidth(portList_->view()->sizeHintForColumn(0) + 8);
    connect(portList_, &QComboBox::currentTextChanged, portList_, &QWidget::setToolTip);
    int stored = 0;
    const bool read = config_.ReadPortIndex(stored);
    portList_->setCurrentIndex(read && stored >= 0 && stored < portList_->count() ? stored : 0);
    portList_->setToolTip(portList_->currentText());
}

void DownloadDialog::StoreIndex(const char* key, int index) {
    if (index >= 0) {
        config_.WriteValue(key, std::to_string(index));
    }
}

void DownloadDialog::AddLog(const std::string& message) {
    AddLog(QString::fromStdString(message));
}

void DownloadDialog::AddLog(const QString& message) {
    const QString time = QTime::currentTime().toString(QStringLiteral("HH:mm:ss"));
    const int row = log_->Append(time, message);
    // Only the newest line is marked, and the list follows it.
    const QModelIndex line = log_->index(row, LogModel::kTime);
    logView_->selectionModel()->setCurrentIndex(
        line, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    logView_->scrollTo(line, QAbstractItemView::EnsureVisible);
}

void DownloadDialog::EnableInputs() {
    for (QWidget* input :
         {static_cast<QWidget*>(portList_), static_cast<QWidget*>(deviceBaudList_),
          static_cast<QWidget*>(downloadBaudList_), static_cast<QWidget*>(fileButton_),
          static_cast<QWidget*>(downloadButton_)}) {
        input->setEnabled(true);
    }
}

void DownloadDialog::DisableInputs() {
    for (QWidget* input :
         {static_cast<QWidget*>(portList_), static_cast<QWidget*>(deviceBaudList_),
          static_cast<QWidget*>(downloadBaudList_), static_cast<QWidget*>(fileButton_),
          static_cast<QWidget*>(downloadButton_)}) {
        input->setEnabled(false);
    }
}

TransferSelections DownloadDialog::ReadSelections() {
    // A list without a selection reads as an empty text, that is as 0.
    const auto selected = [](const QComboBox* list) {
        return list->currentIndex() >= 0 ? list->currentText() : QString();
    };
    const QString port = selected(portList_);
    TransferSelections selections;
    selections.portName = port.toStdString();
    selections.deviceBaud = DecimalOf(selected(deviceBaudList_));
    selections.downloadBaud = DecimalOf(selected(downloadBaudList_));
    selections.downloadBaudIndex = DownloadBaudIndex();
    portNumber = PortNumberOf(port);
    deviceBaud = selections.deviceBaud;
    downloadBaud = selections.downloadBaud;
    return selections;
}

void DownloadDialog::SetProgressRange(int lower, int upper) {
    progress_->setRange(lower, upper);
}

void DownloadDialog::SetProgressPosition(int position) {
    // A position outside the range shows at its nearest end (the first frame's position 0 in a
    // range from 1 shows as 1); Qt would ignore it instead.
    progress_->setValue(std::clamp(position, progress_->minimum(), progress_->maximum()));
}

int DownloadDialog::DownloadBaudIndex() const {
    return downloadBaudList_->currentIndex();
}

std::string DownloadDialog::FirmwarePath() {
    firmwarePath = pathBox_->text().toStdString();
    return firmwarePath;
}

void DownloadDialog::ShowMessage(const std::string& text) {
    notifier_.Notify(QString::fromStdString(text));
}

void DownloadDialog::ShowProgress(int sentBytes, int totalBytes) {
    if (sentBytes == 0) {
        SetProgressRange(1, PacketCountFor(totalBytes));
        return;
    }
    SetProgressPosition((sentBytes + kDataBytesPerPacket - 1) / kDataBytesPerPacket - 1);
}

void DownloadDialog::Finished(TransferError) {
    EnableInputs();
}

void DownloadDialog::ChooseFile() {
    const std::optional<QString> chosen = files_.ChooseFirmware(this);
    if (!chosen) {
        return;
    }
    firmwarePath = chosen->toStdString();
    pathBox_->setText(*chosen);
    config_.WriteValue("DownloadFilePath", firmwarePath);
}

void DownloadDialog::Download() {
    if (transfer_.IsRunning()) {
        return;
    }
    // The window's rule: an empty path box shows as " " or nothing, never as a file.
    if (FirmwarePath().size() < 2) {
        AddLog(std::string("Please select one firmware."));
        return;
    }
    transfer_.StartDownload(firmwarePath, ReadSelections());
    if (transfer_.IsRunning()) {
        DisableInputs();
    }
}

void DownloadDialog::Exist() {
    if (comm_.IsOpen()) {
        comm_.Close();
    }
    timers_.StopAll();
    done(QDialog::Accepted);
}

void DownloadDialog::ShowAbout() {
    AboutDialog about(icon_, this);
    about.exec();
}

void DownloadDialog::done(int result) {
    // The timers end with the window; none may call into the transfer after it.
    timers_.StopAll();
    QDialog::done(result);
}

bool DownloadDialog::nativeEvent(const QByteArray& eventType, void* message, qintptr* result) {
    if (SystemMenuEntry::IsChosen(eventType, message, kAboutCommand)) {
        ShowAbout();
        return true;
    }
    return QDialog::nativeEvent(eventType, message, result);
}

void DownloadDialog::keyPressEvent(QKeyEvent* event) {
    if (!EnterKey::Handle(*this, event)) {
        QDialog::keyPressEvent(event);
    }
}

int DownloadDialog::PortNumberOf(const QString& entry) {
    return DecimalOf(entry.mid(3));
}

int DownloadDialog::DecimalOf(const QString& text) {
    int i = 0;
    const int size = static_cast<int>(text.size());
    while (i < size && (text[i] == u' ' || text[i] == u'\t' || text[i] == u'\n' ||
                        text[i] == u'\r' || text[i] == u'\v' || text[i] == u'\f')) {
        ++i;
    }
    bool negative = false;
    if (i < size && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    long long value = 0;
    constexpr long long kLimit = 2147483648LL;  // stops overflow on absurdly long digit runs
    while (i < size && text[i] >= u'0' && text[i] <= u'9') {
        value = std::min(value * 10 + (text[i].unicode() - u'0'), kLimit);
        ++i;
    }
    if (negative) {
        value = -value;
    }
    return static_cast<int>(std::clamp(value, -kLimit, kLimit - 1));
}

}  // namespace uhf
