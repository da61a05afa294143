#pragma once

#include "ResultRow.h"

#include <functional>
#include <QString>

class AnalysisSession;

// Set, this variable makes every finished analysis print its four digest rows on standard output, one line, as
// they are shown: how a script outside the program (bench/window_bench.sh) tells when the digests are on screen.
inline constexpr char kPrintDigestRowsVariable[] = "KESWIN_HASH_PRINT_DIGESTS";

void printDigestRowsWhenAsked(AnalysisSession& session, std::function<QString(ResultRow)> rowText);
