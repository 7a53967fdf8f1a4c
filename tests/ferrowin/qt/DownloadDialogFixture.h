#pragma once

#include <gtest/gtest.h>

#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeView>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "common/PortConfig.h"
#include "ferrowin/qt/DownloadDialog.h"
#include "ferrowin/DownloadTemplate.h"
#include "ferrowin/qt/LogModel.h"
#include "fakes/FakeFileChooser.h"
#include "fakes/RecordingNotifier.h"

// Readable failure messages for Qt strings.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QStringList& texts, std::ostream* out) {
    *out << '{';
    for (const QString& text : texts) {
        *out << ' ';
        PrintTo(text, out);
    }
    *out << " }";
}

namespace uhf {

// A download window over settings in a temporary folder and an injected port list.
class DownloadDialogFixture : public testing::Test {
  protected:
    // The window goes before any control a derived test owns.
    void TearDown() override { dialog.reset(); }

    std::string Folder() const { return dir.path().toStdString() + "/"; }
    std::string IniPath() const { return Folder() + "System.ini"; }

    // A second settings object over the same file, as the next start of the program sees it.
    std::unique_ptr<PortConfig> Settings() {
        return std::make_unique<PortConfig>(Folder(), [this] { return ports; });
    }

    DownloadDialog& Open(CommControl& comm) {
        dialog.reset();
        config = Settings();
        dialog = std::make_unique<DownloadDialog>(*config, comm, notifier, files);
        return *dialog;
    }

    template <typename T>
    T* Control(int id) const {
        return qobject_cast<T*>(dialog->Control(id));
    }
    QComboBox* PortList() const { return Control<QComboBox>(DownloadTemplate::kPortList); }
    QComboBox* DeviceBaudList() const {
        return Control<QComboBox>(DownloadTemplate::kDeviceBaudList);
    }
    QComboBox* DownloadBaudList() const {
        return Control<QComboBox>(DownloadTemplate::kDownloadBaudList);
    }
    QLineEdit* PathBox() const { return Control<QLineEdit>(DownloadTemplate::kPathBox); }
    QTreeView* LogView() const { return Control<QTreeView>(DownloadTemplate::kLogList); }
    QProgressBar* Progress() const { return Control<QProgressBar>(DownloadTemplate::kProgressBar); }
    QPushButton* Button(int id) const { return Control<QPushButton>(id); }

    // Whether the five inputs are usable; they always change together.
    bool InputsEnabled() const {
        const bool ports = PortList()->isEnabled();
        EXPECT_EQ(DeviceBaudList()->isEnabled(), ports);
        EXPECT_EQ(DownloadBaudList()->isEnabled(), ports);
        EXPECT_EQ(Button(DownloadTemplate::kFileButton)->isEnabled(), ports);
        EXPECT_EQ(Button(DownloadTemplate::kDownloadButton)->isEnabled(), ports);
        return ports;
    }

    QStringList LogMessages() const {
        QStringList messages;
        const LogModel& log = dialog->Log();
        for (int row = 0; row < log.rowCount(); ++row) {
            messages.append(log.data(log.index(row, LogModel::kMessage)).toString());
        }
        return messages;
    }

    QTemporaryDir dir;
    std::vector<std::string> ports{"/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyS4"};
    RecordingNotifier notifier;
    FakeFileChooser files;
    std::unique_ptr<PortConfig> config;
    std::unique_ptr<DownloadDialog> dialog;
};

}  // namespace uhf
