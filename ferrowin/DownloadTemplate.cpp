#include "ferrowin/DownloadTemplate.h"

#include "protocol/BaudRates.h"

namespace uhf {

namespace {

using K = ControlKind;

}  // namespace

const std::vector<std::string>& DownloadTemplate::BaudRates() {
    static const std::vector<std::string> rates = [] {
        std::vector<std::string> items;
        for (const int rate : kBaudRates) {
            items.push_back(std::to_string(rate));
        }
        return items;
    }();
    return rates;
}

const DialogTemplate& DownloadTemplate::Get() {
    static const DialogTemplate dialog{
        .title = "UHF Reader Download Tools",
        .width = 366,
        .height = 242,
        .fontFamily = "宋体",
        .controls =
            {
                {kPathBox, K::ReadOnlyEdit, "", 14, 7, 237, 12},
                {kLogList, K::ListView, "", 14, 35, 238, 168},
                {-1, K::GroupBox, "SerialPort", 260, 28, 99, 109},
                {kPortList, K::DropDownList, "", 269, 41, 62, 100},
                {-1, K::Label, "Baudrate", 262, 62, 49, 8},
                {kDeviceBaudList, K::DropDownList, "", 269, 73, 62, 85, BaudRates()},
                {-1, K::Label, "bps", 337, 75, 15, 8},
                {kDownloadBaudLabel, K::Label, "download baudrate", 262, 95, 46, 8},
                {kDownloadBaudList, K::DropDownList, "", 269, 107, 62, 88, BaudRates()},
                {-1, K::Label, "bps", 337, 109, 13, 8},
                {kFileButton, K::PushButton, "File", 277, 146, 55, 14},
                {kDownloadButton, K::PushButton, "Download", 277, 168, 55, 14},
                {kExistButton, K::PushButton, "Exist", 277, 190, 55, 14},
                {kProgressBar, K::ProgressBar, "", 14, 214, 240, 14},
                // The serial control (283, 7, 19, 19) draws nothing while the program runs, so it
                // takes no place here; the window owns a CommControl instead.
            },
    };
    return dialog;
}

const DialogTemplate& DownloadTemplate::About() {
    static const DialogTemplate about{
        .title = "关于 Ferrowin",
        .width = 235,
        .height = 55,
        .fontFamily = "宋体",
        .controls =
            {
                {kAboutIcon, K::Icon, "", 11, 17, 20, 20},
                {-1, K::Label, "Ferrowin 5.0 版", 40, 10, 119, 8},
                {-1, K::Label, "UHF Upgrade Tool", 40, 25, 119, 8},
                {kAboutOk, K::DefaultPushButton, "确定", 178, 7, 50, 16},
            },
    };
    return about;
}

}  // namespace uhf
