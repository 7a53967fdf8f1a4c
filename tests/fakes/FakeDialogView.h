#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ui/DialogView.h"

namespace uhf::test {

// A window as plain data for presenter tests: each control's state by identifier, and a journal
// of busy changes, messages and closing in the order they happened.
class FakeDialogView : public DialogView {
  public:
    struct Control {
        std::string text;
        bool checked = false;
        int selected = -1;
        std::vector<std::string> items;
        bool enabled = true;
        std::pair<int, int> range{0, 0};  // of a progress bar, lower and upper
        std::vector<int> positions;       // every position set, in order
        std::string toolTip;
    };

    std::string Text(int id) const override {
        const Control& c = At(id);
        return c.selected >= 0 && c.selected < static_cast<int>(c.items.size())
                   ? c.items[static_cast<std::size_t>(c.selected)]
                   : c.text;
    }
    void SetText(int id, const std::string& text) override { controls[id].text = text; }
    bool IsChecked(int id) const override { return At(id).checked; }
    void SetChecked(int id, bool checked) override { controls[id].checked = checked; }
    int SelectedIndex(int id) const override { return At(id).selected; }
    void SelectIndex(int id, int index) override { controls[id].selected = index; }
    int ItemCount(int id) const override { return static_cast<int>(At(id).items.size()); }
    void AddItem(int id, const std::string& text) override { controls[id].items.push_back(text); }
    void ClearItems(int id) override {
        controls[id].items.clear();
        controls[id].selected = -1;
    }
    void SetToolTip(int id, const std::string& text) override { controls[id].toolTip = text; }
    void Enable(int id, bool on) override { controls[id].enabled = on; }
    void ShowMessage(const std::string& text) override {
        messages.push_back(text);
        journal.push_back("message " + text);
    }
    void SetBusy(bool on) override {
        busy = on;
        journal.push_back(on ? "busy" : "idle");
    }
    void RowsAppended(int, int first, int count) override {
        appended.push_back({first, count});
        rows += count;
    }
    void RowsCleared(int) override { rows = 0; }
    bool IsScrolledToEnd(int) const override { return scrolledToEnd; }
    void ScrollToRow(int, int row) override { scrolledTo = row; }
    void SetRange(int id, int lower, int upper) override { controls[id].range = {lower, upper}; }
    void SetPosition(int id, int position) override { controls[id].positions.push_back(position); }
    void CloseDialog(bool accepted) override {
        closed = accepted;
        journal.push_back(accepted ? "close accepted" : "close rejected");
    }

    const Control& At(int id) const {
        static const Control none;
        const auto found = controls.find(id);
        return found == controls.end() ? none : found->second;
    }

    std::map<int, Control> controls;
    std::vector<std::string> messages;
    std::vector<std::string> journal;
    bool busy = false;
    int rows = 0;
    std::vector<std::pair<int, int>> appended;  // first, count
    bool scrolledToEnd = true;
    int scrolledTo = -1;
    std::optional<bool> closed;
};

}  // namespace uhf::test
