#include "paramtool/TagDialog.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeView>

#include "paramtool/ControlText.h"
#include "paramtool/TesmarleTemplates.h"
#include "widgets/WaitCursor.h"

namespace uhf {

TagDialog::TagDialog(ReaderLink& link, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      link_(link),
      builder_(TagDialogTemplate()) {
    builder_.Build(*this);

    auto* view = builder_.ControlAs<QTreeView>(kTagList);
    view->setModel(&model_);
    const int w = view->frameGeometry().width();
    view->header()->resizeSection(0, w / 9);
    view->header()->resizeSection(1, w - w / 9 - 22);

    timer_.setInterval(kTickMilliseconds);
    connect(&timer_, &QTimer::timeout, this, &TagDialog::Tick);
    connect(builder_.ControlAs<QPushButton>(kStartButton), &QPushButton::clicked, this,
            &TagDialog::Start);
    connect(builder_.ControlAs<QPushButton>(kStopButton), &QPushButton::clicked, this,
            &TagDialog::Stop);
    connect(builder_.ControlAs<QPushButton>(kClearButton), &QPushButton::clicked, this,
            &TagDialog::Clear);
    connect(builder_.ControlAs<QPushButton>(kBackButton), &QPushButton::clicked, this,
            &TagDialog::accept);
}

void TagDialog::Start() {
    int started = 0;
    {
        const WaitCursor wait;
        started = link_.StartTagCollection();
    }
    if (started == 1) {
        SetStatus(QStringLiteral("Identifying tags..."));
        timer_.start();  // restarts a running timer
    } else {
        SetStatus(QStringLiteral("Fail to identify 6B tag"));
    }
}

void TagDialog::Stop() {
    {
        const WaitCursor wait;
        link_.Stop();
    }
    timer_.stop();
    SetStatus(QStringLiteral("Stop identifying..."));
}

void TagDialog::Clear() {
    SetStatus(QString());
    model_.Clear();
}

void TagDialog::Tick() {
    const int count = link_.TakeTagRecords(tagBuffer_.data());
    if (count <= 0) {
        return;
    }
    const int records = std::min(count, static_cast<int>(tagBuffer_.size() / 8));
    QStringList texts;
    texts.reserve(records);
    for (int i = 0; i < records; ++i) {
        texts.append(TagText(tagBuffer_.data() + i * 8));
    }
    model_.AppendRows(texts);
    auto* view = builder_.ControlAs<QTreeView>(kTagList);
    view->scrollTo(model_.index(model_.rowCount() - 1, 0), QAbstractItemView::EnsureVisible);
}

void TagDialog::accept() {
    {
        const WaitCursor wait;
        link_.Stop();
    }
    timer_.stop();
    QDialog::accept();
}

void TagDialog::reject() {
    // Escape stops the collection too: the reader and the receive thread must not run on
    // with no window to show what they collect.
    {
        const WaitCursor wait;
        link_.Stop();
    }
    timer_.stop();
    QDialog::reject();
}

void TagDialog::SetStatus(const QString& text) {
    builder_.ControlAs<QLabel>(kStatusLine)->setText(text);
}

}  // namespace uhf
