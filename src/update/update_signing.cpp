#include "update/update_signing.h"

#include "host/file_io.h"

#include <sodium.h>

#include <cctype>
#include <stdexcept>

namespace {

void InitSodium()
{
    // sodium_init is thread-safe and cheap after the first call.
    if (sodium_init() < 0)
        throw std::runtime_error("libsodium could not be initialised");
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

template <std::size_t N>
std::optional<std::array<unsigned char, N>> KeyFromHex(std::string_view hex)
{
    hex = Trim(hex);
    if (hex.size() != 2 * N)
        return std::nullopt;
    std::array<unsigned char, N> bytes{};
    for (std::size_t i = 0; i < N; ++i) {
        const int high = HexDigit(hex[2 * i]);
        const int low = HexDigit(hex[2 * i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes[i] = static_cast<unsigned char>(high * 16 + low);
    }
    return bytes;
}

template std::optional<std::array<unsigned char, 32>> KeyFromHex<32>(std::string_view);
template std::optional<std::array<unsigned char, 64>> KeyFromHex<64>(std::string_view);

std::string ToHex(const unsigned char* bytes, std::size_t size)
{
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(2 * size);
    for (std::size_t i = 0; i < size; ++i) {
        hex += digits[bytes[i] >> 4];
        hex += digits[bytes[i] & 0x0f];
    }
    return hex;
}

const PublicKey& TrustedUpdateKey()
{
    static const PublicKey key = [] {
        const auto parsed = KeyFromHex<32>(TAVRO_UPDATE_PUBLIC_KEY);
        if (!parsed)
            throw std::logic_error("TAVRO_UPDATE_PUBLIC_KEY is not 64 hex digits");
        return *parsed;
    }();
    return key;
}

std::string Sha256Hex(std::string_view bytes)
{
    InitSodium();
    unsigned char digest[crypto_hash_sha256_BYTES];
    crypto_hash_sha256(digest, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    return ToHex(digest, sizeof digest);
}

std::optional<std::string> Sha256FileHex(const std::string& path)
{
    InitSodium();
    crypto_hash_sha256_state state;
    crypto_hash_sha256_init(&state);
    const bool read = ReadFileInPieces(path, [&state](std::string_view piece) {
        crypto_hash_sha256_update(&state, reinterpret_cast<const unsigned char*>(piece.data()),
                                  piece.size());
        return true;
    });
    if (!read)
        return std::nullopt;
    unsigned char digest[crypto_hash_sha256_BYTES];
    crypto_hash_sha256_final(&state, digest);
    return ToHex(digest, sizeof digest);
}

bool VerifyListSignature(std::string_view listBytes, std::string_view signatureHex,
                         const PublicKey& key)
{
    InitSodium();
    const auto signature = KeyFromHex<crypto_sign_BYTES>(signatureHex);
    if (!signature)
        return false;
    return crypto_sign_verify_detached(signature->data(),
                                       reinterpret_cast<const unsigned char*>(listBytes.data()),
                                       listBytes.size(), key.data()) == 0;
}

std::string SignList(std::string_view listBytes, const SecretKey& key)
{
    InitSodium();
    unsigned char signature[crypto_sign_BYTES];
    crypto_sign_detached(signature, nullptr,
                         reinterpret_cast<const unsigned char*>(listBytes.data()), listBytes.size(),
                         key.data());
    return ToHex(signature, sizeof signature);
}

void MakeKeyPair(PublicKey& publicKey, SecretKey& secretKey)
{
    InitSodium();
    crypto_sign_keypair(publicKey.data(), secretKey.data());
}
