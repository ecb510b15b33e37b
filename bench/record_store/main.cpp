// SPDX-License-Identifier: MIT
// Service record benchmark, on a database file in a fresh folder (not in
// memory), with the store's own durability (WAL, synchronous FULL):
//
// 1. Recording: EVENTS writes, each a 70-line set of which 10 values
//    differ from the one before, recorded with RecordWrite (the changes
//    computed from the last set inside the transaction). Prints the
//    median and the 95th percentile of one event.
// 2. Printing: a record of 100 sensors, one with 10,000 events (a third
//    of them writes with 10 changes), the 99 others with 100 each; prints
//    how long the text of the one sensor's 10,000 events takes, from the
//    query to the last line, and the JSON and the list of sensors.
//
//   record_store [EVENTS] [FOLDER]   (default 200, the system's temporary folder)
#include "RecordPrint.h"
#include "TRecordStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr int SetLines = 70;
constexpr int ChangedLines = 10;

// The set of write `n`: 70 keys, 10 of them changed from write n-1.
QString SetText(int n) {
    QString set;
    set.reserve(SetLines * 16);
    for (int k = 0; k < SetLines; ++k) {
        const int value = k < ChangedLines ? n + k : k * 3;
        set += QStringLiteral("PARAM%1 %2\r\n").arg(k, 2, 10, QLatin1Char('0')).arg(value);
    }
    return set;
}

double Ms(qint64 ns) {
    return double(ns) / 1e6;
}

double Percentile(std::vector<qint64> ns, double p) {
    std::sort(ns.begin(), ns.end());
    const size_t i = std::min(ns.size() - 1, size_t(p * double(ns.size() - 1) + 0.5));
    return Ms(ns.at(i));
}

