#include "tesmarle/qt/ParamDialog.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <utility>

#include "tesmarle/TesmarleTemplates.h"
#include "tesmarle/qt/AboutBox.h"
#include "tesmarle/qt/AppIcon.h"
#include "tesmarle/qt/TagDialog.h"
#include "ui/qt/EnterKey.h"

namespace uhf {

namespace {

// About a dozen channels at a time, with a scroll bar, rather than the whole screen's height.
constexpr int kFrequencyItemsShown = 12;

}  // namespace

ParamDialog::ParamDialog(std::unique_ptr<ReaderLink> link, Notifier& notifier,
                         PortSource portSource, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      link_(std::move(link)),
      builder_(ParamDialogTemplate()),
      view_(*this, builder_, &notifier),
      presenter_(view_, *link_, runner_) {
    BuildView();
    WireControls();
    presenter_.Initialise(std::move(portSource));
    presenter_.WatchPorts(timers_);
}

ParamDialog::~ParamDialog() = default;

void ParamDialog::BuildView() {
    setWindowIcon(AppIcon());
    // Frames drawn as the dialog toolkit draws them: the line runs through the middle of the
    // title, so a frame's top edge is where its template puts it.
    setStyleSheet(QStringLiteral(
        "QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 7px; }"
        "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left;"
        " left: 6px; padding: 0px 2px; }"));
    builder_.Build(*this);

    auto* power = builder_.ControlAs<QLineEdit>(kPowerEdit);
    power->clear();
    power->setMaxLength(3);
    // The about entry of the window menu, offered as the window's context menu: Qt cannot add
    // items to the system menu on every platform.
    aboutAction_ = new QAction(QStringLiteral("Tesmarle(&A)..."), this);
    connect(aboutAction_, &QAction::triggered, this, &ParamDialog::ShowAboutBox);
    addAction(aboutAction_);
    setContextMenuPolicy(Qt::ActionsContextMenu);

    // Typed text in "Export time" must not become an item of the list.
    builder_.ControlAs<QComboBox>(kExportTimeCombo)->setInsertPolicy(QComboBox::NoInsert);
    // A device path is often longer than the box: the tooltip shows all of it, and what the
    // adapter behind it is.
    connect(builder_.ControlAs<QComboBox>(kPortList), &QComboBox::currentTextChanged, this,
            [this] { presenter_.PortChosen(); });
    // Styles that open a list as a pop-up menu ignore the visible item count; a plain list
    // keeps it.
    auto* frequencies = builder_.ControlAs<QComboBox>(kFrequencyList);
    frequencies->setStyleSheet(QStringLiteral("QComboBox { combobox-popup: 0; }"));
    frequencies->setMaxVisibleItems(kFrequencyItemsShown);
}

void ParamDialog::WireControls() {
    const auto click = [this](int id, auto handler) {
        connect(builder_.ControlAs<QPushButton>(id), &QPushButton::clicked, this, handler);
    };
    click(kConnectButton, [this] { presenter_.Connect(); });
    click(kDisconnectButton, [this] { presenter_.Disconnect(); });
    click(kSetButton, [this] { presenter_.Set(); });
    click(kRefreshButton, [this] { presenter_.Resume(); });
    click(kReadButton, [this] { presenter_.Read(); });
    click(kIdentifyButton, [this] { IdentifyTags(); });
    // Only the user's choice counts as a selection change, not one made by the program.
    connect(builder_.ControlAs<QComboBox>(kConnectPortList), &QComboBox::activated, this,
            [this](int index) { presenter_.ConnectPortChosen(index); });
}

void ParamDialog::IdentifyTags() {
    if (!presenter_.CanIdentifyTags()) {
        return;
    }
    TagDialog tags(*link_, this);
    tags.exec();
}

void ParamDialog::ShowAboutBox() {
    AboutBox about(this);
    about.exec();
}

void ParamDialog::accept() {
    // The OK command, Enter outside a push button, leaves the window open: closing would throw
    // away the values just typed. The Win32 window ignores it too.
}

void ParamDialog::reject() {
    // Escape and the close box; during a reader call the window closes when the call ends, so
    // that the link outlives it.
    presenter_.Close();
}

void ParamDialog::keyPressEvent(QKeyEvent* event) {
    if (!EnterKey::Handle(*this, event)) {
        QDialog::keyPressEvent(event);
    }
}

}  // namespace uhf
