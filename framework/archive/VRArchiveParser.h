#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// The members of a record laid out for looking them up by key: a parsed object keeps its keys
// sorted, and finding one there compares it with several others, character by character. Made
// where the record is parsed (off the reading thread), it spares the reader those searches: a
// record's members are told apart by the length of their keys first. Members that are records,
// or lists of them, carry their own members laid out alike, a few levels down.
class VRRecordIndex
{
public:
    VRRecordIndex() = default;
    // With `hashed`, that member's value is hashed instead of laid out (in the records inside
    // too), as a key of records read alike (VRStyleCoding::RecordKey) is hashed with the
    // process's seed.
    explicit VRRecordIndex(const QJsonObject &record, int depth = kDepth, QStringView hashed = {});

    // The member called `key`; null when the record has none.
    const QJsonValue *find(QStringView key) const
    {
        const qsizetype i = indexOf(key);
        return i < 0 ? nullptr : &m_members[size_t(i)].value;
    }
    // The hash of the member `key` when it was hashed (see the constructor).
    std::optional<size_t> hashOf(QStringView key) const
    {
        if (!m_hashed || m_hashedKey != key)
            return std::nullopt;
        return m_hash;
    }
    // The layout of the member `key` when it is a record (one) or a list (one per item, empty
    // for items that are no records); null when it was not laid out.
    const std::vector<VRRecordIndex> *nested(QStringView key) const
    {
        const qsizetype i = indexOf(key);
        return i < 0 || m_members[size_t(i)].nested.empty() ? nullptr
                                                            : &m_members[size_t(i)].nested;
    }

    // How far down records inside records are laid out.
    static constexpr int kDepth = 3;
    // Lists longer than this are left to plain lookups.
    static constexpr qsizetype kMaximumItems = 64;

private:
    struct Member {
        QString key;
        QJsonValue value;
        std::vector<VRRecordIndex> nested;
    };
    // A key's length and three of its characters: keys that differ here are told apart without
    // comparing them.
    static quint64 tagOf(QStringView key)
    {
        const qsizetype n = key.size();
        if (n == 0)
            return 0;
        return quint64(quint16(n)) | quint64(key[0].unicode()) << 16
               | quint64(key[n / 2].unicode()) << 32 | quint64(key[n - 1].unicode()) << 48;
    }
    static size_t slotOf(quint64 tag, size_t mask)
    {
        return size_t((tag * 0x9E3779B97F4A7C15ull) >> 32) & mask;
    }
    qsizetype indexOf(QStringView key) const
    {
        const quint64 tag = tagOf(key);
        if (m_slots.empty()) {
            for (size_t i = 0; i < m_tags.size(); ++i) {
                if (m_tags[i] == tag && QStringView(m_members[i].key) == key)
                    return qsizetype(i);
            }
            return -1;
        }
        const size_t mask = m_slots.size() - 1;
        for (size_t slot = slotOf(tag, mask);; slot = (slot + 1) & mask) {
            const size_t at = m_slots[slot];
            if (at == 0)
                return -1;
            if (m_tags[at - 1] == tag && QStringView(m_members[at - 1].key) == key)
                return qsizetype(at - 1);
        }
    }
    // Records of up to this many members get a table of slots (at most half full, each the
    // member's place + 1, or 0); larger ones are looked through member by member.
    static constexpr size_t kMostSlotted = 127;
    std::vector<quint64> m_tags; // of the members' keys
    std::vector<quint8> m_slots;
    std::vector<Member> m_members;
    QString m_hashedKey;
    size_t m_hash = 0;
    bool m_hashed = false;
};

// Records handed out one at a time, in order: a parsed array, or runs of a long array that
// other threads parse while the reader works through the runs before them.
class VRRecordSource
{
public:
    virtual ~VRRecordSource() = default;
    virtual qsizetype size() const = 0;
    // The record at i; an empty object when its run could not be parsed (see
    // VRArchiveParser::broken()).
    virtual QJsonValue at(qsizetype i) = 0;
    // The layout of the record at(i) last answered, when the source made one.
    virtual const VRRecordIndex *indexAt(qsizetype) const { return nullptr; }
};

