#pragma once

// Reading the content sources: one text per line, a fixed number of lines. Anything that
// would show up wrong in the program is refused here, so a bad source fails the build
// instead of shipping.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

struct ContentRows
{
    std::vector<std::string> rows;
    // One message per fault, naming the source and the line; empty when the rows are good.
    std::vector<std::string> errors;
    bool Ok() const { return errors.empty(); }
};

// Splits UTF-8 text into rows at line feeds (a last line feed at the very end is allowed)
// and checks them: exactly expectedRows rows, none empty or blank, valid UTF-8, and no
// carriage return, tab or other control character. A leading byte-order mark is dropped.
ContentRows CheckContentRows(std::string_view text, std::size_t expectedRows,
                             std::string_view sourceName);

// Far above the size of any source of content rows.
constexpr std::size_t kMaxContentFileBytes = std::size_t{16} << 20;
