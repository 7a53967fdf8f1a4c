#include "downloader/app/DownloadDialog.h"

#include <QAbstractButton>
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
#include <QScrollBar>
#include <QTreeView>
#include <algorithm>

#include "downloader/app/AboutDialog.h"
#include "downloader/app/DownloadTemplate.h"
#include "downloader/app/FerrowinIcon.h"
#include "downloader/app/LogModel.h"
#include "downloader/app/SystemMenuEntry.h"
#include "widgets/qt/EnterKey.h"
#include "widgets/qt/Notifier.h"

namespace uhf {

namespace {

constexpr int kTimeColumnWidth = 60;
constexpr int kMessageColumnWidth = 280;

}  // namespace

DownloadDialog::DownloadDialog(PortConfig& config, CommControl& comm, Notifier& notifier,
                               FileChooser& files, QWidget* parent)
    : QDialog(parent),
      notifier_(notifier),
      builder_(DownloadTemplate::Get()),
      timers_(this),
      presenter_(*this, config, comm, timers_, files) {
    Build();
    presenter_.Initialise();
}

DownloadDialog::~DownloadDialog() {
    timers_.StopAll();
}

void DownloadDialog::Build() {
    // The controls, with the baud-rate lists filled.
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    builder_.Build(*this);
    logView_ = builder_.ControlAs<QTreeView>(DownloadTemplate::kLogList);
    progress_ = builder_.ControlAs<QProgressBar>(DownloadTemplate::kProgressBar);
    log_ = new LogModel(this);
    logView_->setModel(log_);
    logView_->header()->resizeSection(LogModel::kTime, kTimeColumnWidth);
    logView_->header()->resizeSection(LogModel::kMessage, kMessageColumnWidth);
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
    // Device paths are longer than the list is wide: the tip shows the chosen one whole.
    QComboBox* ports = List(DownloadTemplate::kPortList);
    connect(ports, &QComboBox::currentTextChanged, ports, &QWidget::setToolTip);

    const auto click = [this](int id, void (DownloadPresenter::*handler)()) {
        connect(builder_.ControlAs<QPushButton>(id), &QPushButton::clicked, this,
                [this, handler] { (presenter_.*handler)(); });
    };
    click(DownloadTemplate::kFileButton, &DownloadPresenter::ChooseFile);
    click(DownloadTemplate::kDownloadButton, &DownloadPresenter::Download);
    click(DownloadTemplate::kExistButton, &DownloadPresenter::Exist);
    for (const int id : {DownloadTemplate::kPortList, DownloadTemplate::kDeviceBaudList,
                         DownloadTemplate::kDownloadBaudList}) {
        connect(List(id), &QComboBox::activated, this,
                [this, id](int index) { presenter_.SelectionChanged(id, index); });
    }

    // The about entry: in the system menu where the platform lets us add to it (Windows), and
    // on every platform in the window's context menu (a right click on its background).
    const QString aboutText = QStringLiteral("关于 Ferrowin(&A)...");
    SystemMenuEntry::Append(*this, aboutText, kAboutCommand);
    aboutAction_ = new QAction(aboutText, this);
    connect(aboutAction_, &QAction::triggered, this, &DownloadDialog::ShowAbout);
    addAction(aboutAction_);
    setContextMenuPolicy(Qt::ActionsContextMenu);

    icon_ = FerrowinIcon::Create();
    setWindowIcon(icon_);
}

QComboBox* DownloadDialog::List(int id) const {
    return builder_.ControlAs<QComboBox>(id);
}

std::string DownloadDialog::Text(int id) const {
    QWidget* control = builder_.Control(id);
    if (auto* combo = qobject_cast<QComboBox*>(control)) {
        return combo->currentText().toStdString();
    }
    if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        return edit->text().toStdString();
    }
    if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        return button->text().toStdString();
    }
    return {};
}

void DownloadDialog::SetText(int id, const std::string& text) {
    if (auto* edit = builder_.ControlAs<QLineEdit>(id)) {
        edit->setText(QString::fromStdString(text));
    }
}

bool DownloadDialog::IsChecked(int) const {
    return false;  // the window has no check box or radio button
}

void DownloadDialog::SetChecked(int, bool) {}

int DownloadDialog::SelectedIndex(int id) const {
    if (QComboBox* combo = List(id)) {
        return combo->currentIndex();
    }
    if (id == DownloadTemplate::kLogList) {
        return logView_->currentIndex().row();
    }
    return -1;
}

void DownloadDialog::SelectIndex(int id, int index) {
    if (QComboBox* combo = List(id)) {
        combo->setCurrentIndex(index);
        combo->setToolTip(combo->currentText());
    } else if (id == DownloadTemplate::kLogList) {
        logView_->selectionModel()->setCurrentIndex(
            log_->index(index, LogModel::kTime),
            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
}

int DownloadDialog::ItemCount(int id) const {
    if (QComboBox* combo = List(id)) {
        return combo->count();
    }
    return id == DownloadTemplate::kLogList ? log_->rowCount() : 0;
}

void DownloadDialog::AddItem(int id, const std::string& text) {
    if (QComboBox* combo = List(id)) {
        combo->addItem(QString::fromStdString(text));
        // The opened list shows long device paths whole.
        combo->view()->setMinimumWidth(combo->view()->sizeHintForColumn(0) + 8);
    }
}

void DownloadDialog::ClearItems(int id) {
    if (QComboBox* combo = List(id)) {
        combo->clear();
    }
}

void DownloadDialog::SetToolTip(int id, const std::string& text) {
    if (QComboBox* combo = List(id)) {
        combo->setToolTip(QString::fromStdString(text));
    }
}

void DownloadDialog::Enable(int id, bool on) {
    if (QWidget* control = builder_.Control(id)) {
        control->setEnabled(on);
    }
}

void DownloadDialog::ShowMessage(const std::string& text) {
    notifier_.Notify(QString::fromStdString(text));
}

void DownloadDialog::SetBusy(bool) {}  // nothing here blocks the window for long

void DownloadDialog::RowsAppended(int id, int first, int count) {
    if (id != DownloadTemplate::kLogList) {
        return;
    }
    for (int row = first; row < first + count; ++row) {
        const DownloadPresenter::LogLine& line = presenter_.Log(row);
        log_->Append(QString::fromStdString(line.time), QString::fromStdString(line.message));
    }
}

void DownloadDialog::RowsCleared(int) {}  // the log is never emptied

bool DownloadDialog::IsScrolledToEnd(int id) const {
    if (id != DownloadTemplate::kLogList) {
        return true;
    }
    const QScrollBar* bar = logView_->verticalScrollBar();
    return bar->value() >= bar->maximum();
}

void DownloadDialog::ScrollToRow(int id, int row) {
    if (id == DownloadTemplate::kLogList) {
        logView_->scrollTo(log_->index(row, LogModel::kTime), QAbstractItemView::EnsureVisible);
    }
}

void DownloadDialog::SetRange(int id, int lower, int upper) {
    if (id == DownloadTemplate::kProgressBar) {
        progress_->setRange(lower, upper);
    }
}

void DownloadDialog::SetPosition(int id, int position) {
    if (id == DownloadTemplate::kProgressBar) {
        // Qt would ignore a position outside the range.
        progress_->setValue(std::clamp(position, progress_->minimum(), progress_->maximum()));
    }
}

void DownloadDialog::CloseDialog(bool accepted) {
    done(accepted ? QDialog::Accepted : QDialog::Rejected);
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

}  // namespace uhf
