// SPDX-License-Identifier: MIT
// Switches a simulated sensor to short measurement lines every 1 ms and
// reports how long 10 000 lines took (target: 10 s within 1 %), the mean
// period and the longest gap between two deliveries.
#include "TSimSensor.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int lines = argc > 1 ? std::max(1, atoi(argv[1])) : 10000;
    TSimSensor sensor;
    sensor.Receive("S1FORMAT s\rS1OUTPUT 0\rS1TIME 1\r");
    QElapsedTimer clock;
    qint64 lastNs = 0;
    qint64 maxGapNs = 0;
    qint64 count = 0;
    QObject::connect(&sensor, &TSimSensor::Send, &app, [&](const QByteArray& bytes) {
        if (!clock.isValid()) return;
        const qint64 now = clock.nsecsElapsed();
        maxGapNs = std::max(maxGapNs, now - lastNs);
        lastNs = now;
        count += bytes.count("\r\n");
        if (count >= lines) QCoreApplication::quit();
    });
    clock.start();
    sensor.Receive("S1ON 1\r");
    count = 0; // the echo of the command is no measurement line
    app.exec();
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    const double expected = lines / 1000.0;
    std::printf("lines %lld in %.4f s (expected %.3f s, deviation %+.3f %%)\n",
                static_cast<long long>(count), seconds, expected,
                (seconds - expected) / expected * 100.0);
    std::printf("mean period %.4f ms, longest gap %.3f ms\n", seconds * 1000.0 / double(count),
                double(maxGapNs) / 1e6);
    return 0;
}
