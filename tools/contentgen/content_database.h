#pragma once

// Writing the tip database the program reads: table "tavro_tip" (id, baby), one row per
// day of pregnancy, and table "tavro_baby" (id, height), one row per week, both in the
// order of the sources with ids 1..n. The program picks rows by their stored order.

#include <filesystem>
#include <string>
#include <vector>

// Writes the database to a temporary file beside `out` and renames it over `out`, so that
// an interrupted build never leaves a half-written database. False, with a message in
// `error`, when any step fails; nothing is left behind then.
bool WriteContentDatabase(const std::vector<std::string>& tips,
                          const std::vector<std::string>& figures, const std::filesystem::path& out,
                          std::string& error);
