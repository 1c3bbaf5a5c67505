#pragma once

// meridax-meter-sim: reads the command line, serves the meter and gives the exit code.
int MeterSimMain(int argc, char** argv);
