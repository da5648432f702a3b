#include "framework/archive/VRArchiveParser.h"

#include <QJsonDocument>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <optional>

struct VRArchiveParser::Run {
    qsizetype begin = 0; // the records' text, separators between them included
    qsizetype end = 0;
    // For a run of the style table: where each of its records' text begins and ends.
    const std::pair<qsizetype, qsizetype> *styles = nullptr;
    bool done = false;
    Parsed parsed;
};

class VRArchiveParser::RunSource final : public VRRecordSource
{
public:
    RunSource(VRArchiveParser &parser, size_t firstRun, qsizetype count, qsizetype textBegin)
        : m_parser(parser)
        , m_firstRun(firstRun)
        , m_count(count)
        , m_unreleased(textBegin)
    {
    }
    qsizetype size() const override { return m_count; }
    QJsonValue at(qsizetype i) override
    {
        if (!readRunOf(i))
            return QJsonObject();
        return m_records.at(i % kRecordsPerRun);
    }
    VRStyleRef preparedStyle(qsizetype i) override
    {
        if (!readRunOf(i) || m_styles == nullptr)
            return nullptr;
        const size_t k = size_t(i % kRecordsPerRun);
        return k < m_styles->size() ? std::move((*m_styles)[k]) : nullptr;
    }

private:
    // Makes the run holding record i the current one, once it is parsed; false when it cannot
    // be parsed.
    bool readRunOf(qsizetype i)
    {
        const size_t index = m_firstRun + size_t(i / kRecordsPerRun);
        if (index != m_current) {
            // (Where runs begin and end is set before the workers start: no lock is needed to
            // read it, and none is held while the text is given back.)
            if (m_current != size_t(-1))
                releaseUpTo(m_parser.m_runs[m_current]->end);
            std::unique_lock lock(m_parser.m_mutex);
            Run &run = *m_parser.m_runs[index];
            m_parser.m_reading = std::max(m_parser.m_reading, index);
            if (m_current != size_t(-1)) {
                // Read: a worker frees it, off the reader's thread.
                m_parser.m_garbage.push_back(std::move(m_parser.m_runs[m_current]->parsed));
                m_styles = nullptr;
            }
            // Waking the waiting workers costs the reader a system call: they are woken for
            // every few runs read, and whenever the reader must wait for its run.
            if (m_parser.m_waitingWorkers > 0 && (!run.done || index % kWakeEvery == 0))
                m_parser.m_work.notify_all();
            m_parser.m_parsed.wait(lock, [&] { return run.done || m_parser.m_broken.load(); });
            if (!run.done)
                return false;
            m_records = run.parsed.records;
            m_styles = run.styles ? &run.parsed.styles : nullptr;
            m_current = index;
        }
        return true;
    }

    // The runs of one list are one stretch of text: what the reader is past is given back.
    void releaseUpTo(qsizetype end)
    {
        if (!m_parser.m_release || end - m_unreleased < kReleaseEvery)
            return;
        const qsizetype releasedTo = m_parser.m_release(m_unreleased, end);
        if (releasedTo > m_unreleased) {
            m_parser.m_releasedText = true;
            m_unreleased = releasedTo;
        }
    }

    VRArchiveParser &m_parser;
    size_t m_firstRun;
    qsizetype m_count;
    size_t m_current = size_t(-1);
    QJsonArray m_records;
    std::vector<VRStyleRef> *m_styles = nullptr; // those of the current run
    qsizetype m_unreleased;                      // where the text not given back begins
};

