#pragma once

// The program's one run: sets the file names, reads the parameters, applies the override,
// builds the configuration, writes the initial-data file and the report. Returns the exit
// status: 0 after a complete run, 1 after the read-error record. Failures of the I/O layer
// and refused runs end the program with status 1 from inside.
int runProgram();
