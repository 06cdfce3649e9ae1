// History store costs that grow with the history: opening it at start (index
// read, file checks, the scan for unlisted captures) and one capture into a
// full history (write, prune, index rewrite); plus naming from a 10 MB
// template. Prints the medians last.

#include "output/Naming.h"
#include "output/history/HistoryStore.h"
#include "settings/AppSettings.h"

#include "BenchSettings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

using namespace zorv;

namespace
{

// A history root holding `count` entries and their files.
struct History {
    bench::BenchSettings bench;
    AppSettings *settings = &bench.settings;
    QString root = bench.dir.filePath(QStringLiteral("Zorv"));

    History(int count, int limit)
    {
        settings->historyLimit.set(limit);
        const QString media = root + QStringLiteral("/History");
        QDir().mkpath(media);
        QList<HistoryItem> items;
        for (int i = 0; i < count; ++i) {
            const QString path = media + QStringLiteral("/Capture %1.png").arg(i);
            QFile file(path);
            file.open(QIODevice::WriteOnly);
            file.write("png");
            items.append({QUuid::createUuid(), QFileInfo(path).fileName(), CaptureKind::screenshot,
                          QDateTime::currentDateTimeUtc(), 8, 8, path, std::nullopt});
        }
        QFile index(root + QStringLiteral("/history.json"));
        index.open(QIODevice::WriteOnly);
        index.write(HistoryIndex::encode(items));
    }
};

void BM_OpenHistory(benchmark::State &state)
{
    // Room left under the limit, so the scan for unlisted captures runs.
    History history(int(state.range(0)), int(state.range(0)) * 2);
    for (auto _ : state) {
        HistoryStore store(history.root, *history.settings);
        benchmark::DoNotOptimize(store.items().size());
    }
}
BENCHMARK(BM_OpenHistory)->Arg(500)->Arg(5000)->Unit(benchmark::kMillisecond);

void BM_CaptureIntoFullHistory(benchmark::State &state)
{
    History history(int(state.range(0)), int(state.range(0)));
    HistoryStore store(history.root, *history.settings);
    for (auto _ : state)
        store.recordImage(QImage(8, 8, QImage::Format_RGB32), QByteArray("png"),
                          CaptureKind::screenshot, QStringLiteral("New.png"));
}
BENCHMARK(BM_CaptureIntoFullHistory)->Arg(500)->Arg(5000)->Unit(benchmark::kMillisecond);

void BM_NameFromHugeTemplate(benchmark::State &state)
{
    const QString huge = QStringLiteral("é😀").repeated(3'500'000) + QStringLiteral("{date}");
    for (auto _ : state)
        benchmark::DoNotOptimize(
            Naming::fileName(huge, QDateTime::currentDateTime(), QStringLiteral("png")));
}
BENCHMARK(BM_NameFromHugeTemplate)->Unit(benchmark::kMillisecond);

class SummaryReporter : public benchmark::ConsoleReporter
{
  public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            if (run.run_type == Run::RT_Iteration || run.aggregate_name == "median")
                m_ms[run.run_name.str()] = run.GetAdjustedRealTime();
        }
    }
    double operator[](const std::string &name) const
    {
        const auto found = m_ms.find(name);
        return found == m_ms.end() ? 0 : found->second;
    }

  private:
    std::map<std::string, double> m_ms;
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    std::printf("\nmilliseconds (wall): open a history of 500 %.2f, of 5000 %.2f; capture into a "
                "full history of 500 %.2f, of 5000 %.2f; name from a 10 MB template %.1f\n",
                reporter["BM_OpenHistory/500"], reporter["BM_OpenHistory/5000"],
                reporter["BM_CaptureIntoFullHistory/500"],
                reporter["BM_CaptureIntoFullHistory/5000"], reporter["BM_NameFromHugeTemplate"]);
    return 0;
}
