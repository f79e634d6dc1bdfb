#pragma once

// The pages the development server answers with. Kept apart from the HTTP plumbing so
// that the date arithmetic and the escaping are tested directly.

#include <ctime>
#include <optional>
#include <string>

namespace devserver {

struct DueDate
{
    int year = 0;
    int month = 0;
    int day = 0;
};

// Reads year/month/day from a query string whose pairs may be separated by one or more
// '&' (the program doubles them). Missing or malformed values give nullopt.
std::optional<DueDate> ParseDueDateQuery(const std::string& query);
std::string QueryValue(const std::string& query, const std::string& key);

// Whole calendar days from `today` to the due date (negative when it has passed).
int DaysBetween(const DueDate& today, const DueDate& due);

std::string HtmlEscape(const std::string& text);

// The dated content page for a due date, as seen on `today`.
std::string DatedPage(const std::optional<DueDate>& due, const std::string& mac,
                      const DueDate& today);
std::string FeedbackPage();
std::string HomePage();
std::string MobilePage();

DueDate Today(std::time_t now);

} // namespace devserver
