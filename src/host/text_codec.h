#pragma once

// Wide (program) text to and from the machine's one legacy narrow encoding, which is used
// for file names handed to the XML library, for command lines and for database values.
// UTF-8 unless configured otherwise. Characters the encoding cannot hold become '?', as do
// bytes that are not valid in it, so a conversion never fails on its input.

#include <string>
#include <string_view>

// The encoding in force: the last SetLegacyEncoding, else the environment variable
// TAVRO_LEGACY_ENCODING, else "UTF-8". Names are iconv's ("GBK", "CP936", "UTF-8").
std::string LegacyEncoding();
// An empty name goes back to the default. Not thread-safe: call at start-up.
void SetLegacyEncoding(const std::string& encoding);

std::string WideToAnsi(std::wstring_view text);
std::wstring AnsiToWide(std::string_view text);

// The same conversions with a named encoding. An encoding iconv does not know gives an
// empty result.
std::string WideToEncoding(std::wstring_view text, const std::string& encoding);
std::wstring EncodingToWide(std::string_view text, const std::string& encoding);

// UTF-8, for the places that are UTF-8 whatever the machine's encoding.
std::string WideToUtf8(std::wstring_view text);
std::wstring Utf8ToWide(std::string_view text);
