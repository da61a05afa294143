// The clipboard report against a model of its own: rows of any text, any ticks, either scope.
#include "FuzzInput.h"
#include "Report.h"

#include <string>

namespace {

std::u16string unitsOf(const QString& text)
{
    return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size()));
}

// What the report must be, built without Qt's strings: the chosen rows, each label + value + CR LF, in order.
std::u16string expectedReport(const QList<ReportRow>& rows, ReportScope scope)
{
    std::u16string out;
    for (const ReportRow& row : rows) {
        if (scope == ReportScope::AllRows || row.ticked) {
            out += unitsOf(row.label);
            out += unitsOf(row.value);
            out += u"\r\n";
        }
    }
    return out;
}

QList<ReportRow> rowsFrom(FuzzInput& input)
{
    QList<ReportRow> rows;
    // Most often the window's ten labels; now and then any text, which the builder must copy just as well.
    while (!input.atEnd() && rows.size() < 64) {
        const std::uint8_t flags = input.byte();
        ReportRow row;
        row.ticked = (flags & 1) != 0;
        row.label = (flags & 2) ? input.codeUnits(16) : kReportLabels[(flags >> 2) % kReportLabels.size()];
        row.value = input.codeUnits();
        rows.append(row);
    }
    return rows;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    const std::uint8_t choice = input.byte();
    const ReportScope scope = (choice & 1) ? ReportScope::TickedRows : ReportScope::AllRows;
    const QList<ReportRow> rows = rowsFrom(input);

    const QString report = buildReport(rows, scope);
    FUZZ_CHECK(unitsOf(report) == expectedReport(rows, scope));

    // The same text by another road: the ticked rows alone, all of them taken.
    QList<ReportRow> ticked;
    for (const ReportRow& row : rows) {
        if (row.ticked) {
            ticked.append(row);
        }
    }
    const QString tickedReport = buildReport(rows, ReportScope::TickedRows);
    FUZZ_CHECK(tickedReport == buildReport(ticked, ReportScope::AllRows));
    FUZZ_CHECK(ticked.isEmpty() == tickedReport.isEmpty());

    // Every line ends in CR LF, the last one included, and there is one line per row taken at least: a value may
    // hold line breaks of its own, never fewer.
    const QString all = buildReport(rows, ReportScope::AllRows);
    FUZZ_CHECK(all.isEmpty() == rows.isEmpty());
    FUZZ_CHECK(all.isEmpty() || all.endsWith(QStringLiteral("\r\n")));
    FUZZ_CHECK(all.count(QStringLiteral("\r\n")) >= rows.size());
    return 0;
}
