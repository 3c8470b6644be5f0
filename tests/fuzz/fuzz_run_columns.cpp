// Fuzzes reading a run file into columns with any bytes. Content is either refused with a
// message or read into ticks in order of elapsed time, every whole line after the header being
// a tick or a skipped line, a reading only on an ok tick.

#include "FuzzCheck.h"
#include "history/RunFileColumns.h"

#include <QByteArrayView>
#include <QString>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArrayView content(data, static_cast<qsizetype>(size));
    QString why;
    const auto read = history::parseRunColumns(content, QStringLiteral("fuzz.csv"), &why);
    if (!read) {
        FUZZ_CHECK(!why.isEmpty());
        return 0;
    }
    const history::RunColumns& run = read->columns;
    const auto lines = static_cast<qsizetype>(std::count(content.begin(), content.end(), '\n'));
    FUZZ_CHECK(run.size() + read->skippedLines + 1 <= lines);
    FUZZ_CHECK((read->skippedLines == 0) == (read->firstSkippedLine == 0));
    FUZZ_CHECK(read->firstSkippedLine == 0 || read->firstSkippedLine >= 2);
    FUZZ_CHECK(read->tornLastLine == !content.endsWith('\n'));
    for (qsizetype i = 0; i < run.size(); ++i) {
        FUZZ_CHECK(i == 0 || run.elapsedAt(i) >= run.elapsedAt(i - 1));
        FUZZ_CHECK(std::isnan(run.temperatureAt(i)) || run.statusAt(i) == runlog::TickStatus::Ok);
    }
    return 0;
}
