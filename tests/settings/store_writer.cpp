// Helper of tst_CRegisterConcurrency: one running copy that keeps saving.
//
//   store_writer TAG ROUNDS
//
// Each round saves the seventeen values "v00".."v16" as "TAG-round-index", once under the key
// "Writers\TAG" (values only this copy writes) and once under "Shared" (values every copy
// writes). After each save it reads its own values back: a value that is not the last one it
// saved means another copy's save undid this one. Prints what went wrong; the exit status is 0
// only when every save succeeded and nothing was lost.
#include "settings/CRegister.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 3) {
        return 2;
    }
    const QString tag = arguments[1];
    const int rounds = arguments[2].toInt();
    const QString own = QStringLiteral("Writers\\") + tag;
    const auto name = [](int i) { return QStringLiteral("v%1").arg(i, 2, 10, QLatin1Char('0')); };
    const auto text = [&](int round, int i) {
        return QStringLiteral("%1-%2-%3")
            .arg(tag)
            .arg(round, 4, 10, QLatin1Char('0'))
            .arg(i, 2, 10, QLatin1Char('0'));
    };

    QTextStream err(stderr);
    CRegister reg;
    int faults = 0;
    for (int round = 0; round < rounds; ++round) {
        for (int i = 0; i < 17; ++i) {
            for (const QString& key : {own, QStringLiteral("Shared")}) {
                if (!reg.REGSaveSetting(HKEY_LOCAL_MACHINE, key, name(i), text(round, i))) {
                    err << tag << ": save failed in round " << round << '\n';
                    ++faults;
                }
            }
            for (int j = 0; j < 17; ++j) {
                const int last = j <= i ? round : round - 1;
                const QString expected = last >= 0 ? text(last, j) : QStringLiteral("<none>");
                const QString got =
                    reg.REGGetSetting(HKEY_LOCAL_MACHINE, own, name(j), QStringLiteral("<none>"));
                if (got != expected) {
                    err << tag << ": expected " << expected << ", read " << got << '\n';
                    ++faults;
                }
            }
        }
    }
    err.flush();
    return faults == 0 ? 0 : 1;
}
