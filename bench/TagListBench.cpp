// The tag list at a million rows: heap per row of what the list keeps (the rows, the model and
// the window's list view showing them), and the cost of one 500 ms tick's update (450 new rows
// into the model and the list view that shows it).
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QDialog>
#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>

#include "tesmarle/ControlText.h"
#include "tesmarle/qt/TagListModel.h"
#include "tesmarle/TagRowStore.h"
#include "tesmarle/TesmarleTemplates.h"
#include "ui/qt/DialogBuilder.h"

namespace {

constexpr int kRows = 1'000'000;
constexpr int kTickRows = 450;  // the most one tick can take from the link

std::size_t HeapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

std::array<std::uint8_t, kTickRows * 8> Batch(int seed) {
    std::array<std::uint8_t, kTickRows * 8> batch{};
    for (std::size_t i = 0; i < batch.size(); ++i) {
        batch[i] = static_cast<std::uint8_t>(i * 7 + static_cast<std::size_t>(seed));
    }
    return batch;
}

// Both the rows and the model that shows them, the way the tag window holds them.
struct TagList {
    uhf::TagRowStore store;
    uhf::TagListModel model{[this](int row, int column) {
        return column == 0 ? QString::number(row + 1)
                           : QString::fromStdString(uhf::TagText(store.Record(row)));
    }};

    void Append(const std::uint8_t* records, int count) {
        const int first = static_cast<int>(store.Size());
        store.Append(records, count);
        model.RowsAppended(first, count);
    }

    void Fill(int rows) {
        const auto batch = Batch(0);
        for (int added = 0; added < rows; added += kTickRows) {
            Append(batch.data(), std::min(kTickRows, rows - added));
        }
    }
};

// The list view that the tag window's template builds, showing `model`.
struct TagWindowList {
    QDialog window;
    uhf::DialogBuilder builder{uhf::TagDialogTemplate()};
    QAbstractItemView* view = nullptr;

    explicit TagWindowList(QAbstractItemModel& model) {
        builder.Build(window);
        view = builder.ControlAs<QAbstractItemView>(uhf::kTagList);
        view->setModel(&model);
        window.show();
        QApplication::processEvents();
    }
};

void BM_TagListMemoryPerRow(benchmark::State& state) {
    double perRow = 0;
    for (auto _ : state) {
        auto list = std::make_unique<TagList>();
        TagWindowList shown(list->model);
        const std::size_t before = HeapInUse();
        list->Fill(kRows);
        QApplication::processEvents();
        perRow = static_cast<double>(HeapInUse() - before) / kRows;
        benchmark::DoNotOptimize(list->store.Size());
    }
    state.counters["bytes_per_row"] = perRow;
}
BENCHMARK(BM_TagListMemoryPerRow)->Iterations(1)->Unit(benchmark::kMillisecond);

// One tick as the tag window sees it: the rows into the model, the list view that the window's
// template builds following the newest row, then the event loop laying out and repainting.
void BM_TagListTickAtAMillionRows(benchmark::State& state) {
    TagList list;
    list.Fill(kRows);
    TagWindowList shown(list.model);
    QAbstractItemView* view = shown.view;
    const auto batch = Batch(1);
    for (auto _ : state) {
        list.Append(batch.data(), kTickRows);
        view->scrollTo(list.model.index(list.model.rowCount() - 1, 0),
                       QAbstractItemView::EnsureVisible);
        QApplication::processEvents();
    }
    state.counters["rows"] = static_cast<double>(list.store.Size());
}
BENCHMARK(BM_TagListTickAtAMillionRows)->Unit(benchmark::kMillisecond)->Iterations(50);

void BM_TagListModelUpdateAtAMillionRows(benchmark::State& state) {
    TagList list;
    list.Fill(kRows);
    const auto batch = Batch(1);
    for (auto _ : state) {
        list.Append(batch.data(), kTickRows);
    }
}
BENCHMARK(BM_TagListModelUpdateAtAMillionRows)->Unit(benchmark::kMicrosecond)->Iterations(50);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