namespace {

// Gives back to the system the free top of the calling worker's heap, once what it parsed is
// freed. glibc gives back the free top of a thread's heap only when a block of 64 KB or more is
// freed into that heap (and the top exceeds the trim threshold); the records were freed in small
// blocks, which never ask. One large block freed here asks. This touches only the top of this
// heap: walking every heap for free pages (malloc_trim) would unmap pages all over the process,
// and each unmapping interrupts every core the process runs on.
void giveBackHeap()
{
#ifdef __GLIBC__
    constexpr size_t kLargeBlock = 128 * 1024 - 64;
    // Volatile: the compiler may not drop the pair.
    void *volatile block = std::malloc(kLargeBlock);
    std::free(block);
#endif
}

// The text of the value of the one member `key` of the object whose text is `object`; empty
// when it has no such member, or its keys cannot be told apart without decoding them (a key
// with escapes could be that member too).
QByteArrayView memberText(QByteArrayView object, QByteArrayView key)
{
    const qsizetype size = object.size();
    const auto skipSpace = [&](qsizetype i) {
        while (i < size
               && (object[i] == ' ' || object[i] == '\n' || object[i] == '\r' || object[i] == '\t'))
            ++i;
        return i;
    };
    int depth = 0;
    qsizetype found = -1, foundEnd = -1;
    int foundDepth = 0;
    for (qsizetype i = 0; i < size; ++i) {
        const char c = object[i];
        if (c == '"') {
            qsizetype k = i + 1;
            bool escapes = false;
            while (k < size && object[k] != '"') {
                escapes = escapes || object[k] == '\\';
                k += object[k] == '\\' ? 2 : 1;
            }
            if (k >= size)
                return {};
            const qsizetype after = skipSpace(k + 1);
            if (depth == 1 && after < size && object[after] == ':') {
                if (escapes)
                    return {};
                if (object.sliced(i + 1, k - i - 1) == key) {
                    if (found >= 0)
                        return {};
                    found = skipSpace(after + 1);
                    foundDepth = depth;
                    if (found >= size || (object[found] != '[' && object[found] != '{'))
                        return {};
                }
                i = after;
            } else {
                i = k;
            }
        } else if (c == '{' || c == '[') {
            ++depth;
        } else if (c == '}' || c == ']') {
            --depth;
            if (found >= 0 && foundEnd < 0 && depth == foundDepth && i > found)
                foundEnd = i + 1;
        }
    }
    if (found < 0 || foundEnd < 0)
        return {};
    return object.sliced(found, foundEnd - found);
}

// The structure of the text down to the records of the lists that are cut: where each
// bracket up to that depth closes.
class Skeleton
{
public:
    explicit Skeleton(const QByteArray &data)
        : m_data(data.constData())
        , m_size(data.size())
    {
    }

    // One pass over the text; false when the brackets do not pair up or nest too deeply.
    bool scan(int maximumNesting, int recordedDepth)
    {
        std::vector<size_t> open; // indexes into m_pairs; -1 for unrecorded brackets
        bool inString = false;
        bool escaped = false; // the next character is escaped
        // Looks at one character that may matter: a quote, a backslash or a bracket.
        const auto step = [&](qsizetype i) {
            const char c = m_data[i];
            if (inString) {
                if (c == '\\')
                    escaped = true;
                else if (c == '"')
                    inString = false;
                return true;
            }
            if (c == '"') {
                inString = true;
            } else if (c == '{' || c == '[') {
                if (int(open.size()) >= maximumNesting)
                    return false;
                if (int(open.size()) < recordedDepth) {
                    open.push_back(m_pairs.size());
                    m_pairs.push_back({i, -1});
                } else {
                    open.push_back(size_t(-1));
                }
            } else if (c == '}' || c == ']') {
                if (open.empty())
                    return false;
                if (open.back() != size_t(-1))
                    m_pairs[open.back()].second = i;
                open.pop_back();
            }
            return true;
        };
        qsizetype i = 0;
#if defined(__SSE2__)
        // Sixteen characters at a time: a mask of those that may matter, taken in order.
        const __m128i quote = _mm_set1_epi8('"'), backslash = _mm_set1_epi8('\\');
        const __m128i openBrace = _mm_set1_epi8('{'), closeBrace = _mm_set1_epi8('}');
        const __m128i openBracket = _mm_set1_epi8('['), closeBracket = _mm_set1_epi8(']');
        for (; i + 16 <= m_size; i += 16) {
            const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i *>(m_data + i));
            const auto maskOf = [&](const __m128i &c) {
                return unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(block, c)));
            };
            const unsigned quotes = maskOf(quote), backslashes = maskOf(backslash);
            const unsigned brackets =
                maskOf(openBrace) | maskOf(closeBrace) | maskOf(openBracket) | maskOf(closeBracket);
            if (backslashes == 0 && !escaped) {
                // No escapes: the characters inside strings are those after an odd number of
                // quotes (counted from the block's start, on from the string state before it).
                unsigned inside = quotes;
                inside ^= inside << 1;
                inside ^= inside << 2;
                inside ^= inside << 4;
                inside ^= inside << 8;
                inside &= 0xFFFFu;
                if (inString)
                    inside ^= 0xFFFFu;
                // The brackets left are outside strings.
                inString = false;
                for (unsigned mask = brackets & ~inside; mask; mask &= mask - 1) {
                    if (!step(i + std::countr_zero(mask)))
                        return false;
                }
                inString = (inside >> 15) & 1u;
                continue;
            }
            unsigned mask = quotes | backslashes | brackets;
            if (escaped) {
                mask &= ~1u; // the escaped character
                escaped = false;
            }
            while (mask) {
                const int k = std::countr_zero(mask);
                mask &= mask - 1;
                if (!step(i + k))
                    return false;
                if (escaped && k < 15) {
                    mask &= ~(2u << k);
                    escaped = false;
                }
            }
        }
