#pragma once

#include <QDialog>
#include <QTimer>
#include <array>
#include <cstdint>

#include "paramtool/TagListModel.h"
#include "reader/ReaderLink.h"
#include "widgets/DialogBuilder.h"

class QLabel;
class QTreeView;

namespace uhf {

// Tesmarle's tag identification window. "Start" sets the reader identifying and the link
// collecting; every 500 ms the identifiers collected since the last tick become numbered rows.
// Closing it, by "Back" or by Escape, sends the stop command so nothing runs on unseen.
class TagDialog : public QDialog {
    Q_OBJECT

  public:
    static constexpr int kTickMilliseconds = 500;

    explicit TagDialog(ReaderLink& link, QWidget* parent = nullptr);

    QWidget* Control(int id) const { return builder_.Control(id); }
    const TagListModel& Model() const { return model_; }
    bool IsTicking() const { return timer_.isActive(); }

    void Start();
    void Stop();
    void Clear();
    void Tick();

    void accept() override;  // "Back"
    void reject() override;  // Escape

  private:
    void SetStatus(const QString& text);

    ReaderLink& link_;
    DialogBuilder builder_;
    TagListModel model_;
    QTimer timer_;
    std::array<std::uint8_t, 450 * 8> tagBuffer_{};
};

}  // namespace uhf
