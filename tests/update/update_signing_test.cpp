#include "update/update_signing.h"

#include "temp_program_dir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>

namespace {

struct KeyPair
{
    PublicKey publicKey{};
    SecretKey secretKey{};
    KeyPair() { MakeKeyPair(publicKey, secretKey); }
};

TEST(UpdateSigning, SignatureHoldsOnlyForTheExactListAndKey)
{
    const KeyPair signer;
    const KeyPair stranger;
    const std::string list =
        "<Version v=\"4.0.1\">\r\n<F p=\"Release\\Tavro\" v=\"2\"/>\r\n</Version>";
    const std::string signature = SignList(list, signer.secretKey);
    std::string flipped = signature;
    flipped[10] = flipped[10] == '0' ? '1' : '0';

    struct Case
    {
        const char* what;
        std::string list;
        std::string signature;
        const PublicKey* key;
        bool valid;
    } cases[] = {
        {"the signed list", list, signature, &signer.publicKey, true},
        {"with a trailing line feed on the signature", list, signature + "\n", &signer.publicKey,
         true},
        {"upper-case hex", list,
         [&] {
             std::string upper = signature;
             for (char& c : upper)
                 c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
             return upper;
         }(),
         &signer.publicKey, true},
        {"one byte of the list changed", list.substr(0, list.size() - 2) + "X>", signature,
         &signer.publicKey, false},
        {"a byte appended to the list", list + " ", signature, &signer.publicKey, false},
        {"a flipped signature digit", list, flipped, &signer.publicKey, false},
        {"another key", list, signature, &stranger.publicKey, false},
        {"no signature", list, "", &signer.publicKey, false},
        {"a short signature", list, signature.substr(2), &signer.publicKey, false},
        {"not hex", list, std::string(128, 'g'), &signer.publicKey, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(VerifyListSignature(c.list, c.signature, *c.key), c.valid) << c.what;
}

TEST(UpdateSigning, TheBuildTrustsTheConfiguredKeyAndAKeylessBuildTrustsNothing)
{
    // The key the configure step settled on (none, a distributor's or the development key).
    const std::string configured = TAVRO_TEST_TRUSTED_KEY;
    const auto key = BuildUpdateKey();
    EXPECT_EQ(key.has_value(), !configured.empty());
    if (key) {
        EXPECT_EQ(ToHex(key->data(), key->size()), configured);
        EXPECT_EQ(TrustedUpdateKey(), *key);
    } else {
        EXPECT_EQ(TrustedUpdateKey(), PublicKey{});
    }
    // The tests and the demo sign with the development key kept in the repository.
    std::ifstream file(TAVRO_SOURCE_DIR "/tools/release/dev-keys/DEVELOPMENT-ONLY-secret.hex");
    std::string hex;
    file >> hex;
    const auto secret = KeyFromHex<64>(hex);
    ASSERT_TRUE(secret);
    std::ifstream publicFile(TAVRO_SOURCE_DIR
                             "/tools/release/dev-keys/DEVELOPMENT-ONLY-public.hex");
    std::string publicHex;
    publicFile >> publicHex;
    EXPECT_EQ(VerifyListSignature("list", SignList("list", *secret)), configured == publicHex);
    // The key of a build without one verifies nothing, whatever the signature.
    EXPECT_FALSE(VerifyListSignature("list", SignList("list", *secret), PublicKey{}));
}

TEST(UpdateSigning, Sha256FedInPiecesMatchesKnownVectors)
{
    const std::string million(1000000, 'a');
    const std::string twoBlocks = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
    const struct
    {
        const std::string* text;
        std::size_t piece;
        const char* hex;
    } cases[] = {
        {&million, 1000000, "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
        {&million, 1, "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
        {&million, 65537, "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
        {&twoBlocks, 3, "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
    };
    Sha256 hash;
    for (const auto& c : cases) {
        hash.Reset();
        const std::string& text = *c.text;
        for (std::size_t at = 0; at < text.size(); at += c.piece) {
            const std::size_t size = std::min(c.piece, text.size() - at);
            hash.Update(text.data() + at, size);
            // Reading the hash part-way does not end it.
            if (at == 0) {
                EXPECT_EQ(hash.Hex(), Sha256Hex(text.substr(0, size)));
            }
        }
        EXPECT_EQ(hash.Hex(), c.hex) << c.piece;
    }
}

TEST(UpdateSigning, Sha256OfTextAndOfFiles)
{
    EXPECT_EQ(Sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");

    TempProgramDir dir;
    const std::string big = (dir.Path() / "big").string();
    std::string content(200000, 'x'); // larger than one read
    std::ofstream(big, std::ios::binary) << content;
    EXPECT_EQ(Sha256FileHex(big), Sha256Hex(content));

    EXPECT_FALSE(Sha256FileHex((dir.Path() / "missing").string()));
    EXPECT_FALSE(Sha256FileHex(dir.Path().string()));
    const std::string fifo = (dir.Path() / "fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(Sha256FileHex(fifo)); // refused, not waited on
}

} // namespace
