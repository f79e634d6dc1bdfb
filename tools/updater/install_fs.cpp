#include "updater/install_fs.h"

FileKind KindWithoutLinks(IInstallFs& fs, const std::string& base, const std::string& relative)
{
    for (std::size_t slash = relative.find('/'); slash != std::string::npos;
         slash = relative.find('/', slash + 1)) {
        const FileKind folder = fs.Kind(base + "/" + relative.substr(0, slash));
        if (folder == FileKind::Missing)
            return FileKind::Missing;
        if (folder != FileKind::Folder)
            return FileKind::Other;
    }
    return fs.Kind(base + "/" + relative);
}
