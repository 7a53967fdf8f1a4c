#include "ferrowin/qt/DownloadDialog.h"

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTreeView>
#include <utility>

#include "ferrowin/DownloadTemplate.h"
#include "ferrowin/qt/AboutDialog.h"
#include "ferrowin/qt/FerrowinIcon.h"
#include "ferrowin/qt/LogModel.h"
#include "ui/qt/EnterKey.h"
#include "ui/qt/Notifier.h"

namespace uhf {

namespace {

constexpr int kTimeColumnWidth = 60;
constexpr int kMessageColumnWidth = 280;

}  // namespace

DownloadDialog::DownloadDialog(PortConfig& config, CommControl& comm, Notifier& notifier,
                               FileChooser& files, PortSource ports, QWidget* parent)
    : QDialog(parent),
      builder_(DownloadTemplate::Get()),
      view_(*this, builder_, &notifier),
      timers_(this),
      presenter_(view_, config, comm, timers_, files) {
    Build();
    presenter_.Initialise(std::move(ports));
    presenter_.WatchPorts(portTimers_);
}

DownloadDialog::~DownloadDialog() {
    timers_.StopAll();
}

void DownloadDialog::Build() {
    // The controls, with the baud-rate lists filled.
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    builder_.Build(*this);
    auto* logView = builder_.ControlAs<QTreeView>(DownloadTemplate::kLogList);
    log_ = new LogModel(this);
    logView->setModel(log_);
    logView->header()->resizeSection(LogModel::kTime, kTimeColumnWidth);
    logView->header()->resizeSection(LogModel::kMessage, kMessageColumnWidth);
    view_.AttachList(DownloadTemplate::kLogList,
                     {[this](int first, int count) { AppendLogRows(first, count); }, {}});
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
    // Device paths are longer than the list is wide: the tip shows the chosen one whole, and
    // what the adapter behind it is.
    QComboBox* ports = List(DownloadTemplate::kPortList);
    connect(ports, &QComboBox::currentTextChanged, this, [this] { presenter_.PortChosen(); });
    // The opened list shows long device paths whole.
    connect(ports->model(), &QAbstractItemModel::rowsInserted, ports,
            [ports] { ports->view()->setMinimumWidth(ports->view()->sizeHintForColumn(0) + 8); });

    const auto click = [this](int id, void (DownloadPresenter::*handler)()) {
        connect(builder_.ControlAs<QPushButton>(id), &QPushButton::clicked, this,
                [this, handler] { (presenter_.*handler)(); });
    };
    click(DownloadTemplate::kFileButton, &DownloadPresenter::ChooseFile);
    click(DownloadTemplate::kDownloadButton, &DownloadPresenter::Download);
    click(DownloadTemplate::kExistButton, &DownloadPresenter::Exit);
    for (const int id : {DownloadTemplate::kPortList, DownloadTemplate::kDeviceBaudList,
                         DownloadTemplate::kDownloadBaudList}) {
        connect(List(id), &QComboBox::activated, this,
                [this, id](int index) { presenter_.SelectionChanged(id, index); });
    }

    // The about entry: the window manager owns the system menu here, so it is in the window's
    // context menu (a right click on its background).
    auto* about = new QAction(QStringLiteral("关于 Ferrowin(&A)..."), this);
    connect(about, &QAction::triggered, this, &DownloadDialog::ShowAbout);
    addAction(about);
    setContextMenuPolicy(Qt::ActionsContextMenu);

    icon_ = FerrowinIcon::Create();
    setWindowIcon(icon_);
}

void DownloadDialog::AppendLogRows(int first, int count) {
    for (int row = first; row < first + count; ++row) {
        const DownloadPresenter::LogLine& line = presenter_.Log(row);
        log_->Append(QString::fromStdString(line.time), QString::fromStdString(line.message));
    }
}

QComboBox* DownloadDialog::List(int id) const {
    return builder_.ControlAs<QComboBox>(id);
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

void DownloadDialog::keyPressEvent(QKeyEvent* event) {
    if (!EnterKey::Handle(*this, event)) {
        QDialog::keyPressEvent(event);
    }
}

}  // namespace uhf
