#pragma once

// A fresh program folder in a temporary directory, removed again at the end of the test.
// Tests never touch a real user tree.

#include <filesystem>
#include <string>

class TempProgramDir
{
public:
    TempProgramDir();
    ~TempProgramDir();
    TempProgramDir(const TempProgramDir&) = delete;
    TempProgramDir& operator=(const TempProgramDir&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    std::wstring WidePath() const { return m_path.wstring(); }
    // A path below the folder, e.g. Sub("Release/conf/userdata.xml").
    std::filesystem::path Sub(const std::string& relative) const { return m_path / relative; }
    // Writes a file below the folder, creating the folders on the way.
    void Write(const std::string& relative, const std::string& content) const;
    std::string Read(const std::string& relative) const;
    // Copies the staged program tree (build/stage) into the folder.
    void CopyStage() const;

private:
    std::filesystem::path m_path;
};