bool Record(TRecordStore& store, const QString& serial, int n, qint64 timeMs) {
    TRecordEvent e = NewRecordEvent(serial, n % 3 == 0   ? TRecordAction::Write
                                            : n % 3 == 1 ? TRecordAction::Read
                                                         : TRecordAction::Identify);
    e.Time = QDateTime::fromMSecsSinceEpoch(timeMs, Qt::UTC);
    e.Link = QStringLiteral("ttyUSB0 115200");
    if (e.Action == TRecordAction::Identify) {
        e.Message = QStringLiteral("ORX-200 firmware 2.4");
        return store.Record(e);
    }
    e.Set = SetText(n);
    return e.Action == TRecordAction::Write ? store.RecordWrite(e) : store.Record(e);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int events = argc > 1 ? std::max(2, std::atoi(argv[1])) : 200;
    QTemporaryDir dir(argc > 2 ? QString::fromLocal8Bit(argv[2]) + QStringLiteral("/record-XXXXXX")
                               : QDir::tempPath() + QStringLiteral("/record_store-XXXXXX"));
    if (!dir.isValid()) {
        std::fprintf(stderr, "record_store: no folder: %s\n", qPrintable(dir.errorString()));
        return 1;
    }
    std::printf("record_store: databases in %s\n", qPrintable(dir.path()));

    // --- 1. Recording --------------------------------------------------------
    {
        TRecordStore store(dir.filePath(QStringLiteral("write.sqlite")));
        if (!store.Open()) {
            std::fprintf(stderr, "record_store: %s\n", qPrintable(store.Error()));
            return 1;
        }
        TRecordEvent first = NewRecordEvent(QStringLiteral("SN-BENCH"), TRecordAction::Read);
        first.Set = SetText(0);
        store.Record(first);
        std::vector<qint64> ns;
        ns.reserve(size_t(events));
        qsizetype changes = 0;
        QElapsedTimer clock;
        for (int n = 1; n <= events; ++n) {
            TRecordEvent e = NewRecordEvent(QStringLiteral("SN-BENCH"), TRecordAction::Write);
            e.Link = QStringLiteral("ttyUSB0 115200");
            e.Set = SetText(n);
            clock.start();
            const bool ok = store.RecordWrite(e);
            ns.push_back(clock.nsecsElapsed());
            if (!ok) {
                std::fprintf(stderr, "record_store: %s\n", qPrintable(store.Error()));
                return 1;
            }
            changes += e.Changes.size();
        }
        std::printf("record one write (%d-line set, %lld changes each): median %.2f ms, "
                    "95th percentile %.2f ms, over %d events (goal: under 5 ms)\n",
                    SetLines, static_cast<long long>(changes / events), Percentile(ns, 0.5),
                    Percentile(ns, 0.95), events);
    }

    // --- 2. Printing ---------------------------------------------------------
    TRecordStore store(dir.filePath(QStringLiteral("print.sqlite")));
    if (!store.Open()) {
        std::fprintf(stderr, "record_store: %s\n", qPrintable(store.Error()));
        return 1;
    }
    constexpr int Sensors = 100, Measured = 10000, Others = 100;
    QElapsedTimer fill;
    fill.start();
    const qint64 start = QDateTime::currentMSecsSinceEpoch() - qint64(Measured) * 60000;
    // The sensors' events interleaved in time, as a service bench sees them.
    for (int n = 0; n < Measured; ++n) {
        if (!Record(store, QStringLiteral("SN-0000"), n, start + qint64(n) * 60000)) {
            std::fprintf(stderr, "record_store: %s\n", qPrintable(store.Error()));
            return 1;
        }
        if (n % (Measured / Others) == 0)
            for (int s = 1; s < Sensors; ++s)
                if (!Record(store, QStringLiteral("SN-%1").arg(s, 4, 10, QLatin1Char('0')), n,
                            start + qint64(n) * 60000 + s)) {
                    std::fprintf(stderr, "record_store: %s\n", qPrintable(store.Error()));
                    return 1;
                }
    }
    std::printf("filled %d sensors: %d events of SN-0000, %d of each other, in %.1f s "
                "(one transaction each)\n",
                Sensors, Measured, Others, double(fill.elapsed()) / 1000.0);

    QElapsedTimer clock;
    clock.start();
    qsizetype lines = 0, chars = 0;
    int printed = 0;
    const bool ok = store.ForEachEvent(QStringLiteral("SN-0000"), {}, [&](const TRecordEvent& e) {
        const QString text = EventText(e);
        lines += text.count(u'\n');
        chars += text.size();
        ++printed;
        return true;
    });
    const qint64 textNs = clock.nsecsElapsed();
    if (!ok || printed != Measured) {
        std::fprintf(stderr, "record_store: printed %d events: %s\n", printed,
                     qPrintable(store.Error()));
        return 1;
    }
    std::printf("text of SN-0000's %d events (%lld lines, %lld characters): %.1f ms "
                "(goal: under 500 ms)\n",
                printed, static_cast<long long>(lines), static_cast<long long>(chars), Ms(textNs));

    clock.start();
    const auto all = store.Events(QStringLiteral("SN-0000"));
    const QByteArray json = all ? EventsJson(QStringLiteral("SN-0000"), *all).toJson() : "";
    std::printf("JSON of SN-0000's %lld events (%lld bytes): %.1f ms\n",
                static_cast<long long>(all ? all->size() : 0), static_cast<long long>(json.size()),
                Ms(clock.nsecsElapsed()));

    clock.start();
    const auto sensors = store.Sensors();
    const QString list = sensors ? SensorsText(*sensors) : QString();
    std::printf("list of the %lld sensors with their last event: %.1f ms\n",
                static_cast<long long>(sensors ? sensors->size() : 0), Ms(clock.nsecsElapsed()));

    clock.start();
    const auto set = store.LastSet(QStringLiteral("SN-0000"));
    std::printf("last set of SN-0000 (%lld characters): %.2f ms\n",
                static_cast<long long>(set ? set->size() : 0), Ms(clock.nsecsElapsed()));
    return 0;
}
