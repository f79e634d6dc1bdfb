#pragma once

#include <string>

// A per-user lock that exactly one running copy holds. Counting processes by name lets
// copies started at the same moment all see each other and all give up; the lock picks
// one of them. The system drops it when the holder dies, so a killed copy leaves nothing
// stale behind.
class InstanceLock
{
public:
    explicit InstanceLock(std::string path);
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    bool TryAcquire();
    bool IsHeld() const { return m_fd >= 0; }
    // Whether some process, this one or another, holds the lock now.
    bool IsTakenByAnyone() const;
    void Release();

    // The lock file of the current user.
    static std::string DefaultPath();

private:
    std::string m_path;
    int m_fd = -1;
};
