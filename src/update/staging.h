#pragma once

// Writing staged files. A staged file is written under a temporary name and renamed, so a
// half-written file never carries a staged name. It is not flushed to the disk: the
// updater checks every staged file against the signed list before it installs anything,
// so a file lost to a power cut is refused there and downloaded again by the next check,
// and the flush would cost more than the downloads themselves.

#include "update/http_client.h"
#include "update/update_signing.h"

#include <cstdint>
#include <string>
#include <string_view>

// Staged files are named by a folder and a path below it. The missing folders on the way
// are made with mode 0700, and a symbolic link or a file anywhere on the way refuses the
// write: nothing staged lands outside the folder, and nobody else can put a link there.

// Writes `folder`/`relative`.part and renames it to `folder`/`relative`. On failure nothing
// is left under either name.
bool WriteStagedFile(const std::string& folder, const std::string& relative,
                     std::string_view content);

// A download written to `folder`/`relative`.part as it arrives and hashed on the way, so that no
// whole file is held in memory. Whatever lay under the temporary name (a FIFO, a link) is neither
// opened nor followed. Unless Commit succeeds, nothing is left under either name.
class StagedFileStream : public HttpBodySink
{
public:
    StagedFileStream(const std::string& folder, std::string relative);
    ~StagedFileStream() override;
    StagedFileStream(const StagedFileStream&) = delete;
    StagedFileStream& operator=(const StagedFileStream&) = delete;

    void Restart() override;
    bool Write(const char* data, std::size_t size) override;

    std::uint64_t Size() const { return m_size; }
    // Lowercase hex of the SHA-256 of what was written.
    std::string Hex() const { return m_hash.Hex(); }
    // Closes the file and renames it to `path`; false (and nothing left) when any write
    // failed.
    bool Commit();

private:
    void Discard();

    std::string m_path;
    std::string m_folder;
    std::string m_relative;
    int m_fd = -1;
    bool m_failed = false;
    std::uint64_t m_size = 0;
    Sha256 m_hash;
};
