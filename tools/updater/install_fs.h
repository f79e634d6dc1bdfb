#pragma once

// What the updater does to files, behind one small interface: the transaction is written
// against it, and tests wrap the real one to make any single step fail or to stop the
// updater dead in the middle.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

enum class FileKind
{
    Missing,
    Regular,
    Folder,
    Other // a link, FIFO, device or socket: never read, replaced or installed
};

class IInstallFs
{
public:
    virtual ~IInstallFs() = default;

    // Reading; none of these change anything.
    virtual FileKind Kind(const std::string& path) = 0;
    // The whole content of a regular file of at most maxBytes bytes.
    virtual std::optional<std::string> ReadSmall(const std::string& path, std::size_t maxBytes) = 0;
    // Up to `bytes` bytes from the start of a regular file.
    virtual std::string ReadHead(const std::string& path, std::size_t bytes) = 0;
    virtual std::optional<std::string> Sha256Hex(const std::string& path) = 0;
    // Permission bits (07777) of a regular file.
    virtual std::optional<unsigned> Mode(const std::string& path) = 0;
    // The user's file creation mask (umask): the bits new files do not get.
    virtual unsigned CreationMask() = 0;

    // Changes; each answers whether it succeeded.
    virtual bool WriteAtomically(const std::string& path, std::string_view content) = 0;
    virtual bool SetMode(const std::string& path, unsigned mode) = 0;
    // Replaces `to` if it exists.
    virtual bool Rename(const std::string& from, const std::string& to) = 0;
    // A missing file counts as removed.
    virtual bool RemoveFile(const std::string& path) = 0;
    // One level; an existing folder counts as made.
    virtual bool MakeFolder(const std::string& path) = 0;
    // One level, mode 0700, only when nothing is there yet.
    virtual bool MakePrivateFolder(const std::string& path) = 0;
    // Only when empty; a missing folder counts as removed.
    virtual bool RemoveEmptyFolder(const std::string& path) = 0;
    // A folder and everything below it; missing counts as removed.
    virtual bool RemoveTree(const std::string& path) = 0;
    // Makes a file's content durable.
    virtual bool SyncFile(const std::string& path) = 0;
    // Makes the folder's entries (renames into it) durable.
    virtual bool SyncFolder(const std::string& path) = 0;
};

// The real file system.
IInstallFs& SystemInstallFs();

// What `relative` ('/' separated) names below `base`, reached without a link: Other when
// anything on the way below `base` is not a real folder. Nothing the updater touches is
// reached through a link, which could lead a write or a removal outside the program folder.
FileKind KindWithoutLinks(IInstallFs& fs, const std::string& base, const std::string& relative);
