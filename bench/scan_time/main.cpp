// SPDX-License-Identifier: MIT
// Scan benchmark: the sensor finder probes 1, 4 and 16 pseudo-terminals
// on which nobody answers, at the default rates, and prints how long each
// scan took against the bound of one port (the rates' time-outs added up)
// and against probing the ports one after the other.
#include "SensorFinder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QList<int> rates = TSensorFinder::DefaultRates(9600);
    const int bound = TSensorFinder::ScanTimeoutMs(rates);
    std::printf("%lld rates, one port's bound (rates x time-out) %d ms\n",
                static_cast<long long>(rates.size()), bound);
    for (const int count : {1, 4, 16}) {
        std::vector<int> masters;
        QList<TScanPort> ports;
        for (int i = 0; i < count; ++i) {
            const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
            if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) return 1;
            masters.push_back(master);
            ports.append({QString::fromLocal8Bit(::ptsname(master)), {}});
        }
        TSensorFinder finder;
        QEventLoop loop;
        finder.Finished = [&loop] { loop.quit(); };
        QElapsedTimer clock;
        clock.start();
        finder.Start(ports, rates);
        loop.exec();
        const qint64 ms = clock.elapsed();
        std::printf("%2d silent ports: %lld ms (%.2f x one port's bound; one after the other "
                    "would be %d ms)\n",
                    count, static_cast<long long>(ms), double(ms) / bound, count * bound);
        if (finder.Result().Silent.size() != count) {
            std::fprintf(stderr, "scan_time: not every port was probed to the end\n");
            return 1;
        }
        for (const int master : masters)
            ::close(master);
    }
    return 0;
}
