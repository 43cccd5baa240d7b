// Stands for Quenlet in the command runner's tests of its own death: runs the command line it is
// given through a DOSOutputs, with an event loop like the program's, until it is killed.
#include "engine/DOSOutputs.h"

#include <QCoreApplication>

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    if (argc < 2) {
        return 2;
    }
    DOSOutputs runner;
    runner.ExecuteCommand(QString::fromLocal8Bit(argv[1]));
    return 0;
}