#endif
        for (; i < m_size; ++i) {
            if (escaped) {
                escaped = false;
                continue;
            }
            if (!step(i))
                return false;
        }
        return open.empty() && !inString;
    }

    // Where the bracket at `at` closes; -1 when it was not recorded.
    qsizetype closing(qsizetype at) const
    {
        const auto it =
            std::lower_bound(m_pairs.begin(), m_pairs.end(), std::pair{at, qsizetype(-1)},
                             [](const auto &a, const auto &b) { return a.first < b.first; });
        return it != m_pairs.end() && it->first == at ? it->second : -1;
    }

    qsizetype skipSpace(qsizetype i) const
    {
        while (i < m_size
               && (m_data[i] == ' ' || m_data[i] == '\n' || m_data[i] == '\r' || m_data[i] == '\t'))
            ++i;
        return i;
    }

    char at(qsizetype i) const
    {
        return i < m_size ? m_data[i] : '\0';
    }
    qsizetype size() const
    {
        return m_size;
    }

    // The end of the value starting at i; -1 when it cannot be told.
    qsizetype valueEnd(qsizetype i) const
    {
        const char c = at(i);
        if (c == '{' || c == '[') {
            const qsizetype close = closing(i);
            return close < 0 ? -1 : close + 1;
        }
        if (c == '"') {
            for (qsizetype k = i + 1; k < m_size; ++k) {
                if (m_data[k] == '\\')
                    ++k;
                else if (m_data[k] == '"')
                    return k + 1;
            }
            return -1;
        }
        qsizetype k = i;
        while (k < m_size && !std::strchr(",}] \t\r\n", m_data[k]))
            ++k;
        return k > i ? k : -1;
    }

    struct Member {
        QByteArray key;
        qsizetype value = 0;
    };
    // The members of the object opening at `open`; nothing when they cannot be told apart,
    // or a key has escapes.
    std::optional<std::vector<Member>> members(qsizetype open) const
    {
        const qsizetype close = closing(open);
        if (at(open) != '{' || close < 0)
            return std::nullopt;
        std::vector<Member> result;
        qsizetype i = skipSpace(open + 1);
        if (i == close)
            return result;
        for (;;) {
            if (at(i) != '"')
                return std::nullopt;
            const qsizetype keyEnd = valueEnd(i);
            if (keyEnd < 0)
                return std::nullopt;
            Member member;
            member.key = QByteArray(m_data + i + 1, keyEnd - i - 2);
            if (member.key.contains('\\'))
                return std::nullopt;
            i = skipSpace(keyEnd);
            if (at(i) != ':')
                return std::nullopt;
            member.value = skipSpace(i + 1);
            const qsizetype end = valueEnd(member.value);
            if (end < 0 || end > close)
                return std::nullopt;
            result.push_back(member);
            i = skipSpace(end);
            if (i == close)
                return result;
            if (at(i) != ',')
                return std::nullopt;
            i = skipSpace(i + 1);
        }
    }

    // The [begin, end) of each item of the array opening at `open`.
    std::optional<std::vector<std::pair<qsizetype, qsizetype>>> items(qsizetype open) const
    {
        const qsizetype close = closing(open);
        if (at(open) != '[' || close < 0)
            return std::nullopt;
        std::vector<std::pair<qsizetype, qsizetype>> result;
        qsizetype i = skipSpace(open + 1);
        if (i == close)
            return result;
        for (;;) {
            const qsizetype end = valueEnd(i);
            if (end < 0 || end > close)
                return std::nullopt;
            result.emplace_back(i, end);
            i = skipSpace(end);
            if (i == close)
                return result;
            if (at(i) != ',')
                return std::nullopt;
            i = skipSpace(i + 1);
        }
    }

    // The value of the one member called `key`; -1 when there is none, -2 when there are two.
    static qsizetype find(const std::vector<Member> &members, const char *key)
    {
        qsizetype found = -1;
        for (const Member &m : members) {
            if (m.key == key) {
                if (found >= 0)
                    return -2;
                found = m.value;
            }
        }
        return found;
    }

