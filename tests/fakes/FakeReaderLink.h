#pragma once

#include <chrono>
#include <memory>
#include <mutex>
#include <vector>

#include "fakes/FakeReader.h"
#include "fakes/FakeSerialPort.h"
#include "reader/ReaderLink.h"

namespace uhf::test {

// A ReaderLink whose port is a FakeSerialPort answered by a FakeReader. The answers are made on
// the link's threads, so a test touches `reader` only while it holds `readerMutex`.
class FakeReaderLink {
  public:
    using Bytes = std::vector<std::uint8_t>;

    // `emptyReadWait`: how long a read of a silent line waits, as a real port's time-out would.
    explicit FakeReaderLink(
        std::chrono::milliseconds emptyReadWait = std::chrono::milliseconds(0)) {
        auto fake = std::make_unique<FakeSerialPort>();
        port = fake.get();
        port->SetEmptyReadWait(emptyReadWait);
        link = std::make_unique<ReaderLink>(std::move(fake), [](std::chrono::milliseconds) {});
        port->SetResponder([this](const Bytes& written) {
            std::lock_guard<std::mutex> lock(readerMutex);
            Bytes answer = reader.Answer(written);
            return answer.empty() ? std::vector<Bytes>{} : std::vector<Bytes>{answer};
        });
    }
    FakeReaderLink(const FakeReaderLink&) = delete;
    FakeReaderLink& operator=(const FakeReaderLink&) = delete;

    FakeSerialPort* port = nullptr;  // owned by `link`
    std::mutex readerMutex;
    FakeReader reader;
    std::unique_ptr<ReaderLink> link;
};

}  // namespace uhf::test
