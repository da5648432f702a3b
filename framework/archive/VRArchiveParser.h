#pragma once

#include "framework/styles/VRStyle.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

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
    // Hands over the style read ahead of the reader from the record at i (see
    // VRStyle::prepare); null when there is none, and the record is read as at(i) gives it.
    virtual VRStyleRef preparedStyle(qsizetype i)
    {
        Q_UNUSED(i);
        return nullptr;
    }
};

class VRArraySource final : public VRRecordSource
{
public:
    explicit VRArraySource(QJsonArray array)
        : m_array(std::move(array))
    {
    }
    qsizetype size() const override { return m_array.size(); }
    QJsonValue at(qsizetype i) override { return m_array.at(i); }

private:
    QJsonArray m_array;
};

// Parses a native document in parts. The style table and each layer's object list are cut
// into runs of records that worker threads parse, while the caller reads the document (what
// is left once those lists are taken out) and then the records in order. Only the plain shape
// of a document is cut: anything unusual (duplicate keys on the way, escapes in those keys,
// a list that is not an array) makes start() decline, and a run that does not parse marks the
// parser broken; either way the caller parses the whole text as one, which also gives the
// error message. The workers also read the plain records of the style table into styles
// (VRStyle::prepare), which the reader takes as they are.
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
    struct Run;
    class RunSource;
    // What a worker made of a run: freed by a worker once read.
    struct Parsed {
        QJsonArray records;
        std::vector<VRStyleRef> styles;
    };
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
    std::condition_variable m_work; // garbage to free, or stop
    std::vector<Parsed> m_garbage;
    VRRenderersReadAlike m_renderersReadAlike; // of the styles the workers read
    int m_waitingWorkers = 0;                  // workers asleep on m_work
    size_t m_reading =
        0; // the furthest run the reader has asked for // runs read, for a worker to free
    std::atomic<size_t> m_nextRun{0};
    std::atomic<bool> m_broken{false};
    std::atomic<bool> m_stop{false};
    std::vector<std::thread> m_workers;
    Release m_release;
    bool m_releasedText = false; // the reader's own
};
