#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QPixmap>

#include "DownloadDialogFixture.h"
#include "fakes/FakeCommControl.h"
#include "ferrowin/qt/AboutDialog.h"
#include "ferrowin/qt/FerrowinIcon.h"

namespace uhf {
namespace {

// Renders go to the build folder for a person to look at.
QString RenderPath(const char* name) {
    return QDir(QStringLiteral(FERROWIN_RENDER_DIR)).filePath(QString::fromUtf8(name));
}

// Saves `widget` as drawn and checks the file holds the whole widget.
void SaveRender(QWidget& widget, const QString& path) {
    const QPixmap image = widget.grab();
    ASSERT_TRUE(image.save(path, "PNG")) << path.toStdString();
    const QImage back(path);
    EXPECT_EQ(back.size(), widget.size());
}

TEST(RenderTest, AboutBoxIsRenderedToThePngFile) {
    AboutDialog about(FerrowinIcon::Create());
    about.show();
    SaveRender(about, RenderPath("ferrowin-about.png"));
}

class WindowRenderTest : public DownloadDialogFixture {
  protected:
    FakeCommControl comm;
};

TEST_F(WindowRenderTest, WindowWithLogAndProgressIsRenderedToThePngFile) {
    Settings()->WriteValue("DeviceBaud", "4");
    Settings()->WriteValue("DownBaud", "4");
    Settings()->WriteValue("DownloadFilePath", "/home/bench/firmware/reader-5.0.bin");
    Open(comm);
    dialog->show();
    dialog->Presenter().AddLog("Change baud rate.");
    dialog->Presenter().AddLog("Start sending upgrade firmware.");
    dialog->Presenter().EnableInputs(false);
    dialog->View().SetRange(DownloadTemplate::kProgressBar, 1, 16);
    dialog->View().SetPosition(DownloadTemplate::kProgressBar, 9);
    SaveRender(*dialog, RenderPath("ferrowin-window.png"));
}

}  // namespace
}  // namespace uhf
