#include "app/history/HistoryWriter.hpp"

#include <future>
#include <iterator>
#include <utility>

namespace ampwell {
namespace {

// Rows kept while the file cannot be written: a few hours of a busy desk. Past it the oldest go,
// so that an unwritable disk never grows the process.
constexpr std::size_t kMaxPending = 20000;

template <typename Row>
void append(std::vector<Row>& to, std::vector<Row>&& from) {
    to.insert(to.end(), std::make_move_iterator(from.begin()), std::make_move_iterator(from.end()));
    if (to.size() > kMaxPending)
        to.erase(to.begin(), to.begin() + static_cast<std::ptrdiff_t>(to.size() - kMaxPending));
}

}  // namespace

HistoryWriter::HistoryWriter(HistoryStoreOptions options, platform::SystemLog& log)
    : leased_(options.leased),
      store_(std::move(options), log),
      lease_(store_.path()),
      queue_(kQueueLabel, wallClock_) {}

HistoryWriter::~HistoryWriter() {
    const std::lock_guard lock(mutex_);
    scheduleLocked();
}

bool HistoryWriter::submit(HistoryRows rows, platform::Date now) {
    if (rows.empty()) return true;
    const std::lock_guard lock(mutex_);
    if (leased_ && !lease_.held()) return false;
    append(pending_.ports, std::move(rows.ports));
    append(pending_.devices, std::move(rows.devices));
    pendingAt_ = now;
    // The first rows go at once, so that a fresh start is on file; later ones wait for company.
    const bool due =
        !lastFlush_ || now - *lastFlush_ >= kFlushInterval || now < *lastFlush_ || pending_.size() >= kFlushRows;
    if (!due) return true;
    lastFlush_ = now;
    scheduleLocked();
    return true;
}

void HistoryWriter::scheduleLocked() {
    if (scheduled_ || pending_.empty()) return;
    scheduled_ = true;
    queue_.async([this] { writePending(); });
}

void HistoryWriter::writePending() {
    HistoryRows rows;
    platform::Date now;
    {
        const std::lock_guard lock(mutex_);
        rows = std::exchange(pending_, {});
        now = pendingAt_;
        scheduled_ = false;
    }
    if (!rows.empty()) store_.write(rows, now);
}

void HistoryWriter::drain() {
    {
        const std::lock_guard lock(mutex_);
        scheduleLocked();
    }
    std::promise<void> done;
    queue_.async([&done] { done.set_value(); });
    done.get_future().wait();
}

}  // namespace ampwell
