// The high-score table: five rows of name and score, best first, kept in the settings file.
#pragma once

#include <cstdint>
#include <string>

inline constexpr int32_t kHighScoreRows = 5;

// Reads rows 1..5 from the "Score" section ("Name n", "Score n"; empty and 0 when missing).
void HighScoresRead();
// Writes the five rows back (inside the caller's settings batch, if there is one).
void HighScoresWrite();
// Row 1..5; an empty name and 0 for any other rank.
void HighScoreGet(int32_t rank, std::string& name, int32_t& score);
// Inserts above the first row whose score is strictly lower (row 5 drops out); a score equal to
// a row's goes below it, one that beats no row changes nothing.
void HighScoreSet(const std::string& name, int32_t score);
