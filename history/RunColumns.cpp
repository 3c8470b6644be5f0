#include "history/RunColumns.h"

#include <algorithm>

namespace history {

namespace {

constexpr auto kFan = static_cast<std::size_t>(RunColumns::kFanOut);
constexpr std::size_t kGrowthTicks = 4096;

// What a tick adds to a span: its reading, or the gap bit of a tick that stored none (a tick
// marked ok without a reading counts as one that got no reply).
void addTick(Span& span, float reading, runlog::TickStatus status)
{
    if (std::isnan(reading)) {
        const std::uint8_t bit = gapBit(status);
        span.gaps |= bit != 0 ? bit : std::uint8_t(kNoReplyGap);
        return;
    }
    if (!span.hasReading()) {
        span.min = reading;
        span.max = reading;
        return;
    }
    span.min = std::min(span.min, reading);
    span.max = std::max(span.max, reading);
}

void addSpan(Span& span, const Span& other)
{
    span.gaps |= other.gaps;
    if (!other.hasReading())
        return;
    if (!span.hasReading()) {
        span.min = other.min;
        span.max = other.max;
        return;
    }
    span.min = std::min(span.min, other.min);
    span.max = std::max(span.max, other.max);
}

} // namespace

std::uint8_t gapBit(runlog::TickStatus status)
{
    switch (status) {
    case runlog::TickStatus::Ok:
        return 0;
    case runlog::TickStatus::PortLost:
        return kPortLostGap;
    case runlog::TickStatus::NoReply:
    case runlog::TickStatus::ShortReply:
    case runlog::TickStatus::WriteFailed:
        return kNoReplyGap;
    }
    return kNoReplyGap;
}

void RunColumns::reserve(qsizetype ticks)
{
    if (ticks <= 0)
        return;
    const auto count = static_cast<std::size_t>(ticks);
    m_elapsed.reserve(count);
    m_temperature.reserve(count);
    m_status.reserve(count);
    std::size_t blocks = count;
    for (std::size_t level = 0; blocks > 1; ++level) {
        blocks = (blocks + kFan - 1) / kFan;
        if (m_levels.size() <= level)
            m_levels.emplace_back();
        m_levels[level].reserve(blocks);
    }
}

void RunColumns::append(std::int64_t elapsedMs, float temperature, runlog::TickStatus status)
{
    // Only a tick that is ok holds a reading, as in the run file.
    const float reading
        = status == runlog::TickStatus::Ok ? temperature : std::numeric_limits<float>::quiet_NaN();
    const std::size_t tick = m_elapsed.size();
    // A run that grows tick by tick grows its columns by a quarter at a time, not twice over,
    // so that a long live run stays within its memory per tick.
    if (tick == m_elapsed.capacity()) {
        const std::size_t more = std::max<std::size_t>(tick / 4, kGrowthTicks);
        reserve(static_cast<qsizetype>(tick) + static_cast<qsizetype>(more));
    }
    m_elapsed.push_back(elapsedMs);
    m_temperature.push_back(reading);
    m_status.push_back(static_cast<std::uint8_t>(status));

    // The tick joins its block on each level. A level exists while the one below holds more
    // than one entry, so the top level is a single block; a level made now starts as the two
    // entries below it, the new tick among them.
    std::size_t index = tick;
    std::size_t entriesBelow = tick + 1;
    const auto exists = [this](std::size_t level) {
        return level < m_levels.size() && !m_levels[level].empty(); // reserve() makes them empty
    };
    for (std::size_t level = 0; entriesBelow > 1 || exists(level); ++level) {
        if (!exists(level)) {
            Span first;
            if (level == 0) {
                addTick(first, m_temperature[0], statusAt(0));
                addTick(first, m_temperature[1], statusAt(1));
            } else {
                addSpan(first, m_levels[level - 1][0]);
                addSpan(first, m_levels[level - 1][1]);
            }
            if (level == m_levels.size())
                m_levels.emplace_back();
            m_levels[level].push_back(first);
            break;
        }
        std::vector<Span>& blocks = m_levels[level];
        index /= kFan;
        if (index == blocks.size())
            blocks.emplace_back();
        addTick(blocks[index], reading, status);
        entriesBelow = blocks.size();
    }
}

qsizetype RunColumns::lowerBound(std::int64_t elapsedMs) const
{
    return static_cast<qsizetype>(
        std::lower_bound(m_elapsed.begin(), m_elapsed.end(), elapsedMs) - m_elapsed.begin());
}

Span RunColumns::span(qsizetype begin, qsizetype end) const
{
    Span result;
    const qsizetype first = std::clamp<qsizetype>(begin, 0, size());
    auto lo = static_cast<std::size_t>(first);
    auto hi = static_cast<std::size_t>(std::clamp<qsizetype>(end, first, size()));
    // The ticks before the first whole block and after the last one, then the same with blocks
    // of each level in turn: at most 2 * (kFanOut - 1) steps a level.
    while (lo < hi && lo % kFan != 0)
        addTick(result, m_temperature[lo], statusAt(qsizetype(lo))), ++lo;
    while (hi > lo && hi % kFan != 0)
        --hi, addTick(result, m_temperature[hi], statusAt(qsizetype(hi)));
    for (const std::vector<Span>& blocks : m_levels) {
        lo /= kFan;
        hi /= kFan;
        if (lo == hi)
            return result;
        while (lo < hi && lo % kFan != 0)
            addSpan(result, blocks[lo++]);
        while (hi > lo && hi % kFan != 0)
            addSpan(result, blocks[--hi]);
    }
    return result;
}

std::size_t RunColumns::memoryBytes() const
{
    std::size_t bytes = m_elapsed.capacity() * sizeof(std::int64_t)
        + m_temperature.capacity() * sizeof(float) + m_status.capacity() * sizeof(std::uint8_t)
        + m_levels.capacity() * sizeof(std::vector<Span>);
    for (const std::vector<Span>& blocks : m_levels)
        bytes += blocks.capacity() * sizeof(Span);
    return bytes;
}

std::vector<ColumnSpan> columnSpans(
    const RunColumns& run, std::int64_t fromMs, std::int64_t toMs, int width)
{
    std::vector<ColumnSpan> columns;
    if (width < 1 || toMs <= fromMs)
        return columns;
    // The column edges in unsigned arithmetic, so that no range of elapsed times overflows:
    // from + (to - from) * c / width, with the product split to stay below 2^64.
    const auto range = static_cast<std::uint64_t>(toMs) - static_cast<std::uint64_t>(fromMs);
    const auto columnsWide = static_cast<std::uint64_t>(width);
    const std::uint64_t whole = range / columnsWide;
    const std::uint64_t rest = range % columnsWide;
    const auto edge = [&](std::uint64_t c) {
        return static_cast<std::int64_t>(
            static_cast<std::uint64_t>(fromMs) + whole * c + rest * c / columnsWide);
    };
    columns.resize(static_cast<std::size_t>(width));
    qsizetype begin = run.lowerBound(fromMs);
    for (std::size_t c = 0; c < columns.size(); ++c) {
        const qsizetype end = run.lowerBound(edge(c + 1));
        columns[c].begin = begin;
        columns[c].end = end;
        columns[c].span = run.span(begin, end);
        begin = end;
    }
    return columns;
}

} // namespace history