private:
    const char *m_data;
    qsizetype m_size;
    std::vector<std::pair<qsizetype, qsizetype>> m_pairs; // bracket -> its closing bracket
};

} // namespace

VRArchiveParser::VRArchiveParser() = default;

VRRecordSource *VRArchiveParser::styles()
{
    return m_styles.get();
}

VRArchiveParser::~VRArchiveParser()
{
    // The runs left were parsed in the workers' heaps: they are freed before the workers are
    // told to end, so each worker can give its heap's free top back as it ends (see work()).
    m_styles.reset();
    m_layerSources.clear();
    std::vector<Parsed> left;
    {
        std::lock_guard lock(m_mutex);
        for (const std::unique_ptr<Run> &run : m_runs)
            left.push_back(std::move(run->parsed));
        for (Parsed &parsed : m_garbage)
            left.push_back(std::move(parsed));
        m_garbage.clear();
    }
    left.clear();
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_work.notify_all();
    for (std::thread &worker : m_workers)
        worker.join();
}

VRRecordSource *VRArchiveParser::objectsOfLayer(qsizetype layer)
{
    if (layer < 0 || layer >= qsizetype(m_layerSources.size()))
        return nullptr;
    return m_layerSources[size_t(layer)].get();
}

bool VRArchiveParser::cutAll(int maximumNesting)
{
    // root { drawing { layers [ layer { objects [ record {: six levels of brackets.
    Skeleton text(*m_data);
    if (!text.scan(maximumNesting, 6))
        return false;
    const qsizetype root = text.skipSpace(0);
    if (text.at(root) != '{' || text.skipSpace(text.valueEnd(root)) != text.size())
        return false;
    const auto rootMembers = text.members(root);
    if (!rootMembers)
        return false;
    const qsizetype styles = Skeleton::find(*rootMembers, "styles");
    const qsizetype drawing = Skeleton::find(*rootMembers, "drawing");
    if (styles == -2 || drawing < 0 || text.at(drawing) != '{')
        return false;
    const auto drawingMembers = text.members(drawing);
    if (!drawingMembers)
        return false;
    const qsizetype layers = Skeleton::find(*drawingMembers, "layers");
    if (layers < 0 || text.at(layers) != '[')
        return false;
    const auto layerItems = text.items(layers);
    if (!layerItems)
        return false;

    auto cut = [&](qsizetype open) -> std::optional<Cut> {
        auto records = text.items(open);
        if (!records)
            return std::nullopt;
        Cut c;
        c.open = open;
        c.close = text.closing(open);
        c.records = std::move(*records);
        return c;
    };
    if (styles >= 0 && text.at(styles) == '[') {
        auto c = cut(styles);
        if (!c)
            return false;
        m_cuts.push_back(std::move(*c));
        m_stylesCut = true;
    }
    for (const auto &[begin, end] : *layerItems) {
        m_layerCut.push_back(-1);
        if (text.at(begin) != '{')
            continue;
        const auto layerMembers = text.members(begin);
        if (!layerMembers)
            return false;
        const qsizetype objects = Skeleton::find(*layerMembers, "objects");
        if (objects == -2)
            return false;
        if (objects < 0 || text.at(objects) != '[')
            continue;
        auto c = cut(objects);
        if (!c)
            return false;
        m_layerCut.back() = qsizetype(m_cuts.size());
        m_cuts.push_back(std::move(*c));
    }
    return true;
}

