// Tesmarle's tag window, the real one, shown on Qt's offscreen platform and fed by a reader on
// PORT (readersim reporting at the line rate): after a warm-up, the process's CPU share (the
// window's thread and the link's receive thread together) and its resident memory's growth per
// row, the slope of RSS against the rows shown over one sample a second.
// Usage: tag_window_bench PORT SECONDS [BAUD]. Exit status 1 when a target is missed.
#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "tesmarle/qt/TagDialog.h"
#include "reader/ReaderLink.h"

namespace {

constexpr double kCpuShareTarget = 3.0;    // percent of one core
constexpr double kBytesPerRowTarget = 16;  // resident memory
constexpr int kWarmUpSeconds = 10;         // fonts, glyph caches, the first blocks

double Seconds(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double ResidentBytes() {
    std::ifstream statm("/proc/self/statm");
    long total = 0;
    long resident = 0;
    statm >> total >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE));
}

struct Sample {
    double rows;
    double rss;
};

// Least-squares slope of RSS over rows: bytes a row.
double BytesPerRow(const std::vector<Sample>& samples) {
    double rows = 0;
    double rss = 0;
    for (const Sample& s : samples) {
        rows += s.rows;
        rss += s.rss;
    }
    const double n = static_cast<double>(samples.size());
    rows /= n;
    rss /= n;
    double covariance = 0;
    double variance = 0;
    for (const Sample& s : samples) {
        covariance += (s.rows - rows) * (s.rss - rss);
        variance += (s.rows - rows) * (s.rows - rows);
    }
    return variance > 0 ? covariance / variance : 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fputs("usage: tag_window_bench PORT SECONDS [BAUD]\n", stderr);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int seconds = std::max(kWarmUpSeconds + 5, std::atoi(argv[2]));
    const int baud = argc > 3 ? std::atoi(argv[3]) : 115200;

    uhf::ReaderLink link;
    if (!link.Open(argv[1], baud)) {
        std::fprintf(stderr, "cannot open %s: %s\n", argv[1],
                     uhf::ToString(link.LastOpenError()).c_str());
        return 2;
    }
    uhf::TagDialog dialog(link);
    dialog.show();
    dialog.Start();
    if (!dialog.IsTicking()) {
        std::fputs("the reader did not start identifying\n", stderr);
        return 2;
    }

    std::vector<Sample> samples;
    double wall0 = 0;
    double cpu0 = 0;
    double ui0 = 0;
    int rows0 = 0;
    int elapsed = 0;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        ++elapsed;
        const int rows = dialog.Model().rowCount();
        if (elapsed == kWarmUpSeconds) {
            wall0 = Seconds(CLOCK_MONOTONIC);
            cpu0 = Seconds(CLOCK_PROCESS_CPUTIME_ID);
            ui0 = Seconds(CLOCK_THREAD_CPUTIME_ID);
            rows0 = rows;
        }
        if (elapsed >= kWarmUpSeconds) {
            samples.push_back({static_cast<double>(rows), ResidentBytes()});
        }
        if (elapsed == seconds) {
            sampler.stop();
            dialog.accept();  // "Back": the stop command, then the window closes
            app.quit();
        }
    });
    sampler.start(1000);
    app.exec();

    const double wall = Seconds(CLOCK_MONOTONIC) - wall0;
    const double cpu = Seconds(CLOCK_PROCESS_CPUTIME_ID) - cpu0;
    const double ui = Seconds(CLOCK_THREAD_CPUTIME_ID) - ui0;
    const int rows = static_cast<int>(samples.back().rows) - rows0;
    const double share = 100.0 * cpu / wall;
    const double perRow = BytesPerRow(samples);
    const bool fed = rows / wall > 700;
    const bool light = share <= kCpuShareTarget;
    const bool small = perRow <= kBytesPerRowTarget;
    std::printf("tag window at %d baud: %d rows in %.0f s (%.0f a second, %d in all)%s\n", baud,
                rows, wall, rows / wall, dialog.Model().rowCount(),
                fed ? "" : " FAILED: the reader did not report at the line rate");
    std::printf(
        "tag window CPU: %.2f s in %.1f s, %.2f%% of one core (target <= %.0f%%; the window's "
        "thread %.2f%%)%s\n",
        cpu, wall, share, kCpuShareTarget, 100.0 * ui / wall, light ? "" : " FAILED");
    std::printf(
        "tag window resident memory: %.1f bytes a row, %.0f kB per 10000 rows (target <= %.0f "
        "bytes a row); %.1f MB at the end%s\n",
        perRow, perRow * 10000 / 1000, kBytesPerRowTarget, samples.back().rss / 1e6,
        small ? "" : " FAILED");
    return fed && light && small ? 0 : 1;
}