class VRArraySource final : public VRRecordSource
{
public:
    explicit VRArraySource(QJsonArray array, const std::vector<VRRecordIndex> *indexes = nullptr)
        : m_array(std::move(array))
        , m_indexes(indexes && qsizetype(indexes->size()) == m_array.size() ? indexes : nullptr)
    {
    }
    qsizetype size() const override { return m_array.size(); }
    QJsonValue at(qsizetype i) override { return m_array.at(i); }
    const VRRecordIndex *indexAt(qsizetype i) const override
    {
        return m_indexes ? &(*m_indexes)[size_t(i)] : nullptr;
    }

private:
    QJsonArray m_array;
    const std::vector<VRRecordIndex> *m_indexes;
};

// Parses a native document in parts. The style table and each layer's object list are cut
// into runs of records that worker threads parse, while the caller reads the document (what
// is left once those lists are taken out) and then the records in order. Only the plain shape
// of a document is cut: anything unusual (duplicate keys on the way, escapes in those keys,
// a list that is not an array) makes start() decline, and a run that does not parse marks the
// parser broken; either way the caller parses the whole text as one, which also gives the
// error message.
class VRArchiveParser
{
public:
    VRArchiveParser();
    ~VRArchiveParser();
    VRArchiveParser(const VRArchiveParser &) = delete;
    VRArchiveParser &operator=(const VRArchiveParser &) = delete;

    // Told that the text in [begin, end) is read and no longer needed; answers up to where it
    // gave the text back (`begin` when it gave back nothing). Text given back may read as
    // anything afterwards.
    using Release = std::function<qsizetype(qsizetype begin, qsizetype end)>;

    // Cuts the text and starts the workers; false when the text is not cut (nothing runs).
    // `data` must outlive the parser. With `release`, the text of the records is given back
    // as the reader gets past them, in stretches of kReleaseEvery bytes or more.
    bool start(const QByteArray &data, int maximumNesting, Release release = {});
    // The document with empty lists where the cut ones were; null when it does not parse.
    const QJsonObject &root() const { return m_root; }
    bool rootParsed() const { return m_rootParsed; }
    // The style table and the object list of layer `layer` (null when that list was not cut).
    VRRecordSource *styles();
    VRRecordSource *objectsOfLayer(qsizetype layer);
    // Some run did not parse: the parts do not make the document.
    bool broken() const { return m_broken.load(); }
    // Some of the text was given back: it no longer reads as it did.
    bool releasedText() const { return m_releasedText; }

    // How many records a run holds at most.
    static constexpr qsizetype kRecordsPerRun = 64;
    // How many runs the workers parse ahead of the reader at most. The parsed runs live in the
    // workers' own heaps, which keep what they once held after the document is read: about
    // 3 KB a record ahead, so a thousand records ahead is the reading of some 20 ms.
    static constexpr size_t kRunsAhead = 16;
    // Workers waiting for the reader are woken once every this many runs it reads.
    static constexpr size_t kWakeEvery = 4;
    // Text is given back in stretches of at least this many bytes: each giving back changes the
    // process's page tables, which interrupts every core it runs on.
    static constexpr qsizetype kReleaseEvery = 4 * 1024 * 1024;

private:
    struct Parsed;
    struct Run;
    class RunSource;
    struct Cut {
        qsizetype open = 0;                                   // the list's '['
        qsizetype close = 0;                                  // its ']'
        std::vector<std::pair<qsizetype, qsizetype>> records; // [begin, end) of each record
    };

    bool cutAll(int maximumNesting);
    void work();
    bool waitForReader(size_t index);
    void parse(Run &run);

    const QByteArray *m_data = nullptr;
    QJsonObject m_root;
    bool m_rootParsed = false;
    std::vector<Cut> m_cuts; // the style table first (when present), then the layers' lists
    bool m_stylesCut = false;
    std::vector<qsizetype> m_layerCut; // layer index -> index in m_cuts, or -1
    std::vector<std::unique_ptr<Run>> m_runs;
    std::unique_ptr<RunSource> m_styles;
    std::vector<std::unique_ptr<RunSource>> m_layerSources;
    std::mutex m_mutex;
    std::condition_variable m_parsed;
    std::condition_variable m_work;                       // garbage to free, or stop
    std::vector<std::shared_ptr<const Parsed>> m_garbage; // runs the reader is done with
    int m_waitingWorkers = 0;                             // workers asleep on m_work
    size_t m_reading =
        0; // the furthest run the reader has asked for // runs read, for a worker to free
    std::atomic<size_t> m_nextRun{0};
    std::atomic<bool> m_broken{false};
    std::atomic<bool> m_stop{false};
    std::vector<std::thread> m_workers;
    Release m_release;
    bool m_releasedText = false; // the reader's own
};
