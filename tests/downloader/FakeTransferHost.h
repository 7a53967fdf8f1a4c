#pragma once

#include <string>
#include <vector>

#include "downloader/TransferHost.h"
#include "fakes/ManualClock.h"

namespace uhf {

// Records every call of the transfer, stamped with the manual clock; timers and the pause run on
// that clock.
class FakeTransferHost : public TransferHost {
  public:
    enum class Kind { Log, Message, Enable, Disable, Range, Position, Pause };
    struct Event {
        ManualClock::Ms time = 0;
        Kind kind = Kind::Log;
        std::string text;
        int first = 0;
        int second = 0;
    };

    explicit FakeTransferHost(ManualClock& sharedClock) : clock(sharedClock) {}

    void AddLog(const std::string& message) override { Record(Kind::Log, message); }
    void EnableInputs() override {
        inputsEnabled = true;
        Record(Kind::Enable);
    }
    void DisableInputs() override {
        inputsEnabled = false;
        Record(Kind::Disable);
    }
    TransferSelections ReadSelections() override { return selections; }
    void SetProgressRange(int lower, int upper) override { Record(Kind::Range, {}, lower, upper); }
    void SetProgressPosition(int position) override { Record(Kind::Position, {}, position); }
    int DownloadBaudIndex() override { return baudIndex; }
    std::string FirmwarePath() override { return path; }
    void ShowMessage(const std::string& text) override { Record(Kind::Message, text); }
    void ArmTimer(int id, int milliseconds) override { clock.Arm(id, milliseconds); }
    void StopTimer(int id) override { clock.Stop(id); }
    void Pause(int milliseconds) override {
        Record(Kind::Pause, {}, milliseconds);
        clock.Sleep(milliseconds);
    }

    std::vector<std::string> Texts(Kind kind) const {
        std::vector<std::string> out;
        for (const Event& e : events) {
            if (e.kind == kind) {
                out.push_back(e.text);
            }
        }
        return out;
    }
    std::vector<std::string> Logs() const { return Texts(Kind::Log); }
    std::vector<std::string> Messages() const { return Texts(Kind::Message); }

    std::vector<int> Positions() const {
        std::vector<int> out;
        for (const Event& e : events) {
            if (e.kind == Kind::Position) {
                out.push_back(e.first);
            }
        }
        return out;
    }

    int Count(Kind kind) const {
        int n = 0;
        for (const Event& e : events) {
            n += e.kind == kind ? 1 : 0;
        }
        return n;
    }

    // Time of the first event of `kind` with `text` (any text when empty); -1 when none.
    ManualClock::Ms TimeOf(Kind kind, const std::string& text = {}) const {
        for (const Event& e : events) {
            if (e.kind == kind && (text.empty() || e.text == text)) {
                return e.time;
            }
        }
        return -1;
    }

    TransferSelections selections{"/dev/ttyFAKE0", 0, 115200, 115200};
    int baudIndex = 4;
    std::string path;
    bool inputsEnabled = true;
    std::vector<Event> events;

  private:
    void Record(Kind kind, const std::string& text = {}, int first = 0, int second = 0) {
        events.push_back({clock.Now(), kind, text, first, second});
    }

    ManualClock& clock;
};

}  // namespace uhf
