// release: makes signing key pairs and the desktop server's update tree.
//
//   release installed-list --tree DIR --version V
//       writes DIR/Release/version.xml, the installed list of the program tree DIR (the
//       build's stage), unless it already holds exactly that
//   release keygen PREFIX
//       creates PREFIX-secret.hex (readable by the owner only) and PREFIX-public.hex; an
//       existing file under either name is never written over
//   release make --tree DIR --version V --out BIN (--key SECRET.hex | --development-key)
//                [--previous DIR] [--valid-days N]
//       turns the program tree DIR into BIN (served as "Bin/"): the files, the version list
//       Release/version.xml with "p", "v", "sha256" and "size" per file and the times it was
//       made and expires (N days later, 90 by default), and its signature
//       Release/version.xml.sig. With --previous (the installed tree this release follows),
//       unchanged files keep their old version so an update stages only what changed.
//       --development-key signs with the development key, which only builds configured for
//       development trust.

#include "key_files.h"
#include "release_tree.h"

#include "host/file_io.h"

#include <cstdlib>
#include <ctime>
#include <iostream>

namespace fs = std::filesystem;

namespace {

int Usage()
{
    std::cerr << "usage: release installed-list --tree DIR --version V\n"
                 "       release keygen PREFIX\n"
                 "       release make --tree DIR --version V --out BIN "
                 "(--key SECRET.hex | --development-key) [--previous DIR] [--valid-days N]\n";
    return 2;
}

std::string ReadText(const fs::path& path)
{
    // A key file is a line of hex digits; anything much larger is not one.
    const auto text = ReadWholeFile(path.string(), 4096);
    if (!text)
        throw std::runtime_error("cannot read " + path.string());
    return *text;
}

int KeyGen(const std::string& prefix)
{
    PublicKey publicKey{};
    SecretKey secretKey{};
    MakeKeyPair(publicKey, secretKey);
    const std::string secretPath = prefix + "-secret.hex";
    const std::string publicPath = prefix + "-public.hex";
    // Checked first, so that a clash leaves no half of a new pair behind.
    std::error_code ignored;
    if (fs::exists(fs::symlink_status(publicPath, ignored)))
        throw std::runtime_error(publicPath + " exists; a key file is never written over");
    CreateKeyFile(secretPath, ToHex(secretKey.data(), secretKey.size()) + "\n", true);
    try {
        CreateKeyFile(publicPath, ToHex(publicKey.data(), publicKey.size()) + "\n", false);
    } catch (...) {
        // The secret just made belongs to no public half anyone has.
        fs::remove(secretPath, ignored);
        throw;
    }
    std::cout << "public key " << ToHex(publicKey.data(), publicKey.size())
              << "\nbuild with -DTAVRO_UPDATE_PUBLIC_KEY=<public key> to trust it\n";
    return 0;
}

int Make(int argc, char** argv)
{
    ReleaseInput input;
    fs::path out;
    fs::path keyFile;
    bool developmentKey = false;
    input.made = static_cast<std::int64_t>(std::time(nullptr));
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--development-key") {
            developmentKey = true;
            continue;
        }
        if (i + 1 >= argc)
            return Usage();
        const std::string value = argv[++i];
        if (arg == "--valid-days") {
            char* end = nullptr;
            const long days = std::strtol(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0' || days <= 0 || days > 36500)
                return Usage();
            input.validDays = static_cast<int>(days);
        } else if (arg == "--tree")
            input.tree = value;
        else if (arg == "--version")
            input.version = value;
        else if (arg == "--out")
            out = value;
        else if (arg == "--previous")
            input.previous = value;
        else if (arg == "--key")
            keyFile = value;
        else
            return Usage();
    }
    // The key is always named: a release signed with the development key by mistake would
    // be accepted by every development build and by no user's.
    if (input.tree.empty() || input.version.empty() || out.empty() ||
        keyFile.empty() == !developmentKey)
        return Usage();
    if (developmentKey)
        keyFile = fs::path(TAVRO_DEV_KEY_DIR) / "DEVELOPMENT-ONLY-secret.hex";
    const auto key = KeyFromHex<64>(ReadText(keyFile));
    if (!key)
        throw std::runtime_error(keyFile.string() + " does not hold a secret key (128 hex digits)");
    WriteServerTree(input, *key, out);
    std::cout << "wrote " << out.string() << "/Release/version.xml (version " << input.version
              << ") and its signature\n";
    return 0;
}

int InstalledList(int argc, char** argv)
{
    if (argc != 6 || std::string(argv[2]) != "--tree" || std::string(argv[4]) != "--version")
        return Usage();
    const fs::path tree = argv[3];
    const std::string text = InstalledListText(tree, argv[5]);
    const std::string path = (tree / "Release/version.xml").string();
    // Left as it is when unchanged, so that nothing built from it is rebuilt.
    if (ReadWholeFile(path, text.size() + 1) == text)
        return 0;
    if (!WriteFileAtomically(path, text).Ok())
        throw std::runtime_error("cannot write " + path);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return Usage();
    const std::string command = argv[1];
    try {
        if (command == "keygen" && argc == 3)
            return KeyGen(argv[2]);
        if (command == "make")
            return Make(argc, argv);
        if (command == "installed-list")
            return InstalledList(argc, argv);
    } catch (const std::exception& error) {
        std::cerr << "release: " << error.what() << "\n";
        return 1;
    }
    return Usage();
}