bool VRArchiveParser::start(const QByteArray &data, int maximumNesting, Release release)
{
    m_data = &data;
    m_release = std::move(release);
    if (!cutAll(maximumNesting)) {
        m_cuts.clear();
        return false;
    }
    // Runs in reading order: the styles, then each layer's objects.
    struct Runs {
        size_t first = 0;
        qsizetype count = 0;
        qsizetype textBegin = 0;
    };
    std::vector<Runs> runsOfCut;
    for (const Cut &c : m_cuts) {
        const bool styles = m_stylesCut && runsOfCut.empty(); // the style table comes first
        runsOfCut.push_back({m_runs.size(), qsizetype(c.records.size()), c.open});
        for (size_t k = 0; k < c.records.size(); k += size_t(kRecordsPerRun)) {
            const size_t last = std::min(c.records.size(), k + size_t(kRecordsPerRun)) - 1;
            auto run = std::make_unique<Run>();
            run->begin = c.records[k].first;
            run->end = c.records[last].second;
            run->styles = styles ? c.records.data() + k : nullptr;
            m_runs.push_back(std::move(run));
        }
    }
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const size_t workers = std::min<size_t>({m_runs.size(), 4, std::max(1u, cores - 1)});
    for (size_t w = 0; w < workers; ++w)
        m_workers.emplace_back([this] { work(); });

    // The document without the cut lists, parsed here while the workers parse the lists.
    std::vector<const Cut *> byPosition;
    for (const Cut &c : m_cuts)
        byPosition.push_back(&c);
    std::sort(byPosition.begin(), byPosition.end(),
              [](const Cut *a, const Cut *b) { return a->open < b->open; });
    QByteArray rest;
    qsizetype from = 0;
    for (const Cut *c : byPosition) {
        rest.append(data.constData() + from, c->open + 1 - from);
        from = c->close;
    }
    rest.append(data.constData() + from, data.size() - from);
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(rest, &error);
    m_rootParsed = error.error == QJsonParseError::NoError && document.isObject();
    if (m_rootParsed)
        m_root = document.object();

    if (m_stylesCut) {
        m_styles = std::make_unique<RunSource>(*this, runsOfCut[0].first, runsOfCut[0].count,
                                               runsOfCut[0].textBegin);
    }
    for (const qsizetype cutIndex : m_layerCut) {
        if (cutIndex < 0) {
            m_layerSources.push_back(nullptr);
            continue;
        }
        const Runs &runs = runsOfCut[size_t(cutIndex)];
        m_layerSources.push_back(
            std::make_unique<RunSource>(*this, runs.first, runs.count, runs.textBegin));
    }
    return true;
}

void VRArchiveParser::work()
{
    for (;;) {
        if (!m_stop.load()) {
            const size_t index = m_nextRun++;
            if (index < m_runs.size()) {
                if (waitForReader(index))
                    parse(*m_runs[index]);
                continue;
            }
        }
        // Nothing left to parse: free the runs the reader is done with.
        std::vector<Parsed> garbage;
        {
            std::unique_lock lock(m_mutex);
            ++m_waitingWorkers;
            m_work.wait(lock, [&] { return !m_garbage.empty() || m_stop.load(); });
            --m_waitingWorkers;
            garbage.swap(m_garbage);
        }
        if (garbage.empty())
            break;
    }
    giveBackHeap();
}

bool VRArchiveParser::waitForReader(size_t index)
{
    // Parsed runs are kept a short way ahead of the reader only: the trees of a whole
    // document's records would take several times the memory of its objects. Runs the reader
    // is done with are freed before the next is parsed, so a worker's heap holds no more than
    // its share of the runs ahead.
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (m_stop.load())
            return false;
        if (!m_garbage.empty()) {
            std::vector<Parsed> garbage;
            garbage.swap(m_garbage);
            lock.unlock();
            garbage.clear();
            lock.lock();
            continue;
        }
        if (index < m_reading + kRunsAhead)
            return true;
        ++m_waitingWorkers;
        m_work.wait(lock);
        --m_waitingWorkers;
    }
}

void VRArchiveParser::parse(Run &run)
{
    QByteArray text;
    text.reserve(run.end - run.begin + 2);
    text.append('[');
    text.append(m_data->constData() + run.begin, run.end - run.begin);
    text.append(']');
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text, &error);
    const bool parsed = error.error == QJsonParseError::NoError && document.isArray();
    Parsed result;
    if (parsed) {
        result.records = document.array();
        if (run.styles) {
            result.styles.reserve(size_t(result.records.size()));
            for (qsizetype k = 0; k < result.records.size(); ++k) {
                const QJsonValue record = result.records.at(k);
                if (!record.isObject()) {
                    result.styles.emplace_back();
                    continue;
                }
                const auto [begin, end] = run.styles[k];
                const QByteArrayView recordText(m_data->constData() + begin, end - begin);
                result.styles.push_back(VRStyle::prepare(
                    record.toObject(), memberText(recordText, "renderers"), m_renderersReadAlike));
            }
        }
    }
    std::lock_guard lock(m_mutex);
    if (!parsed) {
        m_broken = true;
        m_stop = true;
    } else {
        run.parsed = std::move(result);
        run.done = true;
    }
    m_parsed.notify_all();
}
