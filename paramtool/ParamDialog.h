#pragma once

#include <QAction>
#include <QDialog>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "reader/ReaderLink.h"
#include "reader/ReaderParams.h"
#include "widgets/DialogBuilder.h"
#include "widgets/Notifier.h"

class QComboBox;
class QKeyEvent;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace uhf {

// Lists the serial port names for the "Port" list, in the order the machine gives them.
using PortSource = std::function<std::vector<std::string>()>;

// Tesmarle's main window: connects to the reader, shows and edits its parameter record, writes
// it back, sends the resume command and opens the tag window. Every reader call is synchronous
// on the window's thread, under a wait cursor; every outcome goes to the notifier.
class ParamDialog : public QDialog {
    Q_OBJECT

  public:
    ParamDialog(std::unique_ptr<ReaderLink> link, Notifier& notifier, PortSource portSource,
                QWidget* parent = nullptr);
    ~ParamDialog() override;

    ReaderLink& Link() { return *link_; }
    QWidget* Control(int id) const { return builder_.Control(id); }
    // The window-menu entry that opens the about box.
    QAction* AboutAction() const { return aboutAction_; }

    void Connect();
    void Disconnect();
    void Set();
    void Read();
    void Resume();
    void IdentifyTags();
    void ShowAboutBox();

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void Initialise(const PortSource& portSource);
    void WireControls();
    void ShowParams(const ReaderParams& params);
    void TakeParams(ReaderParams& params) const;
    void SetDisconnectedState();
    void SetConnectedState();
    void EnableWiegandGroup(bool on);

    QComboBox* Combo(int id) const;
    QLineEdit* Edit(int id) const;
    QPushButton* Button(int id) const;
    QRadioButton* Radio(int id) const;

    std::unique_ptr<ReaderLink> link_;
    Notifier& notifier_;
    DialogBuilder builder_;
    QAction* aboutAction_ = nullptr;
};

}  // namespace uhf
