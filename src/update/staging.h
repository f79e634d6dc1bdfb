#pragma once

// Writing staged files. A staged file is written under a temporary name and renamed, so a
// half-written file never carries a staged name. It is not flushed to the disk: the
// updater checks every staged file against the signed list before it installs anything,
// so a file lost to a power cut is refused there and downloaded again by the next check,
// and the flush would cost more than the downloads themselves.

#include "update/http_client.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

// Creates the missing folders on the way, writes `path`.part and renames it to `path`.
// On failure nothing is left under either name.
bool WriteStagedFile(const std::string& path, std::string_view content);

// Writes downloaded (and already checked) files on a thread of its own, in the order they
// were handed over, while the caller downloads the next one: writing a file overlaps the
// network instead of following it. At most one handed-over body waits or is being written
// at a time, and Add returns before it is done only when it is at most kOverlapBytes, so
// the memory held stays within the largest file plus kOverlapBytes.
class StagedFileWriter
{
public:
    static constexpr std::size_t kOverlapBytes = 8u * 1024 * 1024;
    using Bytes = std::unique_ptr<unsigned char, HttpClient::FreeDeleter>;

    // Files not yet written when `cancel` turns true are dropped and count as not staged.
    explicit StagedFileWriter(const std::atomic<bool>* cancel);
    ~StagedFileWriter();
    StagedFileWriter(const StagedFileWriter&) = delete;
    StagedFileWriter& operator=(const StagedFileWriter&) = delete;

    // Stages the first `size` bytes at `path`.
    void Add(Bytes bytes, std::size_t size, std::string path);
    // Waits for every file handed over; true when each was staged.
    bool Finish();

private:
    struct Job
    {
        Bytes bytes;
        std::size_t size = 0;
        std::string path;
    };
    void Run();
    bool Idle() const { return !m_job && !m_busy; }

    const std::atomic<bool>* m_cancel;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::optional<Job> m_job; // handed over, not yet taken by the thread
    bool m_busy = false;      // the thread is writing a file
    bool m_allStaged = true;
    bool m_stopping = false;
    std::thread m_thread; // last, so that it starts after everything it uses
};
