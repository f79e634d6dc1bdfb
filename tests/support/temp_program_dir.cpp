#include "temp_program_dir.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

TempProgramDir::TempProgramDir()
{
    std::string pattern = (fs::temp_directory_path() / "tavro-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a temporary folder");
    m_path = pattern;
}

TempProgramDir::~TempProgramDir()
{
    std::error_code ec;
    fs::remove_all(m_path, ec);
}

void TempProgramDir::Write(const std::string& relative, const std::string& content) const
{
    const fs::path file = m_path / relative;
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << content;
    if (!out)
        throw std::runtime_error("cannot write " + file.string());
}

std::string TempProgramDir::Read(const std::string& relative) const
{
    std::ifstream in(m_path / relative, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void TempProgramDir::CopyStage() const
{
    fs::copy(TAVRO_STAGE_DIR, m_path,
             fs::copy_options::recursive | fs::copy_options::overwrite_existing);
}
