// The release key compiled into this build. A file of its own so that a test build can
// link the same update code with another key (or none) by putting its own copy of this
// file's object first.

#include "update/update_signing.h"

#include <stdexcept>

std::optional<PublicKey> BuildUpdateKey()
{
    static const std::optional<PublicKey> key = []() -> std::optional<PublicKey> {
        const std::string_view hex = TAVRO_UPDATE_PUBLIC_KEY;
        if (hex.empty())
            return std::nullopt;
        const auto parsed = KeyFromHex<32>(hex);
        // The configure step refuses anything else.
        if (!parsed)
            throw std::logic_error("TAVRO_UPDATE_PUBLIC_KEY is not 64 hex digits");
        return parsed;
    }();
    return key;
}

const PublicKey& TrustedUpdateKey()
{
    static const PublicKey key = BuildUpdateKey().value_or(PublicKey{});
    return key;
}
