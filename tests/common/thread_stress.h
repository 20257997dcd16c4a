// Many host threads on one loaded Neuroshare library, for the thread tests of
// both libraries.
//
// ProbesFor() lists calls of every export on an open file, chosen from what
// the file holds (every entity, its info call, items at the start, middle
// and end and one past the end, windows, index/time lookups with each flag).
// Each probe captures what the host sees: the result code, every byte of the
// output records and buffers (prefilled with a pattern, so bytes a call
// leaves alone count too) and the last-error text read right after it on the
// same thread.
//
// RunStress() first makes every probe one call at a time to learn the
// answers, then lets eight threads make the same calls at once, mixed with
// opens and closes, and reports every answer that differs.
//
// RunOneFileStress() does the same with many threads on one open file (the
// probes and windows spread over every analog entity, so that a small cache
// budget has to give entries up), half of them making the same calls in the
// same order and half in orders of their own, and closes the file while
// they are still calling.
#pragma once

#include <nsapi/nsapi.h>
#include <nsapi/nsapi_loader.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <functional>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace nsstress {

// What one call answered.
struct Answer {
    ns_RESULT code = ns_OK;
    std::string outputs;
    std::string lastError;
    bool operator==(const Answer& other) const {
        return code == other.code && outputs == other.outputs && lastError == other.lastError;
    }
    bool operator!=(const Answer& other) const { return !(*this == other); }
};

struct Probe {
    std::string name;
    std::function<Answer(const nsapi::Functions&, uint32_t file)> call;
};

// An output area of the given size (8-byte aligned), filled with a pattern.
class Output {
public:
    explicit Output(size_t bytes) : size_(bytes), words_((bytes + 7) / 8 + 1, 0xA5A5A5A5A5A5A5A5ull) {}
    template <typename T>
    T* as() {
        return reinterpret_cast<T*>(words_.data());
    }
    uint32_t size() const { return static_cast<uint32_t>(size_); }
    // The area and one word past it, so a write beyond the area shows too.
    std::string bytes() const { return std::string(reinterpret_cast<const char*>(words_.data()), words_.size() * 8); }

private:
    size_t size_;
    std::vector<uint64_t> words_;
};

// Completes an answer with the calling thread's last-error text.
inline Answer Finish(const nsapi::Functions& ns, ns_RESULT code, std::string outputs) {
    char text[256];
    std::memset(text, 0x5A, sizeof text);
    const ns_RESULT read = ns.GetLastErrorMsg(text, sizeof text);
    Answer answer{code, std::move(outputs), std::string(text, sizeof text)};
    answer.lastError += static_cast<char>(read);
    return answer;
}

