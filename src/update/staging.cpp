#include "update/staging.h"

StagedFileWriter::StagedFileWriter(const std::atomic<bool>* cancel)
    : m_cancel(cancel), m_thread([this] { Run(); })
{}

StagedFileWriter::~StagedFileWriter()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void StagedFileWriter::Add(Bytes bytes, std::size_t size, std::string path)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return Idle(); });
    m_job = Job{std::move(bytes), size, std::move(path)};
    m_changed.notify_all();
    if (size > kOverlapBytes)
        m_changed.wait(lock, [this] { return Idle(); });
}

bool StagedFileWriter::Finish()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return Idle(); });
    return m_allStaged;
}

void StagedFileWriter::Run()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_job || m_stopping; });
        if (!m_job)
            return;
        Job job = std::move(*m_job);
        m_job.reset();
        m_busy = true;
        lock.unlock();
        const std::string_view body(reinterpret_cast<const char*>(job.bytes.get()), job.size);
        const bool staged = !(m_cancel && m_cancel->load()) && WriteStagedFile(job.path, body);
        job.bytes.reset();
        lock.lock();
        m_allStaged = m_allStaged && staged;
        m_busy = false;
        m_changed.notify_all();
    }
}
