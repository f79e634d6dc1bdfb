#pragma once

// Puts a set of replaceable services in force for the lifetime of the object and the
// previous set back at its end, for tests that swap them. `Install` replaces the set in
// force and answers the previous one.
template <class Set, Set (*Install)(const Set&)> class ScopedInstall
{
public:
    explicit ScopedInstall(const Set& set) : m_previous(Install(set)) {}
    ~ScopedInstall() { Install(m_previous); }
    ScopedInstall(const ScopedInstall&) = delete;
    ScopedInstall& operator=(const ScopedInstall&) = delete;

private:
    Set m_previous;
};