inline std::vector<Probe> ProbesFor(const nsapi::Functions& ns, uint32_t file) {
    using F = nsapi::Functions;
    std::vector<Probe> probes;
    auto add = [&](std::string name, std::function<Answer(const F&, uint32_t)> call) {
        probes.push_back({std::move(name), std::move(call)});
    };
    // An info call on a record of type R.
    auto addRecord = [&](std::string name, auto record, auto call) {
        using R = decltype(record);
        add(std::move(name), [call](const F& f, uint32_t id) {
            Output out(sizeof(R));
            const ns_RESULT code = call(f, id, out.as<R>(), static_cast<uint32_t>(sizeof(R)));
            return Finish(f, code, out.bytes());
        });
    };

    addRecord("GetLibraryInfo", ns_LIBRARYINFO{}, [](const F& f, uint32_t, ns_LIBRARYINFO* r, uint32_t s) {
        return f.GetLibraryInfo(r, s);
    });
    addRecord("GetFileInfo", ns_FILEINFO{},
              [](const F& f, uint32_t id, ns_FILEINFO* r, uint32_t s) { return f.GetFileInfo(id, r, s); });

    ns_FILEINFO fileInfo{};
    if (ns.GetFileInfo(file, &fileInfo, sizeof fileInfo) != ns_OK) return probes;
    for (uint32_t e = 0; e < fileInfo.dwEntityCount; ++e) {
        ns_ENTITYINFO entity{};
        if (ns.GetEntityInfo(file, e, &entity, sizeof entity) != ns_OK) continue;
        const uint32_t n = entity.dwItemCount;
        const std::string at = "(" + std::to_string(e) + ")";
        addRecord("GetEntityInfo" + at, ns_ENTITYINFO{}, [e](const F& f, uint32_t id, ns_ENTITYINFO* r, uint32_t s) {
            return f.GetEntityInfo(id, e, r, s);
        });
        const std::vector<uint32_t> items = {0, n / 2, n > 0 ? n - 1 : 0, n};

        switch (entity.dwEntityType) {
            case ns_ENTITY_EVENT:
                addRecord("GetEventInfo" + at, ns_EVENTINFO{}, [e](const F& f, uint32_t id, ns_EVENTINFO* r, uint32_t s) {
                    return f.GetEventInfo(id, e, r, s);
                });
                for (uint32_t i : items)
                    add("GetEventData" + at + std::to_string(i), [e, i](const F& f, uint32_t id) {
                        Output time(8), data(8), size(4);
                        const ns_RESULT code =
                            f.GetEventData(id, e, i, time.as<double>(), data.as<void>(), data.size(), size.as<uint32_t>());
                        return Finish(f, code, time.bytes() + data.bytes() + size.bytes());
                    });
                break;
            case ns_ENTITY_ANALOG: {
                addRecord("GetAnalogInfo" + at, ns_ANALOGINFO{},
                          [e](const F& f, uint32_t id, ns_ANALOGINFO* r, uint32_t s) { return f.GetAnalogInfo(id, e, r, s); });
                const std::vector<std::pair<uint32_t, uint32_t>> windows = {
                    {0, std::min<uint32_t>(n, 400)}, {n / 3, std::min<uint32_t>(n - n / 3, 300)}, {n > 0 ? n - 1 : 0, 5}};
                for (const auto& w : windows)
                    add("GetAnalogData" + at + std::to_string(w.first), [e, w](const F& f, uint32_t id) {
                        Output count(4), data(8 * size_t{w.second});
                        const ns_RESULT code =
                            f.GetAnalogData(id, e, w.first, w.second, count.as<uint32_t>(), data.as<double>());
                        return Finish(f, code, count.bytes() + data.bytes());
                    });
                break;
            }
            case ns_ENTITY_SEGMENT: {
                ns_SEGMENTINFO segment{};
                ns.GetSegmentInfo(file, e, &segment, sizeof segment);
                const uint32_t samples = std::min<uint32_t>(std::max<uint32_t>(segment.dwMaxSampleCount, 1), 4096);
                addRecord("GetSegmentInfo" + at, ns_SEGMENTINFO{},
                          [e](const F& f, uint32_t id, ns_SEGMENTINFO* r, uint32_t s) { return f.GetSegmentInfo(id, e, r, s); });
                for (uint32_t source : {0u, 1u})
                    addRecord("GetSegmentSourceInfo" + at + std::to_string(source), ns_SEGSOURCEINFO{},
                              [e, source](const F& f, uint32_t id, ns_SEGSOURCEINFO* r, uint32_t s) {
                                  return f.GetSegmentSourceInfo(id, e, source, r, s);
                              });
                // Out of order on purpose: readers that walk on from the last
                // item they read must still find each one.
                for (uint32_t i : {items[2], items[0], items[1], std::min<uint32_t>(1, n), items[3]})
                    add("GetSegmentData" + at + std::to_string(i), [e, i, samples](const F& f, uint32_t id) {
                        Output time(8), data(8 * size_t{samples}), count(4), unit(4);
                        const ns_RESULT code = f.GetSegmentData(id, e, static_cast<int32_t>(i), time.as<double>(),
                                                                data.as<double>(), data.size(), count.as<uint32_t>(),
                                                                unit.as<uint32_t>());
                        return Finish(f, code, time.bytes() + data.bytes() + count.bytes() + unit.bytes());
                    });
                break;
            }
            case ns_ENTITY_NEURALEVENT:
                addRecord("GetNeuralInfo" + at, ns_NEURALINFO{},
                          [e](const F& f, uint32_t id, ns_NEURALINFO* r, uint32_t s) { return f.GetNeuralInfo(id, e, r, s); });
                add("GetNeuralData" + at, [e, n](const F& f, uint32_t id) {
                    const uint32_t count = std::min<uint32_t>(n, 50);
                    Output data(8 * size_t{count});
                    const ns_RESULT code = f.GetNeuralData(id, e, n - count, count, data.as<double>());
                    return Finish(f, code, data.bytes());
                });
                break;
            default:
                break;
        }

        for (uint32_t i : items) {
            add("GetTimeByIndex" + at + std::to_string(i), [e, i](const F& f, uint32_t id) {
                Output time(8);
                const ns_RESULT code = f.GetTimeByIndex(id, e, i, time.as<double>());
                return Finish(f, code, time.bytes());
            });
            double t = 0.0;
            if (ns.GetTimeByIndex(file, e, i, &t) != ns_OK) continue;
            for (int32_t flag : {ns_BEFORE, ns_CLOSEST, ns_AFTER})
                add("GetIndexByTime" + at + std::to_string(i) + "/" + std::to_string(flag), [e, t, flag](const F& f, uint32_t id) {
                    Output index(4);
                    const ns_RESULT code = f.GetIndexByTime(id, e, t + 1e-7, flag, index.as<uint32_t>());
                    return Finish(f, code, index.bytes());
                });
        }
    }
    // Calls of the wrong type for the first entity, and of entities that do
    // not exist.
    addRecord("GetNeuralInfo(0)", ns_NEURALINFO{},
              [](const F& f, uint32_t id, ns_NEURALINFO* r, uint32_t s) { return f.GetNeuralInfo(id, 0, r, s); });
    addRecord("GetEventInfo(0)", ns_EVENTINFO{},
              [](const F& f, uint32_t id, ns_EVENTINFO* r, uint32_t s) { return f.GetEventInfo(id, 0, r, s); });
    const uint32_t beyond = fileInfo.dwEntityCount;
    addRecord("GetEntityInfo(beyond)", ns_ENTITYINFO{}, [beyond](const F& f, uint32_t id, ns_ENTITYINFO* r, uint32_t s) {
        return f.GetEntityInfo(id, beyond, r, s);
    });
    return probes;
}

