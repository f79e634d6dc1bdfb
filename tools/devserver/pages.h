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

// A whole page in the server's style around `body` (HTML).
std::string Page(const std::string& title, const std::string& body);

struct PageAnswer
{
    int status = 200;
    std::string html;
};

// The dated content page for the program's query (year, month, day, mac), as seen on
// `today`: the days to the due date, the week of pregnancy with its development and
// check-ups. A query without a real date gets a 400 page.
PageAnswer DatedPage(const std::string& query, const DueDate& today);
std::string FeedbackPage();
// The maker's home page. Given the dated page's query with a due date that has passed by
// `today` (the program opens it so when the calendar has ended), it says what the days
// after the due date bring.
std::string HomePage(const std::string& query, const DueDate& today);
std::string MobilePage();

DueDate Today(std::time_t now);

} // namespace devserver
