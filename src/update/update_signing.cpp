#include "update/update_signing.h"

#include "host/file_io.h"

#include <openssl/evp.h>
#include <sodium.h>

#include <cctype>
#include <new>
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

void Sha256::Free::operator()(evp_md_ctx_st* context) const { EVP_MD_CTX_free(context); }

Sha256::Sha256() : m_context(EVP_MD_CTX_new())
{
    if (!m_context)
        throw std::bad_alloc();
    Reset();
}

Sha256::~Sha256() = default;

void Sha256::Reset() { m_failed = EVP_DigestInit_ex(m_context.get(), EVP_sha256(), nullptr) != 1; }

void Sha256::Update(const void* bytes, std::size_t size)
{
    if (!m_failed && size > 0)
        m_failed = EVP_DigestUpdate(m_context.get(), bytes, size) != 1;
}

std::string Sha256::Hex() const
{
    if (m_failed)
        return {};
    // Finished on a copy, so that the running hash can take more bytes.
    const std::unique_ptr<evp_md_ctx_st, Free> copy(EVP_MD_CTX_new());
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (!copy || EVP_MD_CTX_copy_ex(copy.get(), m_context.get()) != 1 ||
        EVP_DigestFinal_ex(copy.get(), digest, &size) != 1)
        return {};
    return ToHex(digest, size);
}

std::string Sha256Hex(std::string_view bytes)
{
    Sha256 hash;
    hash.Update(bytes.data(), bytes.size());
    return hash.Hex();
}

std::optional<std::string> Sha256FileHex(const std::string& path)
{
    Sha256 hash;
    const bool read = ReadFileInPieces(path, [&hash](std::string_view piece) {
        hash.Update(piece.data(), piece.size());
        return true;
    });
    if (!read)
        return std::nullopt;
    std::string hex = hash.Hex();
    if (hex.empty())
        return std::nullopt;
    return hex;
}

bool VerifyListSignature(std::string_view listBytes, std::string_view signatureHex,
                         const PublicKey& key)
{
    InitSodium();
    // The key of a build that trusts none: nothing verifies with it.
    if (key == PublicKey{})
        return false;
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
