#pragma once

// meridax-meter-sim: reads the command line, serves the meter and gives the exit code.
int RunMeterSim(int argc, char** argv);
