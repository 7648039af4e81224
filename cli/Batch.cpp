#include "cli/Batch.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <ostream>
#include <set>
#include <sstream>
#include <thread>

#include "base/Exceptions.h"
#include "base/Signals.h"
#include "cli/Streams.h"
#include "files/FileWriter.h"
#include "logo/LogoFile.h"

// A batch loads, converts and encodes on worker threads, then stages, flushes
// and moves in each group of files on the main thread, in the pictures' order.
namespace tlc::cli {

namespace {

// Pictures whose files are flushed to the disk together: one wait on the
// disk per group instead of two per picture.
constexpr std::size_t kBatchGroup = 64;
// Outputs open at once within a group (two descriptors each: the old file
// and the new one), so that a batch runs under a small limit of open files;
// 8 at a time took no longer than 64 in a run of 500 pictures.
constexpr std::size_t kOpenOutputs = 8;

// One picture of a batch on its way. A worker fills in the logo or the
// failure; the main thread writes, checks and reports in the pictures' order.
struct BatchItem {
    std::string output;
    std::optional<BuiltLogo> built;
    std::string failure;            // in the words the report gives
    bool failedEncoding = false;    // the failure came after the file would be opened
    std::exception_ptr fatal;       // anything else ends the run at its turn
    std::unique_ptr<FileWriter> writer;
    bool writeFailed = false;
    bool ready = false;
};

void BuildItem(BatchItem& item, const std::string& picture, const ConvertOptions& o, std::istream& in) {
    try {
        TImage target;
        BuiltLogo built = LoadAndConvert(picture, o, in, target);
        item.failedEncoding = true;
        built.bytes = EncodeLogo(o.printer, built.geometry, target);
        item.failedEncoding = false;
        item.built = std::move(built);
    } catch (const std::bad_alloc&) {
        item.failure = "Out of system resources";
    } catch (const Exception& e) {
        item.failure = e.Message();
    } catch (...) {
        item.fatal = std::current_exception();
    }
}

// Pictures are loaded, converted and encoded on every core, a bounded way
// ahead of the main thread, which takes them in order.
class BatchWorkers {
public:
    BatchWorkers(std::vector<BatchItem>& items, const ConvertOptions& o, std::istream& in)
        : items_(items), o_(o), in_(in) {
        const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
        const std::size_t count = std::min<std::size_t>(std::min(cores, 8u), items.size());
        if (count < 2) return; // one picture or one core: the main thread builds it
        // Interrupts stay with the main thread, which holds them back while a
        // logo's temporary file has a name.
        StartWithInterruptsBlocked([&] {
            try {
                for (std::size_t i = 0; i < count; ++i) threads_.emplace_back([this] { Work(); });
            } catch (const std::system_error&) {
                // Fewer threads than asked for; the main thread makes up the rest.
            }
        });
    }
    BatchWorkers(const BatchWorkers&) = delete;
    BatchWorkers& operator=(const BatchWorkers&) = delete;
    ~BatchWorkers() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        for (std::thread& t : threads_) t.join();
    }

    // Waits for item j (building it here when nobody else will), and lets
    // the workers run up to `ahead` items past it.
    BatchItem& Take(std::size_t j, std::size_t ahead) {
        std::unique_lock<std::mutex> lock(mutex_);
        limit_ = std::max(limit_, std::min(items_.size(), j + ahead));
        wake_.notify_all();
        if (threads_.empty() || (next_ <= j && Claim(j))) {
            lock.unlock();
            BuildItem(items_[j], o_.pictures[j], o_, in_);
            lock.lock();
            items_[j].ready = true;
        }
        done_.wait(lock, [&] { return items_[j].ready; });
        return items_[j];
    }

private:
    // Claims the next item for the caller when it is `j`.
    bool Claim(std::size_t j) {
        if (next_ != j) return false;
        ++next_;
        return true;
    }

