#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <vector>

namespace uhf {

// Time as the simulator sees it: a monotonic count from an origin the caller chooses. The program
// passes the steady clock, tests a manual one.
using SimTime = std::chrono::microseconds;

using TagId = std::array<std::uint8_t, 8>;

// Misbehaviour on demand. Every field at its default means a well-behaved reader.
struct SimFaults {
    int dropEvery = 0;     // every Nth reply is lost on the line (0: none)
    int delayMs = 0;       // replies leave this much later than they would
    int corruptEvery = 0;  // one byte in N of everything sent is altered (0: none)
    int silentAfter = -1;  // after answering this many frames the reader sends nothing (-1: never)
    int garbageBytes = 0;  // bytes of line noise sent before each reply
    bool ack88 = false;    // status requests are answered with E0 04 88 88 88 84
    int splitParts = 0;    // each reply is sent as this many separate writes (0 or 1: whole)
    int splitGapMs = 10;   // pause between the parts of a split reply
    // A block write starting at this address is acknowledged but not stored (-1: none).
    int ignoreWriteAddress = -1;
};

struct SimConfig {
    int workingBaud = 9600;     // the rate the reader talks at outside an upgrade
    std::vector<TagId> tags;    // population reported while working; empty: the default
    int tagRate = 4;            // tag frames a second while working (0: none)
    int turnaroundMs = 2;       // time the reader takes before answering a request
    int requestGapMs = 100;     // a partial request older than this is noise
    int upgradeIdleMs = 10000;  // an upgrade without a frame for this long is abandoned
    std::uint32_t seed = 1;     // for the noise bytes
    // The bytes of a frame are handed over together once its last byte has left, instead of one
    // at a time: the tool sees every frame complete at the same moment, with far fewer wake-ups.
    bool frameWrites = false;
    // While it reports tags the reader answers nothing but Stop and Resume (some firmware does;
    // others answer block reads and writes between tag frames).
    bool ignoreWhileWorking = false;
    SimFaults faults;
};

}  // namespace uhf
