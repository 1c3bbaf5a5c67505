#include "tools/meter-sim/SimMain.h"

int main(int argc, char** argv) {
    return MeterSimMain(argc, argv);
}