    void Work() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            wake_.wait(lock, [&] { return stop_ || next_ < limit_; });
            if (stop_) return;
            const std::size_t j = next_++;
            lock.unlock();
            BuildItem(items_[j], o_.pictures[j], o_, in_);
            lock.lock();
            items_[j].ready = true;
            done_.notify_all();
        }
    }

    std::vector<BatchItem>& items_;
    const ConvertOptions& o_;
    std::istream& in_;
    std::vector<std::thread> threads_;
    std::mutex mutex_;
    std::condition_variable wake_, done_;
    std::size_t next_ = 0, limit_ = 0;
    bool stop_ = false;
};

// Opens the output and writes the logo beside it, as far as the order of
// the single conversion allows before its turn.
void StageItem(BatchItem& item) {
    if (item.fatal || (!item.failure.empty() && !item.failedEncoding)) return;
    item.writer = std::make_unique<FileWriter>(item.output);
    if (!item.writer->Opened())
        item.writeFailed = true;
    else if (item.built && !item.writer->Stage(item.built->bytes))
        item.writeFailed = true;
}

// Puts one logo in place, or reports why not, exactly as the single
// conversion decides: the output checks first, then the picture, then the file.
bool FinishItem(BatchItem& item, const std::string& picture, RunFiles& files, const ConvertOptions& o,
                std::ostream& out, std::ostream& err) {
    try {
        files.CheckOutput(item.output);
        if (item.fatal) std::rethrow_exception(item.fatal);
        if (item.writeFailed) throw Exception(UnableToCreateMessage(item.output, item.writer->FailureCause()));
        if (!item.failure.empty()) throw Exception(item.failure);
        if (!item.writer->Finish()) throw Exception(UnableToCreateMessage(item.output, item.writer->FailureCause()));
        files.Written(item.output, picture);
        ReportConverted(picture, item.output, o, *item.built, out, err);
        return true;
    } catch (const Exception& e) {
        ReportFailure(err, DisplayName(picture, "standard input"), e.Message());
        return false;
    }
}

} // namespace

int ConvertBatch(const ConvertOptions& o, std::istream& in, std::ostream& out, std::ostream& err) {
    RunFiles files(o.pictures);
    const std::size_t n = o.pictures.size();
    std::vector<BatchItem> items(n);
    for (std::size_t j = 0; j < n; ++j) items[j].output = OutputFor(o.pictures[j], o);
    BatchWorkers workers(items, o, in);
    int failures = 0;
    for (std::size_t group = 0; group < n; group += kBatchGroup) {
        const std::size_t end = std::min(n, group + kBatchGroup);
        // The lines wait until the names are durable; a failure that ends
        // the run still shows what was done before it.
        std::vector<std::string> errLines(end - group), outLines(end - group);
        std::set<std::string> folders;
        const auto report = [&] {
            for (const std::string& folder : folders) DefaultFileOps().SyncFolder(folder);
            for (std::size_t k = 0; k < end - group; ++k) err << errLines[k], out << outLines[k];
        };
        try {
            for (std::size_t window = group; window < end; window += kOpenOutputs) {
                const std::size_t last = std::min(end, window + kOpenOutputs);
                for (std::size_t j = window; j < last; ++j) StageItem(workers.Take(j, 2 * kBatchGroup));
                for (std::size_t j = window; j < last; ++j)
                    if (items[j].writer && items[j].built && !items[j].writeFailed && !items[j].writer->Flush())
                        items[j].writeFailed = true;
                for (std::size_t j = window; j < last; ++j) {
                    std::ostringstream itemOut, itemErr;
                    if (FinishItem(items[j], o.pictures[j], files, o, itemOut, itemErr)) {
                        if (items[j].writer->Replaces()) folders.insert(items[j].writer->Folder());
                    } else {
                        ++failures;
                    }
                    items[j].writer.reset(); // its descriptors close here
                    errLines[j - group] = itemErr.str();
                    outLines[j - group] = itemOut.str();
                }
            }
        } catch (...) {
            report();
            throw;
        }
        report();
        for (std::size_t k = group; k < end; ++k) items[k] = BatchItem{};
    }
    err << "tillora-logo: " << n - static_cast<std::size_t>(failures) << " converted, " << failures << " failed\n";
    return failures == 0 ? 0 : 1;
}

} // namespace tlc::cli
