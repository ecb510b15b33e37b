// SPDX-License-Identifier: MIT
// Feeds 32 MB of generated sensor output (measurement lines, parameter
// listings, cursor addressing, erase and attribute sequences, a few stray
// control bytes; fixed seed) through the terminal on a 65 x 32 screen and
// prints MiB/s: first the screen layer alone, then the whole control
// (hidden, so never painted) as the program uses it, with and without a
// per-character consumer.
#include "TCustomComTerminal.h"
#include "TEscapeCodesVT100.h"

#include <QApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <functional>
#include <random>

namespace {
constexpr qsizetype StreamBytes = 32 * 1024 * 1024;
constexpr qsizetype ChunkBytes = 4096; // a generous serial read
constexpr int Rounds = 3;

QByteArray SensorStream() {
    std::mt19937 rng(20240611);
    auto pick = [&](int n) { return int(rng() % unsigned(n)); };
    QByteArray s;
    s.reserve(StreamBytes + 256);
    char line[128];
    while (s.size() < StreamBytes) {
        const int what = pick(100);
        if (what < 70) {
            std::snprintf(line, sizeof line, "%4d.%03d m/s %7d.%d m %5d\r\n", pick(100), pick(1000),
                          pick(100000), pick(10), pick(65536));
            s += line;
        } else if (what < 85) {
            for (int p = 1; p <= 12; ++p) {
                std::snprintf(line, sizeof line, "P%02d\t= %-8d ; parameter %d\r\n", p,
                              pick(100000), p);
                s += line;
            }
            s += "->";
        } else if (what < 93) {
            std::snprintf(line, sizeof line, "\033[%d;%dH\033[K\033[1mV=\033[0m%d.%02d",
                          1 + pick(32), 1 + pick(50), pick(100), pick(100));
            s += line;
        } else if (what < 96) {
            s += "\033[7m STATUS OK \033[0m\r\n\033[6n";
        } else if (what < 98) {
            s += pick(2) ? "\033[2J\033[H" : "\033[J";
        } else {
            s += "\a\x11";
            s += char(pick(32));
            s += "\r\n";
        }
    }
    s.truncate(StreamBytes);
    return s;
}

double MiBps(qint64 ns) {
    return double(StreamBytes) / (1024.0 * 1024.0) / (double(ns) / 1e9);
}

// Best of a few rounds of feeding the whole stream in chunks.
double Measure(const QByteArray& stream, const std::function<void(const char*, qsizetype)>& feed) {
    qint64 best = 0;
    for (int round = 0; round < Rounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        for (qsizetype i = 0; i < stream.size(); i += ChunkBytes)
            feed(stream.constData() + i, std::min(ChunkBytes, stream.size() - i));
        const qint64 ns = timer.nsecsElapsed();
        if (best == 0 || ns < best) best = ns;
    }
    return MiBps(best);
}

// A per-character consumer shaped like the program's receive handler: maps
// CR to CR LF, drops LF and BEL, keeps a running line.
struct TConsumer {
    QByteArray Line;
    qint64 Lines = 0;
    void Take(char c) {
        if (c == '\r') {
            ++Lines;
            Line.resize(0);
        } else if (quint8(c) > 31 && Line.size() < 256) {
            Line += c;
        }
    }
};

class TScreenSink : public TTermScreenEvents {
public:
    TConsumer Consumer;
    void TermChars(const char* data, qsizetype length) override {
        for (qsizetype i = 0; i < length; ++i)
            Consumer.Take(data[i]);
    }
    void TermSend(const QByteArray&) override {}
    void TermUnhandled(TEscapeCode, const QByteArray&) override {}
    void TermResized() override {}
};

void Report(const char* what, double mibps) {
    std::printf("%-58s %8.1f MiB/s\n", what, mibps);
}
} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    const QByteArray stream = SensorStream();
    std::printf(
        "terminal_throughput: %lld bytes, 65 x 32 screen, VT100, wrap on, %lld-byte chunks\n",
        static_cast<long long>(stream.size()), static_cast<long long>(ChunkBytes));

    for (TCharNotify mode : {TCharNotify::None, TCharNotify::Runs, TCharNotify::EachChar}) {
        TScreenSink sink;
        TTermScreen screen(&sink);
        screen.SetSize(65, 32);
        screen.SetWrapLines(true);
        screen.SetParser(std::make_unique<TEscapeCodesVT100>());
        screen.SetCharNotify(mode);
        const double r = Measure(stream, [&](const char* d, qsizetype n) { screen.Write(d, n); });
        Report(mode == TCharNotify::None   ? "screen: no character consumer"
               : mode == TCharNotify::Runs ? "screen: consumer fed per run"
                                           : "screen: consumer called per character",
               r);
    }

    auto control = [&](const char* what,
                       const std::function<void(TCustomComTerminal&, TConsumer&)>& hook) {
        TCustomComTerminal term;
        term.SetColumns(65);
        term.SetRows(32);
        term.SetWrapLines(true);
        term.SetConnected(true);
        TConsumer consumer;
        hook(term, consumer);
        const double r = Measure(stream, [&](const char* d, qsizetype n) {
            term.ReceiveData(QByteArray::fromRawData(d, n));
        });
        Report(what, r);
    };
    control("control: nothing connected", [](TCustomComTerminal&, TConsumer&) {});
    control("control: Chars(QByteArray) connected", [](TCustomComTerminal& t, TConsumer& c) {
        QObject::connect(&t, &TCustomComTerminal::Chars, &t, [&c](const QByteArray& text) {
            for (char ch : text)
                c.Take(ch);
        });
    });
    control("control: Char(char) connected", [](TCustomComTerminal& t, TConsumer& c) {
        QObject::connect(&t, &TCustomComTerminal::Char, &t, [&c](char ch) { c.Take(ch); });
    });
    return 0;
}
