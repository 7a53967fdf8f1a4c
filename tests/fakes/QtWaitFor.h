#pragma once

#include <QElapsedTimer>
#include <QTest>

namespace uhf::test {

// Runs the window's event loop until `wanted` holds, two seconds at most: long enough for a
// window timer on a busy machine, short enough to fail a hang quickly.
template <typename Condition>
bool WaitFor(Condition wanted) {
    QElapsedTimer clock;
    clock.start();
    while (!wanted() && clock.elapsed() < 2000) {
        QTest::qWait(20);
    }
    return wanted();
}

}  // namespace uhf::test
