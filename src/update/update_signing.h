#pragma once

// Checks that an update really comes from the maker: the server's version list is signed
// with Ed25519 and lists the SHA-256 of every file. The worker checks both before it
// stages anything, and the updater checks them again before it installs.

#include <array>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

using PublicKey = std::array<unsigned char, 32>;
using SecretKey = std::array<unsigned char, 64>;

// The release key this build trusts: the build setting TAVRO_UPDATE_PUBLIC_KEY, or the
// development key in a build configured with TAVRO_UPDATE_DEVELOPMENT_KEY. Nothing in a
// build that names none, which then checks for no update.
std::optional<PublicKey> BuildUpdateKey();
// BuildUpdateKey, or in a build without one a key of zeros that no signature verifies with.
const PublicKey& TrustedUpdateKey();

struct evp_md_ctx_st;

// SHA-256 fed piece by piece. libcrypto computes it because it uses the processor's SHA
// instructions where there are any: every downloaded byte is hashed, and there it runs
// several times faster than libsodium's portable code (the signatures stay with libsodium).
class Sha256
{
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    // Starts over with nothing hashed.
    void Reset();
    void Update(const void* bytes, std::size_t size);
    // Lowercase hex of the hash of the bytes so far; more may follow. Empty if libcrypto
    // failed at any step, which then never matches an expected hash.
    std::string Hex() const;

private:
    struct Free
    {
        void operator()(evp_md_ctx_st* context) const;
    };
    std::unique_ptr<evp_md_ctx_st, Free> m_context;
    bool m_failed = false;
};

// Lowercase hex of the SHA-256 of `bytes`.
std::string Sha256Hex(std::string_view bytes);

// Lowercase hex of the SHA-256 of a regular file's content, read in pieces; nothing when
// the file cannot be opened or is not a regular file.
std::optional<std::string> Sha256FileHex(const std::string& path);

// True when `signatureHex` (128 hex characters, surrounding white space allowed) is an
// Ed25519 signature of exactly `listBytes` by `key`. Never for the key of zeros.
bool VerifyListSignature(std::string_view listBytes, std::string_view signatureHex,
                         const PublicKey& key = TrustedUpdateKey());

// The signature of `listBytes` as 128 lowercase hex characters (for the release tool and
// the tests).
std::string SignList(std::string_view listBytes, const SecretKey& key);

// A fresh key pair.
void MakeKeyPair(PublicKey& publicKey, SecretKey& secretKey);

// Hex text to bytes: exactly 2 * N hex digits, surrounding white space allowed.
template <std::size_t N>
std::optional<std::array<unsigned char, N>> KeyFromHex(std::string_view hex);
std::string ToHex(const unsigned char* bytes, std::size_t size);
