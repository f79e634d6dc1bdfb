#pragma once

// What the development server's dated page says about a week of pregnancy: the baby's
// development and the check-ups around that time (facts from the project's content notes).

#include <string>
#include <vector>

namespace devserver {

// The baby's development in pregnancy week `week` (1-40; week n holds days 7n-6 to 7n).
// Empty outside 1-40.
std::string WeekDevelopment(int week);

// The usual check-ups and visits when `completedWeeks` whole weeks are done (the "weeks"
// of "weeks+days"). Empty when none falls there.
std::vector<std::string> CheckUps(int completedWeeks);

} // namespace devserver
