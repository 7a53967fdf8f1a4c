#include "paramtool/ParamDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <utility>

#include "paramtool/AboutBox.h"
#include "paramtool/AppIcon.h"
#include "paramtool/ControlText.h"
#include "paramtool/TagDialog.h"
#include "paramtool/TesmarleTemplates.h"
#include "protocol/BaudRates.h"
#include "reader/ReaderParams.h"
#include "widgets/EnterKey.h"
#include "widgets/WaitCursor.h"

namespace uhf {

namespace {

// Runs one blocking reader call under the wait cursor; the cursor is gone before any message.
template <typename Call>
int Blocking(Call call) {
    const WaitCursor wait;
    return call();
}

void SelectItem(QComboBox* combo, std::uint8_t value) {
    combo->setCurrentIndex(ItemIndexForValue(value, combo->count()));
}

// A list's choice as stored: selected index + 1, so no selection gives 0.
std::uint8_t SelectedValue(const QComboBox* combo) {
    int index = combo->currentIndex();
    if (combo->isEditable()) {
        // The edit field may hold typed text; it counts only when it names an item.
        index = combo->findText(combo->currentText(), Qt::MatchExactly);
    }
    return static_cast<std::uint8_t>(index + 1);
}

}  // namespace

ParamDialog::ParamDialog(std::unique_ptr<ReaderLink> link, Notifier& notifier,
                         PortSource portSource, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      link_(std::move(link)),
      notifier_(notifier),
      builder_(ParamDialogTemplate()) {
    setWindowIcon(AppIcon());
    // Frames drawn as the dialog toolkit draws them: the line runs through the middle of the
    // title, so a frame's top edge is where its template puts it.
    setStyleSheet(QStringLiteral(
        "QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 7px; }"
        "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left;"
        " left: 6px; padding: 0px 2px; }"));
    builder_.Build(*this);
    WireControls();
    Initialise(portSource);
}

ParamDialog::~ParamDialog() = default;

void ParamDialog::Initialise(const PortSource& portSource) {
    Edit(kPowerEdit)->clear();
    Edit(kPowerEdit)->setMaxLength(3);
    // The about entry of the window menu, offered as the window's context menu: Qt cannot add
    // items to the system menu on every platform.
    aboutAction_ = new QAction(QStringLiteral("Tesmarle(&A)..."), this);
    connect(aboutAction_, &QAction::triggered, this, &ParamDialog::ShowAboutBox);
    addAction(aboutAction_);
    setContextMenuPolicy(Qt::ActionsContextMenu);

    QComboBox* ports = Combo(kPortList);
    if (portSource) {
        for (const std::string& name : portSource()) {
            ports->addItem(QString::fromStdString(name));
        }
    }
    ports->setCurrentIndex(ports->count() > 0 ? 0 : -1);

    QComboBox* bauds = Combo(kBaudList);
    for (const int rate : kBaudRates) {
        bauds->addItem(QString::number(rate));
    }
    bauds->setCurrentIndex(0);

    Combo(kFrequencyList)->addItems(FrequencyItems());
    Combo(kFrequencyList)->setCurrentIndex(-1);

    Combo(kConnectPortList)->setCurrentIndex(0);
    // Typed text in "Export time" must not become an item of the list.
    Combo(kExportTimeCombo)->setInsertPolicy(QComboBox::NoInsert);

    SetDisconnectedState();
    EnableWiegandGroup(false);
}

void ParamDialog::WireControls() {
    connect(Button(kConnectButton), &QPushButton::clicked, this, &ParamDialog::Connect);
    connect(Button(kDisconnectButton), &QPushButton::clicked, this, &ParamDialog::Disconnect);
    connect(Button(kSetButton), &QPushButton::clicked, this, &ParamDialog::Set);
    connect(Button(kRefreshButton), &QPushButton::clicked, this, &ParamDialog::Resume);
    connect(Button(kReadButton), &QPushButton::clicked, this, &ParamDialog::Read);
    connect(Button(kIdentifyButton), &QPushButton::clicked, this, &ParamDialog::IdentifyTags);
    // Only the user's choice counts as a selection change, not one made by the program.
    connect(Combo(kConnectPortList), &QComboBox::activated, this,
            [this](int index) { EnableWiegandGroup(index == 1); });
}

void ParamDialog::Connect() {
    // The whole name: a device path is longer than a COM name.
    const std::string portName = Combo(kPortList)->currentText().toStdString();
    const int baudRate = Combo(kBaudList)->currentText().toInt();
    if (Blocking([&] { return link_->Open(portName, baudRate); }) != 1) {
        notifier_.Notify(QStringLiteral("Open Fail!"));
        link_->Close();
        return;
    }
    ReaderParams params;
    const int read = Blocking([&] {
        link_->Stop();
        return link_->ReadParams(params);
    });
    if (read == 1) {
        ShowParams(params);
        SetConnectedState();
    } else {
        notifier_.Notify(QStringLiteral("Open Fail!"));
        link_->Close();
    }
}

void ParamDialog::Disconnect() {
    link_->Close();
    SetDisconnectedState();
}

void ParamDialog::Set() {
    ReaderParams params;
    if (Blocking([&] { return link_->ReadParams(params); }) != 1) {
        notifier_.Notify(
            QStringLiteral("Setting Error:It is fail to get the parameters from the device"));
        return;
    }
    TakeParams(params);
    if (Blocking([&] { return link_->WriteParams(params); }) != 0) {
        notifier_.Notify(QStringLiteral("The parameters is set into the device successfully"));
    } else {
        notifier_.Notify(QStringLiteral("It is fail to set the parameters into the device"));
    }
}

void ParamDialog::Read() {
    ReaderParams params;
    if (Blocking([&] { return link_->ReadParams(params); }) == 1) {
        ShowParams(params);
    } else {
        notifier_.Notify(QStringLiteral("It is fail to refresh the parameters"));
    }
}

void ParamDialog::Resume() {
    if (Blocking([&] { return link_->Resume(); }) == 1) {
        notifier_.Notify(QStringLiteral("The device resumes successfully"));
    } else {
        notifier_.Notify(QStringLiteral("The device is fail to resume"));
    }
}

void ParamDialog::IdentifyTags() {
    TagDialog tags(*link_, this);
    tags.exec();
}

void ParamDialog::ShowAboutBox() {
    AboutBox about(this);
    about.exec();
}

void ParamDialog::keyPressEvent(QKeyEvent* event) {
    if (!EnterKey::Handle(*this, event)) {
        QDialog::keyPressEvent(event);
    }
}

void ParamDialog::ShowParams(const ReaderParams& params) {
    Button(kIdentifyButton)->setEnabled(true);
    Edit(kPowerEdit)->setText(QString::number(params.power));
    if (params.cardMode == 0) {
        Radio(kSingleCardRadio)->setChecked(true);
    } else if (params.cardMode == 1) {
        Radio(kMultiCardsRadio)->setChecked(true);
    }
    Edit(kTimeDistanceEdit)->setText(QString::number(params.timeDistance));
    builder_.ControlAs<QCheckBox>(kIdBorderCheck)->setChecked(params.idBorderUponDifferent == 1);
    SelectItem(Combo(kConnectPortList), params.connectPort);
    EnableWiegandGroup(params.connectPort == 2);
    SelectItem(Combo(kProtocolList), params.protocol);
    SelectItem(Combo(kExportTimeCombo), params.exportTime);
    SelectItem(Combo(kExportDistanceList), params.exportDistance);
    Edit(kPulseWidthEdit)->setText(QString::number(params.pulseWidth));
    Edit(kPulsePeriodsEdit)->setText(QString::number(params.pulsePeriods));
    if (params.lockedFrequency == 0) {
        Radio(kJumpFrequencyRadio)->setChecked(true);
    } else {
        Radio(kLockedFrequencyRadio)->setChecked(true);
        SelectItem(Combo(kFrequencyList), params.lockedFrequency);
    }
}

void ParamDialog::TakeParams(ReaderParams& params) const {
    params.power = LowByteOfInteger(Edit(kPowerEdit)->text());
    if (Radio(kSingleCardRadio)->isChecked()) {
        params.cardMode = 0;
    }
    if (Radio(kMultiCardsRadio)->isChecked()) {
        params.cardMode = 1;
    }
    params.timeDistance = LowByteOfInteger(Edit(kTimeDistanceEdit)->text());
    params.idBorderUponDifferent =
        builder_.ControlAs<QCheckBox>(kIdBorderCheck)->isChecked() ? 1 : 0;
    params.connectPort = SelectedValue(Combo(kConnectPortList));
    if (params.connectPort == 2) {
        params.protocol = SelectedValue(Combo(kProtocolList));
        params.exportTime = SelectedValue(Combo(kExportTimeCombo));
        params.exportDistance = SelectedValue(Combo(kExportDistanceList));
        params.pulseWidth = LowByteOfInteger(Edit(kPulseWidthEdit)->text());
        params.pulsePeriods = LowByteOfInteger(Edit(kPulsePeriodsEdit)->text());
    }
    if (Radio(kJumpFrequencyRadio)->isChecked()) {
        params.lockedFrequency = 0;
    }
    if (Radio(kLockedFrequencyRadio)->isChecked()) {
        params.lockedFrequency = SelectedValue(Combo(kFrequencyList));
    }
}

void ParamDialog::SetDisconnectedState() {
    Button(kIdentifyButton)->setEnabled(false);
    Button(kConnectButton)->setEnabled(true);
    Button(kDisconnectButton)->setEnabled(false);
    Button(kRefreshButton)->setEnabled(false);
    Button(kSetButton)->setEnabled(false);
    Button(kReadButton)->setEnabled(false);
}

void ParamDialog::SetConnectedState() {
    Button(kConnectButton)->setEnabled(false);
    Button(kDisconnectButton)->setEnabled(true);
    Button(kRefreshButton)->setEnabled(true);
    Button(kSetButton)->setEnabled(true);
    Button(kReadButton)->setEnabled(true);
}

void ParamDialog::EnableWiegandGroup(bool on) {
    for (int id : {kExportDistanceList, kExportTimeCombo, kProtocolList, kPulsePeriodsEdit,
                   kPulseWidthEdit}) {
        Control(id)->setEnabled(on);
    }
}

QComboBox* ParamDialog::Combo(int id) const {
    return builder_.ControlAs<QComboBox>(id);
}

QLineEdit* ParamDialog::Edit(int id) const {
    return builder_.ControlAs<QLineEdit>(id);
}

QPushButton* ParamDialog::Button(int id) const {
    return builder_.ControlAs<QPushButton>(id);
}

QRadioButton* ParamDialog::Radio(int id) const {
    return builder_.ControlAs<QRadioButton>(id);
}

}  // namespace uhf