// Lets every thread start at the same moment.
class StartLine {
public:
    explicit StartLine(int threads) : waiting_(threads) {}
    void Arrive() {
        std::unique_lock<std::mutex> lock(mutex_);
        if (--waiting_ == 0) {
            cv_.notify_all();
            return;
        }
        cv_.wait(lock, [&] { return waiting_ == 0; });
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    int waiting_;
};

struct StressFiles {
    std::string shared;                 // open throughout, read by several threads at once
    std::vector<std::string> separate;  // two: each opened, read and closed by one thread only
    std::string churn;                  // opened and closed again and again while others read it
    std::string refused;                // a file every open refuses
};

struct StressReport {
    size_t probes = 0;  // distinct calls learnt from the file
    uint64_t calls = 0;
    uint64_t mismatches = 0;
    uint64_t closedAnswers = 0;  // reads of the churned file that found it closed
    std::string firstMismatch;
};

// Eight threads, `rounds` rounds each:
//   0, 1  read the shared file: every answer equals the one-at-a-time answer
//   2, 3  open their own file, read it, close it
//   4, 5  open the churned file, publish its identifier, read it, close it
//   6, 7  until 4 and 5 are done, read whatever identifier was last
//         published for the churned file:
//         the answer of an open file (all files hold the same recording)
//         or the answer for a closed identifier, never anything else
// Every thread also tries to open the refused file now and then.  The files
// must all hold the same recording.
inline StressReport RunStress(const nsapi::Functions& ns, const StressFiles& files, int rounds) {
    StressReport report;
    std::vector<Probe> probes;
    std::vector<std::vector<Answer>> openAnswers;  // per file, per probe
    std::vector<Answer> closedAnswers;
    ns_RESULT refusedCode = ns_OK;
    uint32_t refusedId = 0;

    // ---- one call at a time ---------------------------------------------------
    std::vector<std::string> all = {files.shared, files.churn};
    all.insert(all.end(), files.separate.begin(), files.separate.end());
    for (const std::string& path : all) {
        uint32_t id = 0;
        if (ns.OpenFile(path.c_str(), &id) != ns_OK) {
            report.mismatches = 1;
            report.firstMismatch = "cannot open " + path;
            return report;
        }
        if (probes.empty()) probes = ProbesFor(ns, id);
        std::vector<Answer> answers;
        for (const Probe& p : probes) answers.push_back(p.call(ns, id));
        openAnswers.push_back(std::move(answers));
        ns.CloseFile(id);
        if (closedAnswers.empty())
            for (const Probe& p : probes) closedAnswers.push_back(p.call(ns, id));
    }
    report.probes = probes.size();
    refusedId = 0xDEADBEEF;
    refusedCode = ns.OpenFile(files.refused.c_str(), &refusedId);

    // ---- eight threads ----------------------------------------------------------
    uint32_t sharedId = 0;
    if (ns.OpenFile(files.shared.c_str(), &sharedId) != ns_OK) {
        report.mismatches = 1;
        report.firstMismatch = "cannot open " + files.shared;
        return report;
    }
    std::mutex reportLock;
    std::atomic<uint64_t> calls{0}, closedSeen{0};
    std::atomic<uint32_t> churnId{0};
    std::atomic<int> churnersDone{0};
    auto mismatch = [&](const std::string& what) {
        std::lock_guard<std::mutex> guard(reportLock);
        if (report.mismatches++ == 0) report.firstMismatch = what;
    };
    auto expectOpenAnswer = [&](size_t fileIndex, size_t p, uint32_t id) {
        const Answer a = probes[p].call(ns, id);
        ++calls;
        if (a != openAnswers[fileIndex][p]) mismatch(probes[p].name + " on " + all[fileIndex]);
    };
    auto tryRefused = [&] {
        uint32_t id = 0xDEADBEEF;
        const ns_RESULT code = ns.OpenFile(files.refused.c_str(), &id);
        ++calls;
        // A library that answers a refused open with identifier 0 must do
        // so every time (one that hands out the number it tried keeps no
        // fixed answer to compare).
        if (code != refusedCode || (refusedId == 0 && id != 0)) mismatch("open of the refused file");
    };

    constexpr int kThreads = 8;
    StartLine start(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            std::mt19937 random(static_cast<uint32_t>(t) * 7919u + 1);
            auto anyProbe = [&] { return static_cast<size_t>(random() % probes.size()); };
            start.Arrive();
            // The readers of the churned file go on as long as it is churned.
            const bool churnReader = t >= 6;
            for (int round = 0; churnReader ? churnersDone.load() < 2 : round < rounds; ++round) {
                if (round % 16 == t) tryRefused();
                switch (t) {
                    case 0:
                    case 1:
                        for (int k = 0; k < 4; ++k) expectOpenAnswer(0, anyProbe(), sharedId);
                        break;
                    case 2:
                    case 3: {
                        const size_t own = 2 + static_cast<size_t>(t - 2);
                        uint32_t id = 0;
                        if (ns.OpenFile(all[own].c_str(), &id) != ns_OK) {
                            mismatch("open of " + all[own]);
                            break;
                        }
                        for (int k = 0; k < 3; ++k) expectOpenAnswer(own, anyProbe(), id);
                        if (ns.CloseFile(id) != ns_OK) mismatch("close of " + all[own]);
                        calls += 2;
                        break;
                    }
                    case 4:
                    case 5: {
                        uint32_t id = 0;
                        if (ns.OpenFile(files.churn.c_str(), &id) != ns_OK) {
                            mismatch("open of " + files.churn);
                            if (round + 1 == rounds) ++churnersDone;
                            break;
                        }
                        churnId.store(id);
                        expectOpenAnswer(1, anyProbe(), id);
                        if (ns.CloseFile(id) != ns_OK) mismatch("close of " + files.churn);
                        calls += 2;
                        if (round + 1 == rounds) ++churnersDone;
                        break;
                    }
                    default: {
                        const uint32_t id = churnId.load();
                        if (id == 0) break;
                        for (int k = 0; k < 4; ++k) {
                            const size_t p = anyProbe();
                            const Answer a = probes[p].call(ns, id);
                            ++calls;
                            if (a == closedAnswers[p] && a != openAnswers[1][p]) {
                                ++closedSeen;
                                continue;
                            }
                            bool known = false;
                            for (const std::vector<Answer>& answers : openAnswers) known = known || a == answers[p];
                            if (!known) mismatch(probes[p].name + " on the churned file");
                        }
                        break;
                    }
                }
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    if (ns.CloseFile(sharedId) != ns_OK) mismatch("close of " + files.shared);
    report.calls = calls.load();
    report.closedAnswers = closedSeen.load();
    return report;
}

// Windows of `length` samples (fewer at the end) at `count` places spread
// over every analog entity: reads that reach every part of a recording.
inline std::vector<Probe> WindowProbesFor(const nsapi::Functions& ns, uint32_t file, uint32_t count, uint32_t length) {
    std::vector<Probe> probes;
    ns_FILEINFO fileInfo{};
    if (ns.GetFileInfo(file, &fileInfo, sizeof fileInfo) != ns_OK) return probes;
    for (uint32_t e = 0; e < fileInfo.dwEntityCount; ++e) {
        ns_ENTITYINFO entity{};
        if (ns.GetEntityInfo(file, e, &entity, sizeof entity) != ns_OK || entity.dwEntityType != ns_ENTITY_ANALOG)
            continue;
        const uint32_t n = entity.dwItemCount;
        for (uint32_t k = 0; k < count && n > 0; ++k) {
            const uint32_t first = static_cast<uint32_t>(uint64_t{n} * k / count);
            const uint32_t take = std::min(length, n - first);
            probes.push_back({"window(" + std::to_string(e) + ")" + std::to_string(first),
                              [e, first, take](const nsapi::Functions& f, uint32_t id) {
                                  Output got(4), data(8 * size_t{take});
                                  const ns_RESULT code =
                                      f.GetAnalogData(id, e, first, take, got.as<uint32_t>(), data.as<double>());
                                  return Finish(f, code, got.bytes() + data.bytes());
                              }});
        }
    }
    return probes;
}

struct OneFileReport {
    size_t probes = 0;
    uint64_t calls = 0;
    uint64_t mismatches = 0;
    uint64_t callsAfterClose = 0;  // calls that started after the close had returned
    uint64_t closedAnswers = 0;    // answers that found the file closed
    std::string firstMismatch;
};

// `threads` threads on one open file, each making `rounds` calls of the
// probes (ProbesFor and windowProbes together): the even ones all the same
// calls in the same order, the odd ones in orders of their own.  Once every
// thread has made half its calls the file is closed under them.  Every
// answer must equal the answer of the same call made alone: on the open
// file before the close has returned, on a closed file once it has (a call
// made while the close runs may see either).  Each thread goes on until it
// has made its calls and one more after the close.
inline OneFileReport RunOneFileStress(const nsapi::Functions& ns, const std::string& path, int threads, int rounds,
                                      uint32_t windowsPerEntity, uint32_t windowLength) {
    OneFileReport report;
    auto fail = [&](const std::string& what) {
        report.mismatches = 1;
        report.firstMismatch = what;
        return report;
    };
    // ---- one call at a time ---------------------------------------------------
    uint32_t id = 0;
    if (ns.OpenFile(path.c_str(), &id) != ns_OK) return fail("cannot open " + path);
    std::vector<Probe> probes = ProbesFor(ns, id);
    for (Probe& p : WindowProbesFor(ns, id, windowsPerEntity, windowLength)) probes.push_back(std::move(p));
    std::vector<Answer> openAnswers, closedAnswers;
    for (const Probe& p : probes) openAnswers.push_back(p.call(ns, id));
    ns.CloseFile(id);
    for (const Probe& p : probes) closedAnswers.push_back(p.call(ns, id));
    report.probes = probes.size();

    // ---- many threads ------------------------------------------------------------
    uint32_t shared = 0;
    if (ns.OpenFile(path.c_str(), &shared) != ns_OK) return fail("cannot open " + path + " again");
    std::mutex reportLock;
    std::atomic<uint64_t> calls{0}, afterClose{0}, closedSeen{0};
    std::atomic<int> halfway{0};
    std::atomic<bool> closeReturned{false};
    auto mismatch = [&](const std::string& what) {
        std::lock_guard<std::mutex> guard(reportLock);
        if (report.mismatches++ == 0) report.firstMismatch = what;
    };
    StartLine start(threads + 1);
    std::vector<std::thread> pool;
    for (int t = 0; t < threads; ++t) {
        pool.emplace_back([&, t] {
            // Even threads share one sequence: they read the same channels at
            // the same moment and ask the caches for the same entries.
            std::mt19937 random(t % 2 == 0 ? 12345u : static_cast<uint32_t>(t) * 7919u + 1);
            start.Arrive();
            bool sawClose = false;
            for (int round = 0; round < rounds || !sawClose; ++round) {
                if (round == rounds / 2) ++halfway;
                const bool closedBefore = closeReturned.load();
                const size_t p = static_cast<size_t>(random() % probes.size());
                const Answer a = probes[p].call(ns, shared);
                ++calls;
                if (closedBefore) {
                    sawClose = true;
                    ++afterClose;
                }
                // Some calls (library information) answer the same either way.
                const bool open = a == openAnswers[p], closed = a == closedAnswers[p];
                if (closed && !open) ++closedSeen;
                if (closedBefore ? !closed : !open && !(closed && halfway.load() >= threads))
                    mismatch(probes[p].name + (closedBefore ? " after the close" : " while the file was open"));
            }
        });
    }
    start.Arrive();
    while (halfway.load() < threads) std::this_thread::yield();
    if (ns.CloseFile(shared) != ns_OK) mismatch("close of the shared file");
    closeReturned = true;
    for (std::thread& thread : pool) thread.join();
    report.calls = calls.load();
    report.callsAfterClose = afterClose.load();
    report.closedAnswers = closedSeen.load();
    return report;
}

}  // namespace nsstress
