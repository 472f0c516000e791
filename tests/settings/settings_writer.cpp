// Writes keys of the settings file in a given directory, for the process tests.
//   settings_writer DIR count KEY FIRST      writes KEY = FIRST, FIRST+1, ... until killed; prints
//                                            each value once its write has returned
//   settings_writer DIR rounds N KEY...      writes every KEY = "KEY-r" for r = 1..N
//   settings_writer DIR once KEY VALUE       writes KEY = VALUE once
// Exit status 0 when every write worked; 1, with the reason on stderr, at the first that failed.
#include "settings/settings_store.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>
#include <unistd.h>

namespace {

bool write(SettingsStore &store, const QString &key, const QString &value)
{
    const WriteResult result = store.writeKey(key, value);
    if (!result)
        std::fprintf(stderr, "%s\n", qPrintable(result.error));
    return result.ok;
}

void report(qint64 value)
{
    // Straight to the descriptor: nothing may wait in a buffer when the process is killed.
    const QByteArray line = QByteArray::number(value) + '\n';
    [[maybe_unused]] ssize_t n = ::write(STDOUT_FILENO, line.constData(), size_t(line.size()));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: settings_writer DIR count|rounds|once ...\n");
        return 2;
    }
    SettingsStore store(args.at(1));
    const QString mode = args.at(2);
    if (mode == QLatin1String("count") && args.size() == 5) {
        for (qint64 value = args.at(4).toLongLong();; ++value) {
            if (!write(store, args.at(3), QString::number(value)))
                return 1;
            report(value);
        }
    }
    if (mode == QLatin1String("rounds") && args.size() >= 5) {
        const int rounds = args.at(3).toInt();
        const QStringList keys = args.mid(4);
        for (int r = 1; r <= rounds; ++r)
            for (const QString &key : keys)
                if (!write(store, key, key + QLatin1Char('-') + QString::number(r)))
                    return 1;
        return 0;
    }
    if (mode == QLatin1String("once") && args.size() == 5)
        return write(store, args.at(3), args.at(4)) ? 0 : 1;
    std::fprintf(stderr, "settings_writer: bad arguments\n");
    return 2;
}
