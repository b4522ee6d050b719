#include "compression/ImageCompressionService.h"

#include "compression/OutputFilePlacement.h"

#include <algorithm>
#include <system_error>
#include <thread>
#include <utility>

// Compressing a list of sources, two files at a time.
namespace ImageCompressionService {

namespace {

thread_local OutputTurn *heldTurn = nullptr;

// Files compressed at once: the decoding and encoding of one file share about one and three
// quarters of a core, so two files keep two cores full.
constexpr int filesAtOnce = 2;

} // namespace

void OutputOrder::waitForTurn(int index)
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return m_next >= index; });
}

void OutputOrder::finish(int index)
{
    {
        const std::lock_guard lock(m_mutex);
        m_finished.insert(index);
        while (m_finished.count(m_next))
            m_finished.erase(m_next++);
    }
    m_changed.notify_all();
}

OutputTurn::OutputTurn(OutputOrder &order, int index)
    : m_order(order)
    , m_index(index)
    , m_outer(std::exchange(heldTurn, this))
{
}

OutputTurn::~OutputTurn()
{
    heldTurn = m_outer;
    m_order.finish(m_index);
}

OutputTurn *OutputTurn::current() { return heldTurn; }

BatchOutcome compressBatch(const std::vector<ImageCompressionSource> &sources, const ImageCompressionSettings &settings,
                           const QString &destinationDirectory, const std::atomic<bool> *stopping,
                           const BatchProgress &progress)
{
    // The part files that a killed run left here go before this run writes its own.
    OutputFilePlacement::removeStaleParts(destinationDirectory);
    const int count = int(sources.size());
    std::vector<std::optional<ImageCompressionResult>> results(sources.size());
    std::vector<QString> failures(sources.size());
    std::vector<QString> reasons(sources.size());
    std::vector<char> failedAt(sources.size(), 0);
    std::atomic<int> next { 0 };
    std::atomic<int> failed { 0 };
    std::atomic<int> done { 0 };
    std::atomic<int> written { 0 };
    OutputOrder order;
    // Every index is taken and finished, even once stopping, so no turn waits for a file that
    // nobody compresses.
    const auto work = [&] {
        for (int i = next++; i < count; i = next++) {
            const OutputTurn turn(order, i);
            if (stopping && stopping->load())
                continue;
            bool wrote = false;
            try {
                results[size_t(i)] = compress(sources[size_t(i)], settings, destinationDirectory);
                wrote = true;
            } catch (const ImageCompressionServiceError &error) {
                failures[size_t(i)] = error.description();
                reasons[size_t(i)] = error.sharedReason();
            } catch (...) {
                failures[size_t(i)] = reasons[size_t(i)] = QStringLiteral("未知错误");
            }
            if (!wrote) {
                failedAt[size_t(i)] = 1;
                ++failed;
            }
            const int writtenNow = wrote ? ++written : written.load();
            const int doneNow = ++done;
            if (progress)
                progress(doneNow, writtenNow);
        }
    };
    std::vector<std::thread> helpers;
    for (int i = 1; i < std::min(filesAtOnce, count); ++i) {
        try {
            helpers.emplace_back(work);
        } catch (const std::system_error &) {
            break; // no thread to spare: this one does them all
        }
    }
    work();
    for (std::thread &helper : helpers)
        helper.join();

    BatchOutcome outcome;
    outcome.failed = failed;
    for (size_t i = 0; i < results.size(); ++i) {
        if (results[i])
            outcome.results.push_back(std::move(*results[i]));
        else if (failedAt[i])
            outcome.failedSourceIDs.push_back(sources[i].id);
    }
    const auto firstFailure = std::find_if(failures.begin(), failures.end(), [](const QString &why) { return !why.isEmpty(); });
    if (firstFailure != failures.end()) {
        outcome.firstFailure = *firstFailure;
        outcome.firstFailureReason = reasons[size_t(firstFailure - failures.begin())];
        outcome.firstFailureShare = int(std::count(reasons.begin(), reasons.end(), outcome.firstFailureReason));
    }
    return outcome;
}

} // namespace ImageCompressionService
