#pragma once

#include <string>

#include "check/data_file.h"

// A picture of the configuration: the bodies seen from +z (the x-y plane) and from -y (the
// x-z plane, x to the right and z up), side by side, on one scale in the file's length unit,
// with a velocity arrow on every body and the central body marked.

// The step between axis ticks for an axis from -extent to +extent: 1, 2 or 5 times a power
// of ten, the smallest that gives at most `maxTicksEachSide` ticks on either side of 0.
// REQUIRES: extent > 0 and finite.
double chooseTickStep(double extent, int maxTicksEachSide);

// The self-contained SVG document. `name` titles the picture.
std::string renderPlot(const InitialData& data, const std::string& name);

// Writes renderPlot to `path`; returns "" or why the file could not be written.
std::string writePlot(const std::string& path, const InitialData& data, const std::string& name);
