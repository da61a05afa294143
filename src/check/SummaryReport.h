#pragma once

class CheckSession;

// Set, this variable makes every finished check print the window's summary line on standard output: how a script
// outside the program (bench/check_window_bench.sh) tells when the answer is on screen.
inline constexpr char kPrintSummaryVariable[] = "KESWIN_CHECK_PRINT_SUMMARY";

void printSummaryWhenAsked(CheckSession& session);
