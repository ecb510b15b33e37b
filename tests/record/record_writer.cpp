// SPDX-License-Identifier: MIT
// The other program for the store's tests: records events into a database.
//
//   record_writer <database> <serial> <count> <tag> [--then-crash]
//
// Records <count> writes of <serial>, each with a set of its own and its
// link "<tag> <n>", and prints "recorded <count>". With --then-crash it
// then starts one more write with the test's kill hook set, and dies
// inside that write's transaction. Exits 1 with the error on stderr where
// an event cannot be recorded.
#include "TRecordStore.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTextStream>

#include <cstdio>

namespace {

QString SetText(const QString& tag, int n) {
    QString set;
    for (int k = 0; k < 20; ++k)
        set += QStringLiteral("P%1 %2\n").arg(k).arg(k == 0 ? n : k);
    return set + QStringLiteral("TAG %1\n").arg(tag);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    QTextStream err(stderr);
    if (args.size() < 5) {
        err << "usage: record_writer <database> <serial> <count> <tag> [--then-crash]\n";
        return 2;
    }
    const QString path = args.at(1), serial = args.at(2), tag = args.at(4);
    const int count = args.at(3).toInt();
    {
        TRecordStore store(path);
        if (!store.Open()) {
            err << store.Error() << '\n';
            return 1;
        }
        for (int n = 0; n < count; ++n) {
            TRecordEvent e = NewRecordEvent(serial, TRecordAction::Write);
            e.Link = QStringLiteral("%1 %2").arg(tag).arg(n);
            e.Set = SetText(tag, n);
            if (!store.RecordWrite(e)) {
                err << store.Error() << '\n';
                return 1;
            }
        }
    }
    QTextStream(stdout) << "recorded " << count << Qt::endl;
    if (args.contains(QStringLiteral("--then-crash"))) {
        qputenv("ORX_RECORD_TEST_KILL", "after-event");
        TRecordStore store(path);
        if (!store.Open()) {
            err << store.Error() << '\n';
            return 1;
        }
        TRecordEvent e = NewRecordEvent(serial, TRecordAction::WriteAndStore);
        e.Link = QStringLiteral("%1 half").arg(tag);
        e.Message = QStringLiteral("never committed");
        e.Set = SetText(tag, -1) + QStringLiteral("HALF 1\n");
        store.RecordWrite(e);
        err << "the kill hook did not kill\n";
        return 3;
    }
    return 0;
}
