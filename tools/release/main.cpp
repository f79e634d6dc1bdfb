// release: makes signing key pairs and the desktop server's update tree.
//
//   release keygen PREFIX
//       writes PREFIX-public.hex and PREFIX-secret.hex (readable by the owner only)
//   release make --tree DIR --version V --out BIN [--previous DIR] [--key SECRET.hex]
//       turns the program tree DIR into BIN (served as "Bin/"): the files, the version list
//       Release/version.xml with "p", "v" and "sha256" per file, and its signature
//       Release/version.xml.sig. With --previous (the installed tree this release follows),
//       unchanged files keep their old version so an update stages only what changed.
//       The key defaults to the development key, which only the tests and the demo trust.

#include "release_tree.h"

#include "host/file_io.h"

#include <sys/stat.h>

#include <fstream>
#include <iostream>

namespace fs = std::filesystem;

namespace {

int Usage()
{
    std::cerr << "usage: release keygen PREFIX\n"
                 "       release make --tree DIR --version V --out BIN [--previous DIR] "
                 "[--key SECRET.hex]\n";
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
    {
        // Created private before anything is written into it.
        std::ofstream(secretPath, std::ios::trunc).close();
        ::chmod(secretPath.c_str(), 0600);
        std::ofstream secret(secretPath, std::ios::trunc);
        secret << ToHex(secretKey.data(), secretKey.size()) << "\n";
        if (!secret)
            throw std::runtime_error("cannot write " + secretPath);
    }
    std::ofstream publicFile(prefix + "-public.hex", std::ios::trunc);
    publicFile << ToHex(publicKey.data(), publicKey.size()) << "\n";
    if (!publicFile)
        throw std::runtime_error("cannot write " + prefix + "-public.hex");
    std::cout << "public key " << ToHex(publicKey.data(), publicKey.size())
              << "\nbuild with -DTAVRO_UPDATE_PUBLIC_KEY=<public key> to trust it\n";
    return 0;
}

int Make(int argc, char** argv)
{
    ReleaseInput input;
    fs::path out;
    fs::path keyFile = fs::path(TAVRO_DEV_KEY_DIR) / "DEVELOPMENT-ONLY-secret.hex";
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc)
            return Usage();
        const std::string value = argv[++i];
        if (arg == "--tree")
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
    if (input.tree.empty() || input.version.empty() || out.empty())
        return Usage();
    const auto key = KeyFromHex<64>(ReadText(keyFile));
    if (!key)
        throw std::runtime_error(keyFile.string() + " does not hold a secret key (128 hex digits)");
    WriteServerTree(input, *key, out);
    std::cout << "wrote " << out.string() << "/Release/version.xml (version " << input.version
              << ") and its signature\n";
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
    } catch (const std::exception& error) {
        std::cerr << "release: " << error.what() << "\n";
        return 1;
    }
    return Usage();
}
